// Saving the white list file: the whole new content or, on any failure, the
// old file byte for byte, with the system's reason.

#include "TestSupport.h"
#include "toolkit/SystemError.h"
#include "whitelist/WhiteListSave.h"

#include <gtest/gtest.h>

#include <string>

namespace vgwl::test {
namespace {

class WhiteListSave : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vgwl-save-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        Clean();
    }
    void TearDown() override {
        Clean();
        RemoveDirectoryA(folder_.c_str());
    }
    void Clean() {
        for (const std::string& name : {Path(), Path() + ".new", Path() + ".old"}) {
            SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(name.c_str());
            RemoveDirectoryA(name.c_str());
        }
    }
    std::string Path() const { return folder_ + "gwwhitelist.dat"; }
    bool Exists(const std::string& path) const {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // A failed save: the old file unchanged, no leftovers, a reason given.
    void ExpectFailedKeepingOld(const WhiteListSaveResult& result, const std::string& old) {
        EXPECT_FALSE(result.saved);
        EXPECT_NE(result.error, static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(result.reason.empty());
        EXPECT_NE(result.reason.back(), '\n');
        EXPECT_EQ(ReadFileBytes(Path()), old) << "the saved list must survive";
        EXPECT_FALSE(Exists(Path() + ".old"));
    }

    std::string folder_;
};

const std::string kOld = "2\r\nold.example\r\nkeep.example\r\n";
const std::string kNew = "1\r\nnew.example\r\n";

TEST_F(WhiteListSave, CreatesTheFileWhenThereIsNone) {
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), "0\r\n");
    EXPECT_TRUE(result.saved) << result.reason;
    EXPECT_EQ(ReadFileBytes(Path()), "0\r\n");
    EXPECT_FALSE(Exists(Path() + ".new"));
}

TEST_F(WhiteListSave, ReplacesTheWholeOldContent) {
    WriteFileBytes(Path(), kOld);
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
    EXPECT_TRUE(result.saved) << result.reason;
    EXPECT_EQ(ReadFileBytes(Path()), kNew);
    EXPECT_FALSE(Exists(Path() + ".new"));
    EXPECT_FALSE(Exists(Path() + ".old"));
    // Leftovers of an interrupted save are simply overwritten.
    WriteFileBytes(Path() + ".new", "garbage");
    WriteFileBytes(Path() + ".old", "older");
    const WhiteListSaveResult again = SaveWhiteListFile(Path(), kOld);
    EXPECT_TRUE(again.saved) << again.reason;
    EXPECT_EQ(ReadFileBytes(Path()), kOld);
    EXPECT_FALSE(Exists(Path() + ".new"));
    EXPECT_FALSE(Exists(Path() + ".old"));
}

TEST_F(WhiteListSave, AReadOnlyFileStaysAsItIs) {
    WriteFileBytes(Path(), kOld);
    ASSERT_TRUE(SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_READONLY));
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
    ExpectFailedKeepingOld(result, kOld);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(result.reason, SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Exists(Path() + ".new"));
}

TEST_F(WhiteListSave, AFileHeldOpenByAnotherProgramStaysAsItIs) {
    WriteFileBytes(Path(), kOld);
    {
        HeldFile held(Path());
        ASSERT_TRUE(held.Held());
        const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
        EXPECT_FALSE(result.saved);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_FALSE(Exists(Path() + ".new"));
    }
    EXPECT_EQ(ReadFileBytes(Path()), kOld);
    EXPECT_FALSE(Exists(Path() + ".old"));
}

TEST_F(WhiteListSave, AFolderThatTakesNoNewFileLeavesTheOldOne) {
    // The folder refuses the new file: its name is taken by something that
    // cannot be written, here a folder, there a file another program holds.
    WriteFileBytes(Path(), kOld);
    ASSERT_TRUE(CreateDirectoryA((Path() + ".new").c_str(), nullptr));
    ExpectFailedKeepingOld(SaveWhiteListFile(Path(), kNew), kOld);
    ASSERT_TRUE(RemoveDirectoryA((Path() + ".new").c_str()));
    {
        HeldFile held(Path() + ".new");
        ASSERT_TRUE(held.Held());
        ExpectFailedKeepingOld(SaveWhiteListFile(Path(), kNew), kOld);
    }
}

TEST_F(WhiteListSave, AMissingFolderIsReportedWithTheSystemsReason) {
    const std::string path = folder_ + "missing\\gwwhitelist.dat";
    const WhiteListSaveResult result = SaveWhiteListFile(path, kNew);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(result.reason, SystemErrorText(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace vgwl::test
