#pragma once
// A balloon that points at a control and says, under a title, why something
// the user did was not taken. It goes away when the user types or clicks in
// the control, when the control loses the focus, or after a few seconds.

#include "toolkit/Handles.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace vgwl {

class TBalloonTip {
public:
    TBalloonTip() = default;
    TBalloonTip(const TBalloonTip&) = delete;
    TBalloonTip& operator=(const TBalloonTip&) = delete;
    ~TBalloonTip();

    // Shows the balloon with its stem at `point`, in screen coordinates, for
    // the control `anchor`.
    void Show(HWND anchor, POINT point, std::string_view title, std::string_view text);
    void Hide() noexcept;
    [[nodiscard]] bool Visible() const noexcept;
    // The text shown, empty once the balloon is gone.
    [[nodiscard]] std::string Text() const;

private:
    // The balloon belongs to the anchor's top-level window, which destroys
    // it along with itself: the handle is then let go, never destroyed
    // a second time.
    static LRESULT CALLBACK TipProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR id,
                                    DWORD_PTR data);

    UniqueHwnd tip_;
    HWND anchor_ = nullptr;
    std::string title_;
    std::string text_;
};

}  // namespace vgwl
