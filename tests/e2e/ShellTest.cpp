// The installed program from outside: start-up with its splash, the single
// instance guard, the main window's layout and its close box, and what the
// program file carries.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace vgwl::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kSettingsKey(contract::kSettingsKey);

RECT ClientRectInParent(HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

HWND FindVisibleOfClass(DWORD pid, const std::string& className) {
    struct State {
        DWORD pid;
        std::string className;
        HWND found = nullptr;
    } state{pid, className};
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<State*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid && IsWindowVisible(hwnd) &&
                ProgramDriver::ClassOf(hwnd) == s->className) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&state));
    return state.found;
}

TEST(E2eShell, SplashStaysAtLeastOneAndAHalfSecondsThenNothingIsVisible) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND splash = nullptr;
    const auto startDeadline = Clock::now() + 20s;
    while (!splash && Clock::now() < startDeadline) {
        splash = FindVisibleOfClass(program.ProcessId(), "TSplashScreen");
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_NE(splash, nullptr) << "the splash never became visible";
    RECT client{};
    GetClientRect(splash, &client);
    EXPECT_EQ(client.right, 411);
    EXPECT_EQ(client.bottom, 309);
    // Centred on the screen.
    RECT window{};
    GetWindowRect(splash, &window);
    EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 40);

    // The forms are built while the splash is up; it stays 1.5 s after them.
    HWND dialog = nullptr;
    while (IsWindowVisible(splash) && Clock::now() < startDeadline) {
        dialog = FindWindowA("TSelectSound", nullptr);
        if (dialog) {
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_NE(dialog, nullptr) << "the splash went before the forms were built";
    const auto formsBuilt = Clock::now();
    while (IsWindowVisible(splash) && Clock::now() < startDeadline) {
        std::this_thread::sleep_for(5ms);
    }
    const auto splashGone = Clock::now();
    EXPECT_GE(
        std::chrono::duration_cast<std::chrono::milliseconds>(splashGone - formsBuilt).count(),
        1450);

    ASSERT_TRUE(program.WaitUntilResident());
    EXPECT_TRUE(program.VisibleTopLevelWindows().empty());
    HWND app = program.ApplicationWindow();
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(IsWindowVisible(app)) << "no taskbar button";
    EXPECT_EQ(ProgramDriver::WindowText(app), "Velmora Gatewick Lite");
    EXPECT_TRUE(program.Running());
}

TEST(E2eShell, SecondCopyWarnsAndEndsWithCodeZeroLeavingTheFirstAlone) {
    ProgramDriver first;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(first.WaitUntilResident());
    HWND firstMain = first.MainWindow();

    ProgramDriver second;
    ASSERT_TRUE(second.Start());
    HWND box = second.WaitForDialog();
    ASSERT_NE(box, nullptr) << "the second copy showed no warning";
    EXPECT_EQ(ProgramDriver::DialogText(box), "There is another instance of the program running");
    EXPECT_EQ(ProgramDriver::WindowText(box), "Warning");
    // The second copy builds no window of its own.
    EXPECT_EQ(second.MainWindow(), nullptr);
    ProgramDriver::PressDialogButton(box);
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(code));
    EXPECT_EQ(code, 0u);

    EXPECT_TRUE(first.Running());
    EXPECT_EQ(first.MainWindow(), firstMain);
    EXPECT_FALSE(IsWindowVisible(firstMain)) << "the first copy is not activated";
    EXPECT_TRUE(first.VisibleTopLevelWindows().empty());
}

TEST(E2eShell, SecondCopyEndsSilentlyWhenNoWindowHasTheTitle) {
    // The mutex exists but no first copy has a window yet.
    const std::string name(contract::kMutexName);
    UniqueKernelHandle mutex(CreateMutexA(nullptr, TRUE, name.c_str()));
    ASSERT_TRUE(mutex);
    ProgramDriver second;
    ASSERT_TRUE(second.Start());
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(second.WaitForDialog(0ms), nullptr);
    ReleaseMutex(mutex.get());
}

TEST(E2eShell, GuardNameTakenByAnotherKindOfObjectStopsTheStartWithAnError) {
    // An event holds the name: the mutex cannot be created at all.
    const std::string name(contract::kMutexName);
    UniqueKernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(squatter);
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey));
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    HWND box = program.WaitForDialog();
    ASSERT_NE(box, nullptr) << "the program started without its guard, or silently ended";
    EXPECT_EQ(ProgramDriver::DialogText(box),
              "The program cannot start: its single-instance guard could not be created");
    EXPECT_EQ(ProgramDriver::WindowText(box), "Error");
    EXPECT_EQ(program.MainWindow(), nullptr);
    ProgramDriver::PressDialogButton(box);
    DWORD code = 99;
    ASSERT_TRUE(program.WaitForExit(code));
    EXPECT_EQ(code, 1u);
    // It ended before touching anything of the first copy's.
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "GatewickRunning").has_value());
}

