// The installed browser bridge driven from outside, as a browser drives it:
// framed messages on its stdin, answers on its stdout, the count in EPWC and
// the notifications at a window of the front end's class and caption.

#include "BridgeDriver.h"
#include "TestSupport.h"

#include "component/BridgeProtocol.h"
#include "component/Contract.h"
#include "toolkit/Handles.h"
#include "whitelist/WhiteListTable.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::string kSettings(contract::kSettingsKey);
const std::string kBlockingOn(contract::kValueBlockingOn);
const std::string kPopupCount(contract::kValuePopupCount);
const std::string kSerial(contract::kValueWhiteListSerial);

// The white list table as the front end publishes it, held by the test.
class Table {
public:
    explicit Table(std::size_t slots) {
        const std::string name(contract::kWhiteListTableName);
        size_ = WhiteListTableSize(slots);
        mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size_), name.c_str()));
        if (mapping_) {
            view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
        }
    }
    bool Publish(const std::vector<std::string>& entries) {
        if (!view_) {
            return false;
        }
        WriteWhiteListTable({static_cast<unsigned char*>(view_.get()), size_}, entries);
        // What the front end does after each publish.
        const DWORD serial = ReadDword(HKEY_LOCAL_MACHINE, kSettings, kSerial).value_or(0);
        WriteDword(HKEY_LOCAL_MACHINE, kSettings, kSerial, serial + 1);
        return true;
    }

private:
    std::size_t size_ = 0;
    UniqueKernelHandle mapping_;
    UniqueMappedView view_;
};

std::string Installed() { return DistDir() + "vgwlhost.exe"; }

Json Blocked(const std::string& page, const std::string& popup = "http://pop.test/") {
    return {{"type", "blocked"}, {"page", page}, {"popup", popup}};
}

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

TEST_F(Bridge, HelloThenBlockedIsCountedAtOnceAndAnnouncedOnce) {
    Table table(4);
    ASSERT_TRUE(table.Publish({"http://Trusted.example/", "*.other.test", "10.0.0.2"}));
    FakeFrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Ready());
    ASSERT_TRUE(bridge_.Start(Installed()));

    EXPECT_EQ(Hello(), State(true, {"trusted.example", "other.test", "10.0.0.2"}));
    ASSERT_TRUE(bridge_.Send(Blocked("http://page.test/")));
    EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 101}}));
    EXPECT_EQ(PopupCount(), 101u);
    EXPECT_TRUE(frontEnd.WaitFor(1));
    // A round trip later still one: nothing announced twice.
    EXPECT_TRUE(Hello().has_value());
    EXPECT_EQ(frontEnd.Received(), 1);

    bridge_.CloseInput();
    EXPECT_EQ(bridge_.WaitExit(), 0u);
}

TEST_F(Bridge, BurstIsCountedInFullAndAnnouncedOnceOrTwice) {
    // A front end that takes its time, as with a sound and a blink.
    FakeFrontEnd frontEnd(400);
    ASSERT_TRUE(frontEnd.Ready());
    ASSERT_TRUE(bridge_.Start(Installed()));
    std::string burst;
    for (int i = 0; i < 20; ++i) {
        burst += bridge::EncodeFrame(Blocked("http://page.test/" + std::to_string(i)).dump());
    }
    ASSERT_TRUE(bridge_.WriteRaw(burst));
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 100 + i}}));
    }
    EXPECT_EQ(PopupCount(), 120u);
    ASSERT_TRUE(frontEnd.WaitFor(1));
    // Whatever gathered during the first answer comes as one more.
    frontEnd.WaitFor(2, 3s);
    EXPECT_TRUE(Hello().has_value());
    EXPECT_GE(frontEnd.Received(), 1);
    EXPECT_LE(frontEnd.Received(), 2);
}

TEST_F(Bridge, HangingOrMissingFrontEndIsCountedAndNothingWaits) {
    {
        FakeFrontEnd frontEnd;
        ASSERT_TRUE(frontEnd.Ready());
        frontEnd.Hang();
        ASSERT_TRUE(bridge_.Start(Installed()));
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(bridge_.Send(Blocked("http://page.test/")));
            EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 100 + i}}));
        }
        EXPECT_EQ(frontEnd.Received(), 0) << "the window took no message while hanging";
        EXPECT_TRUE(Hello().has_value());
    }
    // The window is gone now.
    ASSERT_TRUE(bridge_.Send(Blocked("http://page.test/")));
    EXPECT_EQ(bridge_.Next(), (Json{{"type", "counted"}, {"count", 104}}));
    EXPECT_EQ(PopupCount(), 104u);
}

TEST_F(Bridge, SwitchAndWhiteListChangesArePushed) {
    Table table(4);
    ASSERT_TRUE(table.Publish({"a.test"}));
    ASSERT_TRUE(bridge_.Start(Installed()));
    EXPECT_EQ(Hello(), State(true, {"a.test"}));

    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 0);
    EXPECT_EQ(bridge_.Next(), State(false, {"a.test"}));
    ASSERT_TRUE(table.Publish({"a.test", "B.test"}));
    EXPECT_EQ(bridge_.Next(), State(false, {"a.test", "b.test"}));
    // A change that changes nothing the browser sees is not sent; the next
    // real one is.
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 5);
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 1);
    EXPECT_EQ(bridge_.Next(), State(true, {"a.test", "b.test"}));
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
        {std::string("\x01\x00\x10\x00{}", 6), true, 1},  // over 1 MiB
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
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string folder =
        std::string(temp) + "vgwlhost-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "vgwlhost.exe";
    ASSERT_TRUE(CopyFileA((DistDir() + "vgwlhost.exe").c_str(), copy.c_str(), FALSE));
    {
        BridgeDriver alone;
        ASSERT_TRUE(alone.Start(copy, DistDir()));
        const auto answer = alone.Next();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(*answer, (Json{{"type", "error"},
                                 {"reason", "the blocking component cannot be loaded"}}));
        EXPECT_EQ(alone.WaitExit(), 3u);
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace vgwl::test
