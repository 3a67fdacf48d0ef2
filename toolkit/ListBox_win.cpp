// The owner-drawn list box with a picture behind its selected item.
#include "toolkit/Controls.h"

#include "toolkit/Dpi.h"
#include "toolkit/Form.h"

namespace vgwl {

// ---------------------------------------------------------------- TListBox

DWORD TListBox::Style() const {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                  LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (!(desc_.options & opt::kNoBorder)) {
        style |= WS_BORDER;
    }
    return style;
}

void TListBox::AfterCreate() {
    for (std::string_view item : desc_.items) {
        const std::string text(item);
        SendMessageA(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    Subclass();
}

bool TListBox::SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) {
    if (msg != WM_LBUTTONDBLCLK || !OnDblClick) {
        return false;
    }
    result = CallClassProc(msg, w, l);
    // The list also reports a double-click below its last item; only one on
    // the selected item counts.
    const LRESULT hit = SendMessageA(hwnd_, LB_ITEMFROMPOINT, 0, l);
    if (HIWORD(hit) == 0 && static_cast<int>(LOWORD(hit)) == ItemIndex()) {
        OnDblClick();
    }
    return true;
}

void TListBox::Layout(int dpi) {
    TControl::Layout(dpi);
    if (desc_.itemHeight > 0) {
        SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, ScaleFor(desc_.itemHeight, dpi));
    }
}

int TListBox::Count() const noexcept {
    return static_cast<int>(SendMessageA(hwnd_, LB_GETCOUNT, 0, 0));
}

std::string TListBox::Item(int index) const {
    const LRESULT length = SendMessageA(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

int TListBox::ItemIndex() const noexcept {
    return static_cast<int>(SendMessageA(hwnd_, LB_GETCURSEL, 0, 0));
}

void TListBox::SetItemIndex(int index) {
    SendMessageA(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TListBox::HandleCommand(WORD code, HWND) {
    if (code == LBN_SELCHANGE && OnClick) {
        OnClick();
    }
}

bool TListBox::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) {
        return true;
    }
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const std::string text = Item(static_cast<int>(item.itemID));
    HFONT baseFont = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    UniqueGdiObject boldFont;
    HGDIOBJ oldFont = nullptr;
    if (selected) {
        if (selectionPicture_) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, selectionPicture_);
            BITMAP bm{};
            GetObjectA(selectionPicture_, sizeof(bm), &bm);
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem, 0, 0,
                       bm.bmWidth, bm.bmHeight, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        } else {
            FillRect(dc, &rc, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        // The bevel marks the selected item only.
        DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
        LOGFONTA lf{};
        GetObjectA(baseFont, sizeof(lf), &lf);
        lf.lfWeight = FW_BOLD;
        boldFont.reset(CreateFontIndirectA(&lf));
        oldFont = SelectObject(dc, boldFont.get());
        SetTextColor(dc, RGB(0, 0, 128));  // navy
    } else {
        FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
        oldFont = SelectObject(dc, baseFont);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    SetBkMode(dc, TRANSPARENT);
    RECT textRect = rc;
    textRect.left += ScaleFor(6, form_.Dpi());
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (oldFont) {
        SelectObject(dc, oldFont);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) &&
        form_.KeyboardCuesShown()) {
        DrawFocusRect(dc, &rc);
    }
    return true;
}

}  // namespace vgwl