TEST(E2eShell, GuardThatMayNotBeOpenedCountsAsASecondCopy) {
    // A mutex of that name whose empty access list lets nobody open it, as
    // one made by a copy running with other rights.
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ACL emptyAcl{};
    ASSERT_TRUE(InitializeAcl(&emptyAcl, sizeof(emptyAcl), ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    const std::string name(contract::kMutexName);
    UniqueKernelHandle guard(CreateMutexA(&attributes, TRUE, name.c_str()));
    ASSERT_TRUE(guard);
    UniqueKernelHandle again(CreateMutexA(nullptr, FALSE, name.c_str()));
    ASSERT_FALSE(again) << "the empty access list is not enforced here";
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ProgramDriver second;
    ASSERT_TRUE(second.Start());
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(code));
    EXPECT_EQ(code, 0u) << "taken for a start without a guard";
    EXPECT_EQ(second.WaitForDialog(0ms), nullptr);
    ReleaseMutex(guard.get());
}

TEST(E2eShell, MainWindowShowsEveryPreferencesControlInPlace) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ProgramDriver::WindowText(main), "Velmora Gatewick Lite");
    // Restoring the application (as its taskbar button does) shows the window.
    SendMessageA(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(main));
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 415);
    EXPECT_EQ(client.bottom, 363);

    struct Expected {
        const char* cls;
        const char* text;
        int left, top, width, height;
    };
    const Expected controls[] = {
        {"Button", "Enable popup blocking", 16, 25, 260, 17},
        {"Button", "Start Velmora Gatewick Lite when windows start", 16, 53, 260, 17},
        {"Button", "Animate system tray icon when a popup window is blocked", 16, 80, 303, 17},
        {"Button", "Play a sound when a popup window is blocked", 16, 108, 294, 17},
        {"Button", "Test sound", 285, 21, 27, 21},
        {"Static", "Number of eliminated popup windows", 35, 15, 0, 0},
        {"Static", "URL", 6, 207, 0, 0},
        {"Button", "Save", 304, 235, 90, 25},
        {"Static",
         "Upgrade now to Velmora Ostrand and get many advanced features over Velmora Gatewick "
         "Lite. Click the link below to find out more!",
         29, 308, 333, 26},
        {"SysLink", "<a>Click here to find out more and protect your privacy now!</a>", 67, 342,
         266, 13},
        {"Static", "Velmora Gatewick Lite", 81, 60, 233, 29},
        {"Static", "Support", 114, 142, 0, 0},
        {"Static", "Website", 114, 166, 0, 0},
        {"Static", "Keep informed about updates for Velmora Gatewick Lite!", 36, 218, 0, 0},
        {"SysLink", "<a>Click here</a>", 315, 218, 0, 0},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.text);
        HWND control = ProgramDriver::FindChild(main, e.cls, e.text);
        ASSERT_NE(control, nullptr);
        const RECT rc = ClientRectInParent(control);
        // A caption that needs more room than described (a font substituted
        // for a missing face) grows its control over the described rectangle;
        // picture buttons keep their size.
        const bool button = std::string(e.text) == "Test sound" || std::string(e.text) == "Save";
        EXPECT_EQ(rc.top, e.top);
        if (e.width && !button) {
            EXPECT_LE(rc.left, e.left);
            EXPECT_GE(rc.right, e.left + e.width);
            EXPECT_GE(rc.bottom, e.top + e.height);
        } else {
            EXPECT_EQ(rc.left, e.left);
        }
        if (e.width && button) {
            EXPECT_EQ(rc.right - rc.left, e.width);
            EXPECT_EQ(rc.bottom - rc.top, e.height);
        }
    }
    HWND group = ProgramDriver::FindChild(main, "Button", "Sound to play");
    ASSERT_NE(group, nullptr);
    const RECT groupBox = ClientRectInParent(GetParent(group));
    EXPECT_EQ(groupBox.left, 15);
    EXPECT_EQ(groupBox.top, 142);
    HWND tabs = ProgramDriver::FindChild(main, "SysTabControl32", "");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    const RECT tabRect = ClientRectInParent(tabs);
    EXPECT_EQ(tabRect.left, 6);
    EXPECT_EQ(tabRect.top, 7);
    EXPECT_EQ(tabRect.right - tabRect.left, 403);
    EXPECT_EQ(tabRect.bottom - tabRect.top, 287);
    HWND list = ProgramDriver::FindChild(main, "SysListView32", "");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & LVS_REPORT);
}

TEST(E2eShell, CloseBoxHidesTheWindowAndTheProgramStaysResident) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    SendMessageA(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(IsWindowVisible(main));
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(IsWindow(main));
    // Ending would be at once; the wait returns early if it happens.
    DWORD code = 0;
    EXPECT_FALSE(program.WaitForExit(code, 500ms)) << "the program ended with " << code;
    EXPECT_TRUE(program.VisibleTopLevelWindows().empty());
}

