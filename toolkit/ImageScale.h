#pragma once
// Resampling of pictures held as 32-bit pixels (blue, green, red, unused, one
// byte each): the splash picture drawn at the size its window has at the
// display's DPI, smooth rather than blocky.

#include <cstdint>
#include <vector>

namespace vgwl {

// Returns the picture resampled to width by height with a separable
// triangle filter, widened when reducing so that every source pixel counts.
// Empty when either size is not positive or the source is smaller than its
// stated size; the fourth byte of each pixel is set to 0.
std::vector<std::uint32_t> ScalePixels(const std::vector<std::uint32_t>& source, int sourceWidth,
                                       int sourceHeight, int width, int height);

}  // namespace vgwl
