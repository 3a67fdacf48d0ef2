#pragma once
// Product data shown on the About page and used for the web pages.

#include <string_view>

namespace vgwl::product {

inline constexpr std::string_view kWebHost = "www.velmora-gatewick.com";
inline constexpr std::string_view kSupportEmail = "support@velmora-gatewick.com";
inline constexpr std::string_view kMailingListEmail = "news@velmora-gatewick.com";
// In the ANSI code page: 0xA9 is the copyright sign.
inline constexpr std::string_view kLegalNotice =
    "Copyright \xA9 2003-2026 Corvantis Inc. All rights reserved.";

}  // namespace vgwl::product
