// The decisions of the settings store that need no registry: the logon
// entry's data, the fallbacks and defaults.

#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vgwl {
namespace {

TEST(SettingsRunEntry, PathIsQuotedSoThatBlanksCannotSplitIt) {
    EXPECT_EQ(RunEntryData("C:\\Program Files\\Velmora Gatewick Lite\\VelmoraGWLite.exe"),
              "\"C:\\Program Files\\Velmora Gatewick Lite\\VelmoraGWLite.exe\"");
    // Quoted even without blanks: one form of the entry whatever the folder.
    EXPECT_EQ(RunEntryData("C:\\Velmora\\VelmoraGWLite.exe"), "\"C:\\Velmora\\VelmoraGWLite.exe\"");
    EXPECT_EQ(RunEntryData("\\\\server\\share\\a b\\p.exe"), "\"\\\\server\\share\\a b\\p.exe\"");
}

TEST(SettingsRunEntry, BytesOfTheAnsiPathPassUnchanged) {
    const std::string path =
        "C:\\Programme\\M\xFC"
        "ller \xE9t\xE9\\VelmoraGWLite.exe";
    const std::string data = RunEntryData(path);
    ASSERT_EQ(data.size(), path.size() + 2);
    EXPECT_EQ(data.substr(1, path.size()), path);
    EXPECT_EQ(data.front(), '"');
    EXPECT_EQ(data.back(), '"');
}

TEST(SettingsRunEntry, AlreadyQuotedPathIsNotQuotedTwice) {
    EXPECT_EQ(RunEntryData("\"C:\\a b\\p.exe\""), "\"C:\\a b\\p.exe\"");
    // A lone quotation mark is not a quoted path.
    EXPECT_EQ(RunEntryData("\""), "\"\"\"");
    EXPECT_EQ(RunEntryData("\"C:\\a b\\p.exe"), "\"\"C:\\a b\\p.exe\"");
}

TEST(SettingsSwitchRules, EachSwitchHasItsOwnValueAndFallback) {
    EXPECT_EQ(RuleOf(SettingSwitch::Blocking).valueName, "VGWPBStatus");
    EXPECT_EQ(RuleOf(SettingSwitch::Sound).valueName, "SoundNotification");
    EXPECT_EQ(RuleOf(SettingSwitch::Blinking).valueName, "AnimTrayIcon");
    EXPECT_TRUE(RuleOf(SettingSwitch::Blocking).whenMissing);
    EXPECT_FALSE(RuleOf(SettingSwitch::Sound).whenMissing);
    EXPECT_TRUE(RuleOf(SettingSwitch::Blinking).whenMissing);
}

TEST(SettingsDefaults, FirstStartWritesFourValuesInOrderWithSoundOn) {
    ASSERT_EQ(kDefaultSettings.size(), 4u);
    EXPECT_EQ(kDefaultSettings[0].name, "VGWPBStatus");
    EXPECT_EQ(kDefaultSettings[1].name, "SoundNotification");
    EXPECT_EQ(kDefaultSettings[2].name, "SoundIndex");
    EXPECT_EQ(kDefaultSettings[3].name, "AnimTrayIcon");
    EXPECT_EQ(kDefaultSettings[0].value, 1);
    // Sound on at a first start, although a key without the value means off.
    EXPECT_EQ(kDefaultSettings[1].value, 1);
    EXPECT_NE(kDefaultSettings[1].value != 0, RuleOf(SettingSwitch::Sound).whenMissing);
    EXPECT_EQ(kDefaultSettings[2].value, 0);
    EXPECT_EQ(kDefaultSettings[3].value, 1);
    EXPECT_EQ(kDefaultSoundIndex, 0);
}

TEST(SettingsKeys, NamesAreTheOnesTheComponentAndWindowsRead) {
    EXPECT_EQ(SettingsKey, "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Settings");
    EXPECT_EQ(kRunKey, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(kRunValueName, "VelmoraGWLite");
    EXPECT_EQ(kApplyUserSettingsError, "An error has occurred while trying to apply user settings");
    EXPECT_EQ(kApplyDefaultSettingsError,
              "An error has occurred while trying to apply defult settings");
}

}  // namespace
}  // namespace vgwl
