// The installed program at the end of the user's session: the system asks
// with WM_QUERYENDSESSION, announces the end with WM_ENDSESSION and ends the
// process as soon as the answer comes, without the program's own shutdown.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

namespace vgwl::test {
namespace {

const std::string kSettingsKey(contract::kSettingsKey);
constexpr char kRunningValue[] = "GatewickRunning";

// Asks the notification area whether the program's icon is there: a change
// of nothing succeeds only for an icon that exists.
bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1005;
    data.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    return SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

TEST(E2eSessionEnd, LogoffMarksTheProgramStoppedAndLeavesNoTrayIcon) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 1u);
    ASSERT_TRUE(TrayIconPresent(main)) << "the icon cannot be observed";

    DWORD_PTR result = 0;
    ASSERT_TRUE(Send(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, result));
    EXPECT_EQ(result, static_cast<DWORD_PTR>(TRUE)) << "the program held up the logoff";
    // Asking changes nothing: the logoff may still be cancelled.
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(TrayIconPresent(main));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 1u);

    ASSERT_TRUE(Send(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, result));
    // Asked at once, while the window mostly still exists: Wine's
    // notification area drops the icons of a killed program by itself, so
    // only this look sees an icon the program left. The in-process tests
    // check the order exactly.
    EXPECT_FALSE(TrayIconPresent(main)) << "the icon is still there after the session's end";
    // As the system does once every window has answered.
    program.Kill();

    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 0u);
    EXPECT_FALSE(TrayIconPresent(main));
}

TEST(E2eSessionEnd, CancelledLogoffLeavesTheProgramResident) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();

    DWORD_PTR result = 0;
    ASSERT_TRUE(Send(main, WM_QUERYENDSESSION, 0, 0, result));
    ASSERT_TRUE(Send(main, WM_ENDSESSION, FALSE, 0, result));

    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(TrayIconPresent(main));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 1u);
}

// The uninstaller's request: a registered message, whatever its parameters,
// ends the program through Exit.
TEST(E2eSessionEnd, ExitRequestEndsTheProgramWithCodeZero) {
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    const UINT request = RegisterWindowMessageA(std::string(contract::kExitRequestMessage).c_str());
    ASSERT_NE(request, 0u);

    DWORD_PTR result = 0;
    ASSERT_TRUE(Send(main, request, 0xDEADBEEF, -1, result));

    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, kRunningValue), 0u);
    EXPECT_FALSE(TrayIconPresent(main));
}

}  // namespace
}  // namespace vgwl::test
