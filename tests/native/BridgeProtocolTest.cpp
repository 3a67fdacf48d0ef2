#include "component/BridgeProtocol.h"
#include "tests/fuzz/ChunkedSource.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace vgwl::bridge {
namespace {

using Json = nlohmann::json;

std::string Frame(const std::string& payload) { return EncodeFrame(payload); }

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
    State CurrentState() override { return {true, {"a.test"}}; }
    std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                              const std::string& popup) override {
        reported += page + "|" + popup + ";";
        return failCount ? std::nullopt : std::optional(40 + ++counted);
    }
    bool failCount = false;
    std::uint32_t counted = 0;
    std::string reported;  // "page|popup;" for each count asked for
};

struct Session {
    int code = -1;
    std::vector<Json> answers;
    std::string reported;
};

Session RunSession(const std::string& input, bool failCount) {
    // In pieces of 3 bytes, as a pipe may hand them out: lengths come split.
    ChunkedSource in(input, [](std::size_t) { return std::size_t{3}; });
    RecordingSink out;
    FakeServices services;
    services.failCount = failCount;
    StatePublisher publisher(out);
    const int code = Serve(in, out, publisher, services);
    return {code, out.messages, services.reported};
}

Json Error(const std::string& reason) { return {{"type", "error"}, {"reason", reason}}; }

TEST(BridgeProtocol, EachInputGetsItsAnswersAndEnd) {
    const Json state = {{"type", "state"}, {"blocking", true}, {"hosts", {"a.test"}}, {"more", false}};
    const Json counted = {{"type", "counted"}, {"count", 41}};
    const std::string longest(kMaxAddressBytes, 'p');
    std::string oversized(4, '\0');
    const std::uint32_t tooLong = kMaxMessageBytes + 1;
    std::memcpy(oversized.data(), &tooLong, 4);
    const struct {
        const char* name;
        std::string input;
        std::vector<Json> answers;
        std::string reported = "";
        int code = kExitEndOfInput;
        bool failCount = false;
    } cases[] = {
        {"hello", Frame(R"({"type":"hello"})"), {state}},
        // A length over 255 read little-endian (the sink checks the answers').
        {"long hello", Frame(R"({"type":"hello"})" + std::string(300, ' ')), {state}},
        {"blocked", Frame(R"({"type":"blocked","page":"http://a/","popup":"http://b/"})"), {counted},
         "http://a/|http://b/;"},
        {"blocked without popup", Frame(R"({"type":"blocked","page":"http://a/"})"), {counted},
         "http://a/|;"},
        {"count fails", Frame(R"({"type":"blocked","page":"http://a/","popup":""})"),
         {Error("the popup could not be counted")}, "http://a/|;", kExitEndOfInput, true},
        {"longest page", Frame(Json{{"type", "blocked"}, {"page", longest}}.dump()), {counted},
         longest + "|;"},
        {"page too long", Frame(Json{{"type", "blocked"}, {"page", longest + "p"}}.dump()),
         {Error("field too long: page")}},
        {"no page", Frame(R"({"type":"blocked"})"), {Error("missing field: page")}},
        {"popup not text", Frame(R"({"type":"blocked","page":"x","popup":3})"),
         {Error("field is not a string: popup")}},
        // Which bytes are UTF-8 is Url.Utf8IsDecodedStrictly's.
        {"not UTF-8", Frame("{\"type\":\"blocked\",\"page\":\"\xC3\x28\"}"),
         {Error("message is not UTF-8")}},
        {"not JSON", Frame("{type: hello}"), {Error("message is not JSON")}},
        {"empty frame", Frame(""), {Error("message is not JSON")}},
        {"array", Frame("[1]"), {Error("message is not a JSON object")}},
        {"type not text", Frame(R"({"type":1})"), {Error("message has no type")}},
        {"unknown type", Frame(R"({"type":"bye"})"), {Error("unknown message type")}},
        {"session goes on after errors", Frame("[") + Frame(R"({"type":"hello"})"),
         {Error("message is not JSON"), state}},
        // A broken frame ends the session.
        {"no input", "", {}},
        {"half a length", std::string("\x05\x00", 2), {}, "", kExitBrokenFrame},
        {"short payload", Frame(R"({"type":"hello"})").substr(0, 10), {}, "", kExitBrokenFrame},
        // Nothing after an oversized length is read as a message.
        {"over 1 MiB", oversized + Frame(R"({"type":"hello"})"), {Error("message longer than 1 MiB")},
         "", kExitBrokenFrame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Session session = RunSession(c.input, c.failCount);
        EXPECT_EQ(session.code, c.code);
        EXPECT_EQ(session.answers, c.answers);
        EXPECT_EQ(session.reported, c.reported);
    }
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
