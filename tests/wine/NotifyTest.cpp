// The reaction to blocked-popup notifications, the sound box and the sound
// test, in process: the real main window, with sounds, tray calls and waits
// recorded in order.

#include "PreferencesFixture.h"

#include "notify/SoundFiles.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// SND_FILENAME alone, as the recorder prints it.
const std::string kPlayFlags = "131072";

// A folder that stands for the program's own: a program file path inside it
// and a "sounds" folder with the five files. Removed afterwards.
class ProgramFolder {
public:
    ProgramFolder() {
        static std::atomic<int> serial{0};
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "vgwl-notify-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(serial++) + "\\";
        fs::create_directories(dir_ + "sounds");
    }
    ~ProgramFolder() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string ProgramPath() const { return dir_ + "VelmoraGWLite.exe"; }
    std::string SoundPath(int index) const {
        return dir_ + "sounds\\" + std::string(SoundFiles[static_cast<std::size_t>(index)]);
    }
    void AddSounds() const {
        for (int i = 0; i < kSoundCount; ++i) {
            std::ofstream(SoundPath(i), std::ios::binary) << "RIFF sound " << i;
        }
    }
    void RemoveSound(int index) const { fs::remove(SoundPath(index)); }

private:
    std::string dir_;
};

// Restores the working directory on leaving.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) {
        char old[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, old);
        old_ = old;
        EXPECT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    }
    ~WorkingDirectory() { SetCurrentDirectoryA(old_.c_str()); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string old_;
};

// The tray calls and waits of one blink: four rounds, ending on the normal icon.
std::vector<std::string> BlinkEvents() {
    std::vector<std::string> blink;
    for (int round = 0; round < 4; ++round) {
        blink.push_back("tray:" + std::to_string(NIM_MODIFY) + ":anim");
        blink.push_back("sleep:300");
        blink.push_back("tray:" + std::to_string(NIM_MODIFY) + ":normal");
        blink.push_back("sleep:300");
    }
    return blink;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class NotifyFixture : public PreferencesTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        folder_.AddSounds();
        Services().programPath = folder_.ProgramPath();
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }

    // Creates the window and sets the live settings the handlers read; what
    // the start-up itself recorded is dropped.
    void Start(bool sound, bool blink, int soundIndex) {
        CreateWindow();
        Window().RzCheckBox4->SetChecked(sound);
        Window().RzCheckBox3->SetChecked(blink);
        Window().SoundIndex = soundIndex;
        Window().RzButtonEdit1->SetText(SoundDisplayName(soundIndex));
        ClearRecords();
    }
    void ClearRecords() {
        events.clear();
        dialogs.clear();
        trayCalls.clear();
    }

    // Sends one notification through the window's message table, as the
    // component does, with the given record.
    LRESULT Notify(const COPYDATASTRUCT* record) {
        return SendMessageA(Window().Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(record));
    }
    LRESULT Notify() {
        const char address[] = "http://popup.example/";
        COPYDATASTRUCT record{0x4F4C5652, sizeof(address), const_cast<char*>(address)};
        return Notify(&record);
    }

    std::string Played(int index) const {
        return "sound:" + folder_.SoundPath(index) + ":" + kPlayFlags;
    }

    ProgramFolder folder_;
};

// ------------------------------------------------------------ notification

using NotifyPopupBlocked = NotifyFixture;

TEST_F(NotifyPopupBlocked, SoundAndBlinkOffAnswerAtOnceDoingNothing) {
    Start(false, false, 0);
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(NotifyPopupBlocked, PlaysTheChosenFileToItsEndBeforeTheBlink) {
    Start(true, true, 2);
    EXPECT_EQ(Notify(), 0);
    // The exact path beside the program, SND_FILENAME alone (synchronous, the
    // default sound not suppressed), and no icon change before it.
    EXPECT_THAT(events, ElementsAreArray(Concat({Played(2)}, BlinkEvents())));
    EXPECT_EQ(folder_.SoundPath(2), folder_.Dir() + "sounds\\sound3.wav");
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(NotifyPopupBlocked, SoundWithoutBlinkPlaysOnly) {
    Start(true, false, 0);
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAre(Played(0)));
}

TEST_F(NotifyPopupBlocked, BlinkWithoutSoundBlinksOnly) {
    Start(false, true, 0);
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAreArray(BlinkEvents()));
}

TEST_F(NotifyPopupBlocked, MissingFilePlaysNothingShowsNothingAndTheBlinkFollows) {
    Start(true, true, 3);
    folder_.RemoveSound(3);
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAreArray(BlinkEvents()));
    EXPECT_THAT(dialogs, IsEmpty());

    // A folder of that name is no sound file either.
    fs::create_directory(folder_.SoundPath(3));
    ClearRecords();
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAreArray(BlinkEvents()));
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(NotifyPopupBlocked, EveryMessageGetsTheWholeReaction) {
    Start(true, true, 1);
    EXPECT_EQ(Notify(), 0);
    EXPECT_EQ(Notify(), 0);
    const auto one = Concat({Played(1)}, BlinkEvents());
    EXPECT_THAT(events, ElementsAreArray(Concat(one, one)));
}

TEST_F(NotifyPopupBlocked, TheRecordIsNeverRead) {
    Start(true, true, 4);
    const auto one = Concat({Played(4)}, BlinkEvents());

    COPYDATASTRUCT empty{0, 0, nullptr};
    EXPECT_EQ(Notify(&empty), 0);
    EXPECT_THAT(events, ElementsAreArray(one));

    ClearRecords();
    std::vector<char> large(1 << 20, 'x');
    COPYDATASTRUCT big{0xFFFFFFFFu, static_cast<DWORD>(large.size()), large.data()};
    EXPECT_EQ(Notify(&big), 0);
    EXPECT_THAT(events, ElementsAreArray(one));

    // Not even the record's pointer: a message without one reacts the same.
    ClearRecords();
    EXPECT_EQ(SendMessageA(Window().Handle(), WM_COPYDATA, 12345, 0), 0);
    EXPECT_THAT(events, ElementsAreArray(one));
}

