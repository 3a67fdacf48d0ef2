#pragma once
// The system's own words for a Win32 error code, as shown to the user.

#include <windows.h>

#include <string>

namespace vgwl {

// The system's message for a Win32 error code, in the ANSI code page,
// without a trailing line break; "Error N." when the system has none.
[[nodiscard]] std::string SystemErrorText(DWORD error);

}  // namespace vgwl
