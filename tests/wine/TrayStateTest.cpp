// The tray icon as the user reads it: the "off" image and tip while popup
// blocking is switched off, from each place it can be switched; and clicks
// on the icon while a modal window is up bring that window to the front.

#include "PreferencesFixture.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace vgwl::test {
namespace {

using namespace std::chrono_literals;

constexpr char kTipOn[] = "Velmora Gatewick Lite";
constexpr char kTipOff[] = "Velmora Gatewick Lite - popup blocking is off";

class TrayState : public PreferencesTest {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }

    // The icon and tip the shell was last told to show.
    const NOTIFYICONDATAA& Shown() const {
        EXPECT_FALSE(trayCalls.empty());
        return trayCalls.back().data;
    }
    void ExpectOff(const char* how) {
        SCOPED_TRACE(how);
        ASSERT_FALSE(trayCalls.empty());
        EXPECT_EQ(Shown().hIcon, Window().TrayOffImage.get());
        EXPECT_STREQ(Shown().szTip, kTipOff);
        EXPECT_NE(Window().TrayOffImage.get(), Window().TrayIconImage.get());
    }
    void ExpectOn(const char* how) {
        SCOPED_TRACE(how);
        ASSERT_FALSE(trayCalls.empty());
        EXPECT_EQ(Shown().hIcon, Window().TrayIconImage.get());
        EXPECT_STREQ(Shown().szTip, kTipOn);
    }
    std::optional<DWORD> Stored() {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus");
    }
};

TEST_F(TrayState, CheckBoxSwitchesTheIconAndTipBothWays) {
    CreateWindow();
    ExpectOn("at start, blocking on by default");
    SendMessageA(Window().RzCheckBox1->Handle(), BM_CLICK, 0, 0);
    ASSERT_FALSE(Window().RzCheckBox1->Checked());
    EXPECT_EQ(Stored(), 0u);
    ExpectOff("check box cleared");
    EXPECT_EQ(trayCalls.back().message, static_cast<DWORD>(NIM_MODIFY));
    SendMessageA(Window().RzCheckBox1->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(Window().RzCheckBox1->Checked());
    ExpectOn("check box set again");
}

TEST_F(TrayState, TrayMenuSwitchesTheIconAndTipBothWays) {
    CreateWindow();
    ASSERT_TRUE(Window().TrayMenu.DispatchCommand(Window().EnablePopUpBlocker1->Id()));
    EXPECT_FALSE(Window().EnablePopUpBlocker1->Checked());
    ExpectOff("menu item cleared");
    ASSERT_TRUE(Window().TrayMenu.DispatchCommand(Window().EnablePopUpBlocker1->Id()));
    EXPECT_TRUE(Window().EnablePopUpBlocker1->Checked());
    ExpectOn("menu item set again");
}

TEST_F(TrayState, StartWithBlockingOffShowsTheOffIconAndOnShowsTheNormalOne) {
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 0);
    CreateWindow();
    ExpectOff("started with blocking off");
    TearDown();
    trayCalls.clear();
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 1);
    CreateWindow();
    ExpectOn("started with blocking on");
    // Only the add and nothing else when there is nothing to change.
    EXPECT_EQ(trayCalls.front().message, static_cast<DWORD>(NIM_ADD));
}

TEST_F(TrayState, BlinkEndsOnTheIconOfTheCurrentState) {
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 0);
    CreateWindow();
    Window().AnimateTrayIcon();
    ExpectOff("after a blink with blocking off");
    SendMessageA(Window().RzCheckBox1->Handle(), BM_CLICK, 0, 0);
    Window().AnimateTrayIcon();
    ExpectOn("after a blink with blocking on");
}

// ------------------------------------------------------------ modal front

// Records the foreground window when its message comes, from inside the
// modal loop of the dialog.
class ForegroundProbe {
public:
    ForegroundProbe() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ForegroundProbe::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VgwlForegroundProbe";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ForegroundProbe() { DestroyWindow(hwnd_); }
    ForegroundProbe(const ForegroundProbe&) = delete;
    ForegroundProbe& operator=(const ForegroundProbe&) = delete;

    void Queue(int slot) { PostMessageA(hwnd_, WM_APP, static_cast<WPARAM>(slot), 0); }
    HWND seen[2] = {nullptr, nullptr};
    bool menuOpen[2] = {false, false};

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<ForegroundProbe*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_APP && self && w < 2) {
            self->seen[w] = GetForegroundWindow();
            self->menuOpen[w] = FindWindowA("#32768", nullptr) != nullptr &&
                                IsWindowVisible(FindWindowA("#32768", nullptr));
            return 0;
        }
        return DefWindowProcA(hwnd, msg, w, l);
    }
    HWND hwnd_ = nullptr;
};

TEST_F(TrayState, ClicksOnTheIconWhileTheSoundDialogIsOpenBringTheDialogToTheFront) {
    CreateWindow();
    Window().Show();
    HWND main = Window().Handle();
    HWND dialog = SelectSound().Handle();
    ForegroundProbe probe;
    // Waiting in the queue for the dialog's modal loop: a double-click on the
    // icon, a look, a right click, a look, then the dialog's close box.
    PostMessageA(main, contract::kWmTrayIcon, 1005, WM_LBUTTONDBLCLK);
    probe.Queue(0);
    PostMessageA(main, contract::kWmTrayIcon, 1005, WM_RBUTTONUP);
    probe.Queue(1);
    PostMessageA(dialog, WM_CLOSE, 0, 0);

    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 750 && !done; ++i) {
            std::this_thread::sleep_for(20ms);
        }
        if (!done) {
            // A menu left open holds the loop: close it, then the dialog.
            PostMessageA(main, WM_CANCELMODE, 0, 0);
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    });
    Window().RzButtonEdit1ButtonClick();
    done = true;
    watchdog.join();

    EXPECT_EQ(probe.seen[0], dialog) << "double-click: the disabled main window came forward";
    EXPECT_EQ(probe.seen[1], dialog) << "right click: the disabled main window came forward";
    EXPECT_FALSE(probe.menuOpen[1]) << "the menu opened over a modal dialog";
    EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(TrayState, WithoutAModalWindowTheDoubleClickStillShowsTheMainWindow) {
    CreateWindow();
    EXPECT_EQ(App().ModalWindow(), nullptr);
    Window().TrayIconMessage(1005, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Window().Visible());
    EXPECT_EQ(GetForegroundWindow(), Window().Handle());
}

}  // namespace
}  // namespace vgwl::test
