// The toolkit on its own forms: handles that die from outside, the exception
// display under a nested failure, the application window's class, modal
// results, DPI messages from elsewhere, raised labels and module paths.

#include "TestSupport.h"

#include "toolkit/Application.h"
#include "toolkit/BalloonTip.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Form.h"
#include "toolkit/ModuleFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr FontDesc kProbeTitleFont{.face = "Arial", .heightPx = 24, .bold = true};

constexpr ControlDesc kProbeControls[] = {
    {.name = "Box",
     .kind = ControlKind::CheckBox,
     .left = 8,
     .top = 8,
     .width = 120,
     .height = 17,
     .caption = "Probe",
     .tabOrder = 0},
    {.name = "Raised",
     .kind = ControlKind::Label,
     .left = 8,
     .top = 32,
     .width = 180,
     .height = 30,
     .caption = "Raised",
     .options = opt::kRaised,
     .font = &kProbeTitleFont,
     .textColor = 0x000000},
    {.name = "Flat",
     .kind = ControlKind::Label,
     .left = 8,
     .top = 66,
     .width = 180,
     .height = 30,
     .caption = "Flat",
     .font = &kProbeTitleFont,
     .textColor = 0x000000},
};
constexpr FormDesc kProbeForm{.className = "TVgwlToolkitProbe",
                              .caption = "Toolkit probe",
                              .clientWidth = 200,
                              .clientHeight = 100,
                              .controls = kProbeControls};

class ProbeForm : public TForm {
public:
    explicit ProbeForm(TApplication& app) : TForm(app, kProbeForm) {}
};

SIZE ClientSize(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return {rc.right, rc.bottom};
}

HGDIOBJ FontOf(const TControl& control) {
    return reinterpret_cast<HGDIOBJ>(SendMessageA(control.Handle(), WM_GETFONT, 0, 0));
}

// Sends a message from a thread of its own, as another program would (its
// pointer means nothing here), pumping this thread's messages meanwhile.
void SendFromAnotherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::atomic<bool> done{false};
    std::thread sender([&] {
        SendMessageA(hwnd, msg, wParam, lParam);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 10s)) << "the message was not answered";
    sender.join();
}

TEST(ToolkitForm, DestroyedByItsOwnerTheFormLetsGoOfItsHandle) {
    std::optional<TApplication> app(std::in_place, GetModuleHandleA(nullptr));
    ProbeForm& form = app->CreateForm<ProbeForm>();
    HWND formWindow = form.Handle();
    ASSERT_NE(formWindow, nullptr);
    // The owner goes first and takes its owned form window with it.
    ASSERT_TRUE(DestroyWindow(app->Handle()));
    EXPECT_FALSE(IsWindow(formWindow));
    EXPECT_EQ(form.Handle(), nullptr) << "the form still holds a dead handle";
    EXPECT_EQ(app->Handle(), nullptr) << "the application still holds a dead handle";
    EXPECT_FALSE(form.Visible());

    // A window created now may get a recycled handle; freeing the form and
    // the application later must leave it alone.
    HWND bystander = CreateWindowExA(0, "STATIC", "bystander", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(bystander, nullptr);
    app.reset();
    EXPECT_TRUE(IsWindow(bystander));
    DestroyWindow(bystander);
}

TEST(ToolkitForm, ModalResultSetByTheFormEndsTheShowingWithIt) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& owner = app.CreateForm<ProbeForm>();
    ProbeForm& modal = app.CreateForm<ProbeForm>();
    owner.Show();
    auto& box = modal.Find<TCheckBox>("Box");
    box.OnClick = [&] { modal.SetModalResult(ModalResult::Ok); };
    PostMessageA(box.Handle(), BM_CLICK, 0, 0);
    ModalResult result = ModalResult::None;
    {
        ModalWatchdog watchdog(modal.Handle());
        result = modal.ShowModal();
        EXPECT_FALSE(watchdog.Fired()) << "the modal result did not end the showing";
    }
    EXPECT_EQ(result, ModalResult::Ok);
    EXPECT_FALSE(modal.Visible());
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));

    // A new showing starts without a result: the close box cancels it.
    PostMessageA(modal.Handle(), WM_CLOSE, 0, 0);
    {
        ModalWatchdog watchdog(modal.Handle());
        result = modal.ShowModal();
    }
    EXPECT_EQ(result, ModalResult::Cancel);
    app.DestroyForms();
}

