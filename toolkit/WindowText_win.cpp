#include "toolkit/WindowText.h"

namespace vgwl {
namespace {

template <typename Text, typename LengthFn, typename ReadFn>
Text ReadWindowText(HWND window, LengthFn length, ReadFn read) {
    const int chars = length(window);
    if (chars <= 0) {
        return {};
    }
    Text text(static_cast<std::size_t>(chars) + 1, typename Text::value_type{});
    // The text may have shrunk since its length was asked for.
    const int got = read(window, text.data(), chars + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace

std::string WindowText(HWND window) {
    return ReadWindowText<std::string>(window, GetWindowTextLengthA, GetWindowTextA);
}

std::u16string WindowTextUtf16(HWND window) {
    return ReadWindowText<std::u16string>(
        window, GetWindowTextLengthW, [](HWND w, char16_t* buffer, int size) {
            return GetWindowTextW(w, reinterpret_cast<wchar_t*>(buffer), size);
        });
}

}  // namespace vgwl
