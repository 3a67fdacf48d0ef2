#pragma once
// Text between the UTF-16 of OLE, the clipboard and the controls and the 8-bit text of the
// system's ANSI code page, in which the program keeps all its strings.

#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

// The exact ANSI form of the text, or nothing when the code page cannot hold
// every character (no question marks, no look-alike letters).
[[nodiscard]] std::optional<std::string> ExactAnsi(std::u16string_view text);

// The text as the system converts it: a character the code page lacks
// becomes a look-alike or the default character.
[[nodiscard]] std::string AnsiFromUtf16(std::u16string_view text);

// ANSI text as UTF-16.
[[nodiscard]] std::u16string Utf16FromAnsi(std::string_view text);

}  // namespace vgwl
