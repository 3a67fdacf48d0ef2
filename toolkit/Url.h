#pragma once
// Web addresses as the program reads them: where the host of an address is,
// its ASCII form as browsers ask for it on the wire (IDNA: lower case, labels
// beyond ASCII as "xn--" + Punycode), and the white list's matching rule.
// One copy for the front end, the blocking component and the browser bridge.
// Portable: no Windows header.
//
// The matching rule: an entry lets a host through when the entry's host
// equals it or is a parent domain of it on a label boundary ("example.com"
// lets through "www.example.com", not "badexample.com"). A host that is an
// IP address matches only itself. Hosts compare without letter case and
// without a trailing dot; an entry may be a full address or a bare host, with
// an optional leading "*." or "." that means the same as none.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

// Where the host lies in an address: [begin, end). The scheme ("http://",
// only at the start and only before any path, query or fragment) and a
// leading "//" are optional; user information, port, path, query and
// fragment are not part of the host; a backslash ends the authority as a
// slash does. An IPv6 literal keeps its brackets; an unclosed one is no host.
struct HostSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    [[nodiscard]] bool Empty() const noexcept { return begin == end; }
};
template <typename Char>
[[nodiscard]] HostSpan FindHost(std::basic_string_view<Char> address) noexcept;

// The host of an address in 8-bit text, ASCII letters in lower case, one
// trailing dot removed. Other bytes stay as they are. Empty when none.
[[nodiscard]] std::string ExtractHost(std::string_view address);

// The host an entry in 8-bit text stands for ("*." or "." removed).
[[nodiscard]] std::string WhiteListEntryHost(std::string_view entry);

// The same for text of any script: the host in its ASCII form, with "*." or
// "." removed when `entry` is true. Nothing when there is no host or a label
// cannot be encoded.
[[nodiscard]] std::optional<std::string> AsciiHostOf(std::u32string_view address, bool entry);

// RFC 3492 Punycode of one label, without "xn--"; nothing on overflow.
[[nodiscard]] std::optional<std::string> PunycodeOfLabel(std::u32string_view label);

// Well-formed UTF-8 to code points; nothing for malformed, overlong or
// surrogate sequences.
[[nodiscard]] std::optional<std::u32string> DecodeUtf8(std::string_view text);

[[nodiscard]] bool IsIpHost(std::string_view host) noexcept;

// The rule itself, on hosts already reduced (ASCII form, lower case).
[[nodiscard]] bool HostMatchesRule(std::string_view ruleHost, std::string_view host) noexcept;

// True when `entry` lets `host` (as ExtractHost gives it) through.
[[nodiscard]] bool WhiteListEntryMatches(std::string_view entry, std::string_view host);

// Index of the first entry that lets `address` through, if any.
[[nodiscard]] std::optional<std::size_t> FindWhiteListMatch(const std::vector<std::string>& entries,
                                                            std::string_view address);

}  // namespace vgwl
