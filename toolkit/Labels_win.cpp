// Text that the user reads: labels (plain or raised) and link labels.
#include "toolkit/Controls.h"

#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/SharedGdi.h"

#include <algorithm>

namespace vgwl {

namespace {

// How far a raised label's text stands off its highlight.
int RaisedOffset(int dpi) { return std::max(1, ScaleFor(1, dpi)); }

}  // namespace

// ---------------------------------------------------------------- TLabel

DWORD TLabel::Style() const {
    if (desc_.options & opt::kRaised) {
        // A drawing type of its own: no alignment bits may be combined with it.
        return WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
    }
    DWORD style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX;
    style |= (desc_.options & opt::kCentered) ? SS_CENTER : SS_LEFT;
    if (!(desc_.options & opt::kWordWrap) && !(desc_.options & opt::kCentered)) {
        style |= SS_LEFTNOWORDWRAP;
    }
    return style;
}

void TLabel::Layout(int dpi) {
    if (!(desc_.options & opt::kAutoSize) && desc_.width > 0) {
        TControl::Layout(dpi);
        return;
    }
    SIZE size = TextExtent(hwnd_, Text());
    if (desc_.options & opt::kRaised) {
        size.cx += RaisedOffset(dpi);
        size.cy += RaisedOffset(dpi);
    }
    SetWindowPos(hwnd_, nullptr, ScaleFor(desc_.left, dpi), ScaleFor(desc_.top, dpi), size.cx,
                 size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TLabel::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    if (!(desc_.options & opt::kRaised)) {
        return false;
    }
    RECT rc = item.rcItem;
    FillRect(item.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
    const std::string text = Text();
    UINT format = DT_NOPREFIX | ((desc_.options & opt::kCentered) ? DT_CENTER : DT_LEFT);
    format |= (desc_.options & opt::kWordWrap) ? DT_WORDBREAK : DT_SINGLELINE;
    const HGDIOBJ oldFont =
        SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)));
    const int oldMode = SetBkMode(item.hDC, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(item.hDC, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &rc, format);
    const int offset = RaisedOffset(form_.Dpi());
    OffsetRect(&rc, offset, offset);
    SetTextColor(item.hDC, TextColor() == kDefaultColor ? GetSysColor(COLOR_BTNTEXT)
                                                        : static_cast<COLORREF>(TextColor()));
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &rc, format);
    SetTextColor(item.hDC, oldColor);
    SetBkMode(item.hDC, oldMode);
    SelectObject(item.hDC, oldFont);
    return true;
}

// ---------------------------------------------------------------- TUrlLabel

void TUrlLabel::AfterCreate() {
    const std::string markup = "<a>" + std::string(desc_.caption) + "</a>";
    SetWindowTextA(hwnd_, markup.c_str());
    Subclass();
}

bool TUrlLabel::SubclassProc(UINT msg, WPARAM, LPARAM, LRESULT&) {
    if (msg == WM_DESTROY) {
        // Wine's link control deletes the font it holds when it goes; the
        // font is shared with the whole form, so it is taken back first.
        CallClassProc(WM_SETFONT, 0, FALSE);
    }
    return false;
}

void TUrlLabel::Layout(int dpi) {
    if (desc_.width > 0 && desc_.height > 0) {
        TControl::Layout(dpi);
        return;
    }
    // A few pixels to spare beyond the text, as the link control asks for
    // more than the bare text on some systems.
    const SIZE need = CaptionExtent();
    const int width = std::max<int>(need.cx, LinkTextExtent().cx + ScaleFor(4, dpi));
    SetWindowPos(hwnd_, nullptr, ScaleFor(desc_.left, dpi), ScaleFor(desc_.top, dpi), width,
                 need.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TUrlLabel::LinkTextExtent() const {
    // The control draws its link in a font of its own: the one it is given,
    // underlined.
    const auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    if (!font || !GetObjectA(font, sizeof(lf), &lf)) {
        return TextExtent(hwnd_, desc_.caption);
    }
    lf.lfUnderline = TRUE;
    const UniqueGdiObject linkFont(CreateFontIndirectA(&lf));
    return TextExtent(linkFont ? static_cast<HFONT>(linkFont.get()) : font, desc_.caption);
}

SIZE TUrlLabel::CaptionExtent() const {
    // The control's own answer where it has one (given a size to fill, the
    // message answers with the ideal size), never less than its text.
    SIZE ideal{};
    const LRESULT idealHeight =
        SendMessageA(hwnd_, LM_GETIDEALHEIGHT, 0x7FFF, reinterpret_cast<LPARAM>(&ideal));
    const SIZE text = LinkTextExtent();
    return SIZE{std::max<LONG>(ideal.cx, text.cx),
                std::max<LONG>({static_cast<LONG>(idealHeight), ideal.cy, text.cy})};
}

bool TUrlLabel::HandleNotify(NMHDR* header, LRESULT& result) {
    if (header->code != NM_CLICK && header->code != NM_RETURN) {
        return false;
    }
    result = 0;
    // The form opens the link, through whatever launcher it uses.
    if (OnClick) {
        OnClick();
    }
    return true;
}

}  // namespace vgwl
