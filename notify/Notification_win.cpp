// Blocked-popup notification and sound choice: not built yet.
#include "ui/Settings.h"

namespace vgwl {

LRESULT TVMGWLPreferences::PopupBlockedMessage(WPARAM, LPARAM) { return 0; }
void TVMGWLPreferences::RzButtonEdit1ButtonClick() {}
void TVMGWLPreferences::RzButtonEdit1KeyPress(char&) {}
void TVMGWLPreferences::RzBitBtn1Click() {}

}  // namespace vgwl
