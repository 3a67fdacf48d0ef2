#include "toolkit/Controls.h"
#include "toolkit/SharedGdi.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Form.h"
#include "toolkit/WindowText.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace vgwl {
namespace {

constexpr char kContainerClass[] = "TVgwlContainer";

int ScaleFor(int value, int dpi) { return MulDiv(value, dpi, 96); }

// How far a raised label's text stands off its highlight.
int RaisedOffset(int dpi) { return std::max(1, ScaleFor(1, dpi)); }

RECT ParentClientRect(HWND hwnd) {
    RECT rc{};
    GetClientRect(GetParent(hwnd), &rc);
    return rc;
}

}  // namespace

// ---------------------------------------------------------------- TControl

std::string TControl::Text() const {
    const int length = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

void TControl::SetText(std::string_view text) {
    const std::string s(text);
    SetWindowTextA(hwnd_, s.c_str());
}

bool TControl::Visible() const noexcept { return IsWindowVisible(hwnd_) != FALSE; }

void TControl::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

bool TControl::Enabled() const noexcept { return IsWindowEnabled(hwnd_) != FALSE; }

void TControl::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

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

void TControl::Subclass() {
    SetWindowSubclass(hwnd_, &TControl::StaticSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TControl::StaticSubclassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR id,
                                              DWORD_PTR data) {
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &TControl::StaticSubclassProc, id);
        return DefSubclassProc(hwnd, msg, w, l);
    }
    auto* self = reinterpret_cast<TControl*>(data);
    LRESULT result = 0;
    const bool handled =
        GuardCallback([&] { return self->SubclassProc(msg, w, l, result); }, false);
    return handled ? result : DefSubclassProc(hwnd, msg, w, l);
}

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
        DefSubclassProc(hwnd_, WM_SETFONT, 0, FALSE);
    }
    return false;
}

void TUrlLabel::Layout(int dpi) {
    if (desc_.width > 0 && desc_.height > 0) {
        TControl::Layout(dpi);
        return;
    }
    // The link control knows the room its underlined text needs; the plain
    // text extent comes a few pixels short.
    SIZE ideal{};
    const LRESULT idealHeight =
        SendMessageA(hwnd_, LM_GETIDEALHEIGHT, 0x7FFF, reinterpret_cast<LPARAM>(&ideal));
    const SIZE measured = TextExtent(hwnd_, desc_.caption);
    const int width = std::max<int>(ideal.cx, measured.cx + ScaleFor(4, dpi));
    const int height = std::max<int>(static_cast<int>(idealHeight), measured.cy);
    SetWindowPos(hwnd_, nullptr, ScaleFor(desc_.left, dpi), ScaleFor(desc_.top, dpi), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
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

// ---------------------------------------------------------------- TCheckBox

DWORD TCheckBox::Style() const { return WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX; }

bool TCheckBox::Checked() const noexcept {
    return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::HandleCommand(WORD code, HWND) {
    if (code == BN_CLICKED && OnClick) {
        OnClick();
    }
}

// ---------------------------------------------------------------- TEdit

DWORD TEdit::Style() const { return WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_CLIPCHILDREN; }

void TEdit::ShowBalloonTip(std::string_view title, std::string_view text) {
    HideBalloonTip();
    // The edit control's own balloon where it has one (common controls 6 on
    // Windows); a tracking balloon of ours elsewhere.
    std::wstring wideTitle(title.size() + 1, L'\0');
    std::wstring wideText(text.size() + 1, L'\0');
    wideTitle.resize(static_cast<std::size_t>(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, title.data(), static_cast<int>(title.size()),
                                        wideTitle.data(), static_cast<int>(wideTitle.size())))));
    wideText.resize(static_cast<std::size_t>(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        wideText.data(), static_cast<int>(wideText.size())))));
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof(tip);
    tip.pszTitle = wideTitle.c_str();
    tip.pszText = wideText.c_str();
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
                    result = DefSubclassProc(hwnd_, msg, w, l) | DLGC_WANTALLKEYS;
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
            result = DefSubclassProc(
                hwnd_, msg, key == static_cast<char>(w) ? w : static_cast<unsigned char>(key), l);
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

// ---------------------------------------------------------------- containers

