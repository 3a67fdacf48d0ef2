// The settings store and the start-with-Windows box against the real registry
// of the test prefix: what the window shows for each state of the settings
// key, how the three switches stay in step between check box, menu item and
// registry, and the logon entry. Every test sets up the keys it reads and
// puts them back afterwards.

#include "PreferencesFixture.h"

#include "settings/SettingsStore.h"
#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl::test {
namespace {

using Bytes = std::vector<BYTE>;

const std::string kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunName(kRunValueName);
// Where an installed program normally lives: a path with blanks.
const std::string kSpacedProgram = "C:\\Program Files\\Velmora Gatewick Lite\\VelmoraGWLite.exe";

void WriteText(HKEY root, const std::string& path, const std::string& name,
               const std::string& text) {
    WriteRawValue(root, path, {name, REG_SZ, Bytes(text.c_str(), text.c_str() + text.size() + 1)});
}

// A REG_SZ value as text, or nothing when it is missing or of another type.
std::optional<std::string> ReadText(HKEY root, const std::string& path, const std::string& name) {
    const auto raw = ReadRawValue(root, path, name);
    if (!raw || raw->type != REG_SZ) {
        return std::nullopt;
    }
    std::string text(raw->bytes.begin(), raw->bytes.end());
    return text.substr(0, text.find('\0'));
}

bool KeyExists(HKEY root, const std::string& path) {
    UniqueHkey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

void CreateKey(HKEY root, const std::string& path) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        (void)RegDeleteValueA(key.get(), name.c_str());  // may be missing already
    }
}

// Every value of a key, to put a key the tests change back as it was.
std::optional<std::vector<RawValue>> SaveKey(HKEY root, const std::string& path) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<RawValue> values;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof(name);
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        if (auto raw = ReadRawValue(root, path, std::string(name, nameSize))) {
            values.push_back(std::move(*raw));
        }
    }
    return values;
}

std::vector<std::string> ErrorTexts(const std::vector<MessageDialogRequest>& dialogs) {
    std::vector<std::string> texts;
    for (const auto& d : dialogs) {
        texts.push_back((d.type == MessageDialogType::Error ? "error:" : "warning:") + d.text);
    }
    return texts;
}

const std::string kUserError = "error:" + std::string(kApplyUserSettingsError);
const std::string kDefaultError = "error:" + std::string(kApplyDefaultSettingsError);

// What the window shows of the settings, in one comparable record.
struct Shown {
    bool blockingBox, blockingItem;
    bool soundBox, soundItem;
    std::int32_t soundIndex;
    std::string soundText;
    bool blinkBox, blinkItem;

    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
    return os << "{blocking " << s.blockingBox << "/" << s.blockingItem << ", sound " << s.soundBox
              << "/" << s.soundItem << ", index " << s.soundIndex << " '" << s.soundText
              << "', blink " << s.blinkBox << "/" << s.blinkItem << "}";
}

Shown ShownBy(const TVMGWLPreferences& w) {
    return {w.RzCheckBox1->Checked(),
            w.EnablePopUpBlocker1->Checked(),
            w.RzCheckBox4->Checked(),
            w.Playsoundnotificationwhenapopupblocked1->Checked(),
            w.SoundIndex,
            w.RzButtonEdit1->Text(),
            w.RzCheckBox3->Checked(),
            w.AnimatetrayIconWhenPopUpBlocked1->Checked()};
}

// The form as its description builds it, before any setting is loaded.
const Shown kFormState{false, false, false, false, 0, "", false, false};

