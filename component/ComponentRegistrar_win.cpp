#include "component/ComponentRegistrar.h"

#include "component/Contract.h"
#include "toolkit/FilePaths.h"
#include "toolkit/SystemLibrary.h"

#include <shlwapi.h>

namespace vgwl {

namespace {

using RegisterServerFunction = HRESULT(STDAPICALLTYPE*)();

// The component's full path beside the program, or nothing when the
// program's folder is not known as an absolute path: a bare or relative
// name would hand the choice of library to the search order.
std::string ComponentPath(const std::string& programPath) {
    const std::string folder = ExtractFilePath(programPath);
    if (folder.empty() || PathIsRelativeA(folder.c_str())) {
        return {};
    }
    return folder + std::string(contract::kComponentFileName);
}

}  // namespace

bool ComponentRegistrar::Register(const std::string& programPath) {
    if (!component_) {
        const std::string path = ComponentPath(programPath);
        if (path.empty()) {
            return false;
        }
        // Only the file beside the program, by its full path: a library of
        // that name planted in the working directory or on the search path
        // must never run inside the front end. The component's own libraries
        // come from its folder or the system folder, nowhere else.
        component_ = LoadLibraryByPath(path).release();
        if (!component_) {
            return false;  // not installed or not a library: start-up goes on
        }
    }
    const std::string exportName(contract::kRegisterExport);
    const auto registerServer = reinterpret_cast<RegisterServerFunction>(
        reinterpret_cast<void*>(GetProcAddress(component_, exportName.c_str())));
    if (!registerServer) {
        return false;
    }
    // The component records its registration itself; its result changes
    // nothing here.
    (void)registerServer();
    return true;
}

}  // namespace vgwl
