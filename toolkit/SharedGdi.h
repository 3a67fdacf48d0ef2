#pragma once
// GDI objects that the forms share: one font object per face, size, weight,
// underline and DPI for the whole program, made when first asked for and
// kept until the program ends. Callers never delete what they get here.

#include "toolkit/FormDescription.h"

#include <windows.h>

#include <string_view>

namespace vgwl {

// The font of the description at the given DPI; null when the system cannot
// make it (the control then keeps the system font).
HFONT SharedFont(const FontDesc& font, int dpi);

// The extent of a text in a control's font: one line (with the part of its
// last letter that reaches past the letter's advance), or wrapped at
// wrapWidth when it is above 0. Measured on a memory DC made for it: a
// window's DC would leave a cached device context (and its region) behind
// for every control measured.
SIZE TextExtent(HWND control, std::string_view text, int wrapWidth = 0);
// The same in a given font.
SIZE TextExtent(HFONT font, std::string_view text, int wrapWidth = 0);

}  // namespace vgwl
