// The installed program and the blocking component: first-run registration
// of the component, blocked popups reported through vgwlblock.exe
// (which waits for the program's answer as the component does), the sound
// dialog driven from outside, and, with a recording sound sink, the sound
// that is really played.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

const std::string kSettingsKey(contract::kSettingsKey);
constexpr char kSoundCaption[] = "Play a sound when a popup window is blocked";
constexpr char kBlinkCaption[] = "Animate system tray icon when a popup window is blocked";
// Four rounds of two 300 ms waits.
constexpr long kBlinkMilliseconds = 2400;
// The tool's exit code when blocking is switched off.
constexpr DWORD kToolBlockingOff = 3;

std::optional<DWORD> Setting(const char* name) {
    return ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, name);
}
void SetSetting(const char* name, DWORD value) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}
DWORD PopupCount() { return Setting("EPWC").value_or(0); }

std::string NormalPath(const std::string& path) {
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

std::optional<std::string> ReadText(HKEY root, const std::string& key, const char* name) {
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(buffer);
}

struct Popup {
    ProcessResult run;
    std::optional<long> answerMs;  // as the tool measured it
};

// One popup through the blocking component, as a browser would cause it.
Popup BlockPopup(const std::string& address = "http://ads.e2e-notify.example/popup") {
    Popup popup;
    popup.run = RunProcess("\"" + DistDir() + "vgwlblock.exe\" " + address, 60s);
    std::smatch match;
    if (std::regex_search(popup.run.output, match, std::regex("answered after ([0-9]+) ms"))) {
        popup.answerMs = std::stol(match[1]);
    }
    return popup;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Puts a check box of the main window into a state, clicking it as the user
// would when it differs.
void SetCheckBox(HWND main, const char* caption, bool checked) {
    HWND box = ProgramDriver::FindChild(main, "", caption);
    ASSERT_NE(box, nullptr) << caption;
    if (Checked(box) != checked) {
        SendMessageA(box, BM_CLICK, 0, 0);
    }
    ASSERT_EQ(Checked(box), checked) << caption;
}

HWND VisibleWindowOfClass(const ProgramDriver& program, const std::string& className) {
    for (HWND hwnd : program.VisibleTopLevelWindows()) {
        if (ProgramDriver::ClassOf(hwnd) == className) {
            return hwnd;
        }
    }
    return nullptr;
}

// The sound box of the main window (the edit box that the "..." button lies
// on, in the same group) and that button.
HWND SoundBox(HWND main, HWND* button = nullptr) {
    HWND dots = ProgramDriver::FindChild(main, "", "...");
    if (button) {
        *button = dots;
    }
    return dots ? FindWindowExA(GetParent(dots), nullptr, "Edit", nullptr) : nullptr;
}

// Chooses a sound in the dialog opened from the sound box, as the user does;
// returns the item the dialog opened on.
int ChooseSound(const ProgramDriver& program, int index) {
    HWND main = program.MainWindow();
    HWND dots = nullptr;
    HWND box = SoundBox(main, &dots);
    EXPECT_NE(box, nullptr);
    if (!box) {
        return -1;
    }
    PostMessageA(dots, BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        return (dialog = VisibleWindowOfClass(program, "TSelectSound")) != nullptr;
    })) << "the sound dialog did not open";
    if (!dialog) {
        return -1;
    }
    HWND list = ProgramDriver::FindChild(dialog, "ListBox", "");
    HWND select = ProgramDriver::FindChild(dialog, "", "Select");
    EXPECT_NE(list, nullptr);
    EXPECT_NE(select, nullptr);
    const int openedOn = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(select), BN_CLICKED),
                 reinterpret_cast<LPARAM>(select));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(dialog); }))
        << "Select did not close the dialog";
    return openedOn;
}

// A saved white list beside the installed program for the length of a test:
// the program publishes it at start, and the component blocks nothing while
// no table is published. Whatever file was there before is put back.
class SavedWhiteList {
public:
    SavedWhiteList() : path_(DistDir() + "gwwhitelist.dat") {
        std::ifstream old(path_, std::ios::binary);
        if (old) {
            previous_.emplace((std::istreambuf_iterator<char>(old)),
                              std::istreambuf_iterator<char>());
        }
        std::ofstream(path_, std::ios::binary) << "1\ntrusted.e2e-notify.example\n";
    }
    ~SavedWhiteList() {
        if (previous_) {
            std::ofstream(path_, std::ios::binary) << *previous_;
        } else {
            DeleteFileA(path_.c_str());
        }
    }
    SavedWhiteList(const SavedWhiteList&) = delete;
    SavedWhiteList& operator=(const SavedWhiteList&) = delete;

private:
    std::string path_;
    std::optional<std::string> previous_;
};

void StartResident(ProgramDriver& program, const std::string& workingDir = {}) {
    ASSERT_TRUE(program.Start({}, workingDir));
    ASSERT_TRUE(program.WaitUntilResident()) << "the program did not become resident";
}

