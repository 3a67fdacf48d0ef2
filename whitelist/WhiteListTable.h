#pragma once
// The shared white list table "VMGWLITE" as bytes: a signed 32-bit
// little-endian count at offset 0, then fixed 64-byte slots, slot i at
// 4 + 64 * i, each holding at most 63 characters and a NUL. The front end
// writes it and the blocking component reads it, possibly while it is being
// written, so both sides stay strictly inside the bytes they are given.
// Portable: no Windows header.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace vgwl {

// Bytes needed for a table of `entryCount` entries: 4 + 64 * entryCount.
[[nodiscard]] std::size_t WhiteListTableSize(std::size_t entryCount) noexcept;

// The entries the table holds. Never reads outside `table`: a negative count
// reads as none, a count beyond the slots that fit reads only the whole slots
// that fit, and a slot without a NUL gives its first 63 characters.
[[nodiscard]] std::vector<std::string> ReadWhiteListTable(std::span<const unsigned char> table);

// Writes one slot per entry, in order, empties every slot after the last one
// written (a NUL in its first byte), and then stores the count; returns the number of slots written,
// which is also the count stored. Never writes outside `table`: only the
// entries whose slot fits are written (none at all when not even the count
// fits), an entry is cut to 63 characters, and the rest of each written slot
// is cleared. A slot that already holds its entry is not touched.
std::size_t WriteWhiteListTable(std::span<unsigned char> table,
                                const std::vector<std::string>& entries);

}  // namespace vgwl
