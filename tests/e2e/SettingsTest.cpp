// The installed program's settings from outside: what a first start leaves in
// the registry as the system's own "reg" tool sees it, and check boxes that
// write their value the moment they are clicked.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"
#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace vgwl::test {
namespace {

const std::string kSettingsKey(contract::kSettingsKey);
const std::string kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunName = "VelmoraGWLite";

// The values of a key as "reg query" lists them: name to "TYPE data".
std::map<std::string, std::string> RegQuery(const std::string& key) {
    const ProcessResult result = RunProcess("reg query \"" + key + "\"");
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    std::map<std::string, std::string> values;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, type, data;
        if (fields >> name >> type >> data && type.rfind("REG_", 0) == 0) {
            values[name] = type + " " + data;
        }
    }
    return values;
}

std::optional<std::string> ReadRunEntry() {
    char data[1024] = {};
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (RegGetValueA(HKEY_CURRENT_USER, kRunPath.c_str(), kRunName.c_str(), RRF_RT_REG_SZ, &type,
                     data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

class E2eSettings : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
        savedRun_ = ReadRunEntry();
        RemoveRunEntry();
    }
    void TearDown() override {
        program.Kill();
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
        RemoveRunEntry();
        if (savedRun_) {
            UniqueHkey key;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
                (void)RegSetValueExA(key.get(), kRunName.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(savedRun_->c_str()),
                                     static_cast<DWORD>(savedRun_->size() + 1));
            }
        }
    }
    static void RemoveRunEntry() {
        UniqueHkey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunPath.c_str(), 0, KEY_SET_VALUE, key.put()) ==
            ERROR_SUCCESS) {
            (void)RegDeleteValueA(key.get(), kRunName.c_str());  // may be missing
        }
    }
    HWND Box(const std::string& caption) const {
        return ProgramDriver::FindChild(program.MainWindow(), "Button", caption);
    }

    ProgramDriver program;

private:
    std::optional<std::string> savedRun_;
};

TEST_F(E2eSettings, FirstStartWritesTheDefaultsAndACheckBoxWritesAtOnce) {
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());

    const auto values = RegQuery("HKLM\\" + kSettingsKey);
    EXPECT_EQ(values.size(), 5u);
    EXPECT_EQ(values.count("VGWPBStatus") ? values.at("VGWPBStatus") : "", "REG_DWORD 0x1");
    EXPECT_EQ(values.count("SoundNotification") ? values.at("SoundNotification") : "",
              "REG_DWORD 0x1");
    EXPECT_EQ(values.count("SoundIndex") ? values.at("SoundIndex") : "", "REG_DWORD 0x0");
    EXPECT_EQ(values.count("AnimTrayIcon") ? values.at("AnimTrayIcon") : "", "REG_DWORD 0x1");
    EXPECT_EQ(values.count("GatewickRunning") ? values.at("GatewickRunning") : "", "REG_DWORD 0x1");

    HWND blocking = Box("Enable popup blocking");
    ASSERT_NE(blocking, nullptr);
    EXPECT_EQ(SendMessageA(blocking, BM_GETCHECK, 0, 0), BST_CHECKED);
    // The click is handled before SendMessage returns: no waiting.
    SendMessageA(blocking, BM_CLICK, 0, 0);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus"), 0u);
    SendMessageA(blocking, BM_CLICK, 0, 0);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus"), 1u);

    HWND sound = Box("Play a sound when a popup window is blocked");
    ASSERT_NE(sound, nullptr);
    SendMessageA(sound, BM_CLICK, 0, 0);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundNotification"), 0u);
    // The switch beside it is not touched.
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AnimTrayIcon"), 1u);
}

TEST_F(E2eSettings, StartWithWindowsWritesTheRunningProgramQuoted) {
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND box = Box("Start Velmora Gatewick Lite when windows start");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    SendMessageA(box, BM_CLICK, 0, 0);
    const auto entry = ReadRunEntry();
    ASSERT_TRUE(entry.has_value());
    // The program reports its path as the system gives it: a full path
    // without doubled separators, where letter case may differ.
    char full[MAX_PATH] = {};
    ASSERT_NE(GetFullPathNameA(InstalledProgram().c_str(), MAX_PATH, full, nullptr), 0u);
    const std::string expected = "\"" + std::string(full) + "\"";
    EXPECT_EQ(lstrcmpiA(entry->c_str(), expected.c_str()), 0) << *entry;

    SendMessageA(box, BM_CLICK, 0, 0);
    EXPECT_FALSE(ReadRunEntry().has_value());
}

}  // namespace
}  // namespace vgwl::test
