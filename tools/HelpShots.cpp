// Takes the pictures of the program's windows for the help file, from
// outside the program as a user would reach them: starts the program, opens
// its window from the tray icon, picks each tab, opens the sound dialog and
// the tray menu, and saves what the screen shows as 24-bit BMP files.
//
//   helpshots <program.exe> <output folder>
//
// Run by scripts/help_shots.sh, which turns the BMP files into the PNG
// pictures in help/images. Exit code 0 when every picture was taken, 1 when
// one could not be, 3 when all were taken but the window did not show the
// sample counter and white list.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT kWmTrayIcon = 2025;
constexpr WPARAM kTrayIconId = 1005;
constexpr DWORD kTimeoutMs = 20000;
// The sample data that scripts/help_shots.sh prepares.
constexpr const char* kExpectedCounter = "1234";
constexpr int kExpectedRows = 3;

struct TopLevelSearch {
    DWORD pid;
    const char* className;
    bool visibleOnly;
    std::vector<HWND> found;
};

std::string ClassOf(HWND hwnd) {
    char buffer[256] = {};
    GetClassNameA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

std::string TextOf(HWND hwnd) {
    char buffer[512] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && (!search->visibleOnly || IsWindowVisible(hwnd)) &&
        (!search->className || ClassOf(hwnd) == search->className)) {
        search->found.push_back(hwnd);
    }
    return TRUE;
}