namespace {

constexpr char kContainerFontProp[] = "VgwlFont";

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    // A plain window keeps no font; the container keeps the form's, so that
    // a group box frame inside it draws its caption in the form's font and
    // not in the system's bold one.
    switch (msg) {
        case WM_SETFONT:
            SetPropA(hwnd, kContainerFontProp, reinterpret_cast<HANDLE>(w));
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(GetPropA(hwnd, kContainerFontProp));
        case WM_NCDESTROY:
            RemovePropA(hwnd, kContainerFontProp);
            break;
        default:
            break;
    }
    auto* self = reinterpret_cast<TContainer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self) {
        switch (msg) {
            case WM_COMMAND:
            case WM_NOTIFY:
            case WM_DRAWITEM:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN: {
                LRESULT result = 0;
                const bool handled = GuardCallback(
                    [&] { return self->Form().RouteChildMessage(msg, w, l, result); }, false);
                if (handled) {
                    return result;
                }
                break;
            }
            case WM_ERASEBKGND: {
                RECT rc;
                GetClientRect(hwnd, &rc);
                HDC dc = reinterpret_cast<HDC>(w);
                FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
                if (const auto* panel = dynamic_cast<const TPanel*>(self)) {
                    panel->PaintBorder(dc, rc);
                }
                return 1;
            }
            default:
                break;
        }
    }
    return DefWindowProcA(hwnd, msg, w, l);
}

}  // namespace

void TContainer::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, kContainerClass, &existing)) {
        return;
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &ContainerProc;
    wc.hInstance = instance;
    wc.lpszClassName = kContainerClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassExA(&wc);
}

const char* TContainer::ClassName() const { return kContainerClass; }

