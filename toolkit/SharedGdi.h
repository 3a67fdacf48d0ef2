#pragma once
// GDI objects that the forms share: one font object per face, size, weight,
// underline and DPI for the whole program, made when first asked for and
// kept until the program ends. Callers never delete what they get here.

#include "toolkit/FormDescription.h"

#include <windows.h>

namespace vgwl {

// The font of the description at the given DPI; null when the system cannot
// make it (the control then keeps the system font).
HFONT SharedFont(const FontDesc& font, int dpi);

}  // namespace vgwl
