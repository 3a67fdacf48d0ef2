#include "whitelist/WhiteListTable.h"

#include "component/Contract.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vgwl {
namespace {

constexpr std::size_t kCountSize = contract::kWhiteListCountSize;
constexpr std::size_t kSlotSize = contract::kWhiteListSlotSize;
constexpr std::size_t kMaxChars = contract::kWhiteListMaxEntryChars;

std::size_t SlotsThatFit(std::size_t tableSize) noexcept {
    return tableSize < kCountSize ? 0 : (tableSize - kCountSize) / kSlotSize;
}

}  // namespace

std::size_t WhiteListTableSize(std::size_t entryCount) noexcept {
    return kCountSize + kSlotSize * entryCount;
}

std::vector<std::string> ReadWhiteListTable(std::span<const unsigned char> table) {
    std::vector<std::string> entries;
    if (table.size() < kCountSize) {
        return entries;
    }
    // Assembled byte by byte: little-endian whatever the host, and read once,
    // since a writer in another process may change it under us.
    const std::uint32_t raw =
        static_cast<std::uint32_t>(table[0]) | static_cast<std::uint32_t>(table[1]) << 8 |
        static_cast<std::uint32_t>(table[2]) << 16 | static_cast<std::uint32_t>(table[3]) << 24;
    if (raw > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        return entries;  // negative count
    }
    const std::size_t count = std::min<std::size_t>(raw, SlotsThatFit(table.size()));
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* slot = table.data() + kCountSize + kSlotSize * i;
        const void* nul = std::memchr(slot, 0, kMaxChars);
        const std::size_t length =
            nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - slot)
                : kMaxChars;
        entries.emplace_back(reinterpret_cast<const char*>(slot), length);
    }
    return entries;
}

std::size_t WriteWhiteListTable(std::span<unsigned char> table,
                                const std::vector<std::string>& entries) {
    if (table.size() < kCountSize) {
        return 0;
    }
    const std::size_t written =
        std::min({entries.size(), SlotsThatFit(table.size()),
                  static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())});
    // The count goes first, as the front end always has written it.
    const auto count = static_cast<std::uint32_t>(written);
    table[0] = static_cast<unsigned char>(count & 0xFF);
    table[1] = static_cast<unsigned char>((count >> 8) & 0xFF);
    table[2] = static_cast<unsigned char>((count >> 16) & 0xFF);
    table[3] = static_cast<unsigned char>((count >> 24) & 0xFF);
    for (std::size_t i = 0; i < written; ++i) {
        unsigned char* slot = table.data() + kCountSize + kSlotSize * i;
        const std::string& entry = entries[i];
        const std::size_t length = std::min(entry.size(), kMaxChars);
        std::memcpy(slot, entry.data(), length);
        std::memset(slot + length, 0, kSlotSize - length);
    }
    return written;
}

}  // namespace vgwl
