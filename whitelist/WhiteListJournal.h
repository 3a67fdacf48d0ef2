#pragma once
// The companion file of the white list: the whole new list of a save in
// progress, behind a header that carries its length and checksum, so that a
// reader can tell a complete companion from one a stop cut short. An empty
// companion means no save is in progress. Portable: no Windows header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

// Beside the list; the setup creates it and lets users write it.
inline constexpr char kWhiteListCompanionFileName[] = "gwwhitelist.dat.journal";

// Magic, list length (64 bits) and CRC-32 of the list, little-endian.
inline constexpr std::size_t kWhiteListJournalHeaderSize = 20;

[[nodiscard]] std::uint32_t Crc32(std::string_view bytes) noexcept;

// The companion's bytes for a save of `list`.
[[nodiscard]] std::string WhiteListJournalBytes(std::string_view list);

// The list a complete companion holds; nothing when it is empty, torn or
// not a companion at all.
[[nodiscard]] std::optional<std::string_view> WhiteListFromJournal(std::string_view journal);

}  // namespace vgwl
