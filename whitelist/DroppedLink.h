#pragma once
// How a web link dropped onto the white list becomes an entry. Links arrive
// as UTF-16; entries are 8-bit text in the system's ANSI code page.
//
// - A link whose host is plain ASCII and that the code page holds exactly
//   is kept as dropped.
// - Any other link is written in ASCII: its host in the form that domain
//   names take on the wire, as browsers ask for it (each label with characters beyond ASCII in
//   lower case and as "xn--" + Punycode), everything else with its
//   characters beyond ASCII percent-encoded as UTF-8. No character is ever
//   replaced by a question mark or a look-alike.
// - The host is the link's own: a scheme counts only at the start of the
//   link, so a "http://" inside its path or query names no host.
// - A link longer than an entry may be is cut to its scheme and host
//   ("https://www.example.com"), then to its host alone: the blocking
//   component matches on the host only, so nothing it uses is lost.
// - What still is no valid entry (no host, a host beyond 63 characters, a
//   lone surrogate) gives no entry.
// Portable: no Windows header; the code page is asked through a callback.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

// The exact ANSI form of UTF-16 text, or nothing when the code page cannot
// hold every character of it.
using AnsiEncoder = std::function<std::optional<std::string>(std::u16string_view)>;

[[nodiscard]] std::optional<std::string> DroppedLinkEntry(std::u16string_view link,
                                                          const AnsiEncoder& toAnsi);

// The entry for text typed or edited by the user, as UTF-16: the text itself
// when the code page holds it exactly, else its ASCII form as a dropped
// link's (see above); nothing when neither exists. Never shortened: the
// entry rule then tells the user what is wrong.
[[nodiscard]] std::optional<std::string> TypedEntry(std::u16string_view text,
                                                    const AnsiEncoder& toAnsi);

// RFC 3492 Punycode of one label (without the "xn--" prefix); nothing when
// the label is too long for the algorithm's integers. The one encoder is
// toolkit/Url.h's PunycodeOfLabel; this name serves the white list's callers.
[[nodiscard]] std::optional<std::string> PunycodeEncode(std::u32string_view label);

// The ASCII form of a link (see above), or nothing for text that is not
// well-formed UTF-16.
[[nodiscard]] std::optional<std::string> AsciiLink(std::u16string_view link);

}  // namespace vgwl
