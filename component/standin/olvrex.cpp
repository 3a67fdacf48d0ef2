// Stand-in blocking component. It does what the front end relies on: it
// registers itself, honours the blocking switch and the shared white list,
// counts each blocked popup in EPWC and tells the front end's main window
// with one WM_COPYDATA, waiting for the answer. It holds no state between
// calls, so it can be loaded into any process.

#include "olvrex.h"

#include "component/AddressMatch.h"
#include "component/Contract.h"
#include "toolkit/Handles.h"
#include "toolkit/ModuleFile.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>

namespace {

using vgwl::UniqueHkey;
namespace contract = vgwl::contract;

// The component's own registration record, beside the front end's settings.
constexpr char kComponentKey[] = "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Component";
// Marks the copy-data record as ours; the front end does not interpret it.
constexpr ULONG_PTR kCopyDataTag = 0x4F4C5652;  // "OLVR"
// EPWC is shown as a signed 32-bit number: it stops rather than turn negative.
constexpr DWORD kMaxPopupCount = static_cast<DWORD>(std::numeric_limits<std::int32_t>::max());

std::string Str(std::string_view view) { return std::string(view); }

struct DwordValue {
    bool present = false;
    bool isDword = false;
    DWORD value = 0;
};

DwordValue QueryDword(HKEY key, const std::string& name) noexcept {
    DwordValue result;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LSTATUS status =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return result;
    }
    result.present = true;
    result.isDword = status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(data);
    result.value = result.isDword ? data : 0;
    return result;
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
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kComponentKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    UniqueHkey key(raw);
    const DwordValue previous = QueryDword(key.get(), "RegistrationCount");
    const DWORD count = previous.value == MAXDWORD ? MAXDWORD : previous.value + 1;
    if (SetDword(key.get(), "Registered", 1) != ERROR_SUCCESS ||
        SetString(key.get(), "RegisteredAt", UtcTimestamp()) != ERROR_SUCCESS ||
        SetString(key.get(), "Path", OwnPath()) != ERROR_SUCCESS ||
        SetDword(key.get(), "RegistrationCount", count) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    return S_OK;
}

std::uint32_t ElapsedMilliseconds(LARGE_INTEGER start, LARGE_INTEGER end,
                                  LARGE_INTEGER frequency) noexcept {
    const long long ticks = end.QuadPart - start.QuadPart;
    const long long ms =
        ticks / frequency.QuadPart * 1000 + ticks % frequency.QuadPart * 1000 / frequency.QuadPart;
    return static_cast<std::uint32_t>(
        std::clamp<long long>(ms, 0, std::numeric_limits<std::uint32_t>::max()));
}

// Reads the table through a read-only view, never past the view's mapped size:
// the count in the table is not trusted to fit. A missing table is an empty
// white list; a table that exists but cannot be read gives nothing.
std::optional<std::vector<std::string>> ReadSharedWhiteList(OlvrexPopupReport& report) {
    const std::string name = Str(contract::kWhiteListTableName);
    vgwl::UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
    if (!mapping) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            // No white list saved yet, or no front end running: nothing is
            // white-listed, and popups are blocked as always.
            return std::vector<std::string>{};
        }
        report.systemError = error;
        return std::nullopt;
    }
    vgwl::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        report.systemError = GetLastError();
        return std::nullopt;
    }
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view.get(), &info, sizeof(info)) == 0) {
        report.systemError = GetLastError();
        return std::nullopt;
    }
    // The region starts at the view, which the system placed at its base.
    const auto* bytes = static_cast<const unsigned char*>(view.get());
    const auto* regionBase = static_cast<const unsigned char*>(info.BaseAddress);
    const std::size_t size = info.RegionSize - static_cast<std::size_t>(bytes - regionBase);
    return vgwl::ReadWhiteListTable(std::span<const unsigned char>(bytes, size));
}

// Counts one blocked popup in EPWC (absent or not a DWORD counts as 0).
// Returns the new count, or nothing when it cannot be written.
std::optional<DWORD> CountBlockedPopup(OlvrexPopupReport& report) {
    const std::string keyPath = Str(contract::kSettingsKey);
    const std::string valueName = Str(contract::kValuePopupCount);
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, &raw);
    if (status != ERROR_SUCCESS) {
        report.systemError = static_cast<std::uint32_t>(status);
        return std::nullopt;
    }
    UniqueHkey key(raw);
    const DwordValue stored = QueryDword(key.get(), valueName);
    const DWORD next = stored.value >= kMaxPopupCount ? kMaxPopupCount : stored.value + 1;
    status = SetDword(key.get(), valueName.c_str(), next);
    if (status != ERROR_SUCCESS) {
        report.systemError = static_cast<std::uint32_t>(status);
        return std::nullopt;
    }
    return next;
}

