// vgwlblock: plays the blocking component's part for one popup, through the
// component library installed beside this program, and says what happened.
// This is how the front end's main job is exercised without a browser.
//
//   vgwlblock [--timeout <seconds>] <web address>
//
// Exit codes: 0 blocked and answered; 2 wrong arguments; 3 blocking is off;
// 4 white-listed; 10 front end not running; 11 white list table unreadable;
// 12 no settings; 13 no answer in time; 14 message not delivered; 15 counter not
// written; 20 component not loadable; 21 component lacks its export; 22
// internal error.

#include "component/Contract.h"
#include "component/olvrex/olvrex.h"
#include "toolkit/FilePaths.h"
#include "toolkit/Handles.h"
#include "toolkit/ModuleFile.h"
#include "toolkit/SystemLibrary.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int kExitBlocked = 0;
constexpr int kExitUsage = 2;
constexpr int kExitBlockingOff = 3;
constexpr int kExitWhiteListed = 4;
constexpr int kExitFrontEndMissing = 10;
constexpr int kExitTableUnreadable = 11;
constexpr int kExitSettingsMissing = 12;
constexpr int kExitTimeout = 13;
constexpr int kExitNotifyFailed = 14;
constexpr int kExitCountFailed = 15;
constexpr int kExitNoComponent = 20;
constexpr int kExitNoExport = 21;
constexpr int kExitInternal = 22;

constexpr char kUsage[] = "usage: vgwlblock [--timeout <seconds>] <web address>";

void Say(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Complain(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string OwnFolder() { return vgwl::ExtractFilePath(vgwl::ModuleFilePath(nullptr)); }

struct Arguments {
    std::string address;
    unsigned timeoutMs = 0;  // 0: the component's default
};

bool ParseSeconds(std::string_view text, unsigned& ms) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned seconds = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        seconds = seconds * 10 + static_cast<unsigned>(c - '0');
    }
    if (seconds == 0) {
        return false;
    }
    ms = seconds * 1000;
    return true;
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
    int i = 1;
    if (i < argc && std::string_view(argv[i]) == "--timeout") {
        if (i + 1 >= argc || !ParseSeconds(argv[i + 1], args.timeoutMs)) {
            return false;
        }
        i += 2;
    }
    if (argc - i != 1 || argv[i][0] == '\0') {
        return false;
    }
    args.address = argv[i];
    return true;
}

std::string Count(const OlvrexPopupReport& report) {
    return "popups eliminated: " + std::to_string(report.popupCount);
}

std::string ErrorSuffix(const OlvrexPopupReport& report) {
    return report.systemError ? " (error " + std::to_string(report.systemError) + ")" : "";
}

int Report(const std::string& address, const OlvrexPopupReport& report) {
    const std::string settingsKey =
        "HKEY_LOCAL_MACHINE\\" + std::string(vgwl::contract::kSettingsKey);
    switch (report.result) {
        case OLVREX_BLOCKED:
            Say("Blocked " + address + ": the front end answered after " +
                std::to_string(report.answerMilliseconds) + " ms; " + Count(report));
            return kExitBlocked;
        case OLVREX_BLOCKING_OFF:
            Say("Blocking is switched off: " + address + " was not blocked");
            return kExitBlockingOff;
        case OLVREX_WHITE_LISTED:
            Say(address + " is white-listed (entry " + report.matchedEntry + "): not blocked");
            return kExitWhiteListed;
        case OLVREX_FRONT_END_MISSING:
            Complain("The front end is not running (no window \"" +
                     std::string(vgwl::contract::kMainWindowCaption) + "\" of class " +
                     std::string(vgwl::contract::kMainWindowClass) + "): blocked " + address +
                     " without notifying it; " + Count(report));
            return kExitFrontEndMissing;
        case OLVREX_TABLE_MISSING:
            Complain("The white list table " + std::string(vgwl::contract::kWhiteListTableName) +
                     " exists but cannot be read" + ErrorSuffix(report) + "; " + address +
                     " was not blocked");
            return kExitTableUnreadable;
        case OLVREX_SETTINGS_MISSING:
            Complain("The settings key " + settingsKey + " is missing or its value " +
                     std::string(vgwl::contract::kValueBlockingOn) + " is not a number" +
                     ErrorSuffix(report) + ": start the front end once; " + address +
                     " was not blocked");
            return kExitSettingsMissing;
        case OLVREX_FRONT_END_TIMEOUT:
            Complain("Blocked " + address + ", but the front end did not answer within " +
                     std::to_string(report.timeoutMilliseconds != 0 ? report.timeoutMilliseconds
                                                                    : OLVREX_DEFAULT_TIMEOUT_MS) +
                     " ms; " + Count(report));
            return kExitTimeout;
        case OLVREX_NOTIFY_FAILED:
            Complain("Blocked " + address + ", but the front end could not be notified" +
                     ErrorSuffix(report) + "; " + Count(report));
            return kExitNotifyFailed;
        case OLVREX_COUNT_FAILED:
            Complain("Blocked " + address + ": the front end answered after " +
                     std::to_string(report.answerMilliseconds) + " ms, but " +
                     std::string(vgwl::contract::kValuePopupCount) + " could not be written" +
                     ErrorSuffix(report) + "; " + Count(report));
            return kExitCountFailed;
        case OLVREX_INVALID_ADDRESS:
            Complain("\"" + address + "\" is not a web address: it names no host");
            Complain(kUsage);
            return kExitUsage;
        default:
            Complain("The blocking component failed (result " + std::to_string(report.result) +
                     ")" + ErrorSuffix(report));
            return kExitInternal;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything can load a library by name (the component, the
    // system's libraries it uses).
    (void)vgwl::LimitLibrarySearch();
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        Complain(kUsage);
        return kExitUsage;
    }

    // From this program's own folder only: a library of the same name on the
    // search path or in the working directory must never stand in for it.
    const std::string folder = OwnFolder();
    if (folder.empty()) {
        Complain("The folder of this program cannot be found (error " +
                 std::to_string(GetLastError()) + ")");
        return kExitNoComponent;
    }
    const std::string componentPath = folder + std::string(vgwl::contract::kComponentFileName);
    vgwl::UniqueHmodule component = vgwl::LoadLibraryByPath(componentPath);
    if (!component) {
        Complain("The blocking component " + componentPath + " cannot be loaded (error " +
                 std::to_string(GetLastError()) + ")");
        return kExitNoComponent;
    }
    const auto handlePopup = reinterpret_cast<OlvrexHandlePopupFn>(
        reinterpret_cast<void*>(GetProcAddress(component.get(), OLVREX_HANDLE_POPUP_EXPORT)));
    if (!handlePopup) {
        Complain("The blocking component " + componentPath + " has no export " +
                 OLVREX_HANDLE_POPUP_EXPORT);
        return kExitNoExport;
    }

    OlvrexPopupReport report{};
    report.structSize = sizeof(report);
    report.timeoutMilliseconds = args.timeoutMs;
    handlePopup(args.address.c_str(), &report);
    return Report(args.address, report);
}
