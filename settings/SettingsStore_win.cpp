// Settings store and start with Windows: not built yet.
#include "ui/Settings.h"

namespace vgwl {

void TVMGWLPreferences::LoadSettings() {}
void TVMGWLPreferences::ApplyDefaultSettings() {}
void TVMGWLPreferences::EnablePopUpBlocker1Click() {}
void TVMGWLPreferences::Playsoundnotificationwhenapopupblocked1Click() {}
void TVMGWLPreferences::AnimatetrayIconWhenPopUpBlocked1Click() {}
void TVMGWLPreferences::RzCheckBox1Click() {}
void TVMGWLPreferences::RzCheckBox2Click() {}
void TVMGWLPreferences::RzCheckBox3Click() {}
void TVMGWLPreferences::RzCheckBox4Click() {}

}  // namespace vgwl
