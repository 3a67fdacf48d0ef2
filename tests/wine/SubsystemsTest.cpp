// The subsystems on their own, without the window: the settings store, the
// notification reaction, the component registrar and the white list
// publisher each keep their state and answer for themselves.

#include "TestSupport.h"

#include "component/ComponentRegistrar.h"
#include "component/Contract.h"
#include "notify/NotificationReaction.h"
#include "settings/SettingsStore.h"
#include "whitelist/WhiteListPublisher.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

const std::string kKey(contract::kSettingsKey);

std::string TempFolder(const char* name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder =
        std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

class SettingsStoreAlone : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kKey); }
    void TearDown() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kKey); }
    SettingsStore store;
};

TEST_F(SettingsStoreAlone, MissingKeyIsReportedAndNotCreatedByTheLoad) {
    const StoredSettings stored = store.Load();
    EXPECT_EQ(stored.key, StoredSettings::Key::Missing);
    EXPECT_FALSE(stored.blocking.has_value());
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kKey, "VGWPBStatus").has_value());
    // The sound choice is never stored into a key that does not exist.
    EXPECT_EQ(store.StoreSoundIndex(3), StoreResult::KeyUnavailable);
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kKey, "SoundIndex").has_value());
}

TEST_F(SettingsStoreAlone, MistypedValueEndsTheLoadThereAndRepairsNothingAfterIt) {
    WriteDword(HKEY_LOCAL_MACHINE, kKey, "VGWPBStatus", 0);
    WriteRawValue(HKEY_LOCAL_MACHINE, kKey, {"SoundNotification", REG_SZ, {'1', 0}});
    const StoredSettings stored = store.Load();
    EXPECT_EQ(stored.key, StoredSettings::Key::Read);
    EXPECT_EQ(stored.blocking, false);
    EXPECT_FALSE(stored.sound.has_value());
    EXPECT_FALSE(stored.soundIndex.has_value());
    EXPECT_FALSE(stored.blinking.has_value());
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kKey, "AnimTrayIcon").has_value());
}

TEST_F(SettingsStoreAlone, MissingValuesReadAsTheirFallbacksAndAreWrittenBack) {
    WriteDword(HKEY_LOCAL_MACHINE, kKey, "SoundIndex", 7);
    const StoredSettings stored = store.Load();
    EXPECT_EQ(stored.blocking, true);
    EXPECT_EQ(stored.sound, false);
    EXPECT_EQ(stored.soundIndex, 7);  // as stored: the window decides what it shows
    EXPECT_EQ(stored.blinking, true);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "VGWPBStatus"), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "SoundNotification"), 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "SoundIndex"), 7u);
}

TEST_F(SettingsStoreAlone, RefusedOpenIsToldApartFromAWrite) {
    SettingsStore refusing([](HKEY, std::string_view, bool) { return false; });
    EXPECT_EQ(refusing.StoreSwitch(SettingSwitch::Blocking, true), StoreResult::KeyUnavailable);
    EXPECT_EQ(refusing.WriteDefaults(), StoreResult::KeyUnavailable);
    EXPECT_EQ(store.StoreSwitch(SettingSwitch::Blinking, false), StoreResult::Stored);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "AnimTrayIcon"), 0u);
}

TEST(NotificationReactionAlone, SoundPlaysToItsEndBeforeTheBlinkAndOnlyWhenItsFileIsThere) {
    const std::string folder = TempFolder("vgwl-react");
    CreateDirectoryA((folder + "sounds").c_str(), nullptr);
    const std::string wav = folder + "sounds\\sound2.wav";
    std::ofstream(wav, std::ios::binary) << "RIFF";
    std::vector<std::string> events;
    NotificationReaction reaction(
        folder + "VelmoraGWLite.exe",
        [&](const char* path, HMODULE, DWORD flags) {
            events.push_back(std::string(path) + ":" + std::to_string(flags));
            return TRUE;
        },
        [&] { events.push_back("blink"); });

    reaction.React(true, 1, true);
    reaction.React(true, 0, true);  // sound1.wav is missing: silent, still blinks
    reaction.React(false, 1, false);
    EXPECT_EQ(events, (std::vector<std::string>{wav + ":131072", "blink", "blink"}));

    events.clear();
    EXPECT_TRUE(reaction.PlayTest(1));
    EXPECT_FALSE(reaction.PlayTest(0));
    EXPECT_FALSE(reaction.PlayTest(9));  // stands for the first sound, which is missing
    EXPECT_EQ(events, (std::vector<std::string>{wav + ":131072"}));
    DeleteFileA(wav.c_str());
    RemoveDirectoryA((folder + "sounds").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(ComponentRegistrarAlone, OnlyAnAbsoluteFolderWithTheLibraryRegisters) {
    ComponentRegistrar registrar;
    EXPECT_FALSE(registrar.Register("VelmoraGWLite.exe"));
    EXPECT_FALSE(registrar.Register("relative\\VelmoraGWLite.exe"));
    const std::string empty = TempFolder("vgwl-nocomponent");
    EXPECT_FALSE(registrar.Register(empty + "VelmoraGWLite.exe"));
    EXPECT_FALSE(registrar.Loaded());
    RemoveDirectoryA(empty.c_str());
}

TEST(WhiteListPublisherAlone, PublishesTheFileBesideTheProgramAndHoldsTheTable) {
    const std::string folder = TempFolder("vgwl-publisher");
    const std::string list = folder + "gwwhitelist.dat";
    WhiteListPublisher publisher;
    publisher.Publish(folder + "VelmoraGWLite.exe");
    EXPECT_FALSE(publisher.HoldsTable());  // no file: no table

    std::ofstream(list, std::ios::binary) << "2\r\nabc\r\nxy\r\n";
    publisher.Publish(folder + "VelmoraGWLite.exe");
    ASSERT_TRUE(publisher.HoldsTable());
    UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, "VMGWLITE"));
    ASSERT_TRUE(mapping);
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_TRUE(view);
    const auto* bytes = static_cast<const unsigned char*>(view.get());
    EXPECT_EQ(bytes[0], 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 4), "abc");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 68), "xy");
    DeleteFileA(list.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace vgwl::test
