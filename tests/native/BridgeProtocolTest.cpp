#include "component/BridgeProtocol.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace vgwl::bridge {
namespace {

using Json = nlohmann::json;

std::string Frame(const std::string& payload) { return EncodeFrame(payload); }

// Input handed out in pieces of at most `chunk` bytes, as a pipe may.
class TextSource final : public ByteSource {
public:
    explicit TextSource(std::string bytes, std::size_t chunk = 5)
        : bytes_(std::move(bytes)), chunk_(chunk) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, chunk_, bytes_.size() - pos_});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

class RecordingSink final : public FrameSink {
public:
    bool Write(std::string_view frame) override {
        std::uint32_t length = 0;
        std::memcpy(&length, frame.data(), 4);
        EXPECT_EQ(length, frame.size() - 4);
        messages.push_back(Json::parse(frame.substr(4)));
        return true;
    }
    std::vector<Json> messages;
};

class FakeServices final : public Services {
public:
    State CurrentState() override { return state; }
    std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                              const std::string& popup) override {
        reports.emplace_back(page, popup);
        if (failCount) {
            return std::nullopt;
        }
        return 40 + static_cast<std::uint32_t>(reports.size());
    }
    State state{true, {"a.test"}};
    bool failCount = false;
    std::vector<std::pair<std::string, std::string>> reports;
};

struct Session {
    int code = -1;
    std::vector<Json> answers;
    std::vector<std::pair<std::string, std::string>> reports;
};

Session RunSession(const std::string& input, bool failCount = false) {
    TextSource in(input);
    RecordingSink out;
    FakeServices services;
    services.failCount = failCount;
    StatePublisher publisher(out);
    Session session;
    session.code = Serve(in, out, publisher, services);
    session.answers = out.messages;
    session.reports = services.reports;
    return session;
}

Json Error(const std::string& reason) { return {{"type", "error"}, {"reason", reason}}; }

struct Case {
    const char* name;
    std::string input;
    std::vector<Json> answers;
    std::size_t counted;
};

