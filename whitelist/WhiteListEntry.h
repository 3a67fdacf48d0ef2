#pragma once
// Which texts can be white list entries. The file holds one entry per line
// and its readers take an entry as one word, so an entry is given back
// unchanged only when it is not empty and holds no white space; the shared
// table holds at most 63 characters of an entry. The editor refuses anything
// else, wherever it comes from, and says why. Portable: no Windows header.

#include "component/Contract.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vgwl {

inline constexpr std::size_t kMaxWhiteListEntryChars = contract::kWhiteListMaxEntryChars;

enum class EntryRefusal {
    None,
    Empty,
    WhiteSpace,        // blank, tab, line break, vertical tab, form feed
    ControlCharacter,  // NUL and the other C0 controls, DEL
    TooLong,           // more than kMaxWhiteListEntryChars characters
    Duplicate,         // already listed (whole, case-sensitive captions)
    NotConvertible,    // typed text with no exact ANSI and no ASCII form
};

// White space as the file's readers split on it (the C locale's).
[[nodiscard]] constexpr bool IsEntrySeparator(unsigned char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

[[nodiscard]] constexpr bool IsControlCharacter(unsigned char c) noexcept {
    return c < 0x20 || c == 0x7F;
}

// Why `entry` cannot be an entry, duplicates aside; None when it can.
[[nodiscard]] EntryRefusal CheckWhiteListEntry(std::string_view entry) noexcept;

// The sentence shown to the user for a refusal; empty for None.
[[nodiscard]] std::string EntryRefusalText(EntryRefusal refusal);

}  // namespace vgwl
