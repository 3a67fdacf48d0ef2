#include "toolkit/Registry.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace vgwl {

namespace {

// Rights that only choose the 32- or 64-bit registry view; KeyExists must look
// in the same view as OpenKey.
constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// The value stays unexpanded: its readers want the text as stored.
bool IsTextType(DWORD type) noexcept { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A path or name with an embedded NUL would reach the API cut short and so
// name some other key or value.
bool HasNul(std::string_view text) noexcept { return text.find('\0') != std::string_view::npos; }

std::string_view WithoutLeadingBackslash(std::string_view path) noexcept {
    if (!path.empty() && path.front() == '\\') {
        path.remove_prefix(1);
    }
    return path;
}

[[noreturn]] void Fail(const char* what, std::string_view name) {
    std::string message(what);
    message += " '";
    message += name;
    message += '\'';
    throw RegistryError(message);
}

[[noreturn]] void FailGet(std::string_view name) { Fail("Failed to get data for", name); }
[[noreturn]] void FailSet(std::string_view name) { Fail("Failed to set data for", name); }
[[noreturn]] void FailType(std::string_view name) { Fail("Invalid data type for", name); }
[[noreturn]] void FailNoKey(std::string_view name) { Fail("No registry key is open for", name); }

// The value name as the API needs it: NUL-terminated and whole.
std::string ValueName(std::string_view name) {
    if (HasNul(name)) {
        Fail("Invalid value name", name.substr(0, name.find('\0')));
    }
    return std::string(name);
}

}  // namespace

TRegistry::TRegistry(REGSAM access) noexcept : access_(access) {}

TRegistry::TRegistry(REGSAM access, RegistryOpenHook openHook) noexcept
    : access_(access), openHook_(std::move(openHook)) {}

void TRegistry::SetRootKey(HKEY root) noexcept {
    CloseKey();
    root_ = root;
}

void TRegistry::SetOpenHook(RegistryOpenHook openHook) noexcept { openHook_ = std::move(openHook); }

bool TRegistry::OpenKey(std::string_view path, bool canCreate) {
    CloseKey();
    path = WithoutLeadingBackslash(path);
    if (path.empty() || HasNul(path)) {
        return false;
    }
    if (openHook_ && !openHook_(root_, path, canCreate)) {
        return false;
    }
    const std::string subKey(path);
    HKEY opened = nullptr;
    LSTATUS status;
    if (canCreate) {
        status = RegCreateKeyExA(root_, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access_, nullptr, &opened, nullptr);
    } else {
        status = RegOpenKeyExA(root_, subKey.c_str(), 0, access_, &opened);
    }
    if (status != ERROR_SUCCESS) {
        return false;
    }
    key_.reset(opened);
    return true;
}

void TRegistry::CloseKey() noexcept { key_.reset(); }

bool TRegistry::KeyExists(std::string_view path) const {
    path = WithoutLeadingBackslash(path);
    if (path.empty() || HasNul(path)) {
        return false;
    }
    const std::string subKey(path);
    UniqueHkey probe;
    const LSTATUS status = RegOpenKeyExA(root_, subKey.c_str(), 0,
                                         KEY_QUERY_VALUE | (access_ & kViewFlags), probe.put());
    return status == ERROR_SUCCESS || status == ERROR_ACCESS_DENIED;
}

bool TRegistry::ValueExists(std::string_view name) const {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    const LSTATUS status =
        RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        return true;
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        return false;
    }
    // Any other answer (access denied above all) says nothing about the
    // value; reporting "missing" would make callers overwrite it.
    FailGet(name);
}

bool TRegistry::ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_MORE_DATA) {
        // Larger than a DWORD: whatever it is, it is not an integer.
        FailType(name);
    }
    if (status != ERROR_SUCCESS) {
        FailGet(name);
    }
    if (type != REG_DWORD || size != sizeof(value)) {
        FailType(name);
    }
    // Stored unsigned, meant signed: two's complement in C++20.
    return static_cast<std::int32_t>(value);
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    const DWORD data = static_cast<DWORD>(value);
    if (RegSetValueExA(key_.get(), valueName.c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&data), sizeof(data)) != ERROR_SUCCESS) {
        FailSet(name);
    }
}

std::string TRegistry::ReadString(std::string_view name) const {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        FailGet(name);
    }
    if (!IsTextType(type)) {
        FailType(name);
    }
    // The value may grow between asking its size and reading it; a few
    // rounds settle that, and an endless race is a read failure.
    std::vector<char> buffer;
    for (int round = 0; round < 8; ++round) {
        buffer.resize(size == 0 ? 1 : size);
        DWORD got = static_cast<DWORD>(buffer.size());
        const LSTATUS status = RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type,
                                                reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (status != ERROR_SUCCESS) {
            FailGet(name);
        }
        if (!IsTextType(type)) {
            FailType(name);
        }
        // Neither a terminating NUL nor an even size is guaranteed: take the
        // bytes the call says it wrote, up to the first NUL among them.
        const std::string_view data(buffer.data(), std::min<std::size_t>(got, buffer.size()));
        return std::string(data.substr(0, data.find('\0')));
    }
    FailGet(name);
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    if (HasNul(value) || value.size() >= std::numeric_limits<DWORD>::max()) {
        FailSet(name);
    }
    const std::string data(value);  // brings the terminating NUL along
    if (RegSetValueExA(key_.get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS) {
        FailSet(name);
    }
}

bool TRegistry::DeleteValue(std::string_view name) {
    if (!key_) {
        FailNoKey(name);
    }
    const std::string valueName = ValueName(name);
    return RegDeleteValueA(key_.get(), valueName.c_str()) == ERROR_SUCCESS;
}

}  // namespace vgwl
