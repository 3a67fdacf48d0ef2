#include "toolkit/WebLink.h"

#include "toolkit/Url.h"

namespace vgwl {
namespace {

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) noexcept {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// White space and controls of UTF-16 text: the C0 and C1 controls, DEL, and
// the Unicode spaces a browser may leave around or inside a link.
bool IsSpaceOrControl(char16_t c) noexcept {
    return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

bool IsWebLink(std::u16string_view text) noexcept {
    std::size_t rest = 0;
    if (StartsWithNoCase(text, u"http://")) {
        rest = 7;
    } else if (StartsWithNoCase(text, u"https://")) {
        rest = 8;
    } else if (StartsWithNoCase(text, u"www.")) {
        rest = 4;
    } else {
        return false;
    }
    // A host must be named after the beginning, and not begin with a dot.
    const HostSpan host = FindHost(text);
    if (host.Empty() || host.end <= rest || text[rest] == u'.') {
        return false;
    }
    for (const char16_t c : text) {
        if (IsSpaceOrControl(c)) {
            return false;
        }
    }
    return true;
}

std::vector<std::u16string> WebLinkLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        std::u16string_view line = text.substr(pos, end - pos);
        while (!line.empty() && (line.front() == u' ' || line.front() == u'\t')) {
            line.remove_prefix(1);
        }
        while (!line.empty() && (line.back() == u' ' || line.back() == u'\t')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            if (!IsWebLink(line)) {
                return {};
            }
            lines.emplace_back(line);
        }
        pos = end + 1;
    }
    return lines;
}

}  // namespace vgwl
