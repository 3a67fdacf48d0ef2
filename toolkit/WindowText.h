#pragma once
// A window's text: in the ANSI code page in which the program keeps its
// strings, or as the user typed it in UTF-16, before any conversion to the
// ANSI code page could replace a character by a look-alike or a question
// mark.

#include <windows.h>

#include <string>

namespace vgwl {

[[nodiscard]] std::string WindowText(HWND window);
[[nodiscard]] std::u16string WindowTextUtf16(HWND window);

}  // namespace vgwl
