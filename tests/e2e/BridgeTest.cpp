// The installed browser bridge driven from outside, in what a real browser
// does not show (the Chromium system test covers hello, counting, bursts and
// pushed changes): broken input, a hanging or missing front end, a settings
// key made later, and the component loaded only from beside the bridge.

#include "BridgeDriver.h"
#include "TestSupport.h"

#include "component/BridgeProtocol.h"
#include "component/Contract.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

using Json = nlohmann::json;

std::string Installed() { return DistDir() + "vgwlhost.exe"; }

const Json kBlocked = {
    {"type", "blocked"}, {"page", "http://page.test/"}, {"popup", "http://pop.test/"}};

Json State(bool blocking, const std::vector<std::string>& hosts) {
    return {{"type", "state"}, {"blocking", blocking}, {"hosts", hosts}, {"more", false}};
}

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettings));
        WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 1);
        WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 100);
    }
    void TearDown() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettings); }

    DWORD PopupCount() const {
        return ReadDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount).value_or(0);
    }
    // Says hello and returns the state answered.
    std::optional<Json> Hello() {
        EXPECT_TRUE(bridge_.Send({{"type", "hello"}}));
        return bridge_.Next();
    }

    BridgeDriver bridge_;
};

TEST_F(Bridge, HangingOrMissingFrontEndIsCountedAndNothingWaits) {
    {
        FakeFrontEnd frontEnd;
        ASSERT_TRUE(frontEnd.Ready());
        frontEnd.Hang();
        ASSERT_TRUE(bridge_.Start(Installed()));
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(bridge_.Send(kBlocked));
            EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 100 + i}}));
        }
        EXPECT_EQ(frontEnd.Received(), 0) << "the window took no message while hanging";
        EXPECT_TRUE(Hello().has_value());
    }
    // The window is gone now.
    ASSERT_TRUE(bridge_.Send(kBlocked));
    EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 104}}));
    EXPECT_EQ(PopupCount(), 104u);
}

TEST_F(Bridge, SettingsKeyMadeAfterTheStartIsWatched) {
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettings));
    ASSERT_TRUE(bridge_.Start(Installed()));
    EXPECT_EQ(Hello(), State(false, {}));
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 1);
    EXPECT_EQ(bridge_.Next(), State(true, {}));
}

TEST_F(Bridge, BrokenInputGetsAnErrorOrAClearEnd) {
    // The protocol's cases are tested natively; here the real program's
    // pipes: bytes beyond ASCII pass unchanged, a broken frame ends it.
    const struct {
        std::string input;
        bool errorAnswer;
        DWORD exitCode;
    } cases[] = {
        {bridge::EncodeFrame("{\"type\":\"blocked\",\"page\":\"\xFF\x1A\r\n\"}"), true, 0},
        {std::string("\x40\x00\x00\x00{", 5), false, 1},  // cut short
    };
    for (const auto& c : cases) {
        BridgeDriver bridge;
        ASSERT_TRUE(bridge.Start(Installed()));
        ASSERT_TRUE(bridge.WriteRaw(c.input));
        bridge.CloseInput();
        const auto answer = bridge.Next();
        ASSERT_EQ(answer.has_value(), c.errorAnswer);
        if (answer) {
            EXPECT_EQ((*answer)["type"], "error");
        }
        EXPECT_EQ(bridge.WaitExit(), c.exitCode);
    }
    EXPECT_EQ(PopupCount(), 100u) << "nothing broken is counted";
}

TEST_F(Bridge, ComponentIsLoadedOnlyFromBesideTheBridge) {
    // A copy of the bridge alone, started in the folder that has the
    // component: it must not fall back to the working directory.
    const auto folder =
        std::filesystem::temp_directory_path() / ("vgwlhost-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::string copy = (folder / "vgwlhost.exe").string();
    ASSERT_TRUE(CopyFileA(Installed().c_str(), copy.c_str(), FALSE));
    BridgeDriver alone;
    ASSERT_TRUE(alone.Start(copy, DistDir()));
    EXPECT_EQ(alone.Next(),
              (Json{{"type", "error"}, {"reason", "the blocking component cannot be loaded"}}));
    EXPECT_EQ(alone.WaitExit(), 3u);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace vgwl::test
