// Keyboard use of the forms: pages switched as in a property sheet, the Tab
// key's round through the tab strip, focus rectangles once the keyboard is
// used, and Enter, Escape and double-click in the sound dialog.

#include "PreferencesFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vgwl::test {
namespace {

using namespace std::chrono_literals;

// Holds modifier keys down in this thread's key state (what GetKeyState
// reads) for the length of a scope.
class HeldKeys {
public:
    HeldKeys(std::initializer_list<int> keys) {
        GetKeyboardState(saved_);
        BYTE state[256] = {};
        for (int key : keys) {
            state[key] = 0x80;
        }
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(saved_); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE saved_[256] = {};
};

class KeyboardFixture : public PreferencesTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        CreateWindow();
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }

    // A key pressed on the focused control, through the application's loop
    // as typed keys go.
    void Press(WPARAM key, std::initializer_list<int> modifiers = {}) {
        HeldKeys held(modifiers);
        HWND target = GetFocus();
        ASSERT_NE(target, nullptr) << "nothing has the focus";
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            App().DispatchOne(msg);
        }
    }

    void ShowWindowWithFocusOn(TControl& control) {
        Window().Show();
        SetForegroundWindow(Window().Handle());
        control.SetFocus();
        ASSERT_EQ(GetFocus(), control.Handle());
    }

    int ActivePage() { return Window().RzPageControl1->ActivePageIndex(); }
    bool FocusShown() { return Window().KeyboardCuesShown(); }
};

using PreferencesKeyboard = KeyboardFixture;

