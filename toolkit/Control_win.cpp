// The base of every control: its window, text, state, placement at a DPI,
// and the window procedure put in front of the class's own.
#include "toolkit/Controls.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Form.h"
#include "toolkit/WindowText.h"

namespace vgwl {

namespace {

RECT ParentClientRect(HWND hwnd) {
    RECT rc{};
    GetClientRect(GetParent(hwnd), &rc);
    return rc;
}

}  // namespace

// ---------------------------------------------------------------- TControl

std::string TControl::Text() const { return WindowText(hwnd_); }

void TControl::SetText(std::string_view text) {
    const std::string s(text);
    SetWindowTextA(hwnd_, s.c_str());
}

void TControl::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void TControl::SetFocus() { ::SetFocus(hwnd_); }

void TControl::CreateHandle(HWND parent) {
    const std::string caption(desc_.caption);
    DWORD style = Style();
    if (desc_.tabOrder >= 0 && TakesFocus()) {
        style |= WS_TABSTOP;
    }
    if (Utf16Window()) {
        const std::u16string wideClass = Utf16FromAnsi(ClassName());
        const std::u16string wideCaption = Utf16FromAnsi(caption);
        hwnd_ = CreateWindowExW(ExStyle(), reinterpret_cast<const wchar_t*>(wideClass.c_str()),
                                reinterpret_cast<const wchar_t*>(wideCaption.c_str()), style,
                                desc_.left, desc_.top, desc_.width, desc_.height, parent, nullptr,
                                form_.Application().ModuleInstance(), nullptr);
    } else {
        hwnd_ = CreateWindowExA(ExStyle(), ClassName(), caption.c_str(), style, desc_.left,
                                desc_.top, desc_.width, desc_.height, parent, nullptr,
                                form_.Application().ModuleInstance(), nullptr);
    }
    if (!hwnd_) {
        throw ToolkitError("Cannot create the control " + std::string(desc_.name));
    }
    AfterCreate();
}

RECT TControl::ScaledBounds(int dpi) const {
    if (desc_.options & opt::kAlignClient) {
        RECT rc = ParentClientRect(hwnd_);
        if (const auto* panel =
                dynamic_cast<const TPanel*>(form_.ControlFromHandle(GetParent(hwnd_)))) {
            const int inset = panel->BorderWidth(dpi);
            InflateRect(&rc, -inset, -inset);
        }
        return rc;
    }
    RECT rc;
    rc.left = ScaleFor(desc_.left, dpi);
    rc.top = ScaleFor(desc_.top, dpi);
    // Edges scaled, not sizes: controls that touch at 96 DPI still touch,
    // and never overlap by a rounding.
    rc.right = ScaleFor(desc_.left + desc_.width, dpi);
    rc.bottom = ScaleFor(desc_.top + desc_.height, dpi);
    return rc;
}

void TControl::Layout(int dpi) {
    const RECT rc = ScaledBounds(dpi);
    SetWindowPos(hwnd_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

TControl::~TControl() {
    // A window that outlives its control (a form whose building failed)
    // must not call into it any more.
    if (classProc_ && IsWindow(hwnd_)) {
        Unsubclass();
    }
}

void TControl::Subclass() {
    // A replaced window procedure rather than the common controls' subclass
    // chain, which looks the chain up on every message: a list filled with
    // thousands of rows sends itself several messages per row. Each window
    // keeps its character set (ANSI for the standard controls made here,
    // Unicode for the common controls), so no message is converted on the way.
    unicode_ = IsWindowUnicode(hwnd_) != FALSE;
    const auto proc = reinterpret_cast<LONG_PTR>(&TControl::StaticSubclassProc);
    if (unicode_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        classProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, proc));
    } else {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        classProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, proc));
    }
}

void TControl::Unsubclass() noexcept {
    const auto proc = reinterpret_cast<LONG_PTR>(classProc_);
    if (unicode_) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, proc);
    } else {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, proc);
    }
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    classProc_ = nullptr;
}

LRESULT TControl::CallClassProc(UINT msg, WPARAM w, LPARAM l) const {
    return unicode_ ? CallWindowProcW(classProc_, hwnd_, msg, w, l)
                    : CallWindowProcA(classProc_, hwnd_, msg, w, l);
}

LRESULT CALLBACK TControl::StaticSubclassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) {
        const bool unicode = self->unicode_;
        const WNDPROC next = self->classProc_;
        self->Unsubclass();
        return unicode ? CallWindowProcW(next, hwnd, msg, w, l)
                       : CallWindowProcA(next, hwnd, msg, w, l);
    }
    LRESULT result = 0;
    if (GuardCallback([&] { return self->SubclassProc(msg, w, l, result); }, false)) {
        return result;
    }
    return self->CallClassProc(msg, w, l);
}

}  // namespace vgwl
