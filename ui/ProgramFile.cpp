#include "ui/ProgramFile.h"

#include "toolkit/ModuleFile.h"

namespace vgwl {

std::string ProgramFilePath() { return ModuleFilePath(nullptr); }

}  // namespace vgwl
