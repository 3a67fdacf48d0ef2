#include "whitelist/WhiteListFile.h"

#include "whitelist/WhiteListEntry.h"

#include <algorithm>
#include <limits>

namespace vgwl {
namespace {

// The white space of the C locale, as fscanf skips it.
bool IsSpace(int c) { return c != EOF && IsEntrySeparator(static_cast<unsigned char>(c)); }

// Reads the file in blocks: one library call per character would cost more
// than the parsing itself on a large list.
class CharSource {
public:
    explicit CharSource(std::FILE* file) : file_(file) {}
    int Get() {
        if (pos_ == end_) {
            end_ = std::fread(buffer_, 1, sizeof(buffer_), file_);
            pos_ = 0;
            if (end_ == 0) {
                return EOF;
            }
        }
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    void Unget() noexcept { --pos_; }

private:
    std::FILE* file_;
    char buffer_[16384];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

int SkipSpace(CharSource& in) {
    int c = in.Get();
    while (c != EOF && IsSpace(c)) {
        c = in.Get();
    }
    return c;
}

}  // namespace

WhiteListFileContent ReadWhiteList(std::FILE* file, std::size_t maxChars, std::size_t maxEntries) {
    WhiteListFileContent content;
    if (!file) {
        return content;
    }
    CharSource in(file);
    // The count: an optionally signed decimal number after white space.
    int c = SkipSpace(in);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = in.Get();
    }
    bool digits = false;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    while (c >= '0' && c <= '9') {
        digits = true;
        // Saturates instead of overflowing: any count beyond the entries
        // present reads only what is there.
        value = value > kLimit ? value : value * 10 + (c - '0');
        c = in.Get();
    }
    if (!digits) {
        return content;
    }
    content.hasCount = true;
    content.count = negative ? -value : value;
    if (c != EOF) {
        in.Unget();
    }
    if (content.count <= 0) {
        return content;
    }
    const auto wanted = static_cast<std::uint64_t>(content.count);
    std::uint64_t read = 0;
    std::string entry;
    while (read < wanted && content.entries.size() < maxEntries) {
        c = SkipSpace(in);
        if (c == EOF) {
            break;  // fewer entries than the count: only those present
        }
        ++read;
        entry.clear();
        bool keep = true;
        while (c != EOF && !IsSpace(c)) {
            // A control character would cut the entry short in the table (a
            // NUL) or show as something else than the file holds.
            if (IsControlCharacter(static_cast<unsigned char>(c))) {
                keep = false;
            }
            if (entry.size() <= maxChars) {
                entry.push_back(static_cast<char>(c));
            }
            c = in.Get();
        }
        if (keep && entry.size() <= maxChars) {
            content.entries.push_back(entry);
        } else {
            ++content.passedOver;
        }
    }
    return content;
}

std::optional<WhiteListFileContent> ReadWhiteListFile(const std::string& path) {
    // Binary: in text mode the C runtime would end the file at a Ctrl+Z.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    WhiteListFileContent content =
        ReadWhiteList(file, kMaxWhiteListEntryChars, std::numeric_limits<std::size_t>::max());
    std::fclose(file);
    return content;
}

std::string WhiteListLine(std::string_view text, bool isText, std::int32_t number) {
    std::string line = isText ? std::string(text) : std::to_string(number);
    line += "\r\n";
    return line;
}

std::string WhiteListFileBytes(const std::vector<std::string>& entries) {
    std::size_t size = 12;
    for (const std::string& entry : entries) {
        size += entry.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    // The count is a signed 32-bit number in the file's contract.
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(entries.size(), std::numeric_limits<std::int32_t>::max()));
    bytes += WhiteListLine({}, false, count);
    for (std::int32_t i = 0; i < count; ++i) {
        bytes += entries[static_cast<std::size_t>(i)];
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace vgwl