TEST_F(PreferencesKeyboard, CtrlTabAndCtrlPageKeysCyclePagesBothWays) {
    ASSERT_NO_FATAL_FAILURE(ShowWindowWithFocusOn(*Window().RzCheckBox1));
    Press(VK_TAB, {VK_CONTROL});
    EXPECT_EQ(ActivePage(), 1);
    Press(VK_TAB, {VK_CONTROL});
    EXPECT_EQ(ActivePage(), 2);
    Press(VK_TAB, {VK_CONTROL});
    EXPECT_EQ(ActivePage(), 0) << "after the last page comes the first";
    Press(VK_TAB, {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(ActivePage(), 2) << "before the first page comes the last";
    Press(VK_TAB, {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(ActivePage(), 1);
    Press(VK_NEXT, {VK_CONTROL});
    EXPECT_EQ(ActivePage(), 2);
    Press(VK_PRIOR, {VK_CONTROL});
    EXPECT_EQ(ActivePage(), 1);
    // Only the shown page is visible, and the focus never stays on a hidden one.
    EXPECT_TRUE(IsWindowVisible(Window().TabSheet2->Handle()));
    EXPECT_FALSE(IsWindowVisible(Window().TabSheet1->Handle()));
    EXPECT_TRUE(IsWindowVisible(GetFocus()));
    EXPECT_TRUE(IsChild(Window().TabSheet2->Handle(), GetFocus()));
    // The tab strip follows the page.
    EXPECT_EQ(SendMessageA(Window().RzPageControl1->Handle(), TCM_GETCURSEL, 0, 0), 1);
}

TEST_F(PreferencesKeyboard, PlainPageDownAndTabWithoutCtrlLeaveThePage) {
    ASSERT_NO_FATAL_FAILURE(ShowWindowWithFocusOn(*Window().RzCheckBox1));
    Press(VK_NEXT);
    Press(VK_TAB);
    EXPECT_EQ(ActivePage(), 0);
    EXPECT_EQ(GetFocus(), Window().RzCheckBox2->Handle());
}

TEST_F(PreferencesKeyboard, TabGoesRoundThroughTheTabStripInTheDescribedOrder) {
    TVMGWLPreferences& w = Window();
    ASSERT_NO_FATAL_FAILURE(ShowWindowWithFocusOn(*w.RzPageControl1));
    const HWND expected[] = {
        w.RzCheckBox1->Handle(), w.RzCheckBox2->Handle(),    w.RzButtonEdit1->Handle(),
        w.RzBitBtn1->Handle(),   w.RzCheckBox3->Handle(),    w.RzCheckBox4->Handle(),
        w.RzURLLabel3->Handle(), w.RzPageControl1->Handle(),
    };
    for (HWND next : expected) {
        Press(VK_TAB);
        ASSERT_EQ(GetFocus(), next);
    }
    // And back the other way.
    Press(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), w.RzURLLabel3->Handle());
    Press(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), w.RzCheckBox4->Handle());

    // The white list page keeps its own order after the strip.
    w.RzPageControl1->SetActivePage(1);
    w.RzPageControl1->SetFocus();
    const HWND whiteList[] = {w.ListView1->Handle(),   w.RzBitBtn2->Handle(),
                              w.RzBitBtn4->Handle(),   w.RzEdit1->Handle(),
                              w.RzURLLabel3->Handle(), w.RzPageControl1->Handle()};
    for (HWND next : whiteList) {
        Press(VK_TAB);
        ASSERT_EQ(GetFocus(), next);
    }
}

TEST_F(PreferencesKeyboard, FocusRectangleIsHiddenUntilAKeyIsUsed) {
    ASSERT_NO_FATAL_FAILURE(ShowWindowWithFocusOn(*Window().RzCheckBox1));
    EXPECT_FALSE(FocusShown()) << "a window opened by the mouse shows no focus rectangle";
    Press(VK_TAB);
    EXPECT_TRUE(FocusShown());
    Press(VK_TAB, {VK_CONTROL});
    EXPECT_TRUE(FocusShown());
    // Hidden and shown again from the tray, it starts without one again.
    Window().Hide();
    Window().Show();
    EXPECT_FALSE(FocusShown());
    Window().RzCheckBox1->SetFocus();
    Press(VK_DOWN);
    EXPECT_TRUE(FocusShown());
}

TEST_F(PreferencesKeyboard, FocusReturnsToItsControlWhenTheWindowIsActivatedAgain) {
    ASSERT_NO_FATAL_FAILURE(ShowWindowWithFocusOn(*Window().RzCheckBox3));
    SendMessageA(Window().Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageA(Window().Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetFocus(), Window().RzCheckBox3->Handle());
}

// ------------------------------------------------------------ sound dialog

class SoundDialogKeys : public KeyboardFixture {
protected:
    void SetUp() override {
        KeyboardFixture::SetUp();
        WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex", 2);
        Window().SoundIndex = 2;
        Window().RzButtonEdit1->SetText("Sound Notification 3");
    }

    HWND List() { return SelectSound().CoolListBox1->Handle(); }
    void QueuePick(int index) { PostMessageA(List(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    void QueueKey(WPARAM key) {
        PostMessageA(List(), WM_KEYDOWN, key, 1);
        PostMessageA(List(), WM_KEYUP, key, 0xC0000001);
    }

    // Shows the dialog modally; a watchdog closes it if the queued input
    // does not, so that a broken key fails instead of hanging.
    void RunDialog() {
        HeldKeys none(std::initializer_list<int>{});
        std::atomic<bool> done{false};
        std::atomic<bool> fired{false};
        HWND dialog = SelectSound().Handle();
        std::thread watchdog([&] {
            const auto until = std::chrono::steady_clock::now() + 15s;
            while (!done && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(20ms);
            }
            if (!done) {
                fired = true;
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
        });
        Window().RzButtonEdit1ButtonClick();
        done = true;
        watchdog.join();
        EXPECT_FALSE(fired) << "the dialog did not close by itself";
        EXPECT_FALSE(SelectSound().Visible());
    }

    std::optional<DWORD> StoredIndex() {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex");
    }
};

TEST_F(SoundDialogKeys, EnterSelectsTheHighlightedSound) {
    QueuePick(3);
    QueueKey(VK_RETURN);
    RunDialog();
    EXPECT_EQ(Window().RzButtonEdit1->Text(), "Sound Notification 4");
    EXPECT_EQ(Window().SoundIndex, 3);
    EXPECT_EQ(StoredIndex(), 3u);
}

TEST_F(SoundDialogKeys, ArrowKeysThenEnterSelect) {
    // The list has the focus when the dialog opens, on the first sound.
    QueueKey(VK_DOWN);
    QueueKey(VK_RETURN);
    RunDialog();
    EXPECT_EQ(Window().SoundIndex, 1);
    EXPECT_EQ(StoredIndex(), 1u);
}

TEST_F(SoundDialogKeys, EscapeClosesWithoutAChange) {
    QueuePick(4);
    QueueKey(VK_ESCAPE);
    RunDialog();
    EXPECT_EQ(Window().RzButtonEdit1->Text(), "Sound Notification 3");
    EXPECT_EQ(Window().SoundIndex, 2);
    EXPECT_EQ(StoredIndex(), 2u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SoundDialogKeys, DoubleClickOnAnItemSelectsIt) {
    RECT item{};
    ASSERT_NE(SendMessageA(List(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)), LB_ERR);
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(List(), WM_LBUTTONUP, 0, at);
    PostMessageA(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(List(), WM_LBUTTONUP, 0, at);
    RunDialog();
    EXPECT_EQ(Window().RzButtonEdit1->Text(), "Sound Notification 2");
    EXPECT_EQ(Window().SoundIndex, 1);
    EXPECT_EQ(StoredIndex(), 1u);
}

TEST_F(SoundDialogKeys, DoubleClickBelowTheItemsSelectsNothing) {
    RECT client{};
    GetClientRect(List(), &client);
    RECT last{};
    SendMessageA(List(), LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&last));
    ASSERT_LT(last.bottom + 2, client.bottom) << "no room below the last item";
    const LPARAM below = MAKELPARAM(10, client.bottom - 2);
    PostMessageA(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, below);
    PostMessageA(List(), WM_LBUTTONUP, 0, below);
    QueueKey(VK_ESCAPE);
    RunDialog();
    EXPECT_EQ(Window().SoundIndex, 2);
    EXPECT_EQ(StoredIndex(), 2u);
}

}  // namespace
}  // namespace vgwl::test
