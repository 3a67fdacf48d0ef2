// The installed program reached through its tray icon from outside: the
// callback messages the notification area would send, posted to the main
// window, and the tray menu driven with keys.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <string>

namespace vgwl::test {
namespace {

constexpr UINT kWmTrayIcon = 2025;
constexpr WPARAM kTrayIconId = 1005;
const std::string kSettingsKey(contract::kSettingsKey);
constexpr char kRunningValue[] = "GatewickRunning";

void PostTray(HWND window, UINT mouseMessage) {
    ASSERT_TRUE(PostMessageA(window, kWmTrayIcon, kTrayIconId, static_cast<LPARAM>(mouseMessage)));
}

// Handled by the time it returns: a sent message, not a posted one.
void SendTray(HWND window, UINT mouseMessage) {
    DWORD_PTR result = 0;
    ASSERT_NE(
        SendMessageTimeoutA(window, kWmTrayIcon, kTrayIconId, static_cast<LPARAM>(mouseMessage),
                            SMTO_ABORTIFHUNG, 10000, &result),
        0);
}

bool WaitVisible(HWND window) {
    return PumpUntil([window] { return IsWindowVisible(window) != FALSE; });
}

// Starts the program and waits until only its tray icon is left.
void StartResident(ProgramDriver& program) {
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    ASSERT_NE(program.MainWindow(), nullptr);
    ASSERT_FALSE(IsWindowVisible(program.MainWindow()));
}

// Opens the tray menu with a right click on the icon and chooses Exit (the
// last item, so Up from no selection reaches it).
void ExitThroughTheMenu(ProgramDriver& program) {
    PostTray(program.MainWindow(), WM_RBUTTONUP);
    HWND menu = program.WaitForMenu();
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    ProgramDriver::PressMenuKeys(menu, {VK_UP, VK_RETURN});
}

TEST(E2eTrayIcon, DoubleClickShowsTheMainWindowInFront) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND main = program.MainWindow();

    PostTray(main, WM_LBUTTONDBLCLK);

    ASSERT_TRUE(WaitVisible(main));
    EXPECT_TRUE(PumpUntil([main] { return GetForegroundWindow() == main; }))
        << "the window is shown but not in front";
    EXPECT_TRUE(program.Running());
}

TEST(E2eTrayIcon, SingleClickAndOtherMouseMessagesLeaveTheProgramHidden) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND main = program.MainWindow();

    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN}) {
        SendTray(main, message);
    }

    EXPECT_TRUE(program.VisibleTopLevelWindows().empty());
    EXPECT_TRUE(program.Running());
}

TEST(E2eTrayMenu, ExitEndsTheProgramWithCodeZeroAndMarksItStopped) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue, 1);

    ASSERT_NO_FATAL_FAILURE(ExitThroughTheMenu(program));

    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 0u);
}

TEST(E2eTrayMenu, PreferencesShowsTheMainWindowAndTheMenuOpensAgainAfterwards) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND main = program.MainWindow();

    PostTray(main, WM_RBUTTONUP);
    HWND menu = program.WaitForMenu();
    ASSERT_NE(menu, nullptr);
    // Down from no selection reaches the first item, "&Preferences".
    ProgramDriver::PressMenuKeys(menu, {VK_DOWN, VK_RETURN});
    ASSERT_TRUE(WaitVisible(main));
    EXPECT_TRUE(program.Running());

    ASSERT_NO_FATAL_FAILURE(ExitThroughTheMenu(program));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST(E2eTrayMenu, AClickOutsideClosesTheMenuAndTheProgramStaysResident) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND main = program.MainWindow();

    PostTray(main, WM_RBUTTONUP);
    HWND menu = program.WaitForMenu();
    ASSERT_NE(menu, nullptr);
    RECT rc{};
    GetWindowRect(menu, &rc);
    // A press well away from the menu, in screen coordinates as the menu's
    // tracking reads them.
    const POINT outside{rc.right + 50 < GetSystemMetrics(SM_CXSCREEN) ? rc.right + 50 : 5, 5};
    PostMessageA(menu, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(outside.x, outside.y));
    PostMessageA(menu, WM_LBUTTONUP, 0, MAKELPARAM(outside.x, outside.y));

    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(menu) || !IsWindow(menu); }));
    EXPECT_TRUE(program.Running());
    EXPECT_FALSE(IsWindowVisible(main));

    // The icon still answers: Exit through a fresh menu.
    ASSERT_NO_FATAL_FAILURE(ExitThroughTheMenu(program));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace vgwl::test
