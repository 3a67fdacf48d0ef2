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
    std::string Path() const { return folder_.ListFile(); }
    std::string Companion() const { return folder_.Companion(); }

    // A failed save: the old file unchanged, no leftovers, a reason given.
    void ExpectFailedKeepingOld(const WhiteListSaveResult& result, const std::string& old) {
        EXPECT_FALSE(result.saved);
        EXPECT_NE(result.error, static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(result.reason.empty());
        EXPECT_NE(result.reason.back(), '\n');
        EXPECT_EQ(ReadFileBytes(Path()), old) << "the saved list must survive";
        EXPECT_NE(RecoverWhiteListFile(Path()), WhiteListRecovery::Finished);
    }

    ListFolder folder_{"save"};
};

const std::string kOld = "2\r\nold.example\r\nkeep.example\r\n";

WhiteListSaveStop StopAt(WhiteListSaveStep step, DWORD result) {
    return [=](WhiteListSaveStep at) { return at == step ? result : DWORD{ERROR_SUCCESS}; };
}
const std::string kNew = "1\r\nnew.example\r\n";

// The first save creates the list and its companion; the next rewrites the
// list in place, and nothing of the longer list before remains.
TEST_F(WhiteListSave, CreatesTheFilesThenRewritesTheWholeContentInPlace) {
    for (const std::string& list : {kOld, kNew}) {
        const WhiteListSaveResult result = SaveWhiteListFile(Path(), list);
        EXPECT_TRUE(result.saved) << result.reason;
        EXPECT_EQ(ReadFileBytes(Path()), list);
        EXPECT_EQ(ReadFileBytes(Companion()), "") << "marked done";
    }
}

// A stop after each step of the save, then what a start does before it
// reads the list: the new list whole (the companion was complete), never a
// mix; a companion a stop cut short is emptied and the old list stays. A
// failure half way (a full disk) puts the old bytes back, and a start then
// finds nothing to finish.
TEST_F(WhiteListSave, AStopOrAFailureAtAnyStepLeavesTheOldOrTheNewListWhole) {
    using Step = WhiteListSaveStep;
    for (Step step : {Step::CompanionWritten, Step::ListHalfWritten, Step::ListWritten,
                      Step::CompanionEmptied}) {
        WriteFileBytes(Path(), kOld);
        EXPECT_FALSE(SaveWhiteListFile(Path(), kNew, StopAt(step, kWhiteListSaveStopped)).saved);
        EXPECT_EQ(ReadSavedWhiteList(Path())->entries, (std::vector<std::string>{"new.example"}));
        EXPECT_EQ(ReadFileBytes(Path()), kNew);
        EXPECT_EQ(ReadFileBytes(Companion()), "");
        if (step == Step::CompanionWritten || step == Step::ListHalfWritten) {
            WriteFileBytes(Path(), kOld);
            DeleteFileA(Companion().c_str());  // as a list from before the companion has it
            ExpectFailedKeepingOld(SaveWhiteListFile(Path(), kNew, StopAt(step, ERROR_DISK_FULL)),
                                   kOld);
            EXPECT_EQ(ReadFileBytes(Companion()), "");
        }
    }
    // Every other tear: WhiteListJournal.OnlyACompleteCompanionGivesTheList.
    const std::string journal = WhiteListJournalBytes(kNew);
    WriteFileBytes(Path(), kOld);
    WriteFileBytes(Companion(), journal.substr(0, journal.size() - 1));
    EXPECT_EQ(RecoverWhiteListFile(Path()), WhiteListRecovery::Discarded);
    EXPECT_EQ(ReadFileBytes(Path()), kOld);
    EXPECT_EQ(ReadFileBytes(Companion()), "");
}

// Files a save creates carry the setup's rights: every user reads and
// writes them, so no user's file blocks another's save; only an
// administrator deletes them or changes their rights.
TEST_F(WhiteListSave, CreatedFilesLetEveryUserWriteButNotDelete) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        kWhiteListFileSddl, SDDL_REVISION_1, &sd, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) && dacl);
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(users);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
    ACCESS_MASK granted = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && EqualSid(&ace->SidStart, users)) {
            granted |= ace->Mask;
        }
    }
    LocalFree(sd);
    EXPECT_EQ(granted & (FILE_READ_DATA | FILE_WRITE_DATA),
              static_cast<ACCESS_MASK>(FILE_READ_DATA | FILE_WRITE_DATA));
    EXPECT_EQ(granted & (DELETE | WRITE_DAC | WRITE_OWNER), 0u);
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
    DeleteFileA(Path().c_str());  // without a list before, none is left behind
    EXPECT_FALSE(SaveWhiteListFile(Path(), kNew).saved);
    EXPECT_EQ(GetFileAttributesA(Path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WhiteListSave, AMissingFolderIsReportedWithTheSystemsReason) {
    const std::string path = folder_.path + "missing\\gwwhitelist.dat";
    const WhiteListSaveResult result = SaveWhiteListFile(path, kNew);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(result.reason, SystemErrorText(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace vgwl::test
