#pragma once
// The settings key and the logon entry in the registry: what is stored, what
// the window should show, and the writes of each change. Knows no window: it
// answers with the values and results, and the window shows them.

#include "settings/SettingsRules.h"
#include "toolkit/Registry.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

// How one write of the settings went.
enum class StoreResult {
    Stored,
    // The key could not be opened: the user is to be told.
    KeyUnavailable,
    // A registry exception ended the block: nothing is said.
    Failed,
};

// What the load read from an existing settings key, in its order. A value
// that is missing from the key is given as its fallback, which has been
// written back. A registry exception ends the load: the values after it stay
// empty, and the window keeps what the form description gave them.
struct StoredSettings {
    enum class Key { Missing, Unavailable, Read };
    Key key = Key::Read;
    std::optional<bool> blocking;
    std::optional<bool> sound;
    std::optional<std::int32_t> soundIndex;  // as stored, range not checked
    std::optional<bool> blinking;

    [[nodiscard]] std::optional<bool> Switch(SettingSwitch which) const noexcept;
};

class SettingsStore {
public:
    explicit SettingsStore(RegistryOpenHook openHook = {}) : openHook_(std::move(openHook)) {}

    // An accessor for one block of registry work, on the given root.
    // Reading and setting values is all the program does under its keys, and
    // all that a member of Users may do on the installed settings key.
    [[nodiscard]] TRegistry NewRegistry(HKEY root,
                                        REGSAM access = KEY_READ | KEY_SET_VALUE) const;
    // An accessor on the settings key, created if missing; it has no current
    // key when the key cannot be opened.
    [[nodiscard]] TRegistry OpenSettingsKey() const;

    // The settings key at start. With no key at all nothing is read or
    // written: the caller applies the first start's defaults.
    [[nodiscard]] StoredSettings Load() const;
    // Whether the current user's logon entry exists; false when it cannot be
    // read.
    [[nodiscard]] bool StartWithWindowsRegistered() const;

    // The four values of a first start, in their order.
    [[nodiscard]] StoreResult WriteDefaults() const;
    // One switch's new state.
    [[nodiscard]] StoreResult StoreSwitch(SettingSwitch which, bool on) const;
    // The sound choice; the key is only opened, never created here: without
    // it the settings were never set up, and the user is told so.
    [[nodiscard]] StoreResult StoreSoundIndex(std::int32_t index) const;
    // The count of eliminated popups that the component keeps: 0 while its
    // registration is pending (or its mark is missing), when the count is
    // missing, or on any registry exception; the settings key is created
    // when missing. Other exceptions pass on.
    [[nodiscard]] std::int32_t ReadPopupCount() const;
    // Writes or deletes the logon entry for the program file.
    [[nodiscard]] StoreResult SetStartWithWindows(bool on, std::string_view programPath) const;

private:
    RegistryOpenHook openHook_;
};

}  // namespace vgwl
