// Keyboard use of a form, as in a Windows dialog and property sheet: the Tab
// key's order (with the tab strip of a page control as a stop of its own),
// Ctrl+Tab and Ctrl+PageDown/PageUp between pages, the focus kept across
// deactivation, and focus rectangles shown once the keyboard is used.
#include "toolkit/Form.h"

#include <algorithm>
#include <vector>

namespace vgwl {
namespace {

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool Shown(HWND hwnd) {
    // The style bit, not IsWindowVisible: the order is the same while the
    // form itself is hidden.
    return (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0 && IsWindowEnabled(hwnd);
}

// The dialog manager's walk (z-order, into control parents), except that a
// control parent that is a tab stop itself, the tab strip, comes first.
void CollectTabStops(HWND parent, std::vector<HWND>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!Shown(child)) {
            continue;
        }
        if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) {
            out.push_back(child);
        }
        if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            CollectTabStops(child, out);
        }
    }
}

void FocusControl(HWND control) {
    ::SetFocus(control);
    // As the dialog manager does: an edit box reached by Tab has its text
    // selected.
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        SendMessageA(control, EM_SETSEL, 0, -1);
    }
}

}  // namespace

std::vector<HWND> TForm::TabStops() const {
    std::vector<HWND> stops;
    CollectTabStops(hwnd_.get(), stops);
    return stops;
}

void TForm::ShowKeyboardCues() {
    SendMessageA(hwnd_.get(), WM_CHANGEUISTATE,
                 MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    if (!keyboardCues_) {
        keyboardCues_ = true;
        // The owner-drawn controls draw their focus rectangle from now on.
        RedrawWindow(hwnd_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void TForm::HideKeyboardCues() {
    SendMessageA(hwnd_.get(), WM_CHANGEUISTATE,
                 MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    keyboardCues_ = false;
}

void TForm::MoveFocus(bool backwards) {
    const std::vector<HWND> stops = TabStops();
    if (stops.empty()) {
        return;
    }
    const int count = static_cast<int>(stops.size());
    int current = -1;
    // The focus may sit in a part of a stop (the in-place editor of a list
    // view); that stop counts as the current one.
    for (HWND at = GetFocus(); at && at != hwnd_.get() && current < 0; at = GetParent(at)) {
        for (int i = 0; i < count; ++i) {
            if (stops[static_cast<std::size_t>(i)] == at) {
                current = i;
                break;
            }
        }
    }
    int next = 0;
    if (current < 0) {
        next = backwards ? count - 1 : 0;
    } else {
        next = (current + (backwards ? count - 1 : 1)) % count;
    }
    FocusControl(stops[static_cast<std::size_t>(next)]);
}

TPageControl* TForm::KeyboardPageControl() const noexcept {
    for (const auto& control : controls_) {
        if (auto* pages = dynamic_cast<TPageControl*>(control.get())) {
            if (Shown(pages->Handle()) && pages->PageCount() > 0) {
                return pages;
            }
        }
    }
    return nullptr;
}

bool TForm::SwitchPage(bool backwards) {
    TPageControl* pages = KeyboardPageControl();
    if (!pages) {
        return false;
    }
    const int count = pages->PageCount();
    const int from = std::max(pages->ActivePageIndex(), 0);
    const int to = (from + (backwards ? count - 1 : 1)) % count;
    HWND focus = GetFocus();
    const TTabSheet* old = pages->ActivePage();
    const bool focusOnOldPage = old && focus && IsChild(old->Handle(), focus);
    pages->SetActivePage(to);
    if (focusOnOldPage) {
        // The focus must not stay on a hidden page: the new page's first
        // stop takes it, or the tab strip when the page has none.
        std::vector<HWND> stops;
        CollectTabStops(pages->Page(to).Handle(), stops);
        FocusControl(stops.empty() ? pages->Handle() : stops.front());
    }
    return true;
}

bool TForm::HandleNavigationKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) {
        return false;
    }
    if (!IsWindowEnabled(hwnd_.get())) {
        return false;
    }
    const bool ctrl = KeyDown(VK_CONTROL);
    const bool alt = KeyDown(VK_MENU);
    switch (msg.wParam) {
        case VK_TAB: {
            if (alt) {
                return false;
            }
            ShowKeyboardCues();
            if (ctrl) {
                return SwitchPage(KeyDown(VK_SHIFT));
            }
            const LRESULT code =
                SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
            if (code & (DLGC_WANTTAB | DLGC_WANTMESSAGE)) {
                return false;
            }
            MoveFocus(KeyDown(VK_SHIFT));
            return true;
        }
        case VK_NEXT:
        case VK_PRIOR:
            if (ctrl && !alt) {
                ShowKeyboardCues();
                return SwitchPage(msg.wParam == VK_PRIOR);
            }
            return false;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_MENU:
            // The keyboard is in use: from now on the focus is shown.
            ShowKeyboardCues();
            return false;
        default:
            return false;
    }
}

void TForm::ActivateChanged(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_.get(), focus)) {
            lastFocus_ = focus;
        }
        return;
    }
    // Back to the control that had the focus, as a dialog does; the first
    // stop when that one is gone or hidden.
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_.get(), lastFocus_) &&
        IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        ::SetFocus(lastFocus_);
        return;
    }
    const std::vector<HWND> stops = TabStops();
    ::SetFocus(stops.empty() ? hwnd_.get() : stops.front());
}

}  // namespace vgwl
