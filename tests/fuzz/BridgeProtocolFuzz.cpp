// libFuzzer target: any bytes on the bridge's input. The session must end
// without a crash, a leak or undefined behaviour, and every frame it writes
// must be whole, within 1 MiB, and a JSON object of a known type.

#include "component/BridgeProtocol.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace vgwl::bridge;

class BytesSource final : public ByteSource {
public:
    BytesSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        // Odd chunk sizes, as a pipe may give them.
        const std::size_t n = std::min({size, size_ - pos_, std::size_t{7} + pos_ % 13});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class CheckingSink final : public FrameSink {
public:
    bool Write(std::string_view frame) override {
        std::uint32_t length = 0;
        std::memcpy(&length, frame.data(), frame.size() < 4 ? 0 : 4);
        const auto json = nlohmann::json::parse(frame.substr(std::min<std::size_t>(4, frame.size())),
                                                nullptr, false);
        const auto type = json.is_object() ? json.value("type", "") : "";
        if (frame.size() < 4 || length != frame.size() - 4 || length > kMaxMessageBytes ||
            (type != "state" && type != "counted" && type != "error")) {
            std::abort();
        }
        return true;
    }
};

class FakeServices final : public Services {
public:
    State CurrentState() override { return {true, {"example.com", "xn--mnchen-3ya.de", "[::1]"}}; }
    std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                              const std::string& popup) override {
        if (page.size() > kMaxAddressBytes || popup.size() > kMaxAddressBytes) {
            std::abort();
        }
        if (page == "fail") {
            return std::nullopt;
        }
        return ++count_;
    }

private:
    std::uint32_t count_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BytesSource in(data, size);
    CheckingSink out;
    FakeServices services;
    StatePublisher publisher(out);
    const int code = Serve(in, out, publisher, services);
    if (code != kExitEndOfInput && code != kExitBrokenFrame) {
        std::abort();
    }
    return 0;
}