// ------------------------------------------------------------ first run

TEST(E2eNotifyFirstRun, FirstStartRegistersTheInstalledComponentAndClearsTheMark) {
    SetSetting("VGWPBFirst", 1);
    const std::string chromeHost = "Software\\Google\\Chrome\\NativeMessagingHosts\\" +
                                   std::string(contract::kNativeHostName);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, chromeHost);

    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));

    EXPECT_EQ(Setting("VGWPBFirst"), 0u);
    EXPECT_EQ(Setting("GatewickRunning"), 1u);
    // The library that registered is the one installed beside the program:
    // the browsers are sent to the bridge's manifest there.
    const auto registered = ReadText(HKEY_LOCAL_MACHINE, chromeHost, nullptr);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(lstrcmpiA(NormalPath(*registered).c_str(),
                        NormalPath(DistDir() + "vgwlhost.json").c_str()),
              0)
        << *registered;
}

// ------------------------------------------------------------ blocked popups

TEST(E2eNotifyPopup, AnswersAfterTheBlinkAtOnceWithoutAndNeverWithBlockingOff) {
    SetSetting("VGWPBStatus", 1);
    SetSetting("VGWPBFirst", 0);
    SavedWhiteList whiteList;
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND main = program.MainWindow();

    // Blinking on, sound off: the answer waits for the whole blink.
    ASSERT_NO_FATAL_FAILURE(SetCheckBox(main, kSoundCaption, false));
    ASSERT_NO_FATAL_FAILURE(SetCheckBox(main, kBlinkCaption, true));
    DWORD count = PopupCount();
    const Popup blinking = BlockPopup();
    ASSERT_TRUE(blinking.run.finished) << blinking.run.output;
    EXPECT_EQ(blinking.run.exitCode, 0u) << blinking.run.output;
    ASSERT_TRUE(blinking.answerMs.has_value()) << blinking.run.output;
    EXPECT_GE(*blinking.answerMs, kBlinkMilliseconds);
    EXPECT_EQ(PopupCount(), count + 1);
    std::printf("answer with blinking on: %ld ms\n", *blinking.answerMs);

    // Sound and blinking off: nothing to wait for. (Shorter than a blink
    // means no blink took place.)
    ASSERT_NO_FATAL_FAILURE(SetCheckBox(main, kBlinkCaption, false));
    count = PopupCount();
    const Popup quiet = BlockPopup();
    EXPECT_EQ(quiet.run.exitCode, 0u) << quiet.run.output;
    ASSERT_TRUE(quiet.answerMs.has_value()) << quiet.run.output;
    EXPECT_LT(*quiet.answerMs, kBlinkMilliseconds);
    EXPECT_EQ(PopupCount(), count + 1);
    std::printf("answer with sound and blinking off: %ld ms\n", *quiet.answerMs);

    // Blocking off: the component lets the popup through and tells no one.
    SetSetting("VGWPBStatus", 0);
    count = PopupCount();
    const Popup allowed = BlockPopup();
    EXPECT_EQ(allowed.run.exitCode, kToolBlockingOff) << allowed.run.output;
    EXPECT_FALSE(allowed.answerMs.has_value()) << allowed.run.output;
    EXPECT_EQ(PopupCount(), count);
    EXPECT_TRUE(program.Running());
}

TEST(E2eNotifyPopup, SoundDialogOpensOnTheFirstSoundAndStoresTheChoice) {
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program));
    HWND box = SoundBox(program.MainWindow());
    ASSERT_NE(box, nullptr);

    EXPECT_EQ(ChooseSound(program, 3), 0);
    EXPECT_EQ(ProgramDriver::WindowText(box), "Sound Notification 4");
    EXPECT_EQ(Setting("SoundIndex"), 3u);

    // Opens on the first sound again, whatever the current one is.
    EXPECT_EQ(ChooseSound(program, 1), 0);
    EXPECT_EQ(ProgramDriver::WindowText(box), "Sound Notification 2");
    EXPECT_EQ(Setting("SoundIndex"), 1u);

    // Typing into the box changes nothing.
    for (const char typed : {'x', '\b', '\x16'}) {
        SendMessageA(box, WM_CHAR, static_cast<unsigned char>(typed), 1);
    }
    EXPECT_EQ(ProgramDriver::WindowText(box), "Sound Notification 2");
    EXPECT_TRUE(program.Running());
}

// ------------------------------------------------------------ real sound

// A recording of everything played, raw 16-bit mono at 44100 Hz, made by
// scripts/pulse-null.sh, which names it in VGWL_SOUND_RECORDING.
constexpr int kRecordingRate = 44100;

std::optional<std::string> RecordingPath() {
    const char* path = std::getenv("VGWL_SOUND_RECORDING");
    if (!path || !*path) {
        return std::nullopt;
    }
    return std::string(path);
}