TEST(ToolkitForm, DpiChangeFromAnotherThreadOrPostedKeepsTheWindowsOwnDpiAndSize) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    const int dpi = static_cast<int>(GetDpiForWindow(form.Handle()));
    ASSERT_GT(dpi, 0);
    const SIZE client{MulDiv(200, dpi, 96), MulDiv(100, dpi, 96)};
    ASSERT_EQ(ClientSize(form.Handle()).cx, client.cx);
    RECT before{};
    GetWindowRect(form.Handle(), &before);
    auto& box = form.Find<TCheckBox>("Box");

    // A DPI of 0 with no rectangle, then an absurd DPI with a pointer that
    // is not valid in this process: neither may fault or shrink the window.
    SendFromAnotherThread(form.Handle(), WM_DPICHANGED, MAKEWPARAM(0, 0), 0);
    SendFromAnotherThread(form.Handle(), WM_DPICHANGED, MAKEWPARAM(1, 1), 0x10);
    RECT distant{5000, 5000, 5001, 5001};
    SendFromAnotherThread(form.Handle(), WM_DPICHANGED, MAKEWPARAM(960, 960),
                          reinterpret_cast<LPARAM>(&distant));

    // Posted, as any program may: handled in turn before the close after it.
    form.Show();
    ASSERT_TRUE(PostMessageA(form.Handle(), WM_DPICHANGED, MAKEWPARAM(0, 0), 0x10));
    PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !form.Visible(); }));

    EXPECT_EQ(form.Dpi(), dpi);
    EXPECT_EQ(ClientSize(form.Handle()).cx, client.cx);
    EXPECT_EQ(ClientSize(form.Handle()).cy, client.cy);
    RECT after{};
    GetWindowRect(form.Handle(), &after);
    EXPECT_EQ(after.left, before.left) << "the window stays where it is";
    EXPECT_EQ(after.top, before.top);
    RECT boxRect{};
    GetWindowRect(box.Handle(), &boxRect);
    EXPECT_EQ(boxRect.right - boxRect.left, MulDiv(120, dpi, 96));
    EXPECT_EQ(GetObjectType(FontOf(box)), static_cast<DWORD>(OBJ_FONT));
    app.DestroyForms();
}

