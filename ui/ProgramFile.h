#pragma once
// The running program's own file, from which every other file is found.

#include <string>

namespace vgwl {

// Full path of the running program file, as the system reports it.
std::string ProgramFilePath();

}  // namespace vgwl
