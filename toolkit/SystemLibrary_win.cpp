#include "toolkit/SystemLibrary.h"

#include <string>
#include <string_view>

namespace vgwl {

UniqueHmodule LoadSystemLibrary(const char* fileName) noexcept {
    const std::string_view name = fileName ? fileName : "";
    if (name.empty() || name.find_first_of("\\/:") != std::string_view::npos) {
        return {};
    }
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    try {
        const std::string path = std::string(folder, length) + "\\" + std::string(name);
        HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
            // A system without the search flags: the full path still decides
            // where the library itself comes from.
            module = LoadLibraryExA(path.c_str(), nullptr, 0);
        }
        return UniqueHmodule(module);
    } catch (...) {
        return {};  // out of memory for a short path: as good as missing
    }
}

namespace {

// "X:\..." or "\\server\...": anything else would be resolved against the
// current folder or drive.
bool IsAbsolute(std::string_view path) noexcept {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 3 && path[1] == ':' && separator(path[2])) {
        return true;
    }
    return path.size() >= 3 && separator(path[0]) && separator(path[1]);
}

}  // namespace

UniqueHmodule LoadLibraryByPath(const std::string& path) noexcept {
    if (!IsAbsolute(path)) {
        return {};
    }
    return UniqueHmodule(LoadLibraryExA(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
}

FARPROC SystemProcAddress(const char* fileName, const char* exportName) noexcept {
    if (!exportName || !*exportName) {
        return nullptr;
    }
    UniqueHmodule module = LoadSystemLibrary(fileName);
    if (!module) {
        return nullptr;
    }
    FARPROC address = GetProcAddress(module.get(), exportName);
    if (address) {
        // The caller keeps the address for the rest of the run: the library
        // must stay. Loading it again only counts up the loader's reference.
        (void)module.release();
    }
    return address;
}

}  // namespace vgwl
