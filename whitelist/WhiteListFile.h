#pragma once
// Reading the white list file "gwwhitelist.dat": a count, then that many
// entries, each a run of characters up to the next white space. Blank lines
// and blanks around entries are skipped; the count, not the end of the file,
// says how many entries there are. Portable: no Windows header.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vgwl {

inline constexpr char kWhiteListFileName[] = "gwwhitelist.dat";

struct WhiteListFileContent {
    // False when the first item of the file is not a number (an empty or
    // damaged file): such a file holds no list at all.
    bool hasCount = false;
    // The count as written; a negative one reads as no entries.
    std::int64_t count = 0;
    std::vector<std::string> entries;
};

// Reads a white list from an open file, from its current position to its end. Takes at most `count` entries and
// never more than the file holds or than `maxEntries`; keeps at most
// `maxChars` characters of an entry and skips the rest of it, so that a
// damaged or huge file costs bounded memory.
WhiteListFileContent ReadWhiteList(std::FILE* file, std::size_t maxChars, std::size_t maxEntries);

}  // namespace vgwl
