// Counter, help and web pages of the main window: not built yet.
#include "ui/Settings.h"

namespace vgwl {

void TVMGWLPreferences::FormShow() {}
void TVMGWLPreferences::FormKeyDown(WORD) {}
void TVMGWLPreferences::ContentsandTopics1Click() {}
void TVMGWLPreferences::OnlineSupport1Click() {}
void TVMGWLPreferences::OnlineFAQs1Click() {}
void TVMGWLPreferences::SubmitSupportTicketOnline1Click() {}
void TVMGWLPreferences::UpgradeToSentrel1Click() {}

}  // namespace vgwl
