#pragma once
// Pictures stored as resources, decoded with the platform's imaging.

#include "toolkit/Handles.h"

#include <windows.h>

namespace vgwl {

// Decodes a compressed picture (JPEG, PNG, ...) stored as a resource of the
// given type into a device-independent bitmap. Empty when the resource is
// missing or cannot be decoded: a picture is never worth failing for.
UniqueGdiObject LoadPictureResource(HINSTANCE instance, const char* name, const char* type);

// How a 32-bit bitmap with its rows top down is described: 4 bytes a pixel,
// blue, green, red and one unused.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// A copy of a picture resampled to width by height with a smooth filter (for
// a picture whose window grew with the DPI); empty when it cannot be made.
UniqueGdiObject ScalePicture(HBITMAP picture, int width, int height);

// An icon resource at the size of a small icon (the notification area's) at
// the given DPI: 16 pixels at 96 DPI, 32 at 192; the resource's nearest image
// is taken, or its stored size when none is given.
UniqueHicon LoadSmallIcon(HINSTANCE instance, const char* name, int dpi);

}  // namespace vgwl