class SettingsFixture : public PreferencesTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        savedRun_ = SaveKey(HKEY_CURRENT_USER, kRunPath);
        CreateKey(HKEY_CURRENT_USER, kRunPath);
        DeleteValue(HKEY_CURRENT_USER, kRunPath, kRunName);
        Services().programPath = kSpacedProgram;
        // Refuses the opens that the test asks to fail, as a system without
        // write access to the key would.
        Services().registryOpenHook = [this](HKEY root, std::string_view path, bool) {
            if (root == HKEY_LOCAL_MACHINE && path == SettingsKey()) {
                return !refuseSettings;
            }
            if (root == HKEY_CURRENT_USER && path == kRunPath) {
                return !refuseRun;
            }
            return true;
        };
    }

    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
        if (savedRun_) {
            CreateKey(HKEY_CURRENT_USER, kRunPath);
            DeleteValue(HKEY_CURRENT_USER, kRunPath, kRunName);
            for (const RawValue& value : *savedRun_) {
                WriteRawValue(HKEY_CURRENT_USER, kRunPath, value);
            }
        } else {
            DeleteKeyTree(HKEY_CURRENT_USER, kRunPath);
        }
    }

    static std::optional<DWORD> Stored(std::string_view name) {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), std::string(name));
    }
    static void Store(std::string_view name, DWORD value) {
        WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), std::string(name), value);
    }
    static std::optional<std::string> RunEntry() {
        return ReadText(HKEY_CURRENT_USER, kRunPath, kRunName);
    }

    bool refuseSettings = false;
    bool refuseRun = false;

private:
    std::optional<std::vector<RawValue>> savedRun_;
};

// ---------------------------------------------------------------- loading

class SettingsLoad : public SettingsFixture {};

TEST_F(SettingsLoad, FirstStartWithoutKeyWritesTheDefaultsAndChecksEverything) {
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ShownBy(w), (Shown{true, true, true, true, 0, "Sound Notification 1", true, true}));
    EXPECT_EQ(Stored("VGWPBStatus"), 1u);
    EXPECT_EQ(Stored("SoundNotification"), 1u);
    EXPECT_EQ(Stored("SoundIndex"), 0u);
    EXPECT_EQ(Stored("AnimTrayIcon"), 1u);
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SettingsLoad, EmptyKeyWritesAndShowsTheFallbacksWithSoundOff) {
    CreateKey(HKEY_LOCAL_MACHINE, SettingsKey());
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ShownBy(w), (Shown{true, true, false, false, 0, "Sound Notification 1", true, true}));
    EXPECT_EQ(Stored("VGWPBStatus"), 1u);
    EXPECT_EQ(Stored("SoundNotification"), 0u);
    EXPECT_EQ(Stored("SoundIndex"), 0u);
    EXPECT_EQ(Stored("AnimTrayIcon"), 1u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SettingsLoad, StoredValuesAreShownAndLeftAsTheyAre) {
    Store("VGWPBStatus", 0);
    Store("SoundNotification", 7);  // any non-zero value is on
    Store("SoundIndex", 2);
    Store("AnimTrayIcon", 0);
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ShownBy(w),
              (Shown{false, false, true, true, 2, "Sound Notification 3", false, false}));
    EXPECT_EQ(Stored("VGWPBStatus"), 0u);
    EXPECT_EQ(Stored("SoundNotification"), 7u);
    EXPECT_EQ(Stored("SoundIndex"), 2u);
    EXPECT_EQ(Stored("AnimTrayIcon"), 0u);
}

TEST_F(SettingsLoad, OnlyTheMissingValueIsWritten) {
    Store("VGWPBStatus", 0);
    Store("SoundIndex", 4);
    Store("AnimTrayIcon", 0);
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ShownBy(w),
              (Shown{false, false, false, false, 4, "Sound Notification 5", false, false}));
    EXPECT_EQ(Stored("SoundNotification"), 0u);
    EXPECT_EQ(Stored("VGWPBStatus"), 0u);
    EXPECT_EQ(Stored("SoundIndex"), 4u);
}

class SettingsLoadSoundIndex : public SettingsFixture,
                               public ::testing::WithParamInterface<DWORD> {};

// A hand-edited index beyond the five sounds must not reach past them: it
// stands for the first sound, and the stored value waits for the user's next
// choice.
TEST_P(SettingsLoadSoundIndex, IndexOutsideTheFiveSoundsStandsForTheFirst) {
    Store("VGWPBStatus", 1);
    Store("SoundNotification", 1);
    Store("SoundIndex", GetParam());
    Store("AnimTrayIcon", 1);
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(w.SoundIndex, 0);
    EXPECT_EQ(w.RzButtonEdit1->Text(), "Sound Notification 1");
    EXPECT_EQ(Stored("SoundIndex"), GetParam());
    // The load went on past the index.
    EXPECT_TRUE(w.RzCheckBox3->Checked());
    EXPECT_TRUE(dialogs.empty());
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, SettingsLoadSoundIndex,
                         ::testing::Values(5u, 6u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u));

