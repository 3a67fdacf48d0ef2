// The front end's signal to the browser bridge: WhiteListSerial is raised
// (and wraps) after every publish of the white list table, at start and at
// each save, and not when nothing was published.

#include "PreferencesFixture.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vgwl::test {
namespace {

class WhiteListSerial : public PreferencesTest {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vgwl-serial-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        DeleteFileA(ListFile().c_str());
        Services().programPath = folder_ + "VelmoraGWLite.exe";
        DeleteSettingsKey();
        WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 1);
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteFileA(ListFile().c_str());
        RemoveDirectoryA(folder_.c_str());
        DeleteSettingsKey();
    }
    std::string ListFile() const { return folder_ + "gwwhitelist.dat"; }
    std::optional<DWORD> Serial() const {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(),
                         std::string(contract::kValueWhiteListSerial));
    }
    void ClickSave() { SendMessageA(Window().RzBitBtn4->Handle(), BM_CLICK, 0, 0); }

    std::string folder_;
};

TEST_F(WhiteListSerial, RaisedAfterEachPublishAndWrapping) {
    std::ofstream(ListFile(), std::ios::binary) << "1\r\na.test\r\n";
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), std::string(contract::kValueWhiteListSerial),
               0xFFFFFFFF);
    CreateWindow();
    EXPECT_EQ(Serial(), 0u) << "published at start, wrapping";
    ClickSave();
    EXPECT_EQ(Serial(), 1u) << "published at the save";
}

TEST_F(WhiteListSerial, UntouchedWithoutPublishAndRestartedOverAWrongType) {
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(),
                  {std::string(contract::kValueWhiteListSerial), REG_SZ, {'x', 0}});
    CreateWindow();  // no white list file: no table
    EXPECT_FALSE(Serial().has_value()) << "a DWORD here would mean it was raised";
    ClickSave();  // publishes the empty list
    EXPECT_EQ(Serial(), 1u);
}

}  // namespace
}  // namespace vgwl::test
