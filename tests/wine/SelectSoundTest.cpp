// The sound selection dialog: what Select changes in the main window and the
// registry, what its close box leaves alone, and the modal showing from the
// sound box's button.

#include "PreferencesFixture.h"

#include "notify/SoundFiles.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kSettingsError =
    "dialog:error:An error has occurred while trying to apply user settings";

class SelectSoundFixture : public PreferencesTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "vgwl-select-" + std::to_string(GetCurrentProcessId()) + "\\";
        fs::create_directories(dir_ + "sounds");
        for (const auto name : SoundFiles) {
            std::ofstream(dir_ + "sounds\\" + std::string(name), std::ios::binary) << name;
        }
        Services().programPath = dir_ + "VelmoraGWLite.exe";
        Services().registryOpenHook = [this](HKEY, std::string_view, bool) {
            return !refuseRegistry_;
        };
        // Sound 3 is the current choice, stored and live.
        WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex", 2);
        CreateWindow();
        Window().SoundIndex = 2;
        Window().RzButtonEdit1->SetText("Sound Notification 3");
        events.clear();
        dialogs.clear();
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::optional<DWORD> StoredIndex() const {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex");
    }
    std::string BoxText() { return Window().RzButtonEdit1->Text(); }

    // Messages that the dialog's modal loop will find waiting: pick an item
    // the way a click in the list does, press Select, press the close box.
    void QueuePick(int index) {
        PostMessageA(SelectSound().CoolListBox1->Handle(), LB_SETCURSEL, static_cast<WPARAM>(index),
                     0);
    }
    void QueueSelect() {
        HWND button = SelectSound().RzBitBtn1->Handle();
        PostMessageA(SelectSound().Handle(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
    void QueueCloseBox() { PostMessageA(SelectSound().Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }

    // Shows the dialog from the sound box's button and returns when it has
    // been hidden again.
    void OpenDialog() {
        ModalWatchdog watchdog(SelectSound().Handle());
        Window().RzButtonEdit1ButtonClick();
        EXPECT_FALSE(watchdog.Fired()) << "the dialog did not close by itself";
        EXPECT_FALSE(SelectSound().Visible());
        EXPECT_FALSE(SelectSound().InModal());
        EXPECT_TRUE(IsWindowEnabled(Window().Handle()));
    }

    std::string dir_;
    bool refuseRegistry_ = false;
};

using SelectSoundDialog = SelectSoundFixture;

TEST_F(SelectSoundDialog, AlwaysOpensOnTheFirstSound) {
    SelectSound().CoolListBox1->SetItemIndex(4);
    SelectSound().Show();
    EXPECT_EQ(SelectSound().CoolListBox1->ItemIndex(), 0);
    SelectSound().Hide();

    // Select at once makes sound 1 current, although sound 3 was.
    QueueSelect();
    OpenDialog();
    EXPECT_EQ(BoxText(), "Sound Notification 1");
    EXPECT_EQ(Window().SoundIndex, 0);
    EXPECT_EQ(StoredIndex(), 0u);

    // Nothing of one showing survives into the next.
    QueuePick(3);
    QueueSelect();
    OpenDialog();
    EXPECT_EQ(Window().SoundIndex, 3);
    QueueSelect();
    OpenDialog();
    EXPECT_EQ(Window().SoundIndex, 0);
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(SelectSoundDialog, SelectOfTheFourthSoundSetsBoxFieldAndRegistry) {
    SelectSound().CoolListBox1->SetItemIndex(3);
    SelectSound().RzBitBtn1Click();
    EXPECT_EQ(BoxText(), "Sound Notification 4");
    EXPECT_EQ(Window().SoundIndex, 3);
    EXPECT_EQ(StoredIndex(), 3u);
    EXPECT_FALSE(SelectSound().Visible());
    EXPECT_THAT(dialogs, IsEmpty());

    // The notification and the test now play sound 4.
    Window().RzCheckBox4->SetChecked(true);
    Window().RzCheckBox3->SetChecked(false);
    SendMessageA(Window().Handle(), WM_COPYDATA, 0, 0);
    Window().RzBitBtn1Click();
    const std::string played = "sound:" + dir_ + "sounds\\sound4.wav:131072";
    EXPECT_THAT(events, ElementsAre(played, played));
}

TEST_F(SelectSoundDialog, TheSoundBoxButtonShowsTheDialogModally) {
    // The click reaches the box's button while the program waits for input;
    // the pick and Select follow inside the dialog.
    PostMessageA(Window().RzButtonEdit1->PartHandle(), BM_CLICK, 0, 0);
    QueuePick(4);
    QueueSelect();
    ModalWatchdog watchdog(SelectSound().Handle());
    EXPECT_TRUE(PumpUntil([&] { return Window().SoundIndex == 4; }));
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(BoxText(), "Sound Notification 5");
    EXPECT_EQ(StoredIndex(), 4u);
    EXPECT_FALSE(SelectSound().Visible());
    EXPECT_TRUE(IsWindowEnabled(Window().Handle()));
}

TEST_F(SelectSoundDialog, TheCloseBoxChangesNothing) {
    QueuePick(3);
    QueueCloseBox();
    OpenDialog();
    EXPECT_EQ(BoxText(), "Sound Notification 3");
    EXPECT_EQ(Window().SoundIndex, 2);
    EXPECT_EQ(StoredIndex(), 2u);
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(SelectSoundDialog, DeletedKeyIsReportedNotCreatedAndTheNewSoundIsUsed) {
    DeleteSettingsKey();
    SelectSound().CoolListBox1->SetItemIndex(3);
    SelectSound().RzBitBtn1Click();
    EXPECT_THAT(events, ElementsAre(kSettingsError));
    EXPECT_FALSE(SelectSound().Visible());
    HKEY probe = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey().c_str(), 0, KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND);
    if (probe) {
        RegCloseKey(probe);
    }
    EXPECT_EQ(BoxText(), "Sound Notification 4");
    EXPECT_EQ(Window().SoundIndex, 3);

    events.clear();
    Window().RzCheckBox4->SetChecked(true);
    Window().RzCheckBox3->SetChecked(false);
    SendMessageA(Window().Handle(), WM_COPYDATA, 0, 0);
    EXPECT_THAT(events, ElementsAre("sound:" + dir_ + "sounds\\sound4.wav:131072"));
}

TEST_F(SelectSoundDialog, KeyThatCannotBeOpenedIsReportedAndTheChoiceHolds) {
    refuseRegistry_ = true;
    SelectSound().CoolListBox1->SetItemIndex(1);
    SelectSound().RzBitBtn1Click();
    EXPECT_THAT(events, ElementsAre(kSettingsError));
    EXPECT_EQ(StoredIndex(), 2u);
    EXPECT_EQ(BoxText(), "Sound Notification 2");
    EXPECT_EQ(Window().SoundIndex, 1);
    EXPECT_FALSE(SelectSound().Visible());
}

TEST_F(SelectSoundDialog, ListHoldsTheFiveSoundNamesInOrder) {
    ASSERT_EQ(SelectSound().CoolListBox1->Count(), kSoundCount);
    for (int i = 0; i < kSoundCount; ++i) {
        EXPECT_EQ(SelectSound().CoolListBox1->Item(i), SoundDisplayName(i));
    }
}

}  // namespace
}  // namespace vgwl::test
