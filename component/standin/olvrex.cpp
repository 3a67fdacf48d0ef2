// A double of the blocking component for the front end's registration tests.
// Each call of its registration is recorded under the machine's key
// SOFTWARE\Corvantis\VelmoraLite\Version3\Component (Registered,
// RegisteredAt, Path and a RegistrationCount), so a test can tell how often
// the front end registered and which copy it loaded.

#include "toolkit/Handles.h"
#include "toolkit/ModuleFile.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kComponentKey[] = "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Component";

DWORD QueryDword(HKEY key, const char* name) noexcept {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return 0;
    }
    return data;
}

LSTATUS SetDword(HKEY key, const char* name, DWORD value) noexcept {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

LSTATUS SetString(HKEY key, const char* name, const std::string& text) noexcept {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

std::string UtcTimestamp() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string OwnPath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&OwnPath), &self)) {
        return {};
    }
    return vgwl::ModuleFilePath(self);
}

HRESULT Register() {
    vgwl::UniqueHkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kComponentKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    const DWORD previous = QueryDword(key.get(), "RegistrationCount");
    const DWORD count = previous == MAXDWORD ? MAXDWORD : previous + 1;
    if (SetDword(key.get(), "Registered", 1) != ERROR_SUCCESS ||
        SetString(key.get(), "RegisteredAt", UtcTimestamp()) != ERROR_SUCCESS ||
        SetString(key.get(), "Path", OwnPath()) != ERROR_SUCCESS ||
        SetDword(key.get(), "RegistrationCount", count) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace

extern "C" long __stdcall DllRegisterServer(void) {
    try {
        return Register();
    } catch (...) {
        return E_FAIL;
    }
}
