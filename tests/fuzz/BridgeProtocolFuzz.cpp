// libFuzzer target: any bytes on the bridge's input. The session must end
// without a crash, a leak or undefined behaviour, and every frame it writes
// must be whole, within 1 MiB, and a JSON object of a known type.

#include "component/BridgeProtocol.h"
#include "tests/fuzz/ChunkedSource.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace vgwl::bridge;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class Checking final : public FrameSink, public Services {
public:
    bool Write(std::string_view frame) override {
        std::uint32_t length = 0;
        Require(frame.size() >= 4);
        std::memcpy(&length, frame.data(), 4);
        const auto json = nlohmann::json::parse(frame.substr(4), nullptr, false);
        const auto type = json.is_object() ? json.value("type", "") : "";
        Require(length == frame.size() - 4 && length <= kMaxMessageBytes &&
                (type == "state" || type == "counted" || type == "error"));
        return true;
    }
    State CurrentState() override { return {true, {"example.com", "xn--mnchen-3ya.de", "[::1]"}}; }
    std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                              const std::string& popup) override {
        Require(page.size() <= kMaxAddressBytes && popup.size() <= kMaxAddressBytes);
        return page == "fail" ? std::nullopt : std::optional(++count_);
    }

private:
    std::uint32_t count_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Odd chunk sizes, as a pipe may give them.
    ChunkedSource in(std::string(reinterpret_cast<const char*>(data), size),
                     [](std::size_t pos) { return std::size_t{7} + pos % 13; });
    Checking checking;
    StatePublisher publisher(checking);
    const int code = Serve(in, checking, publisher, checking);
    Require(code == kExitEndOfInput || code == kExitBrokenFrame);
    return 0;
}