TEST(ToolkitForm, DpiChangeOnItsOwnThreadTakesTheSuggestedRectangleAndSwapsTheFonts) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    auto& box = form.Find<TCheckBox>("Box");
    auto& raised = form.Find<TLabel>("Raised");
    const HGDIOBJ oldFormFont = FontOf(box);
    const HGDIOBJ oldTitleFont = FontOf(raised);
    ASSERT_EQ(GetObjectType(oldFormFont), static_cast<DWORD>(OBJ_FONT));

    RECT window{};
    GetWindowRect(form.Handle(), &window);
    RECT suggested{40, 50, 40 + (window.right - window.left), 50 + (window.bottom - window.top)};
    const int dpi = static_cast<int>(GetDpiForWindow(form.Handle()));
    SendMessageA(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));

    RECT after{};
    GetWindowRect(form.Handle(), &after);
    EXPECT_EQ(after.left, 40);
    EXPECT_EQ(after.top, 50);
    EXPECT_EQ(after.right - after.left, window.right - window.left);
    // Every control holds a live font of the set for the window's DPI; the
    // fonts are shared per DPI, so at the same DPI they are the same ones.
    for (const auto& control : form.Controls()) {
        SCOPED_TRACE(std::string(control->Name()));
        const HGDIOBJ font = FontOf(*control);
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_EQ(FontOf(box), oldFormFont);
    EXPECT_EQ(FontOf(raised), oldTitleFont);
    LOGFONTA title{};
    GetObjectA(FontOf(raised), sizeof(title), &title);
    EXPECT_EQ(title.lfHeight, -MulDiv(24, dpi, 96));

    // Without a rectangle the window keeps its place at its described size.
    SendMessageA(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
    GetWindowRect(form.Handle(), &after);
    EXPECT_EQ(after.left, 40);
    EXPECT_EQ(ClientSize(form.Handle()).cx, MulDiv(200, dpi, 96));
    app.DestroyForms();
}

struct Painted {
    std::vector<POINT> highlight;
    std::vector<POINT> text;
};

// Paints a label into a bitmap the way the system does for a print request
// and sorts its pixels: near the highlight colour, or dark as the text (the
// edges of smoothed text are neither).
Painted PaintLabel(const TControl& label) {
    RECT rc{};
    GetClientRect(label.Handle(), &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageA(label.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    Painted painted;
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    for (int y = 0; y < rc.bottom; ++y) {
        for (int x = 0; x < rc.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            auto isNear = [c](COLORREF to, int within) {
                return std::abs(GetRValue(c) - GetRValue(to)) <= within &&
                       std::abs(GetGValue(c) - GetGValue(to)) <= within &&
                       std::abs(GetBValue(c) - GetBValue(to)) <= within;
            };
            if (isNear(highlight, 8)) {
                painted.highlight.push_back({x, y});
            } else if (isNear(RGB(0, 0, 0), 40)) {
                painted.text.push_back({x, y});
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return painted;
}

TEST(ToolkitLabel, RaisedTextShowsItsHighlightAboveAndLeftOfTheText) {
    ASSERT_NE(GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNFACE));
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    auto& raised = form.Find<TLabel>("Raised");
    EXPECT_EQ(raised.Text(), "Raised") << "the caption stays the window text";

    const Painted r = PaintLabel(raised);
    ASSERT_FALSE(r.text.empty()) << "no text was drawn";
    ASSERT_FALSE(r.highlight.empty()) << "no highlight was drawn";
    // What shows of the highlight is the rim that the text, drawn over it
    // one pixel down and right, leaves uncovered: its top and left edges.
    auto mean = [](const std::vector<POINT>& points, LONG POINT::*axis) {
        double sum = 0;
        for (const POINT& p : points) {
            sum += p.*axis;
        }
        return sum / static_cast<double>(points.size());
    };
    EXPECT_LT(mean(r.highlight, &POINT::x), mean(r.text, &POINT::x));
    EXPECT_LT(mean(r.highlight, &POINT::y), mean(r.text, &POINT::y));
    auto leftmost = [](const std::vector<POINT>& points) {
        return std::min_element(points.begin(), points.end(),
                                [](POINT a, POINT b) { return a.x < b.x; })
            ->x;
    };
    EXPECT_LT(leftmost(r.highlight), leftmost(r.text));

    // A label without the option is drawn flat.
    const Painted flat = PaintLabel(form.Find<TLabel>("Flat"));
    EXPECT_FALSE(flat.text.empty());
    EXPECT_TRUE(flat.highlight.empty());
    app.DestroyForms();
}

TEST(ToolkitApplication, AnExceptionUnderTheExceptionDisplayIsNotStackedOnIt) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    auto& box = form.Find<TCheckBox>("Box");
    int failures = 0;
    box.OnClick = [&] { throw ToolkitError("Failure " + std::to_string(++failures)); };
    std::vector<std::string> shown;
    int depth = 0;
    int deepest = 0;
    app.SetMessageDialogHandler([&](const MessageDialogRequest& r) {
        ++depth;
        deepest = std::max(deepest, depth);
        shown.push_back(r.text);
        EXPECT_TRUE(app.ShowingException());
        // While the first box is up its loop goes on: the same event fails
        // again, twice.
        if (shown.size() == 1) {
            SendMessageA(box.Handle(), BM_CLICK, 0, 0);
            SendMessageA(box.Handle(), BM_CLICK, 0, 0);
        }
        --depth;
    });
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(deepest, 1) << "a second box was shown on top of the first";
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Failure 1");
    EXPECT_FALSE(app.ShowingException());

    // Once the box is gone, the next failure is shown again.
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], "Failure 4");

    // A box that itself fails does not leave the display blocked.
    app.SetMessageDialogHandler([&](const MessageDialogRequest& r) {
        shown.push_back(r.text);
        throw std::runtime_error("display failed");
    });
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_FALSE(app.ShowingException());
    app.DestroyForms();
}

bool IconIsAlive(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) {
        return false;
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor) {
        DeleteObject(info.hbmColor);
    }
    return true;
}

TEST(ToolkitApplication, TheClassItRegistersCarriesTheSharedSmallIconAndGoesWithIt) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    HICON smallIcon = nullptr;
    {
        TApplication app(instance);
        ASSERT_TRUE(GetClassInfoExA(instance, "TApplication", &wc));
        smallIcon = wc.hIconSm;
        EXPECT_TRUE(IconIsAlive(smallIcon)) << "the class has no small icon";
    }
    EXPECT_FALSE(GetClassInfoExA(instance, "TApplication", &wc)) << "the class stays registered";
    // One icon for every class, kept by the system for the module: loading it
    // again costs nothing and gives the same one.
    EXPECT_TRUE(IconIsAlive(smallIcon));

    TApplication again(instance);
    ASSERT_TRUE(GetClassInfoExA(instance, "TApplication", &wc));
    EXPECT_EQ(wc.hIconSm, smallIcon);
}

