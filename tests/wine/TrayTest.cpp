// The tray icon of the real main window: the records handed to the
// notification-area service (recorded, byte by byte), the menu as the real
// HMENU holds it, the mouse actions on the icon, the blink, and the icon's
// return after a re-created taskbar. Menus are driven from a thread timer,
// which the menu's own modal loop dispatches.

#include "PreferencesFixture.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

constexpr UINT kTrayIconId = 1005;
constexpr UINT kWmTrayIcon = 2025;
constexpr char kTip[] = "Velmora Gatewick Lite";

// Bytes of the record that the service reads (its declared size).
std::vector<unsigned char> RecordBytes(const NOTIFYICONDATAA& data) {
    const auto* begin = reinterpret_cast<const unsigned char*>(&data);
    return {begin, begin + data.cbSize};
}

// The record's bytes with the icon handle blanked: what must not change
// from call to call.
std::vector<unsigned char> RecordBytesButIcon(const NOTIFYICONDATAA& data) {
    std::vector<unsigned char> bytes = RecordBytes(data);
    const std::size_t at = offsetof(NOTIFYICONDATAA, hIcon);
    if (bytes.size() >= at + sizeof(HICON)) {
        std::memset(bytes.data() + at, 0, sizeof(HICON));
    }
    return bytes;
}

LRESULT SendTray(HWND window, UINT mouseMessage) {
    return SendMessageA(window, kWmTrayIcon, kTrayIconId, static_cast<LPARAM>(mouseMessage));
}

BOOL CALLBACK FindVisibleMenu(HWND hwnd, LPARAM param) {
    char name[32] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    if (std::strcmp(name, "#32768") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible pop-up menu window of this thread, if one is up.
HWND ThreadMenuWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindVisibleMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What a menu driver saw and does: once the menu is up it notes where the
// menu stands and which window is in front, then presses its keys.
struct MenuDriver {
    std::vector<WPARAM> keys;
    UINT_PTR timer = 0;
    int ticks = 0;
    bool seen = false;
    RECT rect{};
    HWND foreground = nullptr;
    bool gaveUp = false;
};
MenuDriver* gDriver = nullptr;

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR, DWORD) {
    MenuDriver& d = *gDriver;
    HWND menu = ThreadMenuWindow();
    if (!menu) {
        if (++d.ticks > 200) {
            // Never opened (or never seen): end any tracking so the test
            // fails instead of hanging.
            d.gaveUp = true;
            KillTimer(nullptr, d.timer);
            EndMenu();
        }
        return;
    }
    KillTimer(nullptr, d.timer);
    d.seen = true;
    GetWindowRect(menu, &d.rect);
    d.foreground = GetForegroundWindow();
    for (WPARAM key : d.keys) {
        PostMessageA(menu, WM_KEYDOWN, key, 0);
        PostMessageA(menu, WM_KEYUP, key, 0);
    }
}

// Right-clicks the icon with the pointer at a point and drives the menu
// that opens; returns when the menu has closed and its item has run.
MenuDriver RightClickAndPress(HWND window, POINT pointer, std::vector<WPARAM> keys) {
    MenuDriver driver;
    driver.keys = std::move(keys);
    gDriver = &driver;
    SetCursorPos(pointer.x, pointer.y);
    driver.timer = SetTimer(nullptr, 0, 20, &DriveMenu);
    SendTray(window, WM_RBUTTONUP);
    KillTimer(nullptr, driver.timer);
    gDriver = nullptr;
    return driver;
}

// Handles the waiting messages of a window; true when one was an empty
// WM_NULL. Paint messages are dispatched, or they would come back forever.
bool TakeEmptyMessage(HWND window) {
    bool found = false;
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, window, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_NULL) {
            found = found || (msg.wParam == 0 && msg.lParam == 0);
            continue;
        }
        DispatchMessageA(&msg);
    }
    return found;
}

bool TakeQuitMessage() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

bool InFront(HWND window) { return GetForegroundWindow() == window || GetActiveWindow() == window; }

// ------------------------------------------------------------------ record

using TrayRecord = PreferencesTest;

