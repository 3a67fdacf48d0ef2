#include "whitelist/WhiteListFile.h"

#include <limits>

namespace vgwl {
namespace {

// The white space of the C locale, as fscanf skips it.
bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int SkipSpace(std::FILE* file) {
    int c = std::fgetc(file);
    while (c != EOF && IsSpace(c)) {
        c = std::fgetc(file);
    }
    return c;
}

}  // namespace

WhiteListFileContent ReadWhiteList(std::FILE* file, std::size_t maxChars, std::size_t maxEntries) {
    WhiteListFileContent content;
    if (!file) {
        return content;
    }
    // The count: an optionally signed decimal number after white space.
    int c = SkipSpace(file);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::fgetc(file);
    }
    bool digits = false;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    while (c >= '0' && c <= '9') {
        digits = true;
        // Saturates instead of overflowing: any count beyond the entries
        // present reads only what is there.
        value = value > kLimit ? value : value * 10 + (c - '0');
        c = std::fgetc(file);
    }
    if (!digits) {
        return content;
    }
    content.hasCount = true;
    content.count = negative ? -value : value;
    if (c != EOF) {
        std::ungetc(c, file);
    }
    if (content.count <= 0) {
        return content;
    }
    const auto wanted = static_cast<std::uint64_t>(content.count);
    while (content.entries.size() < wanted && content.entries.size() < maxEntries) {
        c = SkipSpace(file);
        if (c == EOF) {
            break;  // fewer entries than the count: only those present
        }
        std::string entry;
        while (c != EOF && !IsSpace(c)) {
            if (entry.size() < maxChars) {
                entry.push_back(static_cast<char>(c));
            }
            c = std::fgetc(file);
        }
        content.entries.push_back(std::move(entry));
    }
    return content;
}

}  // namespace vgwl
