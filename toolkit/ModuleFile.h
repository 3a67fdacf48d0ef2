#pragma once
// The file a loaded module came from. Inline, so that the tool and the
// stand-in component, which link only the portable library, share it too.

#include <windows.h>

#include <cstddef>
#include <string>

namespace vgwl {

// Full path of the module's file (a null module: the program's own), or the
// empty text when the system cannot tell.
inline std::string ModuleFilePath(HMODULE module) {
    // Long paths do not fit MAX_PATH: grow until the name is not cut. No
    // path is longer than 32767 characters; a name still cut beyond that is
    // not a path.
    constexpr std::size_t kLongestPath = 32767;
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() > kLongestPath) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace vgwl
