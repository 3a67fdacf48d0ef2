// The report-style list view.
#include "toolkit/Controls.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/WindowText.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace vgwl {

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
    Subclass();
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

}  // namespace vgwl
