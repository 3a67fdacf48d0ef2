#pragma once
// What the settings store decides, kept apart from the registry calls: the
// three switches with the values behind them and what an existing key that
// lacks a value falls back to, the defaults of a first start and the order
// they are written in, and the data of the logon entry. Portable: no Windows
// header.

#include "component/Contract.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vgwl {

// All settings, under the local-machine root.
inline constexpr std::string_view SettingsKey = contract::kSettingsKey;

// The current user's programs started at logon; the leading backslash makes
// the path absolute from the root.
inline constexpr std::string_view kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValueName = "VelmoraGWLite";

inline constexpr std::string_view kApplyUserSettingsError =
    "An error has occurred while trying to apply user settings";
// The spelling is the one users have always seen; it stays.
inline constexpr std::string_view kApplyDefaultSettingsError =
    "An error has occurred while trying to apply defult settings";

enum class SettingSwitch { Blocking, Sound, Blinking };

struct SwitchRule {
    std::string_view valueName;
    // Shown and written when the key exists but lacks the value. Unlike a
    // first start, an existing key without the sound value means sound off.
    bool whenMissing;
};

[[nodiscard]] constexpr SwitchRule RuleOf(SettingSwitch which) noexcept {
    switch (which) {
        case SettingSwitch::Blocking:
            return {contract::kValueBlockingOn, true};
        case SettingSwitch::Sound:
            return {contract::kValueSoundOn, false};
        case SettingSwitch::Blinking:
            break;
    }
    return {contract::kValueBlinkOn, true};
}

inline constexpr std::int32_t kDefaultSoundIndex = 0;

struct DefaultValue {
    std::string_view name;
    std::int32_t value;
};

// Written, in this order, when the settings key is missing altogether: every
// switch on, the first sound.
inline constexpr std::array<DefaultValue, 4> kDefaultSettings{{
    {contract::kValueBlockingOn, 1},
    {contract::kValueSoundOn, 1},
    {contract::kValueSoundIndex, kDefaultSoundIndex},
    {contract::kValueBlinkOn, 1},
}};

// The data of the logon entry for the program file: the path in double
// quotation marks, so that a path with blanks is never split at logon into a
// shorter program name and arguments. A path that is quoted already is
// taken as it is.
[[nodiscard]] std::string RunEntryData(std::string_view programPath);

}  // namespace vgwl
