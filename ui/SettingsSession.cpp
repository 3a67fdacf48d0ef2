#include "ui/SettingsSession.h"

#include "component/Contract.h"
#include "ui/Settings.h"

#include <string>

namespace vgwl {

UINT ExitRequestMessage() {
    // One number per name for the whole session, so it is looked up once.
    static const UINT message =
        RegisterWindowMessageA(std::string(contract::kExitRequestMessage).c_str());
    return message;
}

bool HandleSessionMessage(TVMGWLPreferences& window, UINT msg, WPARAM wParam, LRESULT& result) {
    switch (msg) {
        case WM_QUERYENDSESSION:
            // Every change is written when it is made: nothing holds up the
            // end of the session.
            result = TRUE;
            return true;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                // The system ends the process soon after this returns, without
                // the forms being destroyed: Exit's steps and the removal of
                // the icon happen now.
                window.ExitPopUpBlocker1Click();
                window.RemoveTrayIcon();
            }
            result = 0;
            return true;
        default:
            break;
    }
    const UINT exitRequest = ExitRequestMessage();
    if (exitRequest != 0 && msg == exitRequest) {
        // Any process of the desktop can send this, so its parameters are
        // never read: all it can do is what the tray menu's Exit does.
        window.ExitPopUpBlocker1Click();
        result = 0;
        return true;
    }
    return false;
}

}  // namespace vgwl