TEST(E2eShell, LayoutScalesWithTheDisplayDpi) {
    // Each new program reads the desktop's DPI when it starts: 144 DPI, 150 %.
    const std::string desktop = "Control Panel\\Desktop";
    const std::optional<RawValue> saved = ReadRawValue(HKEY_CURRENT_USER, desktop, "LogPixels");
    WriteDword(HKEY_CURRENT_USER, desktop, "LogPixels", 144);
    struct Restore {
        const std::string& key;
        const std::optional<RawValue>& value;
        ~Restore() {
            if (value) {
                WriteRawValue(HKEY_CURRENT_USER, key, *value);
            } else {
                RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), "LogPixels");
            }
        }
    } restore{desktop, saved};

    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    SendMessageA(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, MulDiv(415, 144, 96));
    EXPECT_EQ(client.bottom, MulDiv(363, 144, 96));
    HWND box =
        ProgramDriver::FindChild(main, "Button", "Play a sound when a popup window is blocked");
    ASSERT_NE(box, nullptr);
    const RECT rc = ClientRectInParent(box);
    EXPECT_EQ(rc.left, MulDiv(16, 144, 96));
    EXPECT_EQ(rc.top, MulDiv(108, 144, 96));
    EXPECT_EQ(rc.right - rc.left, MulDiv(294, 144, 96));
}

TEST(E2eShell, DpiMessagesFromAnotherProgramLeaveTheWindowWhole) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    SendMessageA(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(IsWindowVisible(main));
    RECT window{};
    GetWindowRect(main, &window);
    HWND box =
        ProgramDriver::FindChild(main, "Button", "Play a sound when a popup window is blocked");
    ASSERT_NE(box, nullptr);
    const RECT boxBefore = ClientRectInParent(box);

    // No rectangle, a pointer that means nothing in the program, and one to
    // a rectangle of this process; DPIs of 0, 1 and 960.
    RECT ours{0, 0, 1, 1};
    const struct {
        WPARAM dpi;
        LPARAM rect;
    } messages[] = {{MAKEWPARAM(0, 0), 0},
                    {MAKEWPARAM(1, 1), 0x10},
                    {MAKEWPARAM(960, 960), reinterpret_cast<LPARAM>(&ours)}};
    for (const auto& m : messages) {
        SCOPED_TRACE(m.dpi);
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutA(main, WM_DPICHANGED, m.dpi, m.rect, SMTO_ABORTIFHUNG, 5000,
                                      &answer),
                  0)
            << "no answer";
        ASSERT_TRUE(program.Running()) << "the program died";
        RECT client{};
        GetClientRect(main, &client);
        EXPECT_EQ(client.right, 415);
        EXPECT_EQ(client.bottom, 363);
        RECT now{};
        GetWindowRect(main, &now);
        EXPECT_EQ(now.left, window.left);
        EXPECT_EQ(now.top, window.top);
        const RECT boxNow = ClientRectInParent(box);
        EXPECT_EQ(boxNow.left, boxBefore.left);
        EXPECT_EQ(boxNow.right - boxNow.left, boxBefore.right - boxBefore.left);
        EXPECT_EQ(boxNow.bottom - boxNow.top, boxBefore.bottom - boxBefore.top);
    }

    // Posted, as any program may: it is handled before the close posted
    // after it, which hides the window.
    ASSERT_TRUE(PostMessageA(main, WM_DPICHANGED, MAKEWPARAM(0, 0), 0x10));
    ASSERT_TRUE(PostMessageA(main, WM_CLOSE, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(main) || !program.Running(); }));
    ASSERT_TRUE(program.Running()) << "the program died";
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 415);
    EXPECT_EQ(client.bottom, 363);
}

TEST(E2eShell, ProgramFileCarriesVersionManifestAndIcons) {
    const std::string exe = InstalledProgram();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize));
    EXPECT_EQ(info->dwFileVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(info->dwFileVersionLS, MAKELONG(0, 2));
    EXPECT_EQ(info->dwProductVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(info->dwProductVersionLS, MAKELONG(0, 2));

    UniqueHmodule module(LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    HRSRC manifest = FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module.get(), manifest)));
    const std::string manifestText(text, SizeofResource(module.get(), manifest));
    EXPECT_NE(manifestText.find("asInvoker"), std::string::npos);
    EXPECT_NE(manifestText.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifestText.find("PerMonitorV2"), std::string::npos);
    for (const char* icon : {"MAINICON", "TRAYICON", "TRAYANIM"}) {
        EXPECT_NE(FindResourceA(module.get(), icon, MAKEINTRESOURCEA(14)), nullptr) << icon;
    }
    EXPECT_NE(FindResourceA(module.get(), "SPLASH", "JPEG"), nullptr);
}

}  // namespace
}  // namespace vgwl::test