TEST(ToolkitApplication, AClassRegisteredElsewhereIsNeitherGivenAnIconNorRemoved) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA own{};
    own.cbSize = sizeof(own);
    own.lpfnWndProc = &DefWindowProcA;
    own.hInstance = instance;
    own.lpszClassName = "TApplication";
    ASSERT_TRUE(RegisterClassExA(&own));
    {
        TApplication app(instance);
        ASSERT_NE(app.Handle(), nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        ASSERT_TRUE(GetClassInfoExA(instance, "TApplication", &wc));
        EXPECT_EQ(wc.hIconSm, nullptr);
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    EXPECT_TRUE(GetClassInfoExA(instance, "TApplication", &wc)) << "someone else's class went";
    EXPECT_TRUE(UnregisterClassA("TApplication", instance));
}

TEST(ToolkitModuleFile, NamesTheProgramAndALibraryBeyondMaxPath) {
    char buffer[4096] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(ModuleFilePath(nullptr), std::string(buffer, length));
    EXPECT_EQ(ModuleFilePath(reinterpret_cast<HMODULE>(buffer)), "") << "not a module";

    // The component copied into a folder whose path is longer than MAX_PATH.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string root =
        std::string(temp) + "vgwl-long-" + std::to_string(GetCurrentProcessId());
    std::string folder = root;
    while (folder.size() < 2 * MAX_PATH) {
        folder += "\\a-rather-long-folder-name-for-the-path-test";
    }
    std::error_code error;
    fs::create_directories(folder, error);
    ASSERT_FALSE(error) << error.message();
    const std::string copy = folder + "\\olvrex.dll";
    // Over a copy an earlier run may have left: Wine reuses process ids, and
    // removing a path this long can fail there.
    fs::copy_file(DistDir() + "olvrex.dll", copy, fs::copy_options::overwrite_existing, error);
    ASSERT_FALSE(error) << error.message();
    // The "A" loader refuses such a path; the wide one takes it.
    HMODULE module = LoadLibraryW(fs::path(copy).wstring().c_str());
    if (module) {
        const std::string path = ModuleFilePath(module);
        FreeLibrary(module);
        EXPECT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_EQ(path, copy);
    } else {
        ADD_FAILURE() << "the copy cannot be loaded: " << GetLastError();
    }
    fs::remove_all(root, error);
}

// A balloon belongs to its anchor's top-level window, which destroys it
// along with itself: the balloon must then let its handle go, not destroy it
// a second time (by then the handle may name another window).
TEST(BalloonTip, AWindowItsOwnerDestroyedIsNotDestroyedAgain) {
    HWND top = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(top);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, top,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(edit);
    std::optional<TBalloonTip> balloon(std::in_place);
    balloon->Show(edit, POINT{20, 30}, "Not added", "Why");
    ASSERT_TRUE(balloon->Visible());
    ASSERT_TRUE(DestroyWindow(top));
    SetLastError(ERROR_SUCCESS);
    balloon.reset();
    // A second DestroyWindow fails (and says so): no call at all is made.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS))
        << "the balloon destroyed a window that no longer exists";
}

}  // namespace
}  // namespace vgwl::test
