#pragma once
// Pictures stored as resources, decoded with the platform's imaging.

#include "toolkit/Handles.h"

#include <windows.h>

namespace vgwl {

// Decodes a compressed picture (JPEG, PNG, ...) stored as a resource of the
// given type into a device-independent bitmap. Empty when the resource is
// missing or cannot be decoded: a picture is never worth failing for.
UniqueGdiObject LoadPictureResource(HINSTANCE instance, const char* name, const char* type);

}  // namespace vgwl
