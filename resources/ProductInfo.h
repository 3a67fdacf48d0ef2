#pragma once
// Product data shown on the About page and used for the web pages.

#include <string_view>

namespace vgwl::product {

inline constexpr std::string_view kWebHost = "www.velmora-gatewick.com";
// The site's pages are this followed by their path. With the scheme, the
// shell hands the address to the browser instead of taking it for a file.
inline constexpr std::string_view kWebSite = "http://www.velmora-gatewick.com";
static_assert(kWebSite.ends_with(kWebHost));
inline constexpr std::string_view kSupportEmail = "support@velmora-gatewick.com";
inline constexpr std::string_view kMailingListEmail = "news@velmora-gatewick.com";
// In the ANSI code page: 0xA9 is the copyright sign.
inline constexpr std::string_view kLegalNotice =
    "Copyright \xA9 2003-2026 Corvantis Inc. All rights reserved.";

}  // namespace vgwl::product
