#include "whitelist/DroppedLink.h"

#include "toolkit/WebLink.h"
#include "whitelist/WhiteListEntry.h"

#include <cstdint>
#include <limits>

namespace vgwl {
namespace {

// RFC 3492, section 5: the parameters of Punycode for IDNA.
constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTMin = 1;
constexpr std::uint32_t kTMax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 0x80;

char EncodeDigit(std::uint32_t d) noexcept {
    return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26));
}

std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first) noexcept {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

// UTF-16 to code points; nothing for a lone surrogate.
std::optional<std::u32string> CodePoints(std::u16string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            out.push_back(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

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

// Simple lower case for the scripts whose capitals map one to one; domain
// labels are compared in lower case, and Punycode keeps case apart.
char32_t ToLower(char32_t c) noexcept {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    // Latin Extended-A: capitals on the even code points, with a stretch on
    // the odd ones; U+0130, U+0138, U+0149 and U+0178 have no simple pair.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return (c % 2 == 0) ? c + 1 : c;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c % 2 == 1) ? c + 1 : c;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    return c;
}

bool IsDot(char32_t c) noexcept { return c == U'.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

std::optional<std::string> HostToAscii(std::u32string_view host) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < host.size() && !IsDot(host[end])) {
            ++end;
        }
        std::u32string label;
        bool ascii = true;
        for (std::size_t i = start; i < end; ++i) {
            label.push_back(ToLower(host[i]));
            ascii = ascii && host[i] < 0x80;
        }
        if (ascii) {
            for (const char32_t c : label) {
                out += static_cast<char>(c);
            }
        } else {
            const auto encoded = PunycodeEncode(label);
            if (!encoded) {
                return std::nullopt;
            }
            out += "xn--" + *encoded;
        }
        if (end == host.size()) {
            return out;
        }
        out += '.';
        start = end + 1;
    }
}

// The link's scheme with its "//" ("http://"; empty for "www."), and where
// its authority (user information, host and port) ends. A scheme is one only
// at the very start (a letter, then letters, digits, "+", "-" or "."): a
// "http://" further on, in a path or query, is part of the link.
template <typename View>
std::size_t SchemeLength(View link) {
    std::size_t i = 0;
    const auto isLetter = [](char32_t c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    while (i < link.size() &&
           (isLetter(link[i]) || (i > 0 && ((link[i] >= '0' && link[i] <= '9') || link[i] == '+' ||
                                            link[i] == '-' || link[i] == '.')))) {
        ++i;
    }
    if (i > 0 && i + 2 < link.size() && link[i] == ':' && link[i + 1] == '/' &&
        link[i + 2] == '/') {
        return i + 3;
    }
    return 0;
}

template <typename View>
std::size_t AuthorityEnd(View link, std::size_t from) {
    for (std::size_t i = from; i < link.size(); ++i) {
        if (link[i] == '/' || link[i] == '?' || link[i] == '#' || link[i] == '\\') {
            return i;
        }
    }
    return link.size();
}

// Host part of an authority: without "user@" and without ":port".
template <typename View>
View HostOf(View authority) {
    const auto at = authority.rfind(static_cast<typename View::value_type>('@'));
    if (at != View::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(static_cast<typename View::value_type>(']'));
        return close == View::npos ? authority : authority.substr(0, close + 1);
    }
    const auto colon = authority.rfind(static_cast<typename View::value_type>(':'));
    return colon == View::npos ? authority : authority.substr(0, colon);
}

// The entry for a link at most as long as an entry may be: the link, else
// its scheme and host, else its host.
std::optional<std::string> Shortened(std::string link) {
    if (link.size() <= kMaxWhiteListEntryChars) {
        return link;
    }
    const std::string_view view(link);
    const std::size_t scheme = SchemeLength(view);
    const std::string_view host = HostOf(view.substr(scheme, AuthorityEnd(view, scheme) - scheme));
    if (host.empty()) {
        return std::nullopt;
    }
    if (scheme + host.size() <= kMaxWhiteListEntryChars) {
        return std::string(view.substr(0, scheme)).append(host);
    }
    if (host.size() <= kMaxWhiteListEntryChars) {
        return std::string(host);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> PunycodeEncode(std::u32string_view label) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::string out;
    for (const char32_t c : label) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        }
    }
    const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
    std::uint32_t handled = basic;
    if (basic > 0) {
        out += '-';
    }
    std::uint32_t n = kInitialN;
    std::uint32_t delta = 0;
    std::uint32_t bias = kInitialBias;
    while (handled < label.size()) {
        std::uint32_t m = kMax;
        for (const char32_t c : label) {
            if (c >= n && c < m) {
                m = c;
            }
        }
        if (m - n > (kMax - delta) / (handled + 1)) {
            return std::nullopt;  // overflow, as the RFC's encoder reports it
        }
        delta += (m - n) * (handled + 1);
        n = m;
        for (const char32_t c : label) {
            if (c < n && ++delta == 0) {
                return std::nullopt;
            }
            if (c == n) {
                std::uint32_t q = delta;
                for (std::uint32_t k = kBase;; k += kBase) {
                    const std::uint32_t t =
                        k <= bias ? kTMin : (k >= bias + kTMax ? kTMax : k - bias);
                    if (q < t) {
                        break;
                    }
                    out += EncodeDigit(t + (q - t) % (kBase - t));
                    q = (q - t) / (kBase - t);
                }
                out += EncodeDigit(q);
                bias = Adapt(delta, handled + 1, handled == basic);
                delta = 0;
                ++handled;
            }
        }
        ++delta;
        ++n;
    }
    return out;
}

std::optional<std::string> AsciiLink(std::u16string_view link) {
    const auto points = CodePoints(link);
    if (!points) {
        return std::nullopt;
    }
    const std::u32string_view text(*points);
    const std::size_t scheme = SchemeLength(text);
    const std::size_t authorityEnd = AuthorityEnd(text, scheme);
    const std::u32string_view authority = text.substr(scheme, authorityEnd - scheme);
    const std::u32string_view host = HostOf(authority);
    const std::size_t hostStart = static_cast<std::size_t>(host.data() - authority.data());

    std::string out;
    AppendEncoded(out, text.substr(0, scheme));
    AppendEncoded(out, authority.substr(0, hostStart));  // user information
    const auto asciiHost = HostToAscii(host);
    if (!asciiHost) {
        return std::nullopt;
    }
    out += *asciiHost;
    AppendEncoded(out, authority.substr(hostStart + host.size()));  // port
    AppendEncoded(out, text.substr(authorityEnd));
    return out;
}

std::optional<std::string> DroppedLinkEntry(std::u16string_view link, const AnsiEncoder& toAnsi) {
    if (!IsWebLink(link)) {
        return std::nullopt;
    }
    std::optional<std::string> entry;
    bool ascii = true;
    for (const char16_t c : link) {
        ascii = ascii && c < 0x80;
    }
    const std::size_t scheme = SchemeLength(link);
    const std::u16string_view host =
        HostOf(link.substr(scheme, AuthorityEnd(link, scheme) - scheme));
    if (host.empty()) {
        return std::nullopt;  // nothing the component could match
    }
    bool asciiHost = true;
    for (const char16_t c : host) {
        asciiHost = asciiHost && c < 0x80;
    }
    if (ascii) {
        entry = std::string(link.begin(), link.end());
    } else if (asciiHost && toAnsi) {
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
