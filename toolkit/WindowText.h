#pragma once
// A window's text as the user typed it: UTF-16, before any conversion to the
// ANSI code page could replace a character by a look-alike or a question
// mark.

#include <windows.h>

#include <string>

namespace vgwl {

[[nodiscard]] std::u16string WindowTextUtf16(HWND window);

}  // namespace vgwl
