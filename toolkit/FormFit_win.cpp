// Captions that fit at any font and DPI. The descriptions give sizes for one
// font at 96 DPI; another font (a substitute for a missing face, or the same
// face at another size) can need more room. A text control that would be
// clipped grows into free room of its parent, where no sibling stands; its
// described size stays the smallest it gets.
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/SharedGdi.h"
#include "toolkit/WindowText.h"

#include <algorithm>
#include <string>

namespace vgwl {
namespace {

RECT RectInParent(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Holds(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool StyleVisible(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

// The room a control may take: its parent's client area less a small margin,
// bounded by the siblings beside it (left, right) or below it.
struct Room {
    int left, right, bottom;
};

Room FreeRoom(HWND hwnd, const RECT& at, int dpi) {
    RECT parent{};
    GetClientRect(GetParent(hwnd), &parent);
    const int margin = ScaleFor(2, dpi);
    Room room{std::min<int>(at.left, parent.left + margin),
              std::max<int>(at.right, parent.right - margin),
              std::max<int>(at.bottom, parent.bottom - margin)};
    for (HWND s = GetWindow(GetParent(hwnd), GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
        if (s == hwnd || !StyleVisible(s)) {
            continue;
        }
        const RECT r = RectInParent(s);
        RECT both{};
        if (IntersectRect(&both, &r, &at) || Holds(r, at)) {
            continue;  // a frame around it, or a part laid over it
        }
        if (r.top < at.bottom && r.bottom > at.top) {
            if (r.left >= at.right) {
                room.right = std::min<int>(room.right, r.left);
            } else if (r.right <= at.left) {
                room.left = std::max<int>(room.left, r.right);
            }
        }
    }
    return room;
}

int BottomLimit(HWND hwnd, const RECT& at, int left, int right, int limit) {
    for (HWND s = GetWindow(GetParent(hwnd), GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
        if (s == hwnd || !StyleVisible(s)) {
            continue;
        }
        const RECT r = RectInParent(s);
        if (r.left < right && r.right > left && r.top >= at.bottom) {
            limit = std::min<int>(limit, r.top);
        }
    }
    return limit;
}

// Widens [left, right) to width within the room: both ways for centred text,
// to the right otherwise (left-aligned text keeps its column).
void Widen(LONG& left, LONG& right, int width, bool centred, const Room& room) {
    if (right - left >= width) {
        return;
    }
    if (centred) {
        const int extra = width - (right - left);
        left = std::max<LONG>(room.left, left - (extra + 1) / 2);
        right = std::min<LONG>(room.right, left + width);
        left = std::max<LONG>(room.left, right - width);
    } else {
        right = std::min<LONG>(room.right, left + width);
    }
}

void Place(HWND hwnd, const RECT& before, const RECT& after) {
    if (EqualRect(&before, &after)) {
        return;
    }
    SetWindowPos(hwnd, nullptr, after.left, after.top, after.right - after.left,
                 after.bottom - after.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// One line of text (check boxes, link labels, unwrapped labels).
void FitLine(HWND hwnd, SIZE need, bool centred, int dpi) {
    const RECT at = RectInParent(hwnd);
    RECT fit = at;
    Widen(fit.left, fit.right, need.cx, centred, FreeRoom(hwnd, at, dpi));
    if (need.cy > fit.bottom - fit.top) {
        RECT parent{};
        GetClientRect(GetParent(hwnd), &parent);
        const int limit =
            BottomLimit(hwnd, at, fit.left, fit.right, std::max<int>(at.bottom, parent.bottom));
        fit.bottom = std::min<LONG>(limit, fit.top + need.cy);
    }
    Place(hwnd, at, fit);
}

// Wrapped text: taller first, where there is room below; wider when that is
// not enough, which also takes fewer lines.
void FitWrapped(HWND hwnd, bool centred, int dpi) {
    const std::string text = WindowText(hwnd);
    const RECT at = RectInParent(hwnd);
    RECT parent{};
    GetClientRect(GetParent(hwnd), &parent);
    RECT fit = at;
    SIZE need = TextExtent(hwnd, text, at.right - at.left);
    const int below = BottomLimit(hwnd, at, at.left, at.right,
                                  std::max<int>(at.bottom, parent.bottom - ScaleFor(2, dpi)));
    if (need.cy > below - at.top || need.cx > at.right - at.left) {
        const Room room = FreeRoom(hwnd, at, dpi);
        Widen(fit.left, fit.right, room.right - room.left, centred, room);
        need = TextExtent(hwnd, text, fit.right - fit.left);
        // No wider than the text needs (nor narrower than described), still
        // centred where it was.
        const int width = std::max<int>(need.cx, at.right - at.left);
        if (width < fit.right - fit.left) {
            const int spare = (fit.right - fit.left) - width;
            fit.left += centred ? spare / 2 : 0;
            fit.right = fit.left + width;
        }
    }
    if (need.cy > fit.bottom - fit.top) {
        const int limit = BottomLimit(hwnd, at, fit.left, fit.right,
                                      std::max<int>(at.bottom, parent.bottom - ScaleFor(2, dpi)));
        fit.bottom = std::min<LONG>(limit, fit.top + need.cy);
    }
    Place(hwnd, at, fit);
}

// A label sized to its text never clips, but can run into the control after
// it on the same line. That one moves along to the right when its parent has
// the room; otherwise the label moves left as far as needed (and the parent
// allows) and the follower after it.
void MakeWayAfter(HWND hwnd, int dpi) {
    RECT at = RectInParent(hwnd);
    RECT parent{};
    GetClientRect(GetParent(hwnd), &parent);
    const int gap = ScaleFor(4, dpi);
    const int margin = ScaleFor(2, dpi);
    for (HWND s = GetWindow(GetParent(hwnd), GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
        if (s == hwnd || !StyleVisible(s)) {
            continue;
        }
        const RECT r = RectInParent(s);
        RECT both{};
        if (r.left <= at.left || !IntersectRect(&both, &r, &at) || Holds(r, at)) {
            continue;
        }
        const int followerWidth = r.right - r.left;
        int left = at.right + gap;
        const int overflow = left + followerWidth - (parent.right - margin);
        if (overflow > 0) {
            const int shift = std::min<int>(overflow, at.left - (parent.left + margin));
            if (shift <= 0 || shift < overflow) {
                continue;  // no room on this line: left as it is
            }
            OffsetRect(&at, -shift, 0);
            SetWindowPos(hwnd, nullptr, at.left, at.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            left = at.right + gap;
        }
        SetWindowPos(s, nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

void TForm::FitTextControls() {
    for (const auto& control : controls_) {
        const ControlDesc& d = control->Desc();
        HWND hwnd = control->Handle();
        if (!hwnd || (d.options & opt::kAlignClient)) {
            continue;
        }
        const bool centred = (d.options & opt::kCentered) != 0;
        switch (d.kind) {
            case ControlKind::Label:
                if ((d.options & opt::kAutoSize) || d.width == 0) {
                    MakeWayAfter(hwnd, dpi_);
                } else if (d.options & (opt::kWordWrap | opt::kCentered)) {
                    FitWrapped(hwnd, centred, dpi_);
                } else {
                    FitLine(hwnd, TextExtent(hwnd, WindowText(hwnd), 0), false, dpi_);
                }
                break;
            case ControlKind::CheckBox:
                if (const auto* box = dynamic_cast<const TCheckBox*>(control.get())) {
                    FitLine(hwnd, box->CaptionExtent(dpi_), false, dpi_);
                }
                break;
            case ControlKind::UrlLabel:
                if (d.width > 0 && d.height > 0) {
                    if (const auto* link = dynamic_cast<const TUrlLabel*>(control.get())) {
                        FitLine(hwnd, link->CaptionExtent(), false, dpi_);
                    }
                } else {
                    MakeWayAfter(hwnd, dpi_);
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace vgwl
