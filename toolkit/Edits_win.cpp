// Text boxes: the edit box with its balloon and key events, and the edit box
// with a button inside.
#include "toolkit/Controls.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"

#include <algorithm>

namespace vgwl {

// ---------------------------------------------------------------- TEdit

DWORD TEdit::Style() const { return WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_CLIPCHILDREN; }

void TEdit::ShowBalloonTip(std::string_view title, std::string_view text) {
    HideBalloonTip();
    // The edit control's own balloon where it has one (common controls 6 on
    // Windows); a tracking balloon of ours elsewhere.
    const std::u16string wideTitle = Utf16FromAnsi(title);
    const std::u16string wideText = Utf16FromAnsi(text);
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof(tip);
    tip.pszTitle = reinterpret_cast<const wchar_t*>(wideTitle.c_str());
    tip.pszText = reinterpret_cast<const wchar_t*>(wideText.c_str());
    tip.ttiIcon = TTI_WARNING;
    if (SendMessageW(hwnd_, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip))) {
        systemBalloonText_ = std::string(text);
        return;
    }
    RECT rc{};
    GetWindowRect(hwnd_, &rc);
    balloon_.Show(hwnd_, POINT{rc.left + (rc.right - rc.left) / 4, rc.bottom - 2}, title, text);
}

void TEdit::HideBalloonTip() {
    if (!systemBalloonText_.empty()) {
        SendMessageA(hwnd_, EM_HIDEBALLOONTIP, 0, 0);
        systemBalloonText_.clear();
    }
    balloon_.Hide();
}

std::string TEdit::BalloonText() const {
    return systemBalloonText_.empty() ? balloon_.Text() : systemBalloonText_;
}

bool TEdit::SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) {
    if (msg == WM_KEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_KILLFOCUS) {
        HideBalloonTip();
    }
    switch (msg) {
        case WM_GETDLGCODE:
            // Enter must reach the box as a character when someone listens.
            if (OnKeyPress && l) {
                const MSG* m = reinterpret_cast<const MSG*>(l);
                if (m->message == WM_KEYDOWN && m->wParam == VK_RETURN) {
                    result = CallClassProc(msg, w, l) | DLGC_WANTALLKEYS;
                    return true;
                }
            }
            return false;
        case WM_KEYDOWN:
            if (OnKeyDown) {
                OnKeyDown(static_cast<WORD>(w));
            }
            return false;
        case WM_CHAR: {
            if (!OnKeyPress) {
                return false;
            }
            char key = static_cast<char>(w);
            OnKeyPress(key);
            if (key == 0) {
                result = 0;
                return true;
            }
            // A character the handler left alone goes on as typed: the box
            // is a Unicode window, and w may be beyond any 8-bit code.
            result = CallClassProc(
                msg, key == static_cast<char>(w) ? w : static_cast<unsigned char>(key), l);
            return true;
        }
        default:
            return false;
    }
}

// ---------------------------------------------------------------- TButtonEdit

void TButtonEdit::AfterCreate() {
    TEdit::AfterCreate();
    // A sibling laid over the edit's right edge rather than a child of the
    // edit: an edit control paints its whole client area, children included.
    button_ = CreateWindowExA(0, "BUTTON", "...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT,
                              0, 0, 0, 0, GetParent(hwnd_), nullptr,
                              form_.Application().ModuleInstance(), nullptr);
}

void TButtonEdit::Layout(int dpi) {
    TEdit::Layout(dpi);
    RECT client{};
    GetClientRect(hwnd_, &client);
    MapWindowPoints(hwnd_, GetParent(hwnd_), reinterpret_cast<POINT*>(&client), 2);
    const int width = std::min<int>(ScaleFor(18, dpi), client.right - client.left);
    SetWindowPos(button_, HWND_TOP, client.right - width, client.top, width,
                 client.bottom - client.top, SWP_NOACTIVATE);
    SendMessageA(button_, WM_SETFONT, SendMessageA(hwnd_, WM_GETFONT, 0, 0), FALSE);
    // The text never runs under the button.
    SendMessageA(hwnd_, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, width + 2));
}

void TButtonEdit::HandleCommand(WORD code, HWND from) {
    if (from == button_ && code == BN_CLICKED && OnButtonClick) {
        OnButtonClick();
    }
}

}  // namespace vgwl
