#include "component/AddressMatch.h"

namespace vgwl {
namespace {

bool IsAsciiSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsAsciiAlpha(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view text) noexcept {
    while (!text.empty() && IsAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A scheme is a letter followed by letters, digits, '+', '-' or '.'.
bool IsScheme(std::string_view text) noexcept {
    if (text.empty() || !IsAsciiAlpha(text.front())) {
        return false;
    }
    for (char c : text) {
        if (!IsAsciiAlpha(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// Dotted decimal: only digits and dots. Such a host is an address, not a name.
bool IsIpv4Literal(std::string_view host) noexcept {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        if (!IsAsciiDigit(c) && c != '.') {
            return false;
        }
    }
    return true;
}

bool IsIpLiteral(std::string_view host) noexcept {
    return IsIpv4Literal(host) || host.front() == '[';
}

// Only ASCII letters are folded: other bytes are in the ANSI code page, whose
// case rules the component does not know.
char ToLowerAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string ExtractHost(std::string_view address) {
    std::string_view rest = Trim(address);

    // "scheme://" is removed when it comes before the first path, query or
    // fragment character; a bare "//" (scheme-relative address) likewise.
    const std::size_t authorityEnd0 = rest.find_first_of("/?#\\");
    const std::size_t separator = rest.find("://");
    if (separator != std::string_view::npos &&
        (authorityEnd0 == std::string_view::npos || separator < authorityEnd0) &&
        IsScheme(rest.substr(0, separator))) {
        rest.remove_prefix(separator + 3);
    } else if (rest.starts_with("//")) {
        rest.remove_prefix(2);
    }

    // Browsers take a backslash in a web address as a slash.
    const std::size_t authorityEnd = rest.find_first_of("/?#\\");
    std::string_view authority = rest.substr(0, authorityEnd);

    // User information ends at the last '@' of the authority.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }

    std::string_view host;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return {};  // an unclosed IPv6 literal is no host
        }
        host = authority.substr(0, close + 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    if (host.ends_with('.')) {
        host.remove_suffix(1);
    }

    std::string result;
    result.reserve(host.size());
    for (char c : host) {
        result.push_back(ToLowerAscii(c));
    }
    return result;
}

std::string WhiteListEntryHost(std::string_view entry) {
    std::string host = ExtractHost(entry);
    if (host.starts_with("*.")) {
        host.erase(0, 2);
    } else if (host.starts_with('.')) {
        host.erase(0, 1);
    }
    return host;
}

bool WhiteListEntryMatches(std::string_view entry, std::string_view host) {
    const std::string entryHost = WhiteListEntryHost(entry);
    if (entryHost.empty() || host.empty()) {
        return false;
    }
    if (host == entryHost) {
        return true;
    }
    if (IsIpLiteral(host)) {
        return false;
    }
    // A parent domain: the host ends with "." followed by the entry.
    return host.size() > entryHost.size() && host.ends_with(entryHost) &&
           host[host.size() - entryHost.size() - 1] == '.';
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
