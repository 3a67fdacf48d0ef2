#pragma once
// What the component reads and writes in the shared state: the settings key,
// the white list table, EPWC and the front end's window. Every call opens what
// it needs and closes it again, so the library can sit in any process and
// never keeps the table from being made anew at a larger size.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl::olvrex {

// The settings as the component sees them.
enum class Switch { On, Off, Missing };
struct BlockingSwitch {
    Switch state = Switch::Missing;
    DWORD error = 0;  // why the key could not be opened
};
BlockingSwitch ReadBlockingSwitch();

// The table's entries; an empty list when there is no table, nothing when one
// exists but cannot be read (`error` then says why).
std::optional<std::vector<std::string>> ReadWhiteListEntries(DWORD& error);

// An address or entry in the ANSI code page (or UTF-8, when `utf8`) reduced to
// the host the matching rule compares: ASCII form, lower case.
std::optional<std::string> RuleHost(std::string_view text, bool entry, bool utf8 = false);

// Entries reduced to their hosts, in order, without duplicates, leaving out
// those whose host is not a plain host name or IP address.
std::vector<std::string> WhiteListHosts(const std::vector<std::string>& entries);

// Adds to EPWC under the shared mutex. Nothing when it could not be counted.
struct CountResult {
    std::optional<DWORD> countAfter;
    bool settingsMissing = false;
    DWORD error = 0;
};
CountResult CountPopups(std::uint32_t popups);
DWORD CurrentPopupCount();

// One WM_COPYDATA to the front end's main window.
enum class Delivery { Answered, Missing, TimedOut, Failed };
struct Notice {
    Delivery delivery = Delivery::Missing;
    DWORD error = 0;
    std::uint32_t answerMilliseconds = 0;
};
Notice NotifyFrontEnd(const void* data, std::uint32_t size, UINT flags, UINT timeoutMs);

}  // namespace vgwl::olvrex