TEST_F(TrayRecord, ConstructorAddsTheIconOnceWithTheFirstVersionRecord) {
    CreateWindow();
    ASSERT_EQ(trayCalls.size(), 1u);
    const TrayCall& add = trayCalls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    const NOTIFYICONDATAA& d = add.data;
    EXPECT_EQ(d.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    if constexpr (sizeof(void*) == 4) {
        EXPECT_EQ(d.cbSize, 88u);
    }
    EXPECT_EQ(d.hWnd, Window().Handle());
    EXPECT_EQ(d.uID, kTrayIconId);
    EXPECT_EQ(d.uFlags, 7u);
    EXPECT_EQ(d.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(d.uCallbackMessage, kWmTrayIcon);
    ASSERT_NE(Window().TrayIconImage.get(), nullptr);
    EXPECT_EQ(d.hIcon, Window().TrayIconImage.get());
}

TEST_F(TrayRecord, TipIsTheTitleAndTheRestOfTheFirstVersionTipIsZero) {
    CreateWindow();
    ASSERT_FALSE(trayCalls.empty());
    const NOTIFYICONDATAA& d = trayCalls[0].data;
    // The first version carries 64 characters of tip; all of them are read.
    std::vector<char> expected(64, '\0');
    std::memcpy(expected.data(), kTip, sizeof(kTip) - 1);
    EXPECT_EQ(std::vector<char>(d.szTip, d.szTip + 64), expected);
    // The declared size ends exactly after those 64 characters.
    EXPECT_EQ(d.cbSize, offsetof(NOTIFYICONDATAA, szTip) + 64);
}

TEST_F(TrayRecord, EveryCallFillsTheRecordTheSameWayButForTheIcon) {
    CreateWindow();
    Window().AnimateTrayIcon();
    HWND window = Window().Handle();
    HICON normal = Window().TrayIconImage.get();
    HICON alternate = Window().TrayAnimImage.get();
    ASSERT_NE(alternate, nullptr);
    ASSERT_NE(alternate, normal);
    App().DestroyForms();  // removes the icon
    ASSERT_EQ(trayCalls.size(), 1u + 8u + 1u);
    const std::vector<unsigned char> reference = RecordBytesButIcon(trayCalls[0].data);
    for (std::size_t i = 0; i < trayCalls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i));
        EXPECT_EQ(RecordBytesButIcon(trayCalls[i].data), reference);
        EXPECT_EQ(trayCalls[i].data.hWnd, window);
        const HICON icon = trayCalls[i].data.hIcon;
        EXPECT_TRUE(icon == normal || icon == alternate);
    }
}

TEST_F(TrayRecord, DestructionDeletesTheIconOfThisWindowOnce) {
    CreateWindow();
    HWND window = Window().Handle();
    trayCalls.clear();
    App().DestroyForms();
    ASSERT_EQ(trayCalls.size(), 1u);
    const TrayCall& del = trayCalls[0];
    EXPECT_EQ(del.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(del.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(del.data.hWnd, window);
    EXPECT_EQ(del.data.uID, kTrayIconId);
}

// The records go to Wine's own notification area: the service takes the
// size, adds, changes and deletes the icon as the program asks.
TEST_F(TrayRecord, ThePlatformServiceAcceptsTheRecord) {
    std::vector<BOOL> results;
    Services().notifyIcon = [&results](DWORD message, NOTIFYICONDATAA* data) {
        const BOOL ok = Shell_NotifyIconA(message, data);
        results.push_back(ok);
        return ok;
    };
    CreateWindow();
    Window().AnimateTrayIcon();
    App().DestroyForms();
    ASSERT_EQ(results.size(), 10u);
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_TRUE(results[i]) << "call " << i;
    }
}

// ------------------------------------------------------------------- blink

using TrayBlink = PreferencesTest;

TEST_F(TrayBlink, FourRoundsOfAlternateThenNormalWith300MsWaitsEndOnTheNormalIcon) {
    CreateWindow();
    events.clear();
    trayCalls.clear();
    Window().AnimateTrayIcon();
    const std::string modify = "tray:" + std::to_string(NIM_MODIFY) + ":";
    std::vector<std::string> expected;
    for (int round = 0; round < 4; ++round) {
        expected.push_back(modify + "anim");
        expected.push_back("sleep:300");
        expected.push_back(modify + "normal");
        expected.push_back("sleep:300");
    }
    EXPECT_EQ(events, expected);
    ASSERT_EQ(trayCalls.size(), 8u);
    EXPECT_EQ(trayCalls.back().data.hIcon, Window().TrayIconImage.get());
}

TEST_F(TrayBlink, ASecondBlinkRepeatsTheSameSequence) {
    CreateWindow();
    events.clear();
    Window().AnimateTrayIcon();
    const std::vector<std::string> first = events;
    events.clear();
    Window().AnimateTrayIcon();
    EXPECT_EQ(events, first);
    EXPECT_EQ(first.size(), 16u);
}

// ---------------------------------------------------------- mouse on icon

using TrayMouse = PreferencesTest;

TEST_F(TrayMouse, DoubleClickOnTheMinimisedApplicationShowsTheWindowInFront) {
    CreateWindow();
    App().Minimize();
    ASSERT_FALSE(Window().Visible());
    ASSERT_TRUE(App().Minimized());
    trayCalls.clear();

    SendTray(Window().Handle(), WM_LBUTTONDBLCLK);

    EXPECT_TRUE(Window().Visible());
    EXPECT_FALSE(App().Minimized());
    EXPECT_TRUE(InFront(Window().Handle()));
    EXPECT_TRUE(trayCalls.empty());
}

TEST_F(TrayMouse, SingleClicksAndOtherMouseMessagesDoNothing) {
    CreateWindow();
    App().Minimize();
    events.clear();
    trayCalls.clear();
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN,
                         WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_CONTEXTMENU}) {
        SCOPED_TRACE(message);
        EXPECT_EQ(SendTray(Window().Handle(), message), 0);
        EXPECT_FALSE(Window().Visible());
        EXPECT_TRUE(App().Minimized());
        EXPECT_EQ(ThreadMenuWindow(), nullptr);
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(trayCalls.empty());
    EXPECT_FALSE(App().Terminated());
}

