#include "notify/SoundFiles.h"
#include "toolkit/FilePaths.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace vgwl {
namespace {

TEST(SoundFiles, PathIsBesideTheExecutableInSoundsFolder) {
    EXPECT_EQ(SoundFilePath("C:\\Program Files\\Velmora\\VelmoraGWLite.exe", 2),
              "C:\\Program Files\\Velmora\\sounds\\sound3.wav");
    EXPECT_EQ(SoundFilePath("Z:\\x\\y.exe", 4), "Z:\\x\\sounds\\sound5.wav");
    EXPECT_EQ(SoundFilePath("Z:\\x\\y.exe", 0), "Z:\\x\\sounds\\sound1.wav");
}

TEST(SoundFiles, IndexOutsideTheTableHasNoPath) {
    EXPECT_FALSE(SoundFilePath("C:\\a\\b.exe", 5).has_value());
    EXPECT_FALSE(SoundFilePath("C:\\a\\b.exe", -1).has_value());
    EXPECT_FALSE(SoundFilePath("C:\\a\\b.exe", 2147483647).has_value());
    EXPECT_FALSE(SoundFilePath("C:\\a\\b.exe", -2147483647 - 1).has_value());
}

TEST(SoundFiles, DisplayNameFollowsIndexAndFallsBackToFirstSound) {
    EXPECT_EQ(SoundDisplayName(0), "Sound Notification 1");
    EXPECT_EQ(SoundDisplayName(2), "Sound Notification 3");
    EXPECT_EQ(SoundDisplayName(4), "Sound Notification 5");
    EXPECT_EQ(SoundDisplayName(5), "Sound Notification 1");
    EXPECT_EQ(SoundDisplayName(-7), "Sound Notification 1");
    EXPECT_EQ(EffectiveSoundIndex(99), 0);
    EXPECT_EQ(EffectiveSoundIndex(3), 3);
}

TEST(FilePaths, FolderKeepsTrailingSeparator) {
    EXPECT_EQ(ExtractFilePath("C:\\a\\b.exe"), "C:\\a\\");
    EXPECT_EQ(ExtractFilePath("C:b.exe"), "C:");
    EXPECT_EQ(ExtractFilePath("b.exe"), "");
    EXPECT_EQ(ExtractFilePath(""), "");
    EXPECT_EQ(ExtractFilePath("\\\\server\\share\\p.exe"), "\\\\server\\share\\");
}

TEST(SoundChoice, StoredIndexInRangeIsShownPlusOne) {
    for (int stored = 0; stored < 5; ++stored) {
        const SoundChoice choice = SoundChoiceOf(stored);
        EXPECT_EQ(choice.index, stored);
        EXPECT_EQ(choice.text, "Sound Notification " + std::to_string(stored + 1));
    }
}

TEST(SoundChoice, StoredIndexOutsideTheFiveSoundsStandsForTheFirst) {
    for (int stored : {5, 6, -1, 100, std::numeric_limits<int>::max(),
                                std::numeric_limits<int>::min()}) {
        const SoundChoice choice = SoundChoiceOf(stored);
        EXPECT_EQ(choice.index, 0) << stored;
        EXPECT_EQ(choice.text, "Sound Notification 1") << stored;
    }
}

}  // namespace
}  // namespace vgwl
