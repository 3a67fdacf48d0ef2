#include "toolkit/AnsiText.h"

#include <windows.h>

#include <limits>

namespace vgwl {

std::optional<std::string> ExactAnsi(std::u16string_view text) {
    if (text.empty()) {
        return std::string();
    }
    // Best-fit mappings ("e" for "é" in a code page without it) and the
    // default character are both losses: only a conversion that comes back
    // unchanged counts.
    std::string ansi = AnsiFromUtf16(text);
    if (ansi.empty() || Utf16FromAnsi(ansi) != text) {
        return std::nullopt;
    }
    return ansi;
}

std::string AnsiFromUtf16(std::u16string_view text) {
    if (text.empty() ||
        text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4)) {
        return {};
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int wideLength = static_cast<int>(text.size());
    // The flags are the ones every code page, UTF-8 included, takes.
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide, wideLength, ansi.data(), length, nullptr, nullptr) !=
        length) {
        return {};
    }
    return ansi;
}

std::u16string Utf16FromAnsi(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(wide.data()), length);
    return wide;
}

}  // namespace vgwl
