// The main window as a form: layout, tab order, hiding to and showing from
// the tray, exit; and the toolkit behaviour the shell relies on.

#include "PreferencesFixture.h"

#include "app/Splashform.h"
#include "resources/FormDescriptions.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

namespace vgwl::test {
namespace {

RECT RectInParent(HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class ShellForm : public PreferencesTest {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }
};

TEST_F(ShellForm, WindowHasItsCaptionClientAreaAndOnlyTheCloseBox) {
    TVMGWLPreferences& w = CreateWindow();
    char className[64] = {};
    GetClassNameA(w.Handle(), className, sizeof(className));
    EXPECT_STREQ(className, "TVMGWLPreferences");
    char caption[64] = {};
    GetWindowTextA(w.Handle(), caption, sizeof(caption));
    EXPECT_STREQ(caption, "Velmora Gatewick Lite");
    ASSERT_EQ(w.Dpi(), 96) << "the layout checks below assume 96 DPI";
    RECT client{};
    GetClientRect(w.Handle(), &client);
    EXPECT_EQ(client.right, 415);
    EXPECT_EQ(client.bottom, 363);
    const LONG style = GetWindowLongA(w.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    // Owned by the application window, so the form has no taskbar button.
    EXPECT_EQ(GetWindow(w.Handle(), GW_OWNER), App().Handle());
    EXPECT_FALSE(w.Visible());
}

TEST_F(ShellForm, EveryControlStandsWhereTheDescriptionPutsIt) {
    TVMGWLPreferences& w = CreateWindow();
    int checked = 0;
    for (const ControlDesc& d : kPreferencesForm.controls) {
        if (d.kind == ControlKind::ListColumn || d.kind == ControlKind::TabSheet) {
            continue;
        }
        SCOPED_TRACE(std::string(d.name));
        TControl& c = w.Control(d.name);
        const RECT rc = RectInParent(c.Handle());
        if (d.options & opt::kAlignClient) {
            RECT parent{};
            GetClientRect(GetParent(c.Handle()), &parent);
            EXPECT_LE(rc.right - rc.left, parent.right);
            EXPECT_GE(rc.right - rc.left, parent.right - 4);
            continue;
        }
        // A caption that needs more room than described (a substitute font)
        // may grow its control; the described rectangle stays covered.
        const bool mayGrow = d.kind == ControlKind::Label || d.kind == ControlKind::CheckBox ||
                             d.kind == ControlKind::UrlLabel;
        if (mayGrow && !(d.options & opt::kAutoSize) && d.width > 0) {
            EXPECT_LE(rc.left, d.left);
            EXPECT_EQ(rc.top, d.top);
            EXPECT_GE(rc.right, d.left + d.width);
            EXPECT_GE(rc.bottom, d.top + d.height);
        } else {
            EXPECT_EQ(rc.left, d.left);
            EXPECT_EQ(rc.top, d.top);
        }
        if (!mayGrow && !(d.options & opt::kAutoSize) && d.width > 0) {
            EXPECT_EQ(rc.right - rc.left, d.width);
            EXPECT_EQ(rc.bottom - rc.top, d.height);
        }
        if (!d.caption.empty() && d.kind != ControlKind::UrlLabel &&
            d.kind != ControlKind::GroupBox) {
            EXPECT_EQ(c.Text(), d.caption);
        }
        ++checked;
    }
    EXPECT_GT(checked, 25);
    // Children of the pages sit on the page of their description.
    EXPECT_EQ(GetParent(w.RzCheckBox1->Handle()), w.TabSheet1->Handle());
    EXPECT_EQ(GetParent(w.ListView1->Handle()), w.Control("RzPanel1").Handle());
    EXPECT_EQ(GetParent(w.RzBitBtn1->Handle()), w.Control("RzGroupBox1").Handle());
}

TEST_F(ShellForm, PagesHaveTheirCaptionsAndTheFirstIsActive) {
    TVMGWLPreferences& w = CreateWindow();
    ASSERT_EQ(w.RzPageControl1->PageCount(), 3);
    const char* captions[] = {"Prefrences", "White List", "About"};
    for (int i = 0; i < 3; ++i) {
        char text[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(w.RzPageControl1->Handle(), TCM_GETITEMA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, captions[i]);
    }
    EXPECT_EQ(w.RzPageControl1->ActivePageIndex(), 0);
    EXPECT_TRUE(IsWindowVisible(w.TabSheet1->Handle()) || !w.Visible());
    EXPECT_FALSE(GetWindowLongA(w.TabSheet2->Handle(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ShellForm, TabPassesThroughTheSoundBoxBeforeTheLowerCheckBoxes) {
    TVMGWLPreferences& w = CreateWindow();
    w.Show();
    HWND form = w.Handle();
    auto next = [form](HWND from) { return GetNextDlgTabItem(form, from, FALSE); };
    EXPECT_EQ(next(w.RzCheckBox1->Handle()), w.RzCheckBox2->Handle());
    EXPECT_EQ(next(w.RzCheckBox2->Handle()), w.RzButtonEdit1->Handle());
    EXPECT_EQ(next(w.RzButtonEdit1->Handle()), w.RzBitBtn1->Handle());
    EXPECT_EQ(next(w.RzBitBtn1->Handle()), w.RzCheckBox3->Handle());
    EXPECT_EQ(next(w.RzCheckBox3->Handle()), w.RzCheckBox4->Handle());
}

TEST_F(ShellForm, WhiteListPageTabOrderIsListAddSaveThenEntryBox) {
    TVMGWLPreferences& w = CreateWindow();
    w.Show();
    w.RzPageControl1->SetActivePage(1);
    HWND form = w.Handle();
    auto next = [form](HWND from) { return GetNextDlgTabItem(form, from, FALSE); };
    EXPECT_EQ(next(w.ListView1->Handle()), w.RzBitBtn2->Handle());
    EXPECT_EQ(next(w.RzBitBtn2->Handle()), w.RzBitBtn4->Handle());
    EXPECT_EQ(next(w.RzBitBtn4->Handle()), w.RzEdit1->Handle());
}

TEST_F(ShellForm, ActivePageAndEntryTextSurviveHideAndShow) {
    TVMGWLPreferences& w = CreateWindow();
    w.Show();
    w.RzPageControl1->SetActivePage(2);
    w.RzEdit1->SetText("example.org");
    SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(w.Visible());
    w.Preferences1Click();
    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(w.RzPageControl1->ActivePageIndex(), 2);
    EXPECT_TRUE(IsWindowVisible(w.TabSheet3->Handle()));
    EXPECT_FALSE(IsWindowVisible(w.TabSheet1->Handle()));
    EXPECT_EQ(w.RzEdit1->Text(), "example.org");
}

TEST_F(ShellForm, CloseBoxHidesTheWindowAndTheProgramStays) {
    TVMGWLPreferences& w = CreateWindow();
    App().ShowApplicationWindow();
    w.Show();
    SendMessageA(w.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(w.Visible());
    EXPECT_TRUE(IsWindow(w.Handle()));
    EXPECT_FALSE(IsWindowVisible(App().Handle())) << "the taskbar button goes too";
    EXPECT_FALSE(App().Terminated());
}

TEST_F(ShellForm, MinimiseHidesAndRestoreShowsInFront) {
    TVMGWLPreferences& w = CreateWindow();
    w.Show();
    App().Minimize();
    EXPECT_FALSE(w.Visible());
    EXPECT_FALSE(IsWindowVisible(App().Handle()));
    App().Restore();
    EXPECT_TRUE(w.Visible());
    EXPECT_TRUE(IsWindowVisible(App().Handle()));
    // After the close box (no minimise in between) restoring shows it again.
    SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(w.Visible());
    App().Restore();
    EXPECT_TRUE(w.Visible());
}

TEST_F(ShellForm, PreferencesMenuShowsTheWindowButNoTaskbarButton) {
    TVMGWLPreferences& w = CreateWindow();
    App().Minimize();
    w.Preferences1Click();
    EXPECT_TRUE(w.Visible());
    EXPECT_FALSE(IsIconic(w.Handle()));
    EXPECT_FALSE(IsWindowVisible(App().Handle()));
}

TEST_F(ShellForm, CreationMarksTheFrontEndRunningAndExitClearsIt) {
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning"), 1u);
    w.ExitPopUpBlocker1Click();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning"), 0u);
    EXPECT_TRUE(App().Terminated());
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(ShellForm, ExitWithoutAnOpenableKeyStillEndsSilently) {
    bool deny = false;
    Services().registryOpenHook = [&deny](HKEY, std::string_view, bool) { return !deny; };
    TVMGWLPreferences& w = CreateWindow();
    ASSERT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning"), 1u);
    deny = true;
    dialogs.clear();
    w.ExitPopUpBlocker1Click();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning"), 1u);
    EXPECT_TRUE(App().Terminated());
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(ShellForm, IconsAreLoadedAtTheirStoredSixteenPixels) {
    TVMGWLPreferences& w = CreateWindow();
    for (HICON icon : {w.TrayIconImage.get(), w.TrayAnimImage.get()}) {
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectA(info.hbmMask, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, 16);
        // A mask of an icon with colour holds only the AND part.
        EXPECT_EQ(bm.bmHeight, info.hbmColor ? 16 : 32);
        if (info.hbmColor) {
            DeleteObject(info.hbmColor);
        }
        DeleteObject(info.hbmMask);
    }
    EXPECT_NE(w.TrayIconImage.get(), w.TrayAnimImage.get());
}

TEST(ShellSplash, SplashIsBorderlessAndHoldsTheDecodedPicture) {
    TApplication app(GetModuleHandleA(nullptr));
    TSplashScreen& splash = app.CreateOwnedForm<TSplashScreen>();
    EXPECT_EQ(app.MainForm(), nullptr) << "the splash never becomes the main form";
    RECT client{};
    GetClientRect(splash.Handle(), &client);
    EXPECT_EQ(client.right, 411);
    EXPECT_EQ(client.bottom, 309);
    EXPECT_FALSE(GetWindowLongA(splash.Handle(), GWL_STYLE) & WS_CAPTION);
    auto* picture = reinterpret_cast<HBITMAP>(
        SendMessageA(splash.Image1->Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(picture, nullptr) << "the JPEG resource was not decoded";
    BITMAP bm{};
    GetObjectA(picture, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 411);
    EXPECT_EQ(bm.bmHeight, 309);
    app.DestroyForms();
}

// A form of its own for the toolkit checks below.
constexpr ControlDesc kProbeControls[] = {
    {.name = "Box",
     .kind = ControlKind::CheckBox,
     .left = 8,
     .top = 8,
     .width = 120,
     .height = 17,
     .caption = "Probe",
     .tabOrder = 0},
};
constexpr FormDesc kProbeForm{.className = "TVgwlProbeForm",
                              .caption = "Probe",
                              .clientWidth = 200,
                              .clientHeight = 100,
                              .controls = kProbeControls};

class ProbeForm : public TForm {
public:
    explicit ProbeForm(TApplication& app) : TForm(app, kProbeForm) {}
    int shown = 0;
    CloseAction closeAction = CloseAction::Hide;

protected:
    void FormShow() override { ++shown; }
    void FormClose(CloseAction& action) override { action = closeAction; }
};

TEST(ShellToolkit, ExceptionInAnEventIsShownOnceAndTheFormGoesOn) {
    TApplication app(GetModuleHandleA(nullptr));
    std::vector<std::string> shown;
    app.SetMessageDialogHandler([&](const MessageDialogRequest& r) {
        EXPECT_EQ(r.type, MessageDialogType::Error);
        shown.push_back(r.text);
    });
    ProbeForm& form = app.CreateForm<ProbeForm>();
    auto& box = form.Find<TCheckBox>("Box");
    int clicks = 0;
    box.OnClick = [&] {
        ++clicks;
        throw ToolkitError("Probe failure");
    };
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Probe failure");
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_TRUE(IsWindow(form.Handle()));
    app.DestroyForms();
}

TEST(ShellToolkit, ShowRunsTheShowEventOnlyWhenTheFormWasHidden) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    form.Show();
    form.Show();
    EXPECT_EQ(form.shown, 1);
    form.Hide();
    form.Show();
    EXPECT_EQ(form.shown, 2);
    app.DestroyForms();
}

TEST(ShellToolkit, ModalShowingEndsOnCloseAndReenablesTheOtherForms) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& owner = app.CreateForm<ProbeForm>();
    ProbeForm& modal = app.CreateForm<ProbeForm>();
    owner.Show();
    bool ownerDisabledWhileModal = false;
    // Runs inside the modal loop: looks at the owner, then closes the dialog.
    SetTimer(modal.Handle(), 1, 10, nullptr);
    auto& box = modal.Find<TCheckBox>("Box");
    box.OnClick = [&] {
        ownerDisabledWhileModal = !IsWindowEnabled(owner.Handle());
        modal.Close();
    };
    PostMessageA(box.Handle(), BM_CLICK, 0, 0);
    ModalResult result = ModalResult::None;
    {
        ModalWatchdog watchdog(modal.Handle());
        result = modal.ShowModal();
        EXPECT_FALSE(watchdog.Fired()) << "the modal showing did not end by itself";
    }
    KillTimer(modal.Handle(), 1);
    EXPECT_EQ(result, ModalResult::Cancel);
    EXPECT_TRUE(ownerDisabledWhileModal);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    EXPECT_FALSE(modal.Visible());
    app.DestroyForms();
}

TEST(ShellToolkit, CloseActionNoneKeepsTheFormShown) {
    TApplication app(GetModuleHandleA(nullptr));
    ProbeForm& form = app.CreateForm<ProbeForm>();
    form.closeAction = CloseAction::None;
    form.Show();
    SendMessageA(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.Visible());
    form.closeAction = CloseAction::Free;
    SendMessageA(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.Terminated()) << "freeing the main form ends the program";
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    app.DestroyForms();
}

}  // namespace
}  // namespace vgwl::test
