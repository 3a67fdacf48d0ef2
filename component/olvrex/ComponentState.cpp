#include "ComponentState.h"

#include "component/Contract.h"
#include "toolkit/Handles.h"
#include "toolkit/Url.h"
#include "whitelist/WhiteListTable.h"

#include <algorithm>
#include <limits>
#include <span>
#include <unordered_set>

namespace vgwl::olvrex {
namespace {

// EPWC is shown as a signed 32-bit number: it stops rather than turn negative.
constexpr DWORD kMaxPopupCount = static_cast<DWORD>(std::numeric_limits<std::int32_t>::max());
// Marks the copy-data record as ours; the front end does not interpret it.
constexpr ULONG_PTR kCopyDataTag = 0x4F4C5652;  // "OLVR"
// Longest wait for another process's count: one read and one write.
constexpr DWORD kCountLockMs = 5000;

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

LSTATUS OpenSettings(REGSAM access, UniqueHkey& key) {
    const std::string path = Str(contract::kSettingsKey);
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.put());
}

std::optional<std::u32string> Widen(std::string_view text, bool utf8) {
    if (utf8) {
        return DecodeUtf8(text);
    }
    if (text.empty()) {
        return std::u32string{};
    }
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    std::u32string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char32_t c = static_cast<char16_t>(wide[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[i + 1]) - 0xDC00));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// What a browser can have as a host: letters, digits, '-', '_' and dots, or
// an IPv6 literal. Anything else can never match a page and would only trouble
// the patterns the extension builds from the list.
bool IsPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    if (host.front() == '[') {
        return host.size() > 2 && host.back() == ']' &&
               std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
               });
    }
    if (host.front() == '.' || host.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    });
}

// Holds the count mutex; an abandoned mutex counts as acquired, since the
// value it guards is written in one call and cannot be half done.
class CountLock {
public:
    CountLock() {
        const std::string name = Str(contract::kPopupCountMutex);
        mutex_.reset(CreateMutexA(nullptr, FALSE, name.c_str()));
        if (!mutex_) {
            error_ = GetLastError();
            return;
        }
        const DWORD wait = WaitForSingleObject(mutex_.get(), kCountLockMs);
        held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        if (!held_) {
            error_ = wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
        }
    }
    ~CountLock() {
        if (held_) {
            ReleaseMutex(mutex_.get());
        }
    }
    CountLock(const CountLock&) = delete;
    CountLock& operator=(const CountLock&) = delete;
    [[nodiscard]] bool Held() const noexcept { return held_; }
    [[nodiscard]] DWORD Error() const noexcept { return error_; }

private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
    DWORD error_ = 0;
};

}  // namespace

BlockingSwitch ReadBlockingSwitch() {
    BlockingSwitch result;
    UniqueHkey key;
    const LSTATUS status = OpenSettings(KEY_QUERY_VALUE, key);
    if (status != ERROR_SUCCESS) {
        result.error = static_cast<DWORD>(status);
        return result;
    }
    const DwordValue value = QueryDword(key.get(), Str(contract::kValueBlockingOn));
    if (value.present && !value.isDword) {
        return result;
    }
    // A missing switch means on, as the front end writes it when it finds none.
    result.state = (value.present && value.value == 0) ? Switch::Off : Switch::On;
    return result;
}

std::optional<std::vector<std::string>> ReadWhiteListEntries(DWORD& error) {
    const std::string name = Str(contract::kWhiteListTableName);
    UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
    if (!mapping) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            // No white list saved yet, or no front end running: nothing is
            // white-listed.
            error = 0;
            return std::vector<std::string>{};
        }
        return std::nullopt;
    }
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        error = GetLastError();
        return std::nullopt;
    }
    // The count in the table is not trusted to fit: read only what is mapped.
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view.get(), &info, sizeof(info)) == 0) {
        error = GetLastError();
        return std::nullopt;
    }
    const auto* bytes = static_cast<const unsigned char*>(view.get());
    const auto* regionBase = static_cast<const unsigned char*>(info.BaseAddress);
    const std::size_t size = info.RegionSize - static_cast<std::size_t>(bytes - regionBase);
    return ReadWhiteListTable(std::span<const unsigned char>(bytes, size));
}

std::optional<std::string> RuleHost(std::string_view text, bool entry, bool utf8) {
    const auto points = Widen(text, utf8);
    if (!points) {
        return std::nullopt;
    }
    return AsciiHostOf(*points, entry);
}

std::vector<std::string> WhiteListHosts(const std::vector<std::string>& entries) {
    std::vector<std::string> hosts;
    std::unordered_set<std::string> seen;
    for (const std::string& entry : entries) {
        auto host = RuleHost(entry, true);
        if (host && IsPlainHost(*host) && seen.insert(*host).second) {
            hosts.push_back(std::move(*host));
        }
    }
    return hosts;
}

