// Saving the white list file: the whole new content or, on any failure, the
// old file byte for byte, with the system's reason; and after a stop at any
// point, the old or the new list whole.

#include "TestSupport.h"
#include "toolkit/SystemError.h"
#include "whitelist/WhiteListJournal.h"
#include "whitelist/WhiteListSave.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        for (const std::string& name : {Path(), Companion()}) {
            SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(name.c_str());
            RemoveDirectoryA(name.c_str());
        }
    }
    std::string Path() const { return folder_ + "gwwhitelist.dat"; }
    std::string Companion() const { return folder_ + "gwwhitelist.dat.journal"; }
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
        // Nor does a later start find anything to finish.
        EXPECT_NE(RecoverWhiteListFile(Path()), WhiteListRecovery::Finished);
        EXPECT_EQ(ReadFileBytes(Path()), old);
    }

    std::string folder_;
};

const std::string kOld = "2\r\nold.example\r\nkeep.example\r\n";
const std::string kNew = "1\r\nnew.example\r\n";

TEST_F(WhiteListSave, CreatesTheFilesWhereTheFolderAllowsIt) {
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), "0\r\n");
    EXPECT_TRUE(result.saved) << result.reason;
    EXPECT_EQ(ReadFileBytes(Path()), "0\r\n");
    EXPECT_EQ(ReadFileBytes(Companion()), "") << "marked done";
}

TEST_F(WhiteListSave, RewritesTheWholeOldContentInPlace) {
    WriteFileBytes(Path(), kOld);
    WriteFileBytes(Companion(), "");  // as the setup leaves it
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
    EXPECT_TRUE(result.saved) << result.reason;
    EXPECT_EQ(ReadFileBytes(Path()), kNew) << "nothing of the longer list remains";
    EXPECT_EQ(ReadFileBytes(Companion()), "");
    // A leftover in the companion, whoever left it, is simply overwritten.
    WriteFileBytes(Companion(), "garbage");
    const WhiteListSaveResult again = SaveWhiteListFile(Path(), kOld);
    EXPECT_TRUE(again.saved) << again.reason;
    EXPECT_EQ(ReadFileBytes(Path()), kOld);
    EXPECT_EQ(ReadFileBytes(Companion()), "");
}

// A stop after each step of the save, then what a start does before it
// reads the list: the old list or the new one, whole, never a mix.
TEST_F(WhiteListSave, AStopAfterAnyStepLeavesTheOldOrTheNewListWhole) {
    const std::string longOld = "3\r\nold-one.example\r\nold-two.example\r\nold-three.example\r\n";
    const struct {
        WhiteListSaveStep step;
        WhiteListRecovery recovery;
    } cases[] = {
        {WhiteListSaveStep::CompanionWritten, WhiteListRecovery::Finished},
        {WhiteListSaveStep::ListHalfWritten, WhiteListRecovery::Finished},
        {WhiteListSaveStep::ListWritten, WhiteListRecovery::Finished},
        {WhiteListSaveStep::CompanionEmptied, WhiteListRecovery::Nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        WriteFileBytes(Path(), longOld);
        const WhiteListSaveResult stopped =
            SaveWhiteListFile(Path(), kNew, [&](WhiteListSaveStep at) { return at == c.step; });
        EXPECT_FALSE(stopped.saved);
        if (c.step == WhiteListSaveStep::ListHalfWritten) {
            EXPECT_NE(ReadFileBytes(Path()), longOld) << "the stop came in the middle";
            EXPECT_NE(ReadFileBytes(Path()), kNew);
        }
        EXPECT_EQ(RecoverWhiteListFile(Path()), c.recovery);
        EXPECT_EQ(ReadFileBytes(Path()), kNew);
        EXPECT_EQ(ReadFileBytes(Companion()), "");
        EXPECT_EQ(RecoverWhiteListFile(Path()), WhiteListRecovery::Nothing);
    }
    // Before the first list was ever written: the companion alone.
    Clean();
    EXPECT_FALSE(SaveWhiteListFile(Path(), kNew, [](WhiteListSaveStep) { return true; }).saved);
    ASSERT_TRUE(ReadFileBytes(Path()));
    const auto read = ReadSavedWhiteList(Path());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->entries, (std::vector<std::string>{"new.example"}));
}

TEST_F(WhiteListSave, ATornCompanionIsDiscardedAndTheOldListStays) {
    const std::string journal = WhiteListJournalBytes(kNew);
    for (const std::string& torn :
         {journal.substr(0, journal.size() - 1), journal.substr(0, kWhiteListJournalHeaderSize / 2),
          std::string("garbage")}) {
        WriteFileBytes(Path(), kOld);
        WriteFileBytes(Companion(), torn);
        EXPECT_EQ(RecoverWhiteListFile(Path()), WhiteListRecovery::Discarded);
        EXPECT_EQ(ReadFileBytes(Path()), kOld);
        EXPECT_EQ(ReadFileBytes(Companion()), "");
    }
}

// Files a save creates carry the setup's rights: every user reads and
// writes them, so no user's file blocks another's save; nobody but an
// administrator deletes them or changes their rights.
TEST_F(WhiteListSave, CreatedFilesLetEveryUserWriteButNotDelete) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        kWhiteListFileSddl, SDDL_REVISION_1, &sd, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(users);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
    ACCESS_MASK granted = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        if (EqualSid(&ace->SidStart, users)) {
            granted |= ace->Mask;
        }
    }
    LocalFree(sd);
    const ACCESS_MASK needed = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | SYNCHRONIZE;
    EXPECT_EQ(granted & needed, needed);
    EXPECT_EQ(granted & (DELETE | WRITE_DAC | WRITE_OWNER | FILE_EXECUTE), 0u);
}

TEST_F(WhiteListSave, AReadOnlyFileStaysAsItIs) {
    WriteFileBytes(Path(), kOld);
    ASSERT_TRUE(SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_READONLY));
    const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
    ExpectFailedKeepingOld(result, kOld);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(result.reason, SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST_F(WhiteListSave, AFileHeldOpenByAnotherProgramStaysAsItIs) {
    WriteFileBytes(Path(), kOld);
    for (const std::string& held : {Path(), Companion()}) {
        HeldFile holder(held);
        ASSERT_TRUE(holder.Held());
        const WhiteListSaveResult result = SaveWhiteListFile(Path(), kNew);
        EXPECT_FALSE(result.saved);
        EXPECT_FALSE(result.reason.empty());
    }
    EXPECT_EQ(ReadFileBytes(Path()), kOld);
}

TEST_F(WhiteListSave, ACompanionThatCannotBeWrittenLeavesTheOldList) {
    // Its name is taken by something that cannot be written: a folder.
    WriteFileBytes(Path(), kOld);
    ASSERT_TRUE(CreateDirectoryA(Companion().c_str(), nullptr));
    ExpectFailedKeepingOld(SaveWhiteListFile(Path(), kNew), kOld);
    ASSERT_TRUE(RemoveDirectoryA(Companion().c_str()));
    // Without a list before, none is left behind either.
    DeleteFileA(Path().c_str());
    ASSERT_TRUE(CreateDirectoryA(Companion().c_str(), nullptr));
    EXPECT_FALSE(SaveWhiteListFile(Path(), kNew).saved);
    EXPECT_FALSE(Exists(Path()));
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
