// The blocking component's exports. It holds no state between calls, so it
// can be loaded into any process: the browser bridge, vgwlblock, the front end.

#include "olvrex.h"

#include "ComponentState.h"
#include "Registration.h"

#include "toolkit/Url.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace {

using namespace vgwl::olvrex;

std::int32_t HandlePopup(const char* address, OlvrexPopupReport& report) {
    const auto host = RuleHost(address, false);
    if (!host) {
        return OLVREX_INVALID_ADDRESS;
    }
    const BlockingSwitch blocking = ReadBlockingSwitch();
    if (blocking.state == Switch::Missing) {
        report.systemError = blocking.error;
        return OLVREX_SETTINGS_MISSING;
    }
    report.popupCount = CurrentPopupCount();
    if (blocking.state == Switch::Off) {
        return OLVREX_BLOCKING_OFF;
    }

    DWORD tableError = 0;
    const auto entries = ReadWhiteListEntries(tableError);
    if (!entries) {
        report.systemError = tableError;
        return OLVREX_TABLE_MISSING;
    }
    for (const std::string& entry : *entries) {
        const auto entryHost = RuleHost(entry, true);
        if (entryHost && vgwl::HostMatchesRule(*entryHost, *host)) {
            const std::size_t length = std::min(entry.size(), sizeof(report.matchedEntry) - 1);
            std::memcpy(report.matchedEntry, entry.data(), length);
            report.matchedEntry[length] = '\0';
            return OLVREX_WHITE_LISTED;
        }
    }

    // Blocked. It counts even when the front end cannot be told.
    const CountResult counted = CountPopups(1);
    if (counted.countAfter) {
        report.popupCount = *counted.countAfter;
    } else {
        report.systemError = counted.error;
    }
    const UINT timeout =
        report.timeoutMilliseconds != 0 ? report.timeoutMilliseconds : OLVREX_DEFAULT_TIMEOUT_MS;
    const auto size = static_cast<std::uint32_t>(
        std::min<std::size_t>(std::strlen(address) + 1, std::numeric_limits<DWORD>::max()));
    // The caller waits for the front end's answer, which comes only after its
    // sound and its blink; SMTO_ABORTIFHUNG would give up on it while it blinks.
    const Notice notice = NotifyFrontEnd(address, size, SMTO_NORMAL, timeout);
    report.answerMilliseconds = notice.answerMilliseconds;
    switch (notice.delivery) {
        case Delivery::Answered:
            return counted.countAfter ? OLVREX_BLOCKED : OLVREX_COUNT_FAILED;
        case Delivery::Missing:
            return OLVREX_FRONT_END_MISSING;
        case Delivery::TimedOut:
            report.systemError = notice.error;
            return OLVREX_FRONT_END_TIMEOUT;
        case Delivery::Failed:
            report.systemError = notice.error;
            return OLVREX_NOTIFY_FAILED;
    }
    return OLVREX_INTERNAL_ERROR;
}

}  // namespace

extern "C" long __stdcall DllRegisterServer(void) {
    try {
        return RegisterBridge();
    } catch (...) {
        return E_FAIL;
    }
}

extern "C" long __stdcall DllUnregisterServer(void) {
    try {
        return UnregisterBridge();
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

extern "C" std::int32_t __stdcall OlvrexReadBlocking(std::int32_t* blocking) {
    if (!blocking) {
        return OLVREX_INVALID_ARGUMENT;
    }
    const BlockingSwitch read = ReadBlockingSwitch();
    *blocking = read.state == Switch::On ? 1 : 0;
    return read.state == Switch::Missing ? OLVREX_SETTINGS_MISSING : OLVREX_OK;
}

extern "C" std::int32_t __stdcall OlvrexReadWhiteListHosts(char* buffer, std::uint32_t bufferSize,
                                                           std::uint32_t* needed) {
    if (!needed || (!buffer && bufferSize != 0)) {
        return OLVREX_INVALID_ARGUMENT;
    }
    try {
        DWORD error = 0;
        const auto entries = ReadWhiteListEntries(error);
        if (!entries) {
            *needed = 0;
            return OLVREX_TABLE_MISSING;
        }
        std::string list;
        for (const std::string& host : WhiteListHosts(*entries)) {
            list.append(host).push_back('\0');
        }
        list.push_back('\0');
        *needed = static_cast<std::uint32_t>(list.size());
        if (list.size() > bufferSize) {
            return OLVREX_BUFFER_TOO_SMALL;
        }
        std::memcpy(buffer, list.data(), list.size());
        return OLVREX_OK;
    } catch (...) {
        return OLVREX_INTERNAL_ERROR;
    }
}

extern "C" std::int32_t __stdcall OlvrexCountPopups(std::uint32_t popups,
                                                    std::uint32_t* countAfter) {
    if (!countAfter) {
        return OLVREX_INVALID_ARGUMENT;
    }
    try {
        const CountResult counted = CountPopups(popups);
        if (!counted.countAfter) {
            return counted.settingsMissing ? OLVREX_SETTINGS_MISSING : OLVREX_COUNT_FAILED;
        }
        *countAfter = *counted.countAfter;
        return OLVREX_OK;
    } catch (...) {
        return OLVREX_INTERNAL_ERROR;
    }
}

extern "C" std::int32_t __stdcall OlvrexNotifyFrontEnd(const void* data, std::uint32_t dataSize,
                                                       std::uint32_t timeoutMilliseconds) {
    if (!data && dataSize != 0) {
        return OLVREX_INVALID_ARGUMENT;
    }
    // A hung front end is given up on at once; a slow one is waited for no
    // longer than asked.
    const Notice notice =
        NotifyFrontEnd(data, dataSize, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMilliseconds);
    switch (notice.delivery) {
        case Delivery::Answered:
            return OLVREX_OK;
        case Delivery::Missing:
            return OLVREX_FRONT_END_MISSING;
        case Delivery::TimedOut:
            return OLVREX_FRONT_END_TIMEOUT;
        case Delivery::Failed:
            return OLVREX_NOTIFY_FAILED;
    }
    return OLVREX_INTERNAL_ERROR;
}
