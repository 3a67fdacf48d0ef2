// Publishing the white list to the shared table: not built yet.
#include "ui/Settings.h"

namespace vgwl {

void TVMGWLPreferences::PublishWhiteList() {}

}  // namespace vgwl
