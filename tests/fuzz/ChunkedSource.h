#pragma once
// The bridge's input from bytes held in memory, handed out in pieces no
// larger than `chunk(position)`, as a pipe may hand them out.

#include "component/BridgeProtocol.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace vgwl::bridge {

class ChunkedSource final : public ByteSource {
public:
    ChunkedSource(std::string bytes, std::function<std::size_t(std::size_t)> chunk)
        : bytes_(std::move(bytes)), chunk_(std::move(chunk)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, chunk_(pos_), bytes_.size() - pos_});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::function<std::size_t(std::size_t)> chunk_;
    std::size_t pos_ = 0;
};

}  // namespace vgwl::bridge