std::uintmax_t FileSize(const std::string& path) {
    std::error_code ignored;
    const auto size = fs::file_size(path, ignored);
    return size == static_cast<std::uintmax_t>(-1) ? 0 : size;
}

std::vector<std::int16_t> ReadSamples(const std::string& path, std::uintmax_t fromByte) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(fromByte - fromByte % 2));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                               (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return samples;
}

// Power of one frequency in a stretch of samples (Goertzel).
double Power(const std::vector<std::int16_t>& samples, std::size_t begin, std::size_t end,
             double frequency) {
    const double k = 2.0 * std::cos(2.0 * 3.14159265358979 * frequency / kRecordingRate);
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double s0 = samples[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

struct Heard {
    std::size_t begin = 0;
    std::size_t end = 0;  // past the last loud sample
};

// The loud stretch of a recording, once it is followed by a quarter second
// of silence.
std::optional<Heard> FindSound(const std::vector<std::int16_t>& samples) {
    constexpr int kLoud = 300;
    Heard heard;
    bool found = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > kLoud) {
            if (!found) {
                heard.begin = i;
                found = true;
            }
            heard.end = i + 1;
        }
    }
    if (!found || samples.size() - heard.end < kRecordingRate / 4) {
        return std::nullopt;
    }
    return heard;
}

// Length of a PCM wave file in milliseconds, from its header.
long WaveMilliseconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                          static_cast<unsigned char>(bytes[at + 1]) << 8 |
                                          static_cast<unsigned char>(bytes[at + 2]) << 16 |
                                          static_cast<unsigned char>(bytes[at + 3]) << 24);
    };
    if (bytes.size() < 44) {
        return 0;
    }
    const std::uint32_t byteRate = u32(28);
    const std::uint32_t dataSize = u32(40);
    return byteRate ? static_cast<long>(dataSize * 1000ull / byteRate) : 0;
}

TEST(E2eNotifySound, SoundFivePlaysToItsEndFromBesideTheProgramBeforeTheAnswer) {
    const auto recording = RecordingPath();
    if (!recording) {
        GTEST_SKIP() << "needs a recording sound sink: run through scripts/pulse-null.sh";
    }
    // The working directory has its own "sounds" folder, whose sound5.wav is
    // really sound 1: a different tone.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string elsewhere =
        std::string(temp) + "vgwl-e2e-cwd-" + std::to_string(GetCurrentProcessId()) + "\\";
    fs::create_directories(elsewhere + "sounds");
    ASSERT_TRUE(CopyFileA((DistDir() + "sounds\\sound1.wav").c_str(),
                          (elsewhere + "sounds\\sound5.wav").c_str(), FALSE));

    SetSetting("VGWPBStatus", 1);
    SetSetting("VGWPBFirst", 0);
    SavedWhiteList whiteList;
    ProgramDriver program;
    ASSERT_NO_FATAL_FAILURE(StartResident(program, elsewhere));
    HWND main = program.MainWindow();
    ASSERT_NO_FATAL_FAILURE(SetCheckBox(main, kSoundCaption, true));
    ASSERT_NO_FATAL_FAILURE(SetCheckBox(main, kBlinkCaption, false));
    ChooseSound(program, 4);
    ASSERT_EQ(ProgramDriver::WindowText(SoundBox(main)), "Sound Notification 5");

    const std::uintmax_t mark = FileSize(*recording);
    const Popup popup = BlockPopup();
    ASSERT_EQ(popup.run.exitCode, 0u) << popup.run.output;
    ASSERT_TRUE(popup.answerMs.has_value()) << popup.run.output;

    std::optional<Heard> heard;
    std::vector<std::int16_t> samples;
    PumpUntil(
        [&] {
            samples = ReadSamples(*recording, mark);
            heard = FindSound(samples);
            return heard.has_value();
        },
        15s);
    ASSERT_TRUE(heard.has_value()) << "nothing was heard";

    // The tone is sound 5's (D6), not that of the file in the working directory.
    const double soundFive = Power(samples, heard->begin, heard->end, 1174.66);
    const double soundOne = Power(samples, heard->begin, heard->end, 783.99);
    EXPECT_GT(soundFive, 100 * soundOne);

    // The answer came only once the whole sound had been played: a
    // synchronous play takes at least the file's length (a little is allowed
    // for the last buffer still in the sink when the call returns).
    const long length = WaveMilliseconds(DistDir() + "sounds\\sound5.wav");
    const long heardMs = static_cast<long>((heard->end - heard->begin) * 1000 / kRecordingRate);
    EXPECT_GT(length, 500);
    EXPECT_GE(*popup.answerMs, length - 100);
    std::printf("sound5.wav: %ld ms long, %ld ms heard, answer after %ld ms\n", length, heardMs,
                *popup.answerMs);

    program.Kill();
    std::error_code ignored;
    fs::remove_all(elsewhere, ignored);
}

}  // namespace
}  // namespace vgwl::test
