#include "toolkit/SharedGdi.h"

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

}  // namespace

HFONT SharedFont(const FontDesc& font, int dpi) {
    FontCache& cache = Cache();
    FontKey key{std::string(font.face), font.heightPx, font.bold, font.underline, dpi};
    const std::lock_guard<std::mutex> guard(cache.lock);
    auto found = cache.fonts.find(key);
    if (found == cache.fonts.end()) {
        const std::string& face = std::get<0>(key);
        UniqueGdiObject made(CreateFontA(
            -MulDiv(font.heightPx, dpi, 96), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
            font.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
        if (!made) {
            return nullptr;  // not remembered: a later request tries again
        }
        found = cache.fonts.emplace(std::move(key), std::move(made)).first;
    }
    return static_cast<HFONT>(found->second.get());
}

}  // namespace vgwl
