#include "toolkit/ImageScale.h"
#include "toolkit/Picture.h"

#include <vector>

namespace vgwl {

BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

UniqueGdiObject ScalePicture(HBITMAP picture, int width, int height) {
    BITMAP bm{};
    if (!picture || !GetObjectA(picture, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0 ||
        width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return {};
    }
    const int sourceHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bm.bmWidth) * sourceHeight);
    BITMAPINFO info = TopDownBitmapInfo(bm.bmWidth, sourceHeight);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, picture, 0, static_cast<UINT>(sourceHeight), pixels.data(),
                               &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != sourceHeight) {
        return {};
    }
    const std::vector<std::uint32_t> scaled =
        ScalePixels(pixels, bm.bmWidth, sourceHeight, width, height);
    if (scaled.empty()) {
        return {};
    }
    BITMAPINFO out = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &out, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return {};
    }
    std::copy(scaled.begin(), scaled.end(), static_cast<std::uint32_t*>(bits));
    return bitmap;
}

}  // namespace vgwl

namespace vgwl {

UniqueHicon LoadSmallIcon(HINSTANCE instance, const char* name, int dpi) {
    const int size = GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi > 0 ? dpi : 96));
    UniqueHicon icon(
        static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon) {
        icon.reset(
            static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
    }
    return icon;
}

}  // namespace vgwl
