#include "toolkit/Application.h"
#include "toolkit/Form.h"

namespace vgwl {

HWND TApplication::ModalWindow() const noexcept {
    // A modal window disables the main form; without that nothing is modal.
    if (!mainForm_ || IsWindowEnabled(mainForm_->Handle())) {
        return nullptr;
    }
    const DWORD thread = GetCurrentThreadId();
    // Top-level windows in z-order, topmost first.
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetWindowThreadProcessId(w, nullptr) != thread || !IsWindowVisible(w) ||
            !IsWindowEnabled(w) || w == window_.get()) {
            continue;
        }
        // Tooltips and other helpers are no place for the user to act.
        if (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
            continue;
        }
        return w;
    }
    return nullptr;
}

}  // namespace vgwl
