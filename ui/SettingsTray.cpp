// Tray presence of the main window: not built yet, the window works without it.
#include "ui/Settings.h"

namespace vgwl {

NOTIFYICONDATAA TVMGWLPreferences::TrayIconRecord(HICON) const { return NOTIFYICONDATAA{}; }
void TVMGWLPreferences::AddTrayIcon() {}
void TVMGWLPreferences::RemoveTrayIcon() {}
void TVMGWLPreferences::AnimateTrayIcon() {}
void TVMGWLPreferences::TrayIconMessage(WPARAM, LPARAM) {}

}  // namespace vgwl
