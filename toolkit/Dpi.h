#pragma once
// Sizes given for 96 DPI, as the form descriptions and the artwork have them.

#include <windows.h>

namespace vgwl {

// A length of `value` pixels at 96 DPI, at `dpi`.
inline int ScaleFor(int value, int dpi) noexcept { return MulDiv(value, dpi, 96); }

}  // namespace vgwl
