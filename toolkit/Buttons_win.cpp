// Buttons: check boxes and picture buttons.
#include "toolkit/Controls.h"

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/SharedGdi.h"

#include <algorithm>

namespace vgwl {

// ---------------------------------------------------------------- TCheckBox

DWORD TCheckBox::Style() const { return WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX; }

bool TCheckBox::Checked() const noexcept {
    return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

SIZE TCheckBox::CaptionExtent(int dpi) const {
    const auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    SIZE need = TextExtent(font, Text());
    // The box is 13 pixels at 96 DPI; the button control sets the caption
    // off it by half a digit's width in its font, which a wide substitute
    // font makes more than the usual 3 pixels. One pixel more for the focus
    // rectangle.
    const int gap = std::max(ScaleFor(3, dpi), static_cast<int>(TextExtent(font, "0").cx / 2));
    need.cx += ScaleFor(13, dpi) + gap + 1;
    need.cy = std::max<LONG>(need.cy, ScaleFor(13, dpi));
    // The control's own answer where it has one.
    SIZE ideal{};
    if (SendMessageA(hwnd_, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal))) {
        need.cx = std::max(need.cx, ideal.cx);
    }
    return need;
}

void TCheckBox::HandleCommand(WORD code, HWND) {
    if (code == BN_CLICKED && OnClick) {
        OnClick();
    }
}

// ---------------------------------------------------------------- TBitBtn

DWORD TBitBtn::Style() const { return WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_OWNERDRAW; }

void TBitBtn::AfterCreate() {
    ChooseGlyphSize(form_.Dpi());
    // A picture-only button carries its hint as its accessible name.
    if (desc_.caption.empty() && !desc_.hint.empty()) {
        const std::string name(desc_.hint);
        SetWindowTextA(hwnd_, name.c_str());
    }
    Subclass();
}

void TBitBtn::ChooseGlyphSize(int dpi) {
    // Artwork drawn at 16, 24 and 32 pixels: the largest that fits the
    // DPI's 16 pixels, shown at its own size, never stretched.
    const int want = ScaleFor(16, dpi);
    const int size = desc_.glyph == 0 ? 0 : (want >= 32 ? 32 : (want >= 24 ? 24 : 16));
    if (size != glyphSize_) {
        // Made again at the new size when next drawn.
        glyph_.reset();
        glyphDisabled_.reset();
        glyphSize_ = size;
    }
}

void TBitBtn::Layout(int dpi) {
    TControl::Layout(dpi);
    ChooseGlyphSize(dpi);
}

void TBitBtn::HandleCommand(WORD code, HWND) {
    if ((code == BN_CLICKED) && OnClick) {
        OnClick();
    }
}

bool TBitBtn::SubclassProc(UINT msg, WPARAM, LPARAM, LRESULT&) {
    if (!(desc_.options & opt::kHotTrack)) {
        return false;
    }
    if (msg == WM_MOUSEMOVE && !hot_) {
        hot_ = true;
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
        TrackMouseEvent(&tme);
        InvalidateRect(hwnd_, nullptr, FALSE);
    } else if (msg == WM_MOUSELEAVE) {
        hot_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    return false;
}

bool TBitBtn::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const int dpi = form_.Dpi();

    HBRUSH face = CreateSolidBrush(pressed ? colors_.highlight : colors_.face);
    FillRect(dc, &rc, face);
    DeleteObject(face);

    COLORREF frame = RGB(160, 160, 160);
    if (hot_ && !disabled) {
        frame = colors_.hotTrack;
    } else if (focused) {
        frame = colors_.highlight;
    }
    HBRUSH frameBrush = CreateSolidBrush(frame);
    FrameRect(dc, &rc, frameBrush);
    if (hot_ && !disabled) {
        // Hot tracking: a thicker coloured edge along the bottom.
        RECT bottom{rc.left + 1, rc.bottom - ScaleFor(3, dpi), rc.right - 1, rc.bottom - 1};
        FillRect(dc, &bottom, frameBrush);
    }
    DeleteObject(frameBrush);

    // Each glyph is made when it is first drawn: a hidden form needs none,
    // and the grey one only a disabled button.
    // The artwork of the chosen size (see ResourceIds.h for the offsets),
    // or the 16-pixel one when a size is missing.
    auto load = [this](int id, UniqueGdiObject& glyph) {
        if (id != 0 && !glyph) {
            HINSTANCE instance = form_.Application().ModuleInstance();
            const int offset = glyphSize_ == 32 ? 200 : (glyphSize_ == 24 ? 100 : 0);
            glyph.reset(LoadImageA(instance, MAKEINTRESOURCEA(id + offset), IMAGE_BITMAP, 0, 0,
                                   LR_CREATEDIBSECTION));
            if (!glyph) {
                glyph.reset(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                                       LR_CREATEDIBSECTION));
            }
        }
    };
    if (disabled) {
        load(desc_.glyphDisabled, glyphDisabled_);
    }
    if (!disabled || !glyphDisabled_) {
        load(desc_.glyph, glyph_);
    }
    HGDIOBJ glyph = (disabled && glyphDisabled_) ? glyphDisabled_.get() : glyph_.get();
    const int glyphSize = glyphSize_;
    const std::string caption(desc_.caption);
    SIZE textSize{0, 0};
    if (!caption.empty()) {
        GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);
    }
    const int gap = (glyph && !caption.empty()) ? ScaleFor(4, dpi) : 0;
    const int contentWidth = (glyph ? glyphSize : 0) + gap + textSize.cx;
    int x = rc.left + (rc.right - rc.left - contentWidth) / 2 + (pressed ? 1 : 0);
    const int yShift = pressed ? 1 : 0;
    if (glyph) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, glyph);
        BITMAP bm{};
        GetObjectA(glyph, sizeof(bm), &bm);
        const int y = rc.top + (rc.bottom - rc.top - glyphSize) / 2 + yShift;
        // Magenta is the glyphs' transparent colour.
        GdiTransparentBlt(dc, x, y, glyphSize, glyphSize, mem, 0, 0, bm.bmWidth, bm.bmHeight,
                          RGB(255, 0, 255));
        SelectObject(mem, old);
        DeleteDC(mem);
        x += glyphSize + gap;
    }
    if (!caption.empty()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        RECT text{x, rc.top + yShift, x + textSize.cx, rc.bottom + yShift};
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (focused && !(item.itemState & ODS_NOFOCUSRECT) && form_.KeyboardCuesShown()) {
        RECT f = rc;
        InflateRect(&f, -ScaleFor(3, dpi), -ScaleFor(3, dpi));
        DrawFocusRect(dc, &f);
    }
    return true;
}

}  // namespace vgwl
