// The end of the program from outside its tray menu: the end of the session
// (WM_QUERYENDSESSION, WM_ENDSESSION) and the uninstaller's exit request,
// sent to the real main window as the system and the uninstaller send them.

#include "PreferencesFixture.h"

#include "ui/SettingsSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace vgwl::test {
namespace {

constexpr char kRunning[] = "GatewickRunning";

class SessionEnd : public PreferencesTest {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override {
        // A posted quit must not end a later test's message pumping.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }

    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(Window().Handle(), msg, wParam, lParam);
    }

    std::size_t TrayDeletes() const {
        return static_cast<std::size_t>(
            std::count_if(trayCalls.begin(), trayCalls.end(),
                          [](const TrayCall& c) { return c.message == NIM_DELETE; }));
    }

    std::optional<DWORD> Running() const {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), kRunning);
    }
};

TEST_F(SessionEnd, QueryLetsTheSessionEndAndChangesNothing) {
    CreateWindow();
    ASSERT_EQ(Running(), 1u);
    trayCalls.clear();

    EXPECT_EQ(Send(WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(Send(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);

    EXPECT_EQ(Running(), 1u);
    EXPECT_TRUE(trayCalls.empty());
    EXPECT_FALSE(App().Terminated());
    EXPECT_TRUE(dialogs.empty());
}

// The process is ended right after the message returns, without the forms'
// destruction, so the icon must be gone and the mark cleared by then.
TEST_F(SessionEnd, EndingSessionRunsExitAndRemovesTheIconBeforeReturning) {
    CreateWindow();
    HWND window = Window().Handle();
    trayCalls.clear();

    Send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);

    EXPECT_EQ(Running(), 0u);
    ASSERT_EQ(TrayDeletes(), 1u);
    EXPECT_EQ(trayCalls[0].data.hWnd, window);
    EXPECT_EQ(trayCalls[0].data.uID, 1005u);
    EXPECT_TRUE(App().Terminated());
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SessionEnd, CancelledSessionEndLeavesTheProgramResident) {
    CreateWindow();
    trayCalls.clear();

    Send(WM_ENDSESSION, FALSE, 0);

    EXPECT_EQ(Running(), 1u);
    EXPECT_TRUE(trayCalls.empty());
    EXPECT_FALSE(App().Terminated());
}

TEST_F(SessionEnd, ExitRequestDoesWhatExitDoesWhateverItsParameters) {
    CreateWindow();
    const UINT request = ExitRequestMessage();
    ASSERT_GE(request, 0xC000u) << "not a registered message";
    EXPECT_EQ(request, RegisterWindowMessageA("Corvantis.VelmoraGWLite.ExitRequest"));
    // Settings that the request must not touch.
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 1);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex", 3);
    trayCalls.clear();

    // Parameters that would be pointers or switches to a careless handler.
    EXPECT_EQ(Send(request, static_cast<WPARAM>(-1), static_cast<LPARAM>(0x12345678)), 0);

    EXPECT_EQ(Running(), 0u);
    EXPECT_TRUE(App().Terminated());
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus"), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex"), 3u);
    EXPECT_TRUE(trayCalls.empty()) << "the icon goes with the forms, as after Exit";
    EXPECT_FALSE(IsWindowVisible(Window().Handle()));
    EXPECT_TRUE(dialogs.empty());
}

}  // namespace
}  // namespace vgwl::test
