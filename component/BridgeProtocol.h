#pragma once
// The browser bridge's side of native messaging: frames of a 32-bit length in
// native (little-endian) byte order followed by that many bytes of UTF-8 JSON,
// at most 1 MiB each way, and the messages the extension and the bridge
// exchange:
//   extension -> bridge  {"type":"hello"}
//                        {"type":"blocked","page":"...","popup":"..."}
//   bridge -> extension  {"type":"state","blocking":b,"hosts":[...],"more":b}
//                        {"type":"counted","count":n}
//                        {"type":"error","reason":"..."}
// A broken frame ends the session; a broken message gets an error answer and
// the session goes on. Portable: no Windows header, so it is fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl::bridge {

inline constexpr std::size_t kMaxMessageBytes = 1024 * 1024;
inline constexpr std::size_t kMaxAddressBytes = 8192;

// Exit codes of a session.
inline constexpr int kExitEndOfInput = 0;
inline constexpr int kExitBrokenFrame = 1;
inline constexpr int kExitOutputClosed = 2;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 only at the end of the input.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Writes one whole frame; false when the output is gone. Called from
    // more than one thread: implementations keep frames whole.
    virtual bool Write(std::string_view frame) = 0;
};

enum class FrameRead { Message, End, Truncated, Oversized };
FrameRead ReadFrame(ByteSource& in, std::string& payload);
[[nodiscard]] std::string EncodeFrame(std::string_view payload);

// What the extension needs to know: the switch and the white list's hosts.
struct State {
    bool blocking = false;
    std::vector<std::string> hosts;
    bool operator==(const State&) const = default;
};

// The state as one or more messages, each within `limit` bytes, "more" true
// on all but the last.
[[nodiscard]] std::vector<std::string> StateMessages(const State& state,
                                                     std::size_t limit = kMaxMessageBytes);

// Sends states, remembering the last one sent, so that a change noticed by a
// watcher goes out only when it is one.
class StatePublisher {
public:
    explicit StatePublisher(FrameSink& sink) : sink_(sink) {}
    // Reads the state and sends it: always when `always`, else only when a
    // state has been sent before and this one differs. Reading and sending
    // happen under one lock, so a newer state is never overtaken by an older.
    bool Publish(const std::function<State()>& read, bool always);

private:
    std::mutex mutex_;
    FrameSink& sink_;
    std::optional<State> last_;
};

class Services {
public:
    virtual ~Services() = default;
    virtual State CurrentState() = 0;
    // Counts one stopped popup; the new count, or nothing when it could not
    // be counted.
    virtual std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                                      const std::string& popup) = 0;
};

// Serves one session until the input ends or breaks; returns its exit code.
int Serve(ByteSource& in, FrameSink& out, StatePublisher& publisher, Services& services);

}  // namespace vgwl::bridge
