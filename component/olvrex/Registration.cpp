#include "Registration.h"

#include "component/Contract.h"
#include "toolkit/FilePaths.h"
#include "toolkit/Handles.h"
#include "toolkit/ModuleFile.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl::olvrex {
namespace {

// Where each browser looks for native messaging hosts, below a root, and
// the manifest beside the component written for it.
struct BrowserHost {
    const char* folder;
    std::string_view manifest;
};
constexpr std::array<BrowserHost, 4> kBrowsers = {{
    {"Software\\Google\\Chrome\\NativeMessagingHosts", contract::kBridgeManifestFileName},
    {"Software\\Microsoft\\Edge\\NativeMessagingHosts", contract::kBridgeManifestFileName},
    {"Software\\Chromium\\NativeMessagingHosts", contract::kBridgeManifestFileName},
    {"Software\\Mozilla\\NativeMessagingHosts", contract::kFirefoxBridgeManifestFileName},
}};
// Kept in our own host key: the keys above it that registration had to
// create, so that unregistering removes them again and nothing else.
constexpr char kCreatedKeysValue[] = "CreatedKeys";

std::string OwnFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&OwnFolder), &self)) {
        return {};
    }
    return ExtractFilePath(ModuleFilePath(self));
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string HostKeyPath(const char* folder) {
    return std::string(folder) + "\\" + std::string(contract::kNativeHostName);
}

std::optional<std::string> ReadDefault(HKEY key) {
    char text[MAX_PATH * 4] = {};
    DWORD size = sizeof(text) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::string(text, strnlen(text, size));
}

std::vector<std::string> ReadCreatedKeys(HKEY key) {
    std::vector<std::string> keys;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key, kCreatedKeysValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size == 0 || size > 65536) {
        return keys;
    }
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key, kCreatedKeysValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS) {
        return keys;
    }
    bytes.resize(size);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find('\0', pos);
        const std::string item = bytes.substr(pos, end == std::string::npos ? end : end - pos);
        if (item.empty()) {
            break;
        }
        keys.push_back(item);
        pos = end == std::string::npos ? bytes.size() : end + 1;
    }
    return keys;
}

bool SameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Deletes a key only when nothing is left in it: no values, no subkeys.
void DeleteIfEmpty(HKEY root, const std::string& path) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys,
                                            nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                                            nullptr);
    key.reset();
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) {
        RegDeleteKeyA(root, path.c_str());
    }
}

// Removes the created keys, deepest first.
void DeleteCreated(HKEY root, const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        DeleteIfEmpty(root, *it);
    }
}

// Creates the host key under one root with the manifest as its default
// value. On failure nothing it created is left behind.
LSTATUS RegisterUnder(HKEY root, const char* folder, const std::string& manifest) {
    std::vector<std::string> created;
    std::string path;
    std::string rest = HostKeyPath(folder);
    UniqueHkey key;
    LSTATUS status = ERROR_SUCCESS;
    // One level at a time, to learn which levels did not exist.
    while (!rest.empty()) {
        const std::size_t cut = rest.find('\\');
        const std::string part = rest.substr(0, cut);
        rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
        path = path.empty() ? part : path + "\\" + part;
        DWORD disposition = 0;
        key.reset();
        status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), &disposition);
        if (status != ERROR_SUCCESS) {
            DeleteCreated(root, created);
            return status;
        }
        if (disposition == REG_CREATED_NEW_KEY) {
            created.push_back(path);
        }
    }
    const bool hostKeyIsNew = !created.empty() && created.back() == path;
    // What an earlier registration of ours created stays on record.
    std::vector<std::string> record;
    if (!hostKeyIsNew) {
        const auto previous = ReadDefault(key.get());
        if (previous && SameText(*previous, manifest)) {
            record = ReadCreatedKeys(key.get());
        }
    }
    for (const std::string& made : created) {
        if (made != path) {
            record.push_back(made);
        }
    }
    status = RegSetValueExA(key.get(), nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(manifest.c_str()),
                            static_cast<DWORD>(manifest.size() + 1));
    if (status == ERROR_SUCCESS) {
        if (record.empty()) {
            RegDeleteValueA(key.get(), kCreatedKeysValue);
        } else {
            std::string multi;
            for (const std::string& item : record) {
                multi.append(item).push_back('\0');
            }
            multi.push_back('\0');
            status = RegSetValueExA(key.get(), kCreatedKeysValue, 0, REG_MULTI_SZ,
                                    reinterpret_cast<const BYTE*>(multi.data()),
                                    static_cast<DWORD>(multi.size()));
        }
    }
    if (status != ERROR_SUCCESS) {
        key.reset();
        DeleteCreated(root, created);
    }
    return status;
}

void UnregisterUnder(HKEY root, const char* folder, const std::string& manifest) {
    const std::string path = HostKeyPath(folder);
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return;
    }
    const auto named = ReadDefault(key.get());
    if (!named || !SameText(*named, manifest)) {
        return;  // another program's registration
    }
    const std::vector<std::string> created = ReadCreatedKeys(key.get());
    key.reset();
    if (RegDeleteKeyA(root, path.c_str()) != ERROR_SUCCESS) {
        return;
    }
    DeleteCreated(root, created);
}

}  // namespace

HRESULT RegisterBridge() {
    const std::string folder = OwnFolder();
    if (folder.empty()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    // A registration that points a browser at nothing helps nobody.
    if (!IsFile(folder + std::string(contract::kBridgeFileName))) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    for (const BrowserHost& browser : kBrowsers) {
        if (!IsFile(folder + std::string(browser.manifest))) {
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        }
    }
    for (const BrowserHost& browser : kBrowsers) {
        const std::string manifest = folder + std::string(browser.manifest);
        // Per machine when this user may write there, else per user.
        if (RegisterUnder(HKEY_LOCAL_MACHINE, browser.folder, manifest) == ERROR_SUCCESS) {
            continue;
        }
        const LSTATUS status = RegisterUnder(HKEY_CURRENT_USER, browser.folder, manifest);
        if (status != ERROR_SUCCESS) {
            UnregisterBridge();
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

HRESULT UnregisterBridge() {
    const std::string folder = OwnFolder();
    if (folder.empty()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const BrowserHost& browser : kBrowsers) {
            UnregisterUnder(root, browser.folder, folder + std::string(browser.manifest));
        }
    }
    return S_OK;
}

}  // namespace vgwl::olvrex