TEST_F(TrayMouse, DoubleClickShowsTheWindowAgainAfterItsCloseBoxHidIt) {
    CreateWindow();
    App().Minimize();
    SendTray(Window().Handle(), WM_LBUTTONDBLCLK);
    ASSERT_TRUE(Window().Visible());
    SendMessageA(Window().Handle(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(Window().Visible());

    SendTray(Window().Handle(), WM_LBUTTONDBLCLK);

    EXPECT_TRUE(Window().Visible());
    EXPECT_TRUE(InFront(Window().Handle()));
}

// --------------------------------------------------------------- the menu

using TrayMenu = PreferencesTest;

struct ExpectedItem {
    const char* caption;  // nullptr: a separator
    bool submenu;
};

void ExpectMenu(HMENU menu, const std::vector<ExpectedItem>& expected) {
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
        ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info));
        if (!expected[i].caption) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_FALSE(info.fType & MFT_SEPARATOR);
        char text[128] = {};
        const int length =
            GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        EXPECT_EQ(std::string(text, static_cast<std::size_t>(std::max(length, 0))),
                  expected[i].caption);
        EXPECT_EQ(info.hSubMenu != nullptr, expected[i].submenu);
    }
}

TEST_F(TrayMenu, TopLevelItemsCaptionsAndSeparatorsInOrder) {
    CreateWindow();
    ExpectMenu(Window().TrayMenu.Handle(),
               {
                   {"&Preferences", false},
                   {nullptr, false},
                   {"&Enable Popup Blocking", false},
                   {"Play a sound when a popup window is blocked", false},
                   {"Animate system tray icon when a popup window is blocked", false},
                   {nullptr, false},
                   {"&Help", true},
                   {nullptr, false},
                   {"Upgrade NOW to Velmora Ostrand complete privacy solution ", false},
                   {nullptr, false},
                   {"Exit", false},
               });
}

TEST_F(TrayMenu, HelpSubmenuItemsCaptionsAndSeparatorsInOrder) {
    CreateWindow();
    HMENU help = GetSubMenu(Window().TrayMenu.Handle(), 6);
    ASSERT_NE(help, nullptr);
    ExpectMenu(help, {
                         {"&Contents and Topics", false},
                         {nullptr, false},
                         {"&Online Support", false},
                         {nullptr, false},
                         {"Online &FAQ", false},
                         {nullptr, false},
                         {"Submit Support Ticket Online", false},
                     });
}

TEST_F(TrayMenu, NamedItemsAreTheMenuEntriesAtTheirPlaces) {
    CreateWindow();
    TVMGWLPreferences& w = Window();
    HMENU top = w.TrayMenu.Handle();
    HMENU help = GetSubMenu(top, 6);
    struct Place {
        TMenuItem* item;
        HMENU menu;
        int position;
    };
    const Place places[] = {
        {w.Preferences1, top, 0},
        {w.EnablePopUpBlocker1, top, 2},
        {w.Playsoundnotificationwhenapopupblocked1, top, 3},
        {w.AnimatetrayIconWhenPopUpBlocked1, top, 4},
        {w.UpgradeToSentrel1, top, 8},
        {w.ExitPopUpBlocker1, top, 10},
        {w.ContentsandTopics1, help, 0},
        {w.OnlineSupport1, help, 2},
        {w.OnlineFAQs1, help, 4},
        {w.SubmitSupportTicketOnline1, help, 6},
    };
    for (const Place& p : places) {
        ASSERT_NE(p.item, nullptr);
        SCOPED_TRACE(std::string(p.item->Name()));
        EXPECT_EQ(p.item->OwnerMenu(), p.menu);
        EXPECT_EQ(GetMenuItemID(p.menu, p.position), p.item->Id());
        // Every command item runs a handler when chosen.
        EXPECT_TRUE(static_cast<bool>(p.item->OnClick));
    }
}

