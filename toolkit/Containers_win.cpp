// Windows that hold other controls: panels, group boxes, tab sheets and the
// page control that switches between them.
#include "toolkit/Controls.h"

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"

namespace vgwl {

// ---------------------------------------------------------------- containers

namespace {

constexpr char kContainerClass[] = "TVgwlContainer";

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

}  // namespace vgwl