class SettingsLoadWrongType : public SettingsFixture, public ::testing::WithParamInterface<int> {};

// The four values in the order they are loaded; the one at the parameter's
// position is stored as text.
TEST_P(SettingsLoadWrongType, ValueOfTheWrongTypeEndsTheLoadSilently) {
    const char* const names[] = {"VGWPBStatus", "SoundNotification", "SoundIndex", "AnimTrayIcon"};
    const DWORD stored[] = {1, 1, 3, 1};
    const int bad = GetParam();
    for (int i = 0; i < 4; ++i) {
        if (i == bad) {
            WriteText(HKEY_LOCAL_MACHINE, SettingsKey(), names[i], "1");
        } else {
            Store(names[i], stored[i]);
        }
    }
    WriteText(HKEY_CURRENT_USER, kRunPath, kRunName, "C:\\x.exe");
    TVMGWLPreferences& w = CreateWindow();

    Shown expected = kFormState;
    if (bad > 0) {
        expected.blockingBox = expected.blockingItem = true;
    }
    if (bad > 1) {
        expected.soundBox = expected.soundItem = true;
    }
    if (bad > 2) {
        expected.soundIndex = 3;
        expected.soundText = "Sound Notification 4";
    }
    EXPECT_EQ(ShownBy(w), expected);
    EXPECT_TRUE(dialogs.empty());
    // Not repaired: the text is still there.
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, SettingsKey(), names[bad]), "1");
    // The start-with-Windows check runs on its own.
    EXPECT_TRUE(w.RzCheckBox2->Checked());
}

INSTANTIATE_TEST_SUITE_P(EachValue, SettingsLoadWrongType, ::testing::Values(0, 1, 2, 3));

TEST_F(SettingsLoad, ValuesMissingAfterAWrongOneAreNotWritten) {
    Store("VGWPBStatus", 0);
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(),
                  {"SoundNotification", REG_BINARY, {1, 0, 0, 0}});
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ShownBy(w), kFormState);
    EXPECT_FALSE(Stored("SoundIndex").has_value());
    EXPECT_FALSE(Stored("AnimTrayIcon").has_value());
    EXPECT_EQ(ReadRawValue(HKEY_LOCAL_MACHINE, SettingsKey(), "SoundNotification")->type,
              REG_BINARY);
}

TEST_F(SettingsLoad, KeyThatCannotBeOpenedShowsTheErrorAndLeavesTheForm) {
    Store("VGWPBStatus", 1);
    Store("SoundNotification", 1);
    Store("SoundIndex", 2);
    Store("AnimTrayIcon", 1);
    WriteText(HKEY_CURRENT_USER, kRunPath, kRunName, "C:\\x.exe");
    refuseSettings = true;
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kUserError});
    EXPECT_EQ(ShownBy(w), kFormState);
    EXPECT_TRUE(w.RzCheckBox2->Checked());
    EXPECT_EQ(Stored("SoundIndex"), 2u);
    EXPECT_FALSE(Stored("GatewickRunning").has_value());
}

TEST_F(SettingsLoad, MissingKeyThatCannotBeCreatedShowsTheDefaultsAndTheirError) {
    refuseSettings = true;
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kDefaultError});
    EXPECT_EQ(ShownBy(w), (Shown{true, true, true, true, 0, "Sound Notification 1", true, true}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SettingsKey()));
}

// Where the registry enforces a key's security, a key that denies everyone
// is refused by the system itself, without the test hook.
// Sets the key's DACL: an empty one grants nothing to anyone, none at all
// grants everything. The owner may always change it.
LSTATUS SetKeyDacl(const std::string& path, bool denyAll) {
    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, key.put());
    if (status != ERROR_SUCCESS) {
        return status;
    }
    SECURITY_DESCRIPTOR sd;
    ACL empty;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, denyAll ? &empty : nullptr, FALSE);
    return RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd);
}

