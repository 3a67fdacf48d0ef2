#pragma once
// The end of the program from outside its tray menu: the end of the user's
// session, and the uninstaller's request to end.

#include <windows.h>

namespace vgwl {

class TVMGWLPreferences;

// The registered exit request message (0 if it could not be registered).
UINT ExitRequestMessage();

// Handles WM_QUERYENDSESSION, WM_ENDSESSION and the exit request for the main
// window; false for any other message.
bool HandleSessionMessage(TVMGWLPreferences& window, UINT msg, WPARAM wParam, LRESULT& result);

}  // namespace vgwl