void TContainer::AfterCreate() {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

int TPanel::BorderWidth(int dpi) const noexcept {
    if (desc_.options & opt::kBorderBold) {
        return ScaleFor(2, dpi);
    }
    if (desc_.options & opt::kBorderRounded) {
        return ScaleFor(1, dpi);
    }
    return 0;
}

void TPanel::PaintBorder(HDC dc, const RECT& rc) const {
    const int width = BorderWidth(form_.Dpi());
    if (width == 0) {
        return;
    }
    HPEN pen = CreatePen(PS_INSIDEFRAME, width, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    if (desc_.options & opt::kBorderRounded) {
        const int r = ScaleFor(8, form_.Dpi());
        RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, r, r);
    } else {
        Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void TPanel::Layout(int dpi) {
    TControl::Layout(dpi);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

bool TBorder::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    // A flat line along the top edge only: shadow, then highlight.
    RECT rc = item.rcItem;
    FillRect(item.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
    RECT line{rc.left, rc.top, rc.right, rc.top + 1};
    FillRect(item.hDC, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    OffsetRect(&line, 0, 1);
    FillRect(item.hDC, &line, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    return true;
}

void TGroupBox::AfterCreate() {
    TContainer::AfterCreate();
    const std::string caption(desc_.caption);
    frame_ =
        CreateWindowExA(0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 0,
                        0, hwnd_, nullptr, form_.Application().ModuleInstance(), nullptr);
}

void TGroupBox::Layout(int dpi) {
    TControl::Layout(dpi);
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    SendMessageA(frame_, WM_SETFONT, SendMessageA(hwnd_, WM_GETFONT, 0, 0), FALSE);
    // Behind the controls of the group, so that it never paints over them.
    SetWindowPos(frame_, HWND_BOTTOM, 0, 0, rc.right, rc.bottom, SWP_NOACTIVATE);
}

void TTabSheet::Layout(int) {
    if (!pageControl_) {
        return;
    }
    const RECT area = pageControl_->PageArea();
    SetWindowPos(hwnd_, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- TPageControl

DWORD TPageControl::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TCS_FIXEDWIDTH;
}

void TPageControl::AddPage(TTabSheet& page) {
    page.SetPageControl(this);
    const std::string caption(page.Desc().caption);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption.c_str());
    const int index = static_cast<int>(pages_.size());
    SendMessageA(hwnd_, TCM_INSERTITEMA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    pages_.push_back(&page);
    if (active_ < 0) {
        SetActivePage(0);
    }
}

TTabSheet* TPageControl::ActivePage() const noexcept {
    return active_ >= 0 ? pages_[static_cast<std::size_t>(active_)] : nullptr;
}

void TPageControl::SetActivePage(int index) {
    if (index < 0 || index >= PageCount()) {
        return;
    }
    if (SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0) != index) {
        SendMessageA(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    const int previous = active_;
    active_ = index;
    pages_[static_cast<std::size_t>(index)]->SetVisible(true);
    if (previous >= 0 && previous != index) {
        pages_[static_cast<std::size_t>(previous)]->SetVisible(false);
    }
}

void TPageControl::SetActivePage(const TTabSheet& page) {
    for (int i = 0; i < PageCount(); ++i) {
        if (pages_[static_cast<std::size_t>(i)] == &page) {
            SetActivePage(i);
            return;
        }
    }
}

void TPageControl::Layout(int dpi) {
    TControl::Layout(dpi);
    if (desc_.tabWidth > 0 && desc_.tabHeight > 0) {
        // Tabs wider than the control would need scroll arrows: they are
        // narrowed until all of them fit.
        int width = ScaleFor(desc_.tabWidth, dpi);
        if (!pages_.empty()) {
            RECT rc{};
            GetClientRect(hwnd_, &rc);
            const int fit = (rc.right - ScaleFor(6, dpi)) / static_cast<int>(pages_.size());
            width = std::min(width, fit);
        }
        SendMessageA(hwnd_, TCM_SETITEMSIZE, 0, MAKELPARAM(width, ScaleFor(desc_.tabHeight, dpi)));
    }
    for (TTabSheet* page : pages_) {
        page->Layout(dpi);
    }
}

RECT TPageControl::PageArea() const {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    SendMessageA(hwnd_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    return rc;
}

bool TPageControl::HandleNotify(NMHDR* header, LRESULT& result) {
    if (header->code == TCN_SELCHANGE) {
        SetActivePage(static_cast<int>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0)));
        result = 0;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- TListView

DWORD TListView::Style() const {
    DWORD style = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS;
    if (!(desc_.options & opt::kMultiSelect)) {
        style |= LVS_SINGLESEL;
    }
    if (desc_.options & opt::kEditLabels) {
        style |= LVS_EDITLABELS;
    }
    return style;
}

DWORD TListView::ExStyle() const { return (desc_.options & opt::kNoBorder) ? 0 : WS_EX_CLIENTEDGE; }

void TListView::AfterCreate() {
    DWORD ex = LVS_EX_DOUBLEBUFFER;
    if (desc_.options & opt::kGridLines) {
        ex |= LVS_EX_GRIDLINES;
    }
    if (desc_.options & opt::kRowSelect) {
        ex |= LVS_EX_FULLROWSELECT;
    }
    SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
    // A plain window-procedure subclass rather than the common controls'
    // chain, which looks the chain up on every message: a list filled with
    // thousands of rows sends itself several messages per row. The list is a
    // Unicode window, so the procedure is set and called as one.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TListView::ListProc)));
}

LRESULT CALLBACK TListView::ListProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TListView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    const WNDPROC next = self->listProc_;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return CallWindowProcW(next, hwnd, msg, w, l);
    }
    LRESULT result = 0;
    if (GuardCallback([&] { return self->SubclassProc(msg, w, l, result); }, false)) {
        return result;
    }
    return CallWindowProcW(next, hwnd, msg, w, l);
}

void TListView::AddColumn(const ControlDesc& column, int dpi) {
    const std::string caption(column.caption);
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<char*>(caption.c_str());
    col.cx = ScaleFor(column.width, dpi);
    col.iSubItem = static_cast<int>(columns_.size());
    SendMessageA(hwnd_, LVM_INSERTCOLUMNA, columns_.size(), reinterpret_cast<LPARAM>(&col));
    columns_.push_back(&column);
}

void TListView::Layout(int dpi) {
    TControl::Layout(dpi);
    RECT client{};
    GetClientRect(hwnd_, &client);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        int width = ScaleFor(columns_[i]->width, dpi);
        // A single column wider than the view would only add a scroll bar.
        if (columns_.size() == 1) {
            width = std::min<int>(width, client.right - client.left);
        }
        SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, i, width);
    }
}

int TListView::Count() const noexcept {
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

std::string TListView::Caption(int index) const {
    // Item texts have no length limit: grow the buffer until the text fits.
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT length = SendMessageA(hwnd_, LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(&item));
        if (length < static_cast<LRESULT>(buffer.size()) - 1) {
            return std::string(buffer.data(),
                               static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
        }
        if (buffer.size() >= (1u << 24)) {
            return std::string(buffer.data(), buffer.size() - 1);
        }
        buffer.resize(buffer.size() * 4);
    }
}

int TListView::Add(std::string_view caption) {
    const std::string text(caption);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    // Past the last row appends: no need to ask for the count first.
    item.iItem = std::numeric_limits<int>::max();
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(
        SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void TListView::SetCaption(int index, std::string_view caption) {
    const std::string text(caption);
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

void TListView::Delete(int index) {
    SendMessageA(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void TListView::Clear() { SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0); }

void TListView::Reserve(int count) {
    if (count > Count()) {
        SendMessageA(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count),
                     LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    }
}

bool TListView::Selected(int index) const noexcept {
    return (SendMessageA(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) &
            LVIS_SELECTED) != 0;
}

void TListView::SetSelected(int index, bool selected) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

int TListView::SelectedCount() const noexcept {
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETSELECTEDCOUNT, 0, 0));
}

int TListView::FirstSelected() const noexcept {
    return static_cast<int>(
        SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TListView::BeginUpdate() {
    if (updateDepth_++ == 0) {
        SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    }
}

void TListView::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

bool TListView::HandleNotify(NMHDR* header, LRESULT& result) {
    if (header->code != LVN_ENDLABELEDITA && header->code != LVN_ENDLABELEDITW) {
        return false;
    }
    result = FALSE;
    const auto* info = reinterpret_cast<const NMLVDISPINFOA*>(header);
    if (!info->item.pszText) {
        return true;  // the user cancelled the edit
    }
    const int index = info->item.iItem;
    // The text as typed, from the edit box itself: the notification's copy
    // has been through a best-fit conversion when it is ANSI.
    std::u16string text;
    if (HWND edit = reinterpret_cast<HWND>(SendMessageA(hwnd_, LVM_GETEDITCONTROL, 0, 0))) {
        text = WindowTextUtf16(edit);
    } else if (header->code == LVN_ENDLABELEDITW) {
        text = reinterpret_cast<const char16_t*>(
            reinterpret_cast<const NMLVDISPINFOW*>(header)->item.pszText);
    } else {
        text = Utf16FromAnsi(info->item.pszText);
    }
    result = (!OnEndLabelEdit || OnEndLabelEdit(index, text)) ? TRUE : FALSE;
    return true;
}

void TListView::ShowBalloonTip(int index, std::string_view title, std::string_view text) {
    RECT rc{};
    rc.left = LVIR_LABEL;
    if (!SendMessageA(hwnd_, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&rc))) {
        GetClientRect(hwnd_, &rc);
        rc.bottom = rc.top + form_.Scale(16);
    }
    POINT point{rc.left + form_.Scale(24), rc.bottom};
    ClientToScreen(hwnd_, &point);
    balloon_.Show(hwnd_, point, title, text);
}

bool TListView::SubclassProc(UINT msg, WPARAM w, LPARAM, LRESULT& result) {
    if (msg == WM_KEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_KILLFOCUS || msg == WM_VSCROLL) {
        balloon_.Hide();
    }
    if (msg == WM_KEYDOWN && OnKeyDown) {
        OnKeyDown(static_cast<WORD>(w));
        return false;
    }
    if (msg == WM_SETCURSOR && (desc_.options & opt::kHandPoint) &&
        reinterpret_cast<HWND>(w) == hwnd_) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        LVHITTESTINFO hit{};
        hit.pt = pt;
        if (SendMessageA(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0 &&
            (hit.flags & LVHT_ONITEM)) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
    }
    return false;
}

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
    result = DefSubclassProc(hwnd_, msg, w, l);
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
    textRect.left += MulDiv(6, form_.Dpi(), 96);
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

// ---------------------------------------------------------------- TImage

bool TImage::SubclassProc(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    // No frame to paint; painting none spares a cached device context.
    if (msg == WM_NCPAINT) {
        result = 0;
        return true;
    }
    return false;
}

void TImage::SetPicture(UniqueGdiObject bitmap) {
    auto* previous = reinterpret_cast<HGDIOBJ>(
        SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
    // A 32-bit picture may be copied by the control; the copy it hands back
    // is the caller's to free, the original is freed with picture_.
    if (previous && previous != picture_.get()) {
        DeleteObject(previous);
    }
    picture_ = std::move(bitmap);
}

}  // namespace vgwl
