// First-run registration of the blocking component: not built yet.
#include "ui/Settings.h"

namespace vgwl {

void TVMGWLPreferences::RegisterBlockingComponent() {}

}  // namespace vgwl
