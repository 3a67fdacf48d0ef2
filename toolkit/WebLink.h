#pragma once
// Web links in dropped text: what a drop target that accepts web links only
// takes. A web link begins with "http://", "https://" or "www." (in any
// letter case), names a host after that beginning (toolkit/Url.h), and is one word: no
// white space and no control character. Text is UTF-16, as the clipboard
// formats of a drag carry it. Portable: no Windows header.

#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

[[nodiscard]] bool IsWebLink(std::u16string_view text) noexcept;

// The links of dropped text, one per line: lines are split at CR, LF or
// both, blanks and tabs around a line are dropped, empty lines are skipped.
// Empty when any other line is not a web link, so that a drop of prose is
// refused whole rather than picked apart.
[[nodiscard]] std::vector<std::u16string> WebLinkLines(std::u16string_view text);

}  // namespace vgwl