TEST(BridgeProtocol, EachMessageGetsItsAnswer) {
    const Json state = {{"type", "state"}, {"blocking", true}, {"hosts", {"a.test"}}, {"more", false}};
    const std::string longPage(kMaxAddressBytes + 1, 'p');
    const std::vector<Case> cases = {
        {"hello", Frame(R"({"type":"hello"})"), {state}, 0},
        {"blocked", Frame(R"({"type":"blocked","page":"http://a/","popup":"http://b/"})"),
         {{{"type", "counted"}, {"count", 41}}}, 1},
        {"blocked without popup", Frame(R"({"type":"blocked","page":"http://a/"})"),
         {{{"type", "counted"}, {"count", 41}}}, 1},
        {"longest page", Frame(Json{{"type", "blocked"}, {"page", std::string(kMaxAddressBytes, 'p')}}.dump()),
         {{{"type", "counted"}, {"count", 41}}}, 1},
        {"page too long", Frame(Json{{"type", "blocked"}, {"page", longPage}}.dump()),
         {Error("field too long: page")}, 0},
        {"no page", Frame(R"({"type":"blocked"})"), {Error("missing field: page")}, 0},
        {"popup not text", Frame(R"({"type":"blocked","page":"x","popup":3})"),
         {Error("field is not a string: popup")}, 0},
        {"not UTF-8", Frame("{\"type\":\"blocked\",\"page\":\"\xC3\x28\"}"),
         {Error("message is not UTF-8")}, 0},
        {"surrogate in UTF-8", Frame("{\"type\":\"hello\",\"x\":\"\xED\xA0\x80\"}"),
         {Error("message is not UTF-8")}, 0},
        {"not JSON", Frame("{type: hello}"), {Error("message is not JSON")}, 0},
        {"empty frame", Frame(""), {Error("message is not JSON")}, 0},
        {"array", Frame("[1]"), {Error("message is not a JSON object")}, 0},
        {"type not text", Frame(R"({"type":1})"), {Error("message has no type")}, 0},
        {"unknown type", Frame(R"({"type":"bye"})"), {Error("unknown message type")}, 0},
        {"session goes on after errors", Frame("[") + Frame(R"({"type":"hello"})"),
         {Error("message is not JSON"), state}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Session session = RunSession(c.input);
        EXPECT_EQ(session.code, kExitEndOfInput);
        EXPECT_EQ(session.answers, c.answers);
        EXPECT_EQ(session.reports.size(), c.counted);
    }
}

TEST(BridgeProtocol, CountThatFailsIsAnsweredWithAnError) {
    const Session session = RunSession(Frame(R"({"type":"blocked","page":"http://a/","popup":""})"), true);
    EXPECT_EQ(session.answers, std::vector<Json>{Error("the popup could not be counted")});
    ASSERT_EQ(session.reports.size(), 1u);
    EXPECT_EQ(session.reports[0], std::make_pair(std::string("http://a/"), std::string()));
}

TEST(BridgeProtocol, BrokenFramesEndTheSession) {
    std::string oversized(4, '\0');
    const std::uint32_t tooLong = kMaxMessageBytes + 1;
    std::memcpy(oversized.data(), &tooLong, 4);
    const struct {
        const char* name;
        std::string input;
        int code;
        std::vector<Json> answers;
    } cases[] = {
        {"no input", "", kExitEndOfInput, {}},
        {"half a length", std::string("\x05\x00", 2), kExitBrokenFrame, {}},
        {"short payload", Frame(R"({"type":"hello"})").substr(0, 10), kExitBrokenFrame, {}},
        // Nothing after an oversized length is read as a message.
        {"over 1 MiB", oversized + Frame(R"({"type":"hello"})"), kExitBrokenFrame,
         {Error("message longer than 1 MiB")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Session session = RunSession(c.input);
        EXPECT_EQ(session.code, c.code);
        EXPECT_EQ(session.answers, c.answers);
    }
}

TEST(BridgeProtocol, FramesCarryTheLengthLittleEndianAndBytesUnchanged) {
    const std::string payload = std::string(0x10A - 2, 'x') + "\r\n";
    const std::string frame = EncodeFrame(payload);
    EXPECT_EQ(frame.substr(0, 4), std::string("\x0A\x01\x00\x00", 4));
    TextSource in(frame + EncodeFrame(std::string("\x1A", 1)), 1);
    std::string read;
    ASSERT_EQ(ReadFrame(in, read), FrameRead::Message);
    EXPECT_EQ(read, payload);
    ASSERT_EQ(ReadFrame(in, read), FrameRead::Message);
    EXPECT_EQ(read, std::string("\x1A", 1));
    EXPECT_EQ(ReadFrame(in, read), FrameRead::End);
}

TEST(BridgeProtocol, LargeStateIsSplitWithinTheLimit) {
    State state{false, {}};
    for (int i = 0; i < 40; ++i) {
        state.hosts.push_back("host" + std::to_string(i) + ".example");
    }
    state.hosts.push_back(std::string(300, 'h'));  // fits in no message of 200 bytes
    const std::vector<std::string> messages = StateMessages(state, 200);
    ASSERT_GT(messages.size(), 1u);
    std::vector<std::string> hosts;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_LE(messages[i].size(), 200u);
        const Json json = Json::parse(messages[i]);
        EXPECT_EQ(json["more"], i + 1 < messages.size());
        EXPECT_EQ(json["blocking"], false);
        for (const auto& host : json["hosts"]) {
            hosts.push_back(host);
        }
    }
    state.hosts.pop_back();
    EXPECT_EQ(hosts, state.hosts);
}

TEST(BridgeProtocol, WatcherSendsOnlyChangesAfterTheFirstState) {
    RecordingSink out;
    StatePublisher publisher(out);
    State state{true, {"a.test"}};
    const auto read = [&] { return state; };
    EXPECT_TRUE(publisher.Publish(read, false));  // before the extension's hello: nothing
    EXPECT_TRUE(publisher.Publish(read, true));
    EXPECT_TRUE(publisher.Publish(read, false));  // unchanged: nothing
    state.blocking = false;
    EXPECT_TRUE(publisher.Publish(read, false));
    state.hosts.push_back("b.test");
    EXPECT_TRUE(publisher.Publish(read, false));
    ASSERT_EQ(out.messages.size(), 3u);
    EXPECT_EQ(out.messages[1]["blocking"], false);
    EXPECT_EQ(out.messages[2]["hosts"], Json({"a.test", "b.test"}));
}

}  // namespace
}  // namespace vgwl::bridge