TEST_F(TrayMenu, RightClickOpensTheMenuAtThePointerAndPostsAnEmptyMessageAfter) {
    CreateWindow();
    App().Minimize();
    HWND window = Window().Handle();
    TakeEmptyMessage(window);
    const POINT pointer{400, 500};

    const MenuDriver d = RightClickAndPress(window, pointer, {VK_ESCAPE});

    ASSERT_TRUE(d.seen);
    // Opened with its lower left corner at the pointer.
    EXPECT_EQ(d.rect.left, pointer.x);
    EXPECT_EQ(d.rect.bottom, pointer.y);
    EXPECT_EQ(d.foreground, window);
    EXPECT_EQ(ThreadMenuWindow(), nullptr);
    EXPECT_TRUE(TakeEmptyMessage(window));
    // Escape chose nothing.
    EXPECT_FALSE(Window().Visible());
    EXPECT_FALSE(App().Terminated());
}

TEST_F(TrayMenu, PreferencesChosenFromTheMenuShowsTheWindow) {
    CreateWindow();
    App().Minimize();
    ASSERT_FALSE(Window().Visible());

    const MenuDriver d =
        RightClickAndPress(Window().Handle(), POINT{300, 600}, {VK_DOWN, VK_RETURN});

    ASSERT_TRUE(d.seen);
    EXPECT_TRUE(Window().Visible());
    EXPECT_FALSE(IsIconic(Window().Handle()));
    EXPECT_FALSE(App().Terminated());
    EXPECT_TRUE(TakeEmptyMessage(Window().Handle()));
}

TEST_F(TrayMenu, ExitChosenFromTheMenuMarksTheProgramStoppedAndEndsTheLoop) {
    CreateWindow();
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning", 1);
    TakeQuitMessage();

    const MenuDriver d = RightClickAndPress(Window().Handle(), POINT{500, 500}, {VK_UP, VK_RETURN});

    ASSERT_TRUE(d.seen);
    EXPECT_TRUE(App().Terminated());
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "GatewickRunning"), 0u);
    // The loop sees the empty message and then the quit.
    EXPECT_TRUE(TakeEmptyMessage(Window().Handle()));
}

// Ends the message loop from outside when a test's menu never did.
bool gWatchdogFired = false;

void CALLBACK EndStuckLoop(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gWatchdogFired = true;
    EndMenu();
    PostQuitMessage(99);
}

TEST_F(TrayMenu, ExitChosenFromTheMenuEndsTheRunningMessageLoop) {
    CreateWindow();
    App().SetShowMainForm(false);
    App().Minimize();
    TakeQuitMessage();
    MenuDriver driver;
    driver.keys = {VK_UP, VK_RETURN};
    gDriver = &driver;
    gWatchdogFired = false;
    driver.timer = SetTimer(nullptr, 0, 20, &DriveMenu);
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 15000, &EndStuckLoop);
    // What the notification area sends on a right click, waiting in the queue.
    PostMessageA(Window().Handle(), kWmTrayIcon, kTrayIconId, WM_RBUTTONUP);

    App().Run();

    KillTimer(nullptr, watchdog);
    KillTimer(nullptr, driver.timer);
    gDriver = nullptr;
    EXPECT_FALSE(gWatchdogFired) << "the loop did not end through the menu";
    EXPECT_TRUE(driver.seen);
    EXPECT_TRUE(App().Terminated());
    EXPECT_TRUE(TakeQuitMessage());
}

// -------------------------------------------------------- taskbar created

using TrayTaskbar = PreferencesTest;

TEST_F(TrayTaskbar, EachTaskbarCreatedMessageAddsTheIconAgainOnce) {
    CreateWindow();
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(taskbarCreated, 0u);
    const NOTIFYICONDATAA first = trayCalls.at(0).data;
    events.clear();
    trayCalls.clear();

    SendMessageA(Window().Handle(), taskbarCreated, 0, 0);
    ASSERT_EQ(trayCalls.size(), 1u);
    EXPECT_EQ(trayCalls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(RecordBytes(trayCalls[0].data), RecordBytes(first));
    EXPECT_EQ(events, std::vector<std::string>{"tray:" + std::to_string(NIM_ADD) + ":normal"});

    SendMessageA(Window().Handle(), taskbarCreated, 0, 0);
    EXPECT_EQ(trayCalls.size(), 2u);
}

TEST_F(TrayTaskbar, OtherBroadcastsDoNotAddTheIcon) {
    CreateWindow();
    trayCalls.clear();
    const UINT otherRegistered = RegisterWindowMessageA("TaskbarButtonCreated");
    SendMessageA(Window().Handle(), otherRegistered, 0, 0);
    SendMessageA(Window().Handle(), WM_SETTINGCHANGE, 0, 0);
    SendMessageA(Window().Handle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));
    EXPECT_TRUE(trayCalls.empty());
}

}  // namespace
}  // namespace vgwl::test
