#include "whitelist/DroppedLink.h"

#include "toolkit/Url.h"
#include "toolkit/WebLink.h"
#include "whitelist/WhiteListEntry.h"

namespace vgwl {
namespace {

void AppendPercentUtf8(std::string& out, char32_t c) {
    unsigned char bytes[4];
    int n = 0;
    if (c < 0x800) {
        bytes[n++] = static_cast<unsigned char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        bytes[n++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        bytes[n++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    }
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < n; ++i) {
        out += '%';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0x0F];
    }
}

// Everything but the host: ASCII as it is, the rest percent-encoded UTF-8.
void AppendEncoded(std::string& out, std::u32string_view text) {
    for (const char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            AppendPercentUtf8(out, c);
        }
    }
}

bool IsAscii(std::u16string_view text) noexcept {
    for (const char16_t c : text) {
        if (c >= 0x80) {
            return false;
        }
    }
    return true;
}

// The entry for a link at most as long as an entry may be: the link, else
// its scheme and host, else its host.
std::optional<std::string> Shortened(std::string link) {
    if (link.size() <= kMaxWhiteListEntryChars) {
        return link;
    }
    const std::string_view view(link);
    const HostSpan span = FindHost(view);
    if (span.Empty()) {
        return std::nullopt;
    }
    const std::string_view host = view.substr(span.begin, span.end - span.begin);
    if (span.authority + host.size() <= kMaxWhiteListEntryChars) {
        return std::string(view.substr(0, span.authority)).append(host);
    }
    if (host.size() <= kMaxWhiteListEntryChars) {
        return std::string(host);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> PunycodeEncode(std::u32string_view label) {
    return PunycodeOfLabel(label);
}

std::optional<std::string> AsciiLink(std::u16string_view link) {
    const auto points = DecodeUtf16(link);
    if (!points) {
        return std::nullopt;
    }
    const std::u32string_view text(*points);
    const HostSpan span = FindHost(text);
    const auto host = AsciiHost(text.substr(span.begin, span.end - span.begin));
    if (!host) {
        return std::nullopt;
    }
    std::string out;
    AppendEncoded(out, text.substr(0, span.begin));  // scheme and user information
    out += *host;
    AppendEncoded(out, text.substr(span.end));  // port, path, query, fragment
    return out;
}

std::optional<std::string> DroppedLinkEntry(std::u16string_view link, const AnsiEncoder& toAnsi) {
    if (!IsWebLink(link)) {
        return std::nullopt;
    }
    const HostSpan span = FindHost(link);
    if (span.Empty()) {
        return std::nullopt;  // nothing the component could match
    }
    std::optional<std::string> entry;
    if (IsAscii(link)) {
        entry = std::string(link.begin(), link.end());
    } else if (IsAscii(link.substr(span.begin, span.end - span.begin)) && toAnsi) {
        entry = toAnsi(link);
    }
    if (!entry) {
        entry = AsciiLink(link);
    }
    if (entry) {
        entry = Shortened(std::move(*entry));
    }
    if (!entry || CheckWhiteListEntry(*entry) != EntryRefusal::None) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> TypedEntry(std::u16string_view text, const AnsiEncoder& toAnsi) {
    if (toAnsi) {
        if (std::optional<std::string> exact = toAnsi(text)) {
            return exact;
        }
    }
    return AsciiLink(text);
}

}  // namespace vgwl
