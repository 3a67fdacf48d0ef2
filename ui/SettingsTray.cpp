// Tray presence of the main window: the notification-area icon, what mouse
// actions on it do, and its blinking.
#include "ui/Settings.h"

#include "component/Contract.h"
#include "toolkit/Application.h"

#include <algorithm>
#include <string_view>

namespace vgwl {
namespace {

constexpr UINT kTrayIconId = 1005;
constexpr std::string_view kTrayTip = "Velmora Gatewick Lite";
constexpr std::string_view kTrayTipOff = "Velmora Gatewick Lite - popup blocking is off";
constexpr int kBlinkRounds = 4;
constexpr DWORD kBlinkPhaseMilliseconds = 300;

// The first-version record is 88 bytes where pointers are 32 bits wide.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88);

// TrackPopupMenu has returned by the time the chosen item runs; the empty
// message goes out afterwards even when that item's handler throws, so that
// the next click outside a later menu closes it as it should.
class PostEmptyMessageOnExit {
public:
    explicit PostEmptyMessageOnExit(HWND window) noexcept : window_(window) {}
    ~PostEmptyMessageOnExit() { (void)PostMessageA(window_, WM_NULL, 0, 0); }
    PostEmptyMessageOnExit(const PostEmptyMessageOnExit&) = delete;
    PostEmptyMessageOnExit& operator=(const PostEmptyMessageOnExit&) = delete;

private:
    HWND window_;
};

}  // namespace

NOTIFYICONDATAA TVMGWLPreferences::TrayIconRecord(HICON icon) const {
    NOTIFYICONDATAA data{};
    // The first version of the record: what the shell of every version reads.
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = Handle();
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = contract::kWmTrayIcon;
    data.hIcon = icon;
    // The first version holds 64 characters of tip, the terminator included.
    constexpr std::size_t kTipCapacity = 64;
    static_assert(sizeof(data.szTip) >= kTipCapacity);
    const std::string_view tip = blockingOff_ ? kTrayTipOff : kTrayTip;
    static_assert(kTrayTipOff.size() < kTipCapacity);
    const std::size_t length = std::min(tip.size(), kTipCapacity - 1);
    std::copy_n(tip.data(), length, data.szTip);
    data.szTip[length] = '\0';
    return data;
}

HICON TVMGWLPreferences::RestingTrayIcon() const noexcept {
    return blockingOff_ && TrayOffImage ? TrayOffImage.get() : TrayIconImage.get();
}

void TVMGWLPreferences::ShowBlockingState() {
    const bool off = !RzCheckBox1->Checked();
    if (off == blockingOff_) {
        return;
    }
    blockingOff_ = off;
    NOTIFYICONDATAA data = TrayIconRecord(RestingTrayIcon());
    (void)services_.notifyIcon(NIM_MODIFY, &data);
}

void TVMGWLPreferences::AddTrayIcon() {
    NOTIFYICONDATAA data = TrayIconRecord(RestingTrayIcon());
    // Without a taskbar the add fails; "TaskbarCreated" brings it back later.
    (void)services_.notifyIcon(NIM_ADD, &data);
}

void TVMGWLPreferences::RemoveTrayIcon() {
    NOTIFYICONDATAA data = TrayIconRecord(TrayIconImage.get());
    (void)services_.notifyIcon(NIM_DELETE, &data);
}

void TVMGWLPreferences::AnimateTrayIcon() {
    NOTIFYICONDATAA alternate = TrayIconRecord(TrayAnimImage.get());
    // The blink ends on the icon of the current state.
    NOTIFYICONDATAA normal = TrayIconRecord(RestingTrayIcon());
    for (int round = 0; round < kBlinkRounds; ++round) {
        (void)services_.notifyIcon(NIM_MODIFY, &alternate);
        services_.sleep(kBlinkPhaseMilliseconds);
        (void)services_.notifyIcon(NIM_MODIFY, &normal);
        services_.sleep(kBlinkPhaseMilliseconds);
    }
}

void TVMGWLPreferences::TrayIconMessage(WPARAM /*wParam*/, LPARAM lParam) {
    // The mouse message is in the low word, whichever record version the
    // shell speaks.
    const UINT mouse = LOWORD(lParam);
    if (mouse == WM_LBUTTONDBLCLK || mouse == WM_RBUTTONUP) {
        // While a modal window (the sound dialog, a message box) holds this
        // window disabled, the click brings that one to the front: it is the
        // window the user can act on. No menu opens over it.
        if (HWND modal = Application().ModalWindow()) {
            (void)SetForegroundWindow(modal);
            (void)BringWindowToTop(modal);
            return;
        }
    }
    switch (mouse) {
        case WM_LBUTTONDBLCLK:
            // The restore hook shows the window and brings it to the front.
            Application().Restore();
            break;
        case WM_RBUTTONUP: {
            POINT at{};
            (void)GetCursorPos(&at);
            // Without the foreground the menu would not close on a click
            // outside it.
            (void)SetForegroundWindow(Handle());
            PostEmptyMessageOnExit postAfterMenu(Handle());
            TrayMenu.Popup(Handle(), at);
            break;
        }
        default:
            break;
    }
}

}  // namespace vgwl