std::vector<HWND> TopLevel(DWORD pid, const char* className, bool visibleOnly) {
    TopLevelSearch search{pid, className, visibleOnly, {}};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    const char* className;
    const char* text;
    HWND found;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if ((!search->className || ClassOf(hwnd) == search->className) &&
        (!search->text || TextOf(hwnd) == search->text)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindChild(HWND parent, const char* className, const char* text) {
    ChildSearch search{className, text, nullptr};
    EnumChildWindows(parent, &FindChildProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls a condition until it holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = kTimeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

// The program has handled everything sent to it before, its painting
// included; the short pause lets the display catch up with the drawing.
void Settle(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    Sleep(400);
}

// Saves the screen's pixels inside the given rectangles, on white, into one
// picture of their bounding box.
bool SaveScreenRects(const std::vector<RECT>& rects, const std::string& path) {
    RECT bounds{};
    for (const RECT& r : rects) {
        UnionRect(&bounds, &bounds, &r);
    }
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT all{0, 0, width, height};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ok = true;
        for (const RECT& r : rects) {
            ok = ok && BitBlt(memory, r.left - bounds.left, r.top - bounds.top, r.right - r.left,
                              r.bottom - r.top, screen, r.left, r.top, SRCCOPY) != 0;
        }
        GdiFlush();
        SelectObject(memory, old);
    }
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    if (ok) {
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        FILE* file = std::fopen(path.c_str(), "wb");
        ok = file && std::fwrite(&header, sizeof(header), 1, file) == 1 &&
             std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, file) == 1 &&
             std::fwrite(bits, imageSize, 1, file) == 1;
        if (file && std::fclose(file) != 0) {
            ok = false;
        }
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("%s %s (%dx%d)\n", ok ? "saved" : "FAILED", path.c_str(), width, height);
    return ok;
}

bool SaveWindow(HWND window, const std::string& path) {
    Settle(window);
    RECT rect{};
    GetWindowRect(window, &rect);
    return SaveScreenRects({rect}, path);
}

bool SelectTab(HWND tabs, int index) {
    // A click in the middle of the tab, as the mouse would give it.
    RECT client{};
    GetClientRect(tabs, &client);
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    if (count <= index) {
        return false;
    }
    const int x = (client.right * (2 * index + 1)) / (2 * count);
    const int y = 8;
    PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(tabs, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    return WaitFor([&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == index; });
}

void PressKeys(HWND window, std::initializer_list<WPARAM> keys) {
    for (WPARAM key : keys) {
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, 0xC0000001);
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "helpshots: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything can load a library by name: the folder it runs from
    // holds the program it photographs, not libraries of ours.
    (void)SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (argc != 3) {
        std::fprintf(stderr, "usage: helpshots <program.exe> <output folder>\n");
        return 2;
    }
    const std::string exe = argv[1];
    std::string out = argv[2];
    if (!out.empty() && out.back() != '\\' && out.back() != '/') {
        out += '\\';
    }

    std::string commandLine = "\"" + exe + "\"";
    const std::string folder = exe.substr(0, exe.find_last_of("\\/"));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        return Fail("cannot start the program");
    }
    CloseHandle(process.hThread);
    const DWORD pid = process.dwProcessId;
    auto running = [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; };

    HWND main = nullptr;
    // Resident: the main window and the sound dialog exist and the splash is gone.
    const bool resident = WaitFor([&] {
        const auto mains = TopLevel(pid, "TVMGWLPreferences", false);
        main = mains.empty() ? nullptr : mains.front();
        return main && !TopLevel(pid, "TSelectSound", false).empty() &&
               TopLevel(pid, nullptr, true).empty();
    });
    int failures = 0;
    if (!resident) {
        TerminateProcess(process.hProcess, 1);
        return Fail("the program did not become resident");
    }

    // The window, from a double-click on the tray icon, on each of its tabs.
    PostMessageA(main, kWmTrayIcon, kTrayIconId, WM_LBUTTONDBLCLK);
    if (!WaitFor([&] { return IsWindowVisible(main) != FALSE; })) {
        TerminateProcess(process.hProcess, 1);
        return Fail("the window did not open from the tray icon");
    }
    HWND tabs = FindChild(main, "SysTabControl32", nullptr);
    // What the help says the pictures show: the counter read on show and the
    // saved white list loaded on show. The About tab is left out: it names
    // the web host and the mail addresses, which the help does not.
    int unlike = 0;
    if (!FindChild(main, nullptr, kExpectedCounter)) {
        std::fprintf(stderr, "helpshots: the counter does not show %s\n", kExpectedCounter);
        ++unlike;
    }
    HWND list = FindChild(main, "SysListView32", nullptr);
    const LRESULT rows = list ? SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : -1;
    if (rows != kExpectedRows) {
        std::fprintf(stderr, "helpshots: the white list shows %d rows, not %d\n",
                     static_cast<int>(rows), kExpectedRows);
        ++unlike;
    }
    const char* tabShots[] = {"window-preferences.bmp", "window-whitelist.bmp"};
    for (int i = 0; i < 2; ++i) {
        if (!tabs || !SelectTab(tabs, i)) {
            ++failures;
            std::fprintf(stderr, "helpshots: cannot pick tab %d\n", i);
            continue;
        }
        failures += !SaveWindow(main, out + tabShots[i]);
    }

    // The sound dialog, from the button inside the sound box.
    if (tabs && SelectTab(tabs, 0)) {
        HWND dots = FindChild(main, nullptr, "...");
        HWND dialog = nullptr;
        if (dots) {
            PostMessageA(dots, BM_CLICK, 0, 0);
            WaitFor([&] {
                const auto shown = TopLevel(pid, "TSelectSound", true);
                dialog = shown.empty() ? nullptr : shown.front();
                return dialog != nullptr;
            });
        }
        if (dialog) {
            failures += !SaveWindow(dialog, out + "select-sound.bmp");
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            WaitFor([&] { return IsWindowVisible(dialog) == FALSE; });
        } else {
            ++failures;
            std::fprintf(stderr, "helpshots: the sound dialog did not open\n");
        }
    } else {
        ++failures;
    }

    // The tray menu with its Help submenu, on the bare desktop.
    PostMessageA(main, WM_CLOSE, 0, 0);
    WaitFor([&] { return IsWindowVisible(main) == FALSE; });
    SetCursorPos(600, 200);
    PostMessageA(main, kWmTrayIcon, kTrayIconId, WM_RBUTTONUP);
    HWND menu = nullptr;
    if (WaitFor([&] {
            const auto menus = TopLevel(pid, "#32768", true);
            menu = menus.empty() ? nullptr : menus.front();
            return menu != nullptr;
        })) {
        PressKeys(menu, {'H'});
        std::vector<HWND> menus;
        WaitFor([&] {
            menus = TopLevel(pid, "#32768", true);
            return menus.size() >= 2;
        });
        std::vector<RECT> rects;
        for (HWND m : menus) {
            Settle(m);
            RECT r{};
            GetWindowRect(m, &r);
            rects.push_back(r);
        }
        failures += menus.size() < 2;
        failures += !SaveScreenRects(rects, out + "tray-menu.bmp");
        PressKeys(menus.front(), {VK_ESCAPE, VK_ESCAPE});
        WaitFor([&] { return TopLevel(pid, "#32768", true).empty(); });
    } else {
        ++failures;
        std::fprintf(stderr, "helpshots: the tray menu did not open\n");
    }

    // Ends the program from its menu: the last item is Exit.
    PostMessageA(main, kWmTrayIcon, kTrayIconId, WM_RBUTTONUP);
    if (WaitFor([&] { return !TopLevel(pid, "#32768", true).empty(); })) {
        PressKeys(TopLevel(pid, "#32768", true).front(), {VK_UP, VK_RETURN});
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0 && running()) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
    if (failures != 0) {
        return 1;
    }
    return unlike == 0 ? 0 : 3;
}