DWORD CurrentPopupCount() {
    UniqueHkey key;
    if (OpenSettings(KEY_QUERY_VALUE, key) != ERROR_SUCCESS) {
        return 0;
    }
    return QueryDword(key.get(), Str(contract::kValuePopupCount)).value;
}

CountResult CountPopups(std::uint32_t popups) {
    CountResult result;
    UniqueHkey key;
    const LSTATUS opened = OpenSettings(KEY_QUERY_VALUE | KEY_SET_VALUE, key);
    if (opened != ERROR_SUCCESS) {
        result.settingsMissing = opened == ERROR_FILE_NOT_FOUND;
        result.error = static_cast<DWORD>(opened);
        return result;
    }
    const CountLock lock;
    if (!lock.Held()) {
        result.error = lock.Error();
        return result;
    }
    const std::string name = Str(contract::kValuePopupCount);
    // Absent or not a DWORD counts as 0.
    const DWORD stored = QueryDword(key.get(), name).value;
    const DWORD next =
        stored >= kMaxPopupCount || popups >= kMaxPopupCount - stored ? kMaxPopupCount
                                                                       : stored + popups;
    const LSTATUS written = RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&next), sizeof(next));
    if (written != ERROR_SUCCESS) {
        result.error = static_cast<DWORD>(written);
        return result;
    }
    result.countAfter = next;
    return result;
}

namespace {

// The window functions, from the system's user32.dll, loaded at the first
// notification: a process that only asks for the state (the bridge before its
// first stopped popup) never pays for the window system.
struct WindowFunctions {
    decltype(&FindWindowA) findWindow = nullptr;
    decltype(&SendMessageTimeoutA) sendMessageTimeout = nullptr;
    decltype(&IsWindow) isWindow = nullptr;
};

const WindowFunctions& Windows() {
    static const WindowFunctions functions = [] {
        WindowFunctions loaded;
        // Stays loaded for the life of the process, as the functions are kept.
        const HMODULE user32 = LoadLibraryExA("user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (user32) {
            loaded.findWindow = reinterpret_cast<decltype(&FindWindowA)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "FindWindowA")));
            loaded.sendMessageTimeout = reinterpret_cast<decltype(&SendMessageTimeoutA)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "SendMessageTimeoutA")));
            loaded.isWindow = reinterpret_cast<decltype(&IsWindow)>(
                reinterpret_cast<void*>(GetProcAddress(user32, "IsWindow")));
        }
        if (!loaded.findWindow || !loaded.sendMessageTimeout || !loaded.isWindow) {
            return WindowFunctions{};
        }
        return loaded;
    }();
    return functions;
}

}  // namespace

Notice NotifyFrontEnd(const void* data, std::uint32_t size, UINT flags, UINT timeoutMs) {
    Notice notice;
    const WindowFunctions& windows = Windows();
    if (!windows.findWindow) {
        notice.delivery = Delivery::Failed;
        notice.error = ERROR_MOD_NOT_FOUND;
        return notice;
    }
    const std::string windowClass = Str(contract::kMainWindowClass);
    const std::string caption = Str(contract::kMainWindowCaption);
    const HWND frontEnd = windows.findWindow(windowClass.c_str(), caption.c_str());
    if (!frontEnd) {
        return notice;
    }
    COPYDATASTRUCT record{};
    record.dwData = kCopyDataTag;
    record.cbData = size;
    record.lpData = const_cast<void*>(data);  // sent as a copy; never written

    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR answer = 0;
    const LRESULT sent = windows.sendMessageTimeout(frontEnd, WM_COPYDATA, 0,
                                             reinterpret_cast<LPARAM>(&record), flags, timeoutMs,
                                             &answer);
    const DWORD sendError = sent ? ERROR_SUCCESS : GetLastError();
    QueryPerformanceCounter(&end);
    const long long ticks = end.QuadPart - start.QuadPart;
    const long long ms =
        ticks / frequency.QuadPart * 1000 + ticks % frequency.QuadPart * 1000 / frequency.QuadPart;
    notice.answerMilliseconds = static_cast<std::uint32_t>(
        std::clamp<long long>(ms, 0, std::numeric_limits<std::uint32_t>::max()));
    if (sent) {
        notice.delivery = Delivery::Answered;
        return notice;
    }
    notice.error = sendError;
    if (sendError == ERROR_TIMEOUT) {
        notice.delivery = Delivery::TimedOut;
    } else {
        notice.delivery = windows.isWindow(frontEnd) ? Delivery::Failed : Delivery::Missing;
    }
    return notice;
}

}  // namespace vgwl::olvrex