TEST_F(NotifyPopupBlocked, ReactsTheSameWhenTheWindowIsShown) {
    Start(true, true, 0);
    Window().Show();
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAreArray(Concat({Played(0)}, BlinkEvents())));
}

TEST_F(NotifyPopupBlocked, UsesTheLiveSwitchesAndChoiceNotTheRegistry) {
    Start(true, false, 1);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundNotification", 0);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundIndex", 4);
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "AnimTrayIcon", 1);
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAre(Played(1)));
}

TEST_F(NotifyPopupBlocked, IndexFourPlaysSoundFiveBesideTheProgramFromAnyWorkingDirectory) {
    Start(true, false, 4);
    // The working directory has a "sounds" folder of its own, which must
    // not be used.
    ProgramFolder elsewhere;
    elsewhere.AddSounds();
    WorkingDirectory cwd(elsewhere.Dir());
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, ElementsAre("sound:" + folder_.Dir() + "sounds\\sound5.wav:" + kPlayFlags));

    // With the program's own file gone, nothing is played, not the other one.
    folder_.RemoveSound(4);
    ClearRecords();
    EXPECT_EQ(Notify(), 0);
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(NotifyPopupBlocked, IndexOutsideTheTablePlaysTheFirstSound) {
    for (const int stored : {5, -1, 2147483647}) {
        SCOPED_TRACE(stored);
        Start(true, false, 0);
        Window().SoundIndex = stored;
        EXPECT_EQ(Notify(), 0);
        EXPECT_THAT(events, ElementsAre(Played(0)));
        PreferencesTest::TearDown();
    }
}

// ------------------------------------------------------------ test button

using NotifyTestButton = NotifyFixture;

TEST_F(NotifyTestButton, PlaysTheCurrentSoundEvenWithTheSoundSwitchOff) {
    Start(false, true, 1);
    // Through the button itself, as a click delivers it.
    SendMessageA(Window().RzBitBtn1->Handle(), BM_CLICK, 0, 0);
    EXPECT_THAT(events, ElementsAre(Played(1)));
    EXPECT_THAT(dialogs, IsEmpty());
}

TEST_F(NotifyTestButton, PlaysTheFileOfTheIndexNotOfTheText) {
    Start(true, false, 3);
    Window().RzButtonEdit1->SetText("Sound Notification 1");
    Window().RzBitBtn1Click();
    EXPECT_THAT(events, ElementsAre(Played(3)));
}

TEST_F(NotifyTestButton, ReportsAMissingFile) {
    Start(true, false, 2);
    folder_.RemoveSound(2);
    Window().RzBitBtn1Click();
    EXPECT_THAT(events, ElementsAre("dialog:error:Sound file missing"));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, MessageDialogType::Error);
}

TEST_F(NotifyTestButton, DoesNothingAtAllWhenTheBoxIsEmpty) {
    Start(true, false, 2);
    Window().RzButtonEdit1->SetText("");
    Window().RzBitBtn1Click();
    EXPECT_THAT(events, IsEmpty());

    // Not even the missing-file message.
    folder_.RemoveSound(2);
    Window().RzBitBtn1Click();
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(NotifyTestButton, IndexOutsideTheTablePlaysTheFirstSound) {
    Start(false, false, 0);
    Window().SoundIndex = 9;
    Window().RzBitBtn1Click();
    EXPECT_THAT(events, ElementsAre(Played(0)));
}

// ------------------------------------------------------------ sound box

using NotifySoundBox = NotifyFixture;

TEST_F(NotifySoundBox, TypedCharactersNeverReachTheBox) {
    Start(true, false, 2);
    HWND box = Window().RzButtonEdit1->Handle();
    const std::string before = Window().RzButtonEdit1->Text();
    ASSERT_EQ(before, "Sound Notification 3");

    // Something to paste, and the whole text selected, so that cut, paste
    // and every typed character would change it.
    ASSERT_TRUE(OpenClipboard(Window().Handle()));
    EmptyClipboard();
    const char pasted[] = "pasted";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(pasted));
    std::memcpy(GlobalLock(memory), pasted, sizeof(pasted));
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();

    for (const char typed : {'a', 'Z', '7', ' ', '\b', '\x16', '\x18', '\r', '\x1b'}) {
        SCOPED_TRACE(static_cast<int>(typed));
        SendMessageA(box, EM_SETSEL, 0, -1);
        SendMessageA(box, WM_CHAR, static_cast<unsigned char>(typed), 1);
        EXPECT_EQ(Window().RzButtonEdit1->Text(), before);
    }
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(NotifySoundBox, KeyPressHandlerTakesAwayEveryCharacter) {
    Start(true, false, 0);
    for (int code = 1; code < 256; ++code) {
        char key = static_cast<char>(code);
        Window().RzButtonEdit1KeyPress(key);
        EXPECT_EQ(key, 0) << code;
    }
}

TEST_F(NotifySoundBox, IsNotReadOnlyForKeysThatTypeNothing) {
    Start(true, false, 0);
    HWND box = Window().RzButtonEdit1->Handle();
    EXPECT_EQ(GetWindowLongA(box, GWL_STYLE) & ES_READONLY, 0);
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, WM_KEYDOWN, VK_DELETE, 1);
    EXPECT_EQ(Window().RzButtonEdit1->Text(), "ound Notification 1");
}

}  // namespace
}  // namespace vgwl::test
