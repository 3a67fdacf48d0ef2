#pragma once
// A window's text, in the ANSI code page in which the program keeps its
// strings.

#include <windows.h>

#include <string>

namespace vgwl {

[[nodiscard]] std::string WindowText(HWND window);

}  // namespace vgwl
