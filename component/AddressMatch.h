#pragma once
// How the blocking component decides that a white list entry lets a popup
// through. An entry matches when its host equals the popup address's host or
// is a parent domain of it on a label boundary: "example.com" lets through
// "example.com" and "www.example.com", but not "badexample.com". Hosts are
// compared without letter case and without a trailing dot. Portable: no
// Windows header.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

// The host of a web address, in lower case: the scheme ("http://"), user
// information ("user:pw@"), port, path, query and fragment are removed, and so
// is one trailing dot. The scheme is optional ("www.example.com/a" works). An
// IPv6 literal keeps its brackets ("[::1]"). Empty when there is no host.
[[nodiscard]] std::string ExtractHost(std::string_view address);

// The host an entry stands for: an entry may be a full address or a bare host,
// with an optional leading "*." or "." that means the same as none.
[[nodiscard]] std::string WhiteListEntryHost(std::string_view entry);

// True when `entry` lets `host` (as ExtractHost gives it) through. Empty
// entries and empty hosts never match; an IP address host matches only an
// equal entry, since its dotted parts are not domain labels.
[[nodiscard]] bool WhiteListEntryMatches(std::string_view entry, std::string_view host);

// Index of the first entry that lets `address` through, if any.
[[nodiscard]] std::optional<std::size_t> FindWhiteListMatch(const std::vector<std::string>& entries,
                                                            std::string_view address);

}  // namespace vgwl
