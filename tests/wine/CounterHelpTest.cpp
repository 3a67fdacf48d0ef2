// The counter shown each time the window is shown, the help key and the
// help and web commands, through the real window with the shell recorded.

#include "PreferencesFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vgwl::test {
namespace {

const std::string kShellOpen = "shell:main:Open:";
const std::string kShellTail = ":(null):(null):10";

class Counter : public PreferencesTest {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }
    // Hides and shows the window as the tray does, and reads the counter.
    std::string ShowAndRead() {
        Window().HideToTray();
        Window().Preferences1Click();
        return Window().Label4->Text();
    }
};

TEST_F(Counter, ShowsTheComponentsCountOnlyOnceRegistrationIsDone) {
    CreateWindow();
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", 0);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 1234);
    EXPECT_EQ(ShowAndRead(), "1234");
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 4294967295u);
    EXPECT_EQ(ShowAndRead(), "-1");  // a signed 32-bit count
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 2147483648u);
    EXPECT_EQ(ShowAndRead(), "-2147483648");
    // Registration pending: whatever the count holds.
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", 1);
    EXPECT_EQ(ShowAndRead(), "0");
    // No mark at all.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, SettingsKey());
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 77);
    EXPECT_EQ(ShowAndRead(), "0");
    // Mark cleared, no count yet.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, SettingsKey());
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", 0);
    EXPECT_EQ(ShowAndRead(), "0");
}

TEST_F(Counter, DamagedValuesShowZeroWithoutAMessage) {
    CreateWindow();
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", 0);
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(), {"EPWC", REG_SZ, {'1', '2', 0}});
    EXPECT_EQ(ShowAndRead(), "0");
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(), {"EPWC", REG_DWORD, {1, 2}});
    EXPECT_EQ(ShowAndRead(), "0");  // too short for a count
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(), {"VGWPBFirst", REG_BINARY, {0}});
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 5);
    EXPECT_EQ(ShowAndRead(), "0");
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(Counter, MissingKeyIsCreatedEmptyAndShowsZero) {
    CreateWindow();
    DeleteSettingsKey();
    EXPECT_EQ(ShowAndRead(), "0");
    UniqueHkey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey().c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
}

TEST_F(Counter, ShowReloadsTheSavedWhiteListBeforeTheCounter) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "vgwl-show-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string list = folder + "gwwhitelist.dat";
    Services().programPath = folder + "VelmoraGWLite.exe";
    CreateWindow();
    TListView& view = *Window().ListView1;
    // Without a saved list, rows added on the page survive a hide and show.
    view.Add("kept.example");
    ShowAndRead();
    EXPECT_EQ(view.Count(), 1);
    std::ofstream(list, std::ios::binary) << "1\r\nsaved.example\r\n";
    view.Add("unsaved.example");
    ShowAndRead();
    ASSERT_EQ(view.Count(), 1);
    EXPECT_EQ(view.Caption(0), "saved.example");
    DeleteFileA(list.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(Counter, IsReadOnShowAndNotWhileTheWindowStaysOpen) {
    CreateWindow();
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", 0);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 10);
    EXPECT_EQ(ShowAndRead(), "10");
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "EPWC", 11);
    Window().Preferences1Click();  // already shown: no show event
    PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(Window().Label4->Text(), "10");
    EXPECT_EQ(ShowAndRead(), "11");
}

class HelpAndLinks : public PreferencesTest {
protected:
    void TearDown() override {
        BYTE keys[256] = {};
        SetKeyboardState(keys);
        PreferencesTest::TearDown();
    }
    // A key pressed on a control, as the message loop delivers it.
    void PressKey(HWND control, WORD key) {
        MSG msg{control, WM_KEYDOWN, key, 1};
        App().DispatchOne(msg);
    }
    std::string HelpFile() {
        return ExtractFilePath(Window().Services().programPath) + "Help\\velmoralite.chm";
    }
    static std::string ExtractFilePath(const std::string& path) {
        return path.substr(0, path.find_last_of('\\') + 1);
    }
};

TEST_F(HelpAndLinks, F1WithAnyModifiersOpensTheHelpFileFromEveryPageAndTheControlGetsTheKey) {
    CreateWindow();
    Window().Preferences1Click();
    std::vector<WORD> seenByList;
    Window().ListView1->OnKeyDown = [&](WORD key) { seenByList.push_back(key); };
    const std::string expected = kShellOpen + HelpFile() + kShellTail;
    const HWND controls[] = {Window().RzCheckBox2->Handle(), Window().ListView1->Handle(),
                             Window().RzEdit1->Handle(), Window().Control("RzURLLabel1").Handle()};
    for (BYTE modifier : {BYTE(0), BYTE(VK_SHIFT), BYTE(VK_CONTROL)}) {
        BYTE keys[256] = {};
        if (modifier) {
            keys[modifier] = 0x80;
        }
        SetKeyboardState(keys);
        for (HWND control : controls) {
            events.clear();
            PressKey(control, VK_F1);
            EXPECT_EQ(events, std::vector<std::string>{expected}) << int(modifier);
        }
    }
    EXPECT_EQ(seenByList, (std::vector<WORD>{VK_F1, VK_F1, VK_F1}));
    events.clear();
    PressKey(Window().RzEdit1->Handle(), VK_F2);
    PressKey(Window().RzEdit1->Handle(), 'A');
    EXPECT_TRUE(events.empty());
}

TEST_F(HelpAndLinks, TrayCommandsAndLinksOpenTheirExactAddresses) {
    CreateWindow();
    const std::string site = "http://www.velmora-gatewick.com";
    const std::pair<TMenuItem*, std::string> commands[] = {
        {Window().ContentsandTopics1, HelpFile()},
        {Window().OnlineSupport1, site + "/support/overview.htm"},
        {Window().OnlineFAQs1, site + "/support/faq.htm"},
        {Window().SubmitSupportTicketOnline1, site + "/support/sticket.htm"},
        {Window().UpgradeToSentrel1, site + "/products/overview.htm"},
    };
    for (const auto& [item, target] : commands) {
        events.clear();
        item->OnClick();
        EXPECT_EQ(events, std::vector<std::string>{kShellOpen + target + kShellTail});
    }
    const std::pair<const char*, std::string> links[] = {
        {"RzURLLabel3", site + "/products/overview.htm"},
        {"RzURLLabel2", site},
        {"RzURLLabel1",
         "mailto:support@velmora-gatewick.com?subject=Velmora Gatewick Lite ver 3 - New support "
         "ticket"},
        {"RzURLLabel4",
         "mailto:news@velmora-gatewick.com?subject=Join Corvantis Inc. mailing list"},
    };
    for (const auto& [name, target] : links) {
        events.clear();
        Window().Find<TUrlLabel>(name).OnClick();
        EXPECT_EQ(events, std::vector<std::string>{kShellOpen + target + kShellTail}) << name;
    }
}

}  // namespace
}  // namespace vgwl::test
