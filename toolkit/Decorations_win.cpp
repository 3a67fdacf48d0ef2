// Controls that only show a picture: the separator line and the image.
#include "toolkit/Controls.h"

namespace vgwl {

// ---------------------------------------------------------------- TBorder

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
