#pragma once
// The white list file "gwwhitelist.dat": a count, then that many entries,
// each a run of characters up to the next white space, every line ended by
// CR LF. Blank lines and blanks around entries are skipped when reading; the
// count, not the end of the file, says how many entries there are. Portable:
// no Windows header.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

inline constexpr char kWhiteListFileName[] = "gwwhitelist.dat";

// Most entries the shared table holds: 100000 entries are 6.4 MB of shared
// memory. The list itself may hold more; the user is told what the blocking
// component sees.
inline constexpr std::size_t kWhiteListMaxEntries = 100000;

struct WhiteListFileContent {
    // False when the first item of the file is not a number (an empty or
    // damaged file): such a file holds no list at all.
    bool hasCount = false;
    // The count as written; a negative one reads as no entries.
    std::int64_t count = 0;
    std::vector<std::string> entries;
    // Entries read but passed over: longer than the limit, or holding a NUL
    // or another control character (a damaged or hand-edited file).
    std::size_t passedOver = 0;
};

// Reads a white list from an open file, from its current position to its
// end. Reads at most `count` entries and never more than the file holds;
// keeps at most `maxEntries`. An entry longer than `maxChars`, or holding a
// control character, is read and passed over whole: both readers (the list
// view and the shared table) drop it alike, so that the list the user sees
// is the list the blocking component gets. Memory stays bounded whatever the
// file holds.
WhiteListFileContent ReadWhiteList(std::FILE* file, std::size_t maxChars, std::size_t maxEntries);

// Opens the file at `path` as bytes and reads it by the rule above, with the
// table's limit of 63 characters and no limit of entries: the one reading
// that the list view and the shared table both use. A Ctrl+Z byte is an
// entry character like any other control character, never the end of the
// file. Nothing when the file cannot be opened (above all, when no list has
// been saved yet).
[[nodiscard]] std::optional<WhiteListFileContent> ReadWhiteListFile(const std::string& path);

// One line of the file with its CR LF: the text when `isText` is set, else
// the number in decimal (a minus sign only when negative).
[[nodiscard]] std::string WhiteListLine(std::string_view text, bool isText, std::int32_t number);

// The whole file for these entries, in this order: the count line, then one
// line per entry. "0" CR LF for no entries.
[[nodiscard]] std::string WhiteListFileBytes(const std::vector<std::string>& entries);

}  // namespace vgwl