class SettingsLoadDenied : public SettingsFixture {
protected:
    void TearDown() override {
        // Otherwise the key could not be deleted after the test.
        (void)SetKeyDacl(SettingsKey(), false);
        SettingsFixture::TearDown();
    }
};

TEST_F(SettingsLoadDenied, KeyDenyingAccessShowsTheError) {
    Store("SoundIndex", 2);
    ASSERT_EQ(SetKeyDacl(SettingsKey(), true), ERROR_SUCCESS);
    UniqueHkey probe;
    const LSTATUS status =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsKey().c_str(), 0, KEY_ALL_ACCESS, probe.put());
    probe.reset();
    if (status == ERROR_SUCCESS) {
        GTEST_SKIP() << "this registry does not enforce key security; the open hook covers it";
    }
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kUserError});
    EXPECT_EQ(ShownBy(w), kFormState);
}

// ---------------------------------------------------------------- switches

struct SwitchCase {
    const char* name;
    TCheckBox* TVMGWLPreferences::*box;
    TMenuItem* TVMGWLPreferences::*item;
    const char* value;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

const SwitchCase kSwitches[] = {
    {"blocking", &TVMGWLPreferences::RzCheckBox1, &TVMGWLPreferences::EnablePopUpBlocker1,
     "VGWPBStatus"},
    {"sound", &TVMGWLPreferences::RzCheckBox4,
     &TVMGWLPreferences::Playsoundnotificationwhenapopupblocked1, "SoundNotification"},
    {"blinking", &TVMGWLPreferences::RzCheckBox3,
     &TVMGWLPreferences::AnimatetrayIconWhenPopUpBlocked1, "AnimTrayIcon"},
};

class SettingsSwitch : public SettingsFixture, public ::testing::WithParamInterface<SwitchCase> {
protected:
    // Starts from the defaults: every switch on.
    TVMGWLPreferences& Start() {
        TVMGWLPreferences& w = CreateWindow();
        box = w.*GetParam().box;
        item = w.*GetParam().item;
        return w;
    }
    void ClickMenu() { Window().TrayMenu.DispatchCommand(item->Id()); }
    void ClickBox() { SendMessageA(box->Handle(), BM_CLICK, 0, 0); }
    std::optional<DWORD> Value() const { return Stored(GetParam().value); }