std::int32_t HandlePopup(const char* address, OlvrexPopupReport& report) {
    if (vgwl::ExtractHost(address).empty()) {
        return OLVREX_INVALID_ADDRESS;
    }

    const std::string keyPath = Str(contract::kSettingsKey);
    HKEY raw = nullptr;
    const LSTATUS status =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (status != ERROR_SUCCESS) {
        report.systemError = static_cast<std::uint32_t>(status);
        return OLVREX_SETTINGS_MISSING;
    }
    UniqueHkey settings(raw);
    const DwordValue blocking = QueryDword(settings.get(), Str(contract::kValueBlockingOn));
    if (blocking.present && !blocking.isDword) {
        return OLVREX_SETTINGS_MISSING;
    }
    report.popupCount = QueryDword(settings.get(), Str(contract::kValuePopupCount)).value;
    settings.reset();
    // A missing switch means on, as the front end writes it when it finds none.
    if (blocking.present && blocking.value == 0) {
        return OLVREX_BLOCKING_OFF;
    }

    const auto entries = ReadSharedWhiteList(report);
    if (!entries) {
        return OLVREX_TABLE_MISSING;
    }
    if (const auto match = vgwl::FindWhiteListMatch(*entries, address)) {
        const std::string& entry = (*entries)[*match];
        const std::size_t length = std::min(entry.size(), sizeof(report.matchedEntry) - 1);
        std::memcpy(report.matchedEntry, entry.data(), length);
        report.matchedEntry[length] = '\0';
        return OLVREX_WHITE_LISTED;
    }

    // Blocked. It counts even when the front end cannot be told.
    const std::optional<DWORD> counted = CountBlockedPopup(report);
    if (counted) {
        report.popupCount = *counted;
    }

    const std::string windowClass = Str(contract::kMainWindowClass);
    const std::string caption = Str(contract::kMainWindowCaption);
    const HWND frontEnd = FindWindowA(windowClass.c_str(), caption.c_str());
    if (!frontEnd) {
        return OLVREX_FRONT_END_MISSING;
    }

    COPYDATASTRUCT data{};
    data.dwData = kCopyDataTag;
    data.cbData = static_cast<DWORD>(
        std::min<std::size_t>(std::strlen(address) + 1, std::numeric_limits<DWORD>::max()));
    data.lpData = const_cast<char*>(address);  // sent as a copy; never written
    const UINT timeout =
        report.timeoutMilliseconds != 0 ? report.timeoutMilliseconds : OLVREX_DEFAULT_TIMEOUT_MS;

    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR answer = 0;
    // The front end answers only after its sound and its blink, so the wait is
    // long; SMTO_ABORTIFHUNG would give up on it while it blinks.
    const LRESULT sent = SendMessageTimeoutA(
        frontEnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, timeout, &answer);
    const DWORD sendError = sent ? ERROR_SUCCESS : GetLastError();
    QueryPerformanceCounter(&end);
    report.answerMilliseconds = ElapsedMilliseconds(start, end, frequency);
    if (!sent) {
        report.systemError = sendError;
        if (sendError == ERROR_TIMEOUT) {
            return OLVREX_FRONT_END_TIMEOUT;
        }
        return IsWindow(frontEnd) ? OLVREX_NOTIFY_FAILED : OLVREX_FRONT_END_MISSING;
    }
    return counted ? OLVREX_BLOCKED : OLVREX_COUNT_FAILED;
}

}  // namespace

extern "C" long __stdcall DllRegisterServer(void) {
    try {
        return Register();
    } catch (...) {
        return E_FAIL;
    }
}

extern "C" std::int32_t __stdcall OlvrexHandlePopup(const char* address,
                                                    OlvrexPopupReport* report) {
    if (!report || report->structSize < sizeof(OlvrexPopupReport)) {
        return OLVREX_INVALID_ARGUMENT;
    }
    const std::uint32_t timeout = report->timeoutMilliseconds;
    const std::uint32_t structSize = report->structSize;
    *report = OlvrexPopupReport{};
    report->structSize = structSize;
    report->timeoutMilliseconds = timeout;
    if (!address) {
        report->result = OLVREX_INVALID_ARGUMENT;
        return report->result;
    }
    try {
        report->result = HandlePopup(address, *report);
    } catch (...) {
        report->result = OLVREX_INTERNAL_ERROR;
    }
    return report->result;
}
