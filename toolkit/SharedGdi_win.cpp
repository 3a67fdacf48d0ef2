#include "toolkit/SharedGdi.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Dpi.h"
#include "toolkit/Handles.h"

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace vgwl {
namespace {

using FontKey = std::tuple<std::string, int, bool, bool, int>;

struct FontCache {
    std::mutex lock;
    std::map<FontKey, UniqueGdiObject> fonts;
};

FontCache& Cache() {
    static FontCache cache;
    return cache;
}

// How far the last letter of a line reaches past its advance (a negative
// right bearing, as "t" and "L" have in some fonts at some sizes): drawn in a
// box as wide as the text's advance, that part of it would be cut off.
int LastLetterOverhang(HDC dc, std::string_view text) {
    const std::u16string wide = Utf16FromAnsi(text);
    ABC abc{};
    // Bitmap fonts have no such widths and never overhang.
    if (wide.empty() || !GetCharABCWidthsW(dc, wide.back(), wide.back(), &abc)) {
        return 0;
    }
    return abc.abcC < 0 ? -abc.abcC : 0;
}

}  // namespace

HFONT SharedFont(const FontDesc& font, int dpi) {
    FontCache& cache = Cache();
    FontKey key{std::string(font.face), font.heightPx, font.bold, font.underline, dpi};
    const std::lock_guard<std::mutex> guard(cache.lock);
    auto found = cache.fonts.find(key);
    if (found == cache.fonts.end()) {
        const std::string& face = std::get<0>(key);
        UniqueGdiObject made(CreateFontA(
            -ScaleFor(font.heightPx, dpi), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
            font.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
        if (!made) {
            return nullptr;  // not remembered: a later request tries again
        }
        found = cache.fonts.emplace(std::move(key), std::move(made)).first;
    }
    return static_cast<HFONT>(found->second.get());
}

SIZE TextExtent(HWND control, std::string_view text, int wrapWidth) {
    return TextExtent(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), text,
                      wrapWidth);
}

SIZE TextExtent(HFONT font, std::string_view text, int wrapWidth) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    const std::string s(text.empty() ? std::string_view(" ") : text);
    DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &rc,
              DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SIZE size{rc.right - rc.left, rc.bottom - rc.top};
    if (wrapWidth <= 0) {
        size.cx += LastLetterOverhang(dc, s);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return size;
}

}  // namespace vgwl