    // The other two switches, which one switch's changes must leave alone.
    std::vector<bool> Others() {
        std::vector<bool> states;
        for (const SwitchCase& c : kSwitches) {
            if (c.box != GetParam().box) {
                states.push_back((Window().*c.box)->Checked());
                states.push_back((Window().*c.item)->Checked());
                states.push_back(Stored(c.value) == 1u);
            }
        }
        return states;
    }
    TCheckBox* box = nullptr;
    TMenuItem* item = nullptr;
};

TEST_P(SettingsSwitch, MenuItemMovesCheckBoxAndValue) {
    Start();
    ClickMenu();
    EXPECT_FALSE(item->Checked());
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(Value(), 0u);
    EXPECT_EQ(Others(), std::vector<bool>(6, true));
    ClickMenu();
    EXPECT_TRUE(item->Checked());
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(Value(), 1u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_P(SettingsSwitch, CheckBoxMovesMenuItemAndValue) {
    Start();
    ClickBox();
    EXPECT_FALSE(box->Checked());
    EXPECT_FALSE(item->Checked());
    EXPECT_EQ(Value(), 0u);
    EXPECT_EQ(Others(), std::vector<bool>(6, true));
    ClickBox();
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(item->Checked());
    EXPECT_EQ(Value(), 1u);
    // And the two places keep working together in turn.
    ClickMenu();
    ClickBox();
    EXPECT_TRUE(item->Checked());
    EXPECT_EQ(Value(), 1u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_P(SettingsSwitch, MenuItemOnAKeyThatCannotBeOpenedChangesNothing) {
    Start();
    refuseSettings = true;
    ClickMenu();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kUserError});
    EXPECT_TRUE(item->Checked());
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(Value(), 1u);
}

TEST_P(SettingsSwitch, CheckBoxOnAKeyThatCannotBeOpenedKeepsOnlyItsOwnState) {
    Start();
    refuseSettings = true;
    ClickBox();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kUserError});
    EXPECT_FALSE(box->Checked());
    EXPECT_TRUE(item->Checked());
    EXPECT_EQ(Value(), 1u);
}

TEST_P(SettingsSwitch, ChangeRecreatesAKeyDeletedMeanwhile) {
    Start();
    DeleteSettingsKey();
    ClickMenu();
    EXPECT_EQ(Value(), 0u);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(SaveKey(HKEY_LOCAL_MACHINE, SettingsKey())->size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Each, SettingsSwitch, ::testing::ValuesIn(kSwitches),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- start with Windows

class SettingsStartWithWindows : public SettingsFixture {
protected:
    void ClickBox() { SendMessageA(Window().RzCheckBox2->Handle(), BM_CLICK, 0, 0); }
};

TEST_F(SettingsStartWithWindows, CheckingWritesTheQuotedPathAndUncheckingDeletesIt) {
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_FALSE(w.RzCheckBox2->Checked());
    ClickBox();
    EXPECT_TRUE(w.RzCheckBox2->Checked());
    EXPECT_EQ(RunEntry(), "\"" + kSpacedProgram + "\"");
    ClickBox();
    EXPECT_FALSE(w.RzCheckBox2->Checked());
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, kRunPath, kRunName).has_value());
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SettingsStartWithWindows, EntryPointingElsewhereShowsCheckedAndIsReplacedOnRecheck) {
    WriteText(HKEY_CURRENT_USER, kRunPath, kRunName, "D:\\Old Place\\VelmoraGWLite.exe");
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_TRUE(w.RzCheckBox2->Checked());
    // Loading alone leaves the entry as it is.
    EXPECT_EQ(RunEntry(), "D:\\Old Place\\VelmoraGWLite.exe");
    ClickBox();
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, kRunPath, kRunName).has_value());
    ClickBox();
    EXPECT_EQ(RunEntry(), "\"" + kSpacedProgram + "\"");
}

TEST_F(SettingsStartWithWindows, EntryOfAnyTypeCountsAsSet) {
    WriteDword(HKEY_CURRENT_USER, kRunPath, kRunName, 0);
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_TRUE(w.RzCheckBox2->Checked());
}

TEST_F(SettingsStartWithWindows, OtherEntriesOfTheRunKeyAreLeftAlone) {
    WriteText(HKEY_CURRENT_USER, kRunPath, "SomeOtherProgram", "C:\\other.exe");
    CreateWindow();
    ClickBox();
    ClickBox();
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunPath, "SomeOtherProgram"), "C:\\other.exe");
    DeleteValue(HKEY_CURRENT_USER, kRunPath, "SomeOtherProgram");
}

TEST_F(SettingsStartWithWindows, WithoutRunKeyTheBoxStartsUncheckedAndCheckingShowsTheError) {
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kRunPath));
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_FALSE(w.RzCheckBox2->Checked());
    EXPECT_TRUE(dialogs.empty());
    ClickBox();
    EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{kUserError});
    // The box keeps the user's click; the key is not created.
    EXPECT_TRUE(w.RzCheckBox2->Checked());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunPath));
}

TEST_F(SettingsStartWithWindows, RunKeyThatCannotBeOpenedAtStartLeavesTheBoxUncheckedSilently) {
    WriteText(HKEY_CURRENT_USER, kRunPath, kRunName, "C:\\x.exe");
    refuseRun = true;
    TVMGWLPreferences& w = CreateWindow();
    EXPECT_FALSE(w.RzCheckBox2->Checked());
    EXPECT_TRUE(dialogs.empty());
    // The settings themselves were loaded regardless.
    EXPECT_TRUE(w.RzCheckBox1->Checked());
}

}  // namespace
}  // namespace vgwl::test
