#pragma once
// One move-only owner for every kind of Win32 handle. No implicit conversion
// to the raw handle: callers say get() so that ownership stays visible.

#include <windows.h>

#include <utility>

namespace vgwl {

template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    [[nodiscard]] pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(pointer value = Traits::Invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

    // For out-parameters: frees the current value and hands out its address.
    [[nodiscard]] pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::Invalid();
};

namespace handle_traits {
struct Kernel {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
// Files: CreateFileA reports failure as INVALID_HANDLE_VALUE, not null.
struct File {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
struct Key {
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct Icon {
    using pointer = HICON;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DestroyIcon(h); }
};
struct Menu {
    using pointer = HMENU;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DestroyMenu(h); }
};
struct Module {
    using pointer = HMODULE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::FreeLibrary(h); }
};
struct MappedView {
    using pointer = void*;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::UnmapViewOfFile(p); }
};
struct GdiObject {
    using pointer = HGDIOBJ;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};
struct Window {
    using pointer = HWND;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DestroyWindow(h); }
};
struct Hook {
    using pointer = HHOOK;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::UnhookWindowsHookEx(h); }
};
}  // namespace handle_traits

using UniqueKernelHandle = UniqueHandle<handle_traits::Kernel>;
using UniqueFileHandle = UniqueHandle<handle_traits::File>;
using UniqueHkey = UniqueHandle<handle_traits::Key>;
using UniqueHicon = UniqueHandle<handle_traits::Icon>;
using UniqueHmenu = UniqueHandle<handle_traits::Menu>;
using UniqueHmodule = UniqueHandle<handle_traits::Module>;
using UniqueMappedView = UniqueHandle<handle_traits::MappedView>;
using UniqueGdiObject = UniqueHandle<handle_traits::GdiObject>;
using UniqueHwnd = UniqueHandle<handle_traits::Window>;
using UniqueHhook = UniqueHandle<handle_traits::Hook>;

}  // namespace vgwl
