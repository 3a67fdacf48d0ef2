#include "toolkit/Url.h"

#include <cstdint>
#include <limits>

namespace vgwl {
namespace {

template <typename Char>
constexpr bool IsAsciiSpace(Char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

template <typename Char>
constexpr bool IsAsciiAlpha(Char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
constexpr bool IsAsciiDigit(Char c) noexcept {
    return c >= '0' && c <= '9';
}

template <typename Char>
constexpr Char ToLowerAscii(Char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
constexpr bool EndsAuthority(Char c) noexcept {
    return c == '/' || c == '?' || c == '#' || c == '\\';
}

// A scheme is a letter followed by letters, digits, '+', '-' or '.'.
template <typename Char>
bool IsScheme(std::basic_string_view<Char> text) noexcept {
    if (text.empty() || !IsAsciiAlpha(text.front())) {
        return false;
    }
    for (const Char c : text) {
        if (!IsAsciiAlpha(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// RFC 3492, section 5: the parameters of Punycode for IDNA.
constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTMin = 1;
constexpr std::uint32_t kTMax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 0x80;

char PunycodeDigit(std::uint32_t d) noexcept {
    return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26));
}

std::uint32_t AdaptBias(std::uint32_t delta, std::uint32_t points, bool first) noexcept {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

// Simple lower case for the scripts whose capitals map one to one; browsers
// fold case before they encode a label.
char32_t LowerCodePoint(char32_t c) noexcept {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
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

// The full stop and the ideographic and fullwidth ones that IDNA reads as
// label separators.
bool IsLabelDot(char32_t c) noexcept {
    return c == U'.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61;
}

// "*." and "." stand for no prefix; "*" alone (from "*." less its dot) is no host.
std::string_view WithoutWildcard(std::string_view host) noexcept {
    if (host == "*") {
        return {};
    }
    if (host.starts_with("*.")) {
        host.remove_prefix(2);
    } else if (host.starts_with('.')) {
        host.remove_prefix(1);
    }
    return host;
}

}  // namespace

template <typename Char>
HostSpan FindHost(std::basic_string_view<Char> address) noexcept {
    using View = std::basic_string_view<Char>;
    std::size_t pos = 0;
    std::size_t last = address.size();
    while (pos < last && IsAsciiSpace(address[pos])) {
        ++pos;
    }
    while (last > pos && IsAsciiSpace(address[last - 1])) {
        --last;
    }
    const View rest = address.substr(pos, last - pos);

    // "scheme://" counts only at the start and before the first path, query
    // or fragment character; a bare "//" (scheme-relative) likewise.
    std::size_t authorityEnd0 = 0;
    while (authorityEnd0 < rest.size() && !EndsAuthority(rest[authorityEnd0])) {
        ++authorityEnd0;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i + 2 < rest.size() && i < authorityEnd0; ++i) {
        if (rest[i] == ':' && rest[i + 1] == '/' && rest[i + 2] == '/') {
            if (IsScheme(rest.substr(0, i))) {
                start = i + 3;
            }
            break;
        }
    }
    if (start == 0 && rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
        start = 2;
    }

    std::size_t authorityEnd = start;
    while (authorityEnd < rest.size() && !EndsAuthority(rest[authorityEnd])) {
        ++authorityEnd;
    }
    // User information ends at the last '@' of the authority.
    std::size_t hostBegin = start;
    for (std::size_t i = start; i < authorityEnd; ++i) {
        if (rest[i] == '@') {
            hostBegin = i + 1;
        }
    }
    std::size_t hostEnd = hostBegin;
    if (hostBegin < authorityEnd && rest[hostBegin] == '[') {
        while (hostEnd < authorityEnd && rest[hostEnd] != ']') {
            ++hostEnd;
        }
        if (hostEnd == authorityEnd) {
            return {};  // an unclosed IPv6 literal is no host
        }
        ++hostEnd;
    } else {
        while (hostEnd < authorityEnd && rest[hostEnd] != ':') {
            ++hostEnd;
        }
        if (hostEnd > hostBegin && rest[hostEnd - 1] == '.') {
            --hostEnd;
        }
    }
    return {pos + hostBegin, pos + hostEnd};
}

template HostSpan FindHost<char>(std::string_view) noexcept;
template HostSpan FindHost<char16_t>(std::u16string_view) noexcept;
template HostSpan FindHost<char32_t>(std::u32string_view) noexcept;

std::string ExtractHost(std::string_view address) {
    const HostSpan span = FindHost(address);
    std::string host;
    host.reserve(span.end - span.begin);
    // Only ASCII letters are folded: other bytes are in a code page whose
    // case rules are not known here.
    for (std::size_t i = span.begin; i < span.end; ++i) {
        host.push_back(ToLowerAscii(address[i]));
    }
    return host;
}

std::string WhiteListEntryHost(std::string_view entry) {
    return std::string(WithoutWildcard(ExtractHost(entry)));
}

std::optional<std::string> AsciiHostOf(std::u32string_view address, bool entry) {
    const HostSpan span = FindHost(address);
    if (span.Empty()) {
        return std::nullopt;
    }
    const std::u32string_view host = address.substr(span.begin, span.end - span.begin);
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < host.size() && !IsLabelDot(host[end])) {
            ++end;
        }
        std::u32string label;
        bool ascii = true;
        for (std::size_t i = start; i < end; ++i) {
            label.push_back(LowerCodePoint(host[i]));
            ascii = ascii && host[i] < 0x80;
        }
        if (ascii) {
            for (const char32_t c : label) {
                out += static_cast<char>(c);
            }
        } else {
            const auto encoded = PunycodeOfLabel(label);
            if (!encoded) {
                return std::nullopt;
            }
            out += "xn--" + *encoded;
        }
        if (end == host.size()) {
            break;
        }
        out += '.';
        start = end + 1;
    }
    if (out.ends_with('.')) {
        out.pop_back();  // an ideographic full stop at the end
    }
    if (entry) {
        out = std::string(WithoutWildcard(out));
    }
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> PunycodeOfLabel(std::u32string_view label) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::string out;
    for (const char32_t c : label) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        }
    }
    const auto basic = static_cast<std::uint32_t>(out.size());
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
            return std::nullopt;
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
                    out += PunycodeDigit(t + (q - t) % (kBase - t));
                    q = (q - t) / (kBase - t);
                }
                out += PunycodeDigit(q);
                bias = AdaptBias(delta, handled + 1, handled == basic);
                delta = 0;
                ++handled;
            }
        }
        ++delta;
        ++n;
    }
    return out;
}

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, c = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

bool IsIpHost(std::string_view host) noexcept {
    if (host.empty()) {
        return false;
    }
    if (host.front() == '[') {
        return true;
    }
    // Dotted decimal: only digits and dots. Such a host is an address, not a
    // name, and its parts are no domain labels.
    for (const char c : host) {
        if (!IsAsciiDigit(c) && c != '.') {
            return false;
        }
    }
    return true;
}

bool HostMatchesRule(std::string_view ruleHost, std::string_view host) noexcept {
    if (ruleHost.empty() || host.empty()) {
        return false;
    }
    if (host == ruleHost) {
        return true;
    }
    if (IsIpHost(host) || IsIpHost(ruleHost)) {
        return false;
    }
    return host.size() > ruleHost.size() && host.ends_with(ruleHost) &&
           host[host.size() - ruleHost.size() - 1] == '.';
}

bool WhiteListEntryMatches(std::string_view entry, std::string_view host) {
    return HostMatchesRule(WhiteListEntryHost(entry), host);
}

std::optional<std::size_t> FindWhiteListMatch(const std::vector<std::string>& entries,
                                              std::string_view address) {
    const std::string host = ExtractHost(address);
    if (host.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (WhiteListEntryMatches(entries[i], host)) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace vgwl
