#include "whitelist/WhiteListFile.h"

#include <limits>

namespace vgwl {
namespace {

// The white space of the C locale, as fscanf skips it.
bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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
    while (content.entries.size() < wanted && content.entries.size() < maxEntries) {
        c = SkipSpace(in);
        if (c == EOF) {
            break;  // fewer entries than the count: only those present
        }
        std::string entry;
        while (c != EOF && !IsSpace(c)) {
            if (entry.size() < maxChars) {
                entry.push_back(static_cast<char>(c));
            }
            c = in.Get();
        }
        content.entries.push_back(std::move(entry));
    }
    return content;
}

}  // namespace vgwl
