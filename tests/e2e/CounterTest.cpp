// The counter of eliminated popups, from outside: shown from the tray, it
// reads what the blocking component has counted, and follows a popup the
// stand-in blocks once the window is hidden and shown again.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

namespace vgwl::test {
namespace {

const std::string kSettingsKey(contract::kSettingsKey);

// The counter is the label beside "Number of eliminated popup windows".
HWND CounterLabel(HWND main) {
    HWND caption = ProgramDriver::FindChild(main, "Static", "Number of eliminated popup windows");
    return caption ? GetWindow(caption, GW_HWNDNEXT) : nullptr;
}

void ShowFromTray(HWND main) {
    ASSERT_TRUE(PostMessageA(main, contract::kWmTrayIcon, 1005, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(PumpUntil([main] { return IsWindowVisible(main) != FALSE; }));
}

void HideWithCloseBox(HWND main) {
    ASSERT_TRUE(PostMessageA(main, WM_CLOSE, 0, 0));
    ASSERT_TRUE(PumpUntil([main] { return IsWindowVisible(main) == FALSE; }));
}

TEST(E2eCounter, ShowsTheComponentsCountAndFollowsABlockedPopupOnTheNextShow) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundNotification", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AnimTrayIcon", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "EPWC", 1234);
    // The stand-in reads the white list table the program publishes.
    struct ListFile {
        std::string path = DistDir() + "gwwhitelist.dat";
        ListFile() {
            std::ofstream(path, std::ios::binary) << "1\r\ntrusted.e2e-counter.example\r\n";
        }
        ~ListFile() { DeleteFileA(path.c_str()); }
    } list;

    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    HWND counter = CounterLabel(main);
    ASSERT_NE(counter, nullptr);

    ASSERT_NO_FATAL_FAILURE(ShowFromTray(main));
    EXPECT_TRUE(PumpUntil([&] { return ProgramDriver::WindowText(counter) == "1234"; }))
        << ProgramDriver::WindowText(counter);

    const ProcessResult popup =
        RunProcess("\"" + DistDir() + "vgwlblock.exe\" http://ads.e2e-counter.example/", 60s);
    EXPECT_EQ(popup.exitCode, 0u) << popup.output;
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "EPWC"), 1235u);
    // Not while the window stays open.
    EXPECT_EQ(ProgramDriver::WindowText(counter), "1234");

    ASSERT_NO_FATAL_FAILURE(HideWithCloseBox(main));
    ASSERT_NO_FATAL_FAILURE(ShowFromTray(main));
    EXPECT_TRUE(PumpUntil([&] { return ProgramDriver::WindowText(counter) == "1235"; }))
        << ProgramDriver::WindowText(counter);

    program.Kill();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
}

}  // namespace
}  // namespace vgwl::test
