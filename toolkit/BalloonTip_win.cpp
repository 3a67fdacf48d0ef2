#include "toolkit/BalloonTip.h"

#include <commctrl.h>

namespace vgwl {
namespace {

constexpr UINT_PTR kHideTimer = 1;
constexpr UINT kShownMilliseconds = 10000;

TTTOOLINFOA ToolInfo(HWND anchor, char* text) {
    TTTOOLINFOA ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    ti.hwnd = anchor;
    ti.uId = reinterpret_cast<UINT_PTR>(anchor);
    ti.lpszText = text;
    return ti;
}

// The balloon hides itself: its one tool is switched off.
void CALLBACK HideBalloon(HWND tip, UINT, UINT_PTR id, DWORD) {
    KillTimer(tip, id);
    TTTOOLINFOA ti{};
    ti.cbSize = sizeof(ti);
    if (SendMessageA(tip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti))) {
        SendMessageA(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    }
}

}  // namespace

TBalloonTip::~TBalloonTip() {
    if (tip_) {
        RemoveWindowSubclass(tip_.get(), &TBalloonTip::TipProc, 0);
    }
}

LRESULT CALLBACK TBalloonTip::TipProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR id,
                                      DWORD_PTR data) {
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &TBalloonTip::TipProc, id);
        auto* self = reinterpret_cast<TBalloonTip*>(data);
        if (self->tip_.get() == hwnd) {
            (void)self->tip_.release();
        }
    }
    return DefSubclassProc(hwnd, msg, w, l);
}

void TBalloonTip::Show(HWND anchor, POINT point, std::string_view title, std::string_view text) {
    Hide();
    if (!tip_ || anchor_ != anchor) {
        tip_.reset(CreateWindowExA(
            WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
            WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
            CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(anchor, GA_ROOT), nullptr,
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(anchor, GWLP_HINSTANCE)), nullptr));
        anchor_ = anchor;
        if (!tip_) {
            return;
        }
        SetWindowSubclass(tip_.get(), &TBalloonTip::TipProc, 0, reinterpret_cast<DWORD_PTR>(this));
        text_.assign(1, ' ');
        TTTOOLINFOA ti = ToolInfo(anchor_, text_.data());
        SendMessageA(tip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        SendMessageA(tip_.get(), TTM_SETMAXTIPWIDTH, 0, 320);
    }
    title_ = std::string(title);
    text_ = std::string(text);
    TTTOOLINFOA ti = ToolInfo(anchor_, text_.data());
    SendMessageA(tip_.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageA(tip_.get(), TTM_SETTITLEA, TTI_WARNING, reinterpret_cast<LPARAM>(title_.c_str()));
    SendMessageA(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(point.x, point.y));
    SendMessageA(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    SetTimer(tip_.get(), kHideTimer, kShownMilliseconds, &HideBalloon);
}

void TBalloonTip::Hide() noexcept {
    if (!tip_) {
        return;
    }
    KillTimer(tip_.get(), kHideTimer);
    TTTOOLINFOA ti = ToolInfo(anchor_, nullptr);
    SendMessageA(tip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
}

bool TBalloonTip::Visible() const noexcept { return tip_ && IsWindowVisible(tip_.get()); }

std::string TBalloonTip::Text() const { return Visible() ? text_ : std::string(); }

}  // namespace vgwl
