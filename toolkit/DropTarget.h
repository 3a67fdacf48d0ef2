#pragma once
// A drop target for web links dragged from a web browser or another program:
// an OLE drop target registered on one control's window. It takes the link
// formats that browsers offer ("UniformResourceLocatorW",
// "UniformResourceLocator") and plain text (CF_UNICODETEXT, CF_TEXT) when
// every line of it is a web link; the drag cursor shows "copy" over the
// control for those and "none" for anything else. OLE must be initialised
// on the thread (the application object does it) before Register.

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace vgwl {

// The web links that a data object carries, one per line, from the first of
// the accepted formats that it offers; none when that format holds anything
// but web links, or when it offers none of them.
[[nodiscard]] std::vector<std::u16string> DroppedWebLinks(IDataObject* data);

class TDropTarget {
public:
    TDropTarget();
    ~TDropTarget();
    TDropTarget(const TDropTarget&) = delete;
    TDropTarget& operator=(const TDropTarget&) = delete;

    // Registers the target on the window; false when OLE is not initialised
    // on this thread or the window has a target already. Revoke, or the
    // destructor, must run before the window is destroyed.
    bool Register(HWND window);
    void Revoke() noexcept;
    [[nodiscard]] bool Registered() const noexcept { return window_ != nullptr; }
    // The object OLE calls; a drag over the window goes through it.
    [[nodiscard]] IDropTarget* Target() const noexcept;

    // Raised by a drop of web links, with the links in order.
    std::function<void(const std::vector<std::u16string>& lines)> OnDrop;
    // The lines of the last drop (getDroppedLines).
    [[nodiscard]] const std::vector<std::u16string>& DroppedLines() const noexcept {
        return lines_;
    }

private:
    class Object;
    friend class Object;
    void Dropped(std::vector<std::u16string> lines);

    Object* object_ = nullptr;  // holds one reference
    HWND window_ = nullptr;
    std::vector<std::u16string> lines_;
};

}  // namespace vgwl
