#include "whitelist/WhiteListTable.h"

#include "component/Contract.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vgwl {
namespace {

constexpr std::size_t kCountSize = contract::kWhiteListCountSize;
constexpr std::size_t kSlotSize = contract::kWhiteListSlotSize;
constexpr std::size_t kMaxChars = contract::kWhiteListMaxEntryChars;

// Puts a slot in place while readers may look: its first byte goes to NUL
// first and gets its new value last, so that a reader that starts on the
// slot meanwhile finds it empty.
void PutSlot(unsigned char* target, const unsigned char* slot) noexcept {
    std::atomic_ref<unsigned char>(target[0]).store(0, std::memory_order_release);
    std::atomic_thread_fence(std::memory_order_release);
    std::memcpy(target + 1, slot + 1, kSlotSize - 1);
    std::atomic_thread_fence(std::memory_order_release);
    std::atomic_ref<unsigned char>(target[0]).store(slot[0], std::memory_order_release);
}

// Whether the slot already reads as `entry`.
bool Holds(const unsigned char* target, const std::string& entry, std::size_t length) noexcept {
    return std::memcmp(target, entry.data(), length) == 0 &&
           (length == kSlotSize || target[length] == 0);
}

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
    const std::size_t slots = SlotsThatFit(table.size());
    const std::size_t written =
        std::min({entries.size(), slots,
                  static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())});
    // The component reads while we write, without a lock. The slots go
    // first and the count last, so that a reader that finds the new count
    // finds the new entries under it; a slot that already holds its entry is
    // not touched at all.
    unsigned char slot[kSlotSize];
    for (std::size_t i = 0; i < written; ++i) {
        const std::string& entry = entries[i];
        const std::size_t length = std::min(entry.size(), kMaxChars);
        unsigned char* target = table.data() + kCountSize + kSlotSize * i;
        if (!Holds(target, entry, length)) {
            std::memcpy(slot, entry.data(), length);
            std::memset(slot + length, 0, kSlotSize - length);
            PutSlot(target, slot);
        }
    }
    // Slots beyond the new count are emptied before the count drops, by
    // their first byte alone: a reader already inside one reads the old
    // entry whole, never a cut piece of it ("evil.example.com" cut to
    // "evil.example" would match more), and one that comes later finds an
    // empty slot, which matches nothing. A deleted entry is never read again.
    for (std::size_t i = written; i < slots; ++i) {
        unsigned char* target = table.data() + kCountSize + kSlotSize * i;
        if (target[0] != 0) {
            std::atomic_ref<unsigned char>(target[0]).store(0, std::memory_order_release);
        }
    }
    std::atomic_thread_fence(std::memory_order_release);
    const auto count = static_cast<std::uint32_t>(written);
    if (std::endian::native == std::endian::little &&
        reinterpret_cast<std::uintptr_t>(table.data()) % alignof(std::uint32_t) == 0) {
        // One store: a reader never sees half of an old and half of a new count.
        std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(table.data()))
            .store(count, std::memory_order_release);
    } else {
        for (std::size_t b = 0; b < kCountSize; ++b) {
            table[b] = static_cast<unsigned char>((count >> (8 * b)) & 0xFF);
        }
    }
    return written;
}

}  // namespace vgwl
