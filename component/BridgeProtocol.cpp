#include "component/BridgeProtocol.h"

#include "toolkit/Url.h"

#include <nlohmann/json.hpp>

namespace vgwl::bridge {
namespace {

using Json = nlohmann::json;

// Text that is not UTF-8 is replaced rather than thrown over.
std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ErrorMessage(std::string_view reason) {
    return Dump(Json{{"type", "error"}, {"reason", reason}});
}

// Fills `buffer` completely, unless the input ends first.
std::size_t ReadFully(ByteSource& in, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = in.Read(buffer + done, size - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

// A text field: absent gives `absent`, anything but a string of at most
// kMaxAddressBytes gives an error reason.
std::optional<std::string> Field(const Json& message, const char* name, bool required,
                                 std::string& error) {
    const auto it = message.find(name);
    if (it == message.end()) {
        if (required) {
            error = std::string("missing field: ") + name;
            return std::nullopt;
        }
        return std::string();
    }
    if (!it->is_string()) {
        error = std::string("field is not a string: ") + name;
        return std::nullopt;
    }
    const auto& text = it->get_ref<const std::string&>();
    if (text.size() > kMaxAddressBytes) {
        error = std::string("field too long: ") + name;
        return std::nullopt;
    }
    return text;
}

// The answers to one message that is not a hello.
std::string AnswerBlocked(const Json& message, Services& services) {
    std::string error;
    const auto page = Field(message, "page", true, error);
    const auto popup = page ? Field(message, "popup", false, error) : std::nullopt;
    if (!page || !popup) {
        return ErrorMessage(error);
    }
    const auto count = services.CountBlocked(*page, *popup);
    if (!count) {
        return ErrorMessage("the popup could not be counted");
    }
    return Dump(Json{{"type", "counted"}, {"count", *count}});
}

}  // namespace

FrameRead ReadFrame(ByteSource& in, std::string& payload) {
    unsigned char header[4] = {};
    const std::size_t got = ReadFully(in, reinterpret_cast<char*>(header), sizeof(header));
    if (got == 0) {
        return FrameRead::End;
    }
    if (got < sizeof(header)) {
        return FrameRead::Truncated;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(header[0]) |
                                 static_cast<std::uint32_t>(header[1]) << 8 |
                                 static_cast<std::uint32_t>(header[2]) << 16 |
                                 static_cast<std::uint32_t>(header[3]) << 24;
    if (length > kMaxMessageBytes) {
        return FrameRead::Oversized;  // checked before anything is allocated
    }
    payload.assign(length, '\0');
    if (ReadFully(in, payload.data(), length) < length) {
        return FrameRead::Truncated;
    }
    return FrameRead::Message;
}

std::string EncodeFrame(std::string_view payload) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string frame;
    frame.reserve(4 + payload.size());
    for (int shift = 0; shift < 32; shift += 8) {
        frame.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
    frame.append(payload);
    return frame;
}

std::vector<std::string> StateMessages(const State& state, std::size_t limit) {
    std::vector<std::string> messages;
    const auto message = [&](const Json& hosts, bool more) {
        return Dump(Json{{"type", "state"}, {"blocking", state.blocking}, {"hosts", hosts},
                         {"more", more}});
    };
    // The frame of a state without hosts, and the room each host takes in
    // it: its quotes and a comma, and whatever escaping the host needs.
    const std::size_t bare = message(Json::array(), false).size();
    Json part = Json::array();
    std::size_t size = bare;
    for (const std::string& host : state.hosts) {
        const std::size_t room = Dump(Json(host)).size() + 1;
        if (bare + room > limit) {
            continue;  // a host that fits in no message at all
        }
        if (size + room > limit) {
            messages.push_back(message(part, true));
            part = Json::array();
            size = bare;
        }
        part.push_back(host);
        size += room;
    }
    messages.push_back(message(part, false));
    return messages;
}

bool StatePublisher::Publish(const std::function<State()>& read, bool always) {
    const std::lock_guard lock(mutex_);
    State state = read();
    if (!always && (!last_ || *last_ == state)) {
        return true;
    }
    for (const std::string& message : StateMessages(state)) {
        if (!sink_.Write(EncodeFrame(message))) {
            return false;
        }
    }
    last_ = std::move(state);
    return true;
}

int Serve(ByteSource& in, FrameSink& out, StatePublisher& publisher, Services& services) {
    std::string payload;
    for (;;) {
        switch (ReadFrame(in, payload)) {
            case FrameRead::End:
                return kExitEndOfInput;
            case FrameRead::Truncated:
                return kExitBrokenFrame;
            case FrameRead::Oversized:
                // The rest of the input cannot be framed any more: say why and end.
                out.Write(EncodeFrame(ErrorMessage("message longer than 1 MiB")));
                return kExitBrokenFrame;
            case FrameRead::Message:
                break;
        }
        std::string answer;
        if (!DecodeUtf8(payload)) {
            answer = ErrorMessage("message is not UTF-8");
        } else {
            const Json message = Json::parse(payload, nullptr, false);
            const auto type = message.is_object() ? message.find("type") : message.end();
            if (message.is_discarded()) {
                answer = ErrorMessage("message is not JSON");
            } else if (!message.is_object()) {
                answer = ErrorMessage("message is not a JSON object");
            } else if (type == message.end() || !type->is_string()) {
                answer = ErrorMessage("message has no type");
            } else if (*type == "hello") {
                if (!publisher.Publish([&] { return services.CurrentState(); }, true)) {
                    return kExitOutputClosed;
                }
                continue;
            } else if (*type == "blocked") {
                answer = AnswerBlocked(message, services);
            } else {
                answer = ErrorMessage("unknown message type");
            }
        }
        if (!out.Write(EncodeFrame(answer))) {
            return kExitOutputClosed;
        }
    }
}

}  // namespace vgwl::bridge
