// Settings store and start with Windows: the settings key read at start,
// the three switches and the sound choice written at each change, and the
// logon entry.
#include "settings/SettingsStore.h"

#include "toolkit/Exceptions.h"

namespace vgwl {

namespace {

// One step of the load: the stored state, or the fallback, which is shown
// even when writing it back fails. The value is read once so that the check
// box and the menu item cannot disagree.
void LoadSwitch(TRegistry& reg, SettingSwitch which, std::optional<bool>& shown) {
    const SwitchRule rule = RuleOf(which);
    if (reg.ValueExists(rule.valueName)) {
        shown = reg.ReadBool(rule.valueName);
        return;
    }
    shown = rule.whenMissing;
    reg.WriteBool(rule.valueName, rule.whenMissing);
}

void LoadSoundIndex(TRegistry& reg, std::optional<std::int32_t>& shown) {
    const std::string_view name = contract::kValueSoundIndex;
    if (reg.ValueExists(name)) {
        shown = reg.ReadInteger(name);
        return;
    }
    shown = kDefaultSoundIndex;
    reg.WriteInteger(name, kDefaultSoundIndex);
}

}  // namespace

std::optional<bool> StoredSettings::Switch(SettingSwitch which) const noexcept {
    switch (which) {
        case SettingSwitch::Blocking:
            return blocking;
        case SettingSwitch::Sound:
            return sound;
        case SettingSwitch::Blinking:
            break;
    }
    return blinking;
}

TRegistry SettingsStore::NewRegistry(HKEY root, REGSAM access) const {
    TRegistry reg(access, openHook_);
    reg.SetRootKey(root);
    return reg;
}

TRegistry SettingsStore::OpenSettingsKey() const {
    TRegistry reg = NewRegistry(HKEY_LOCAL_MACHINE);
    (void)reg.OpenKey(SettingsKey, true);
    return reg;
}

StoredSettings SettingsStore::Load() const {
    StoredSettings stored;
    try {
        TRegistry reg = NewRegistry(HKEY_LOCAL_MACHINE);
        if (!reg.KeyExists(SettingsKey)) {
            stored.key = StoredSettings::Key::Missing;
            return stored;
        }
        if (!reg.OpenKey(SettingsKey, true)) {
            stored.key = StoredSettings::Key::Unavailable;
            return stored;
        }
        LoadSwitch(reg, SettingSwitch::Blocking, stored.blocking);
        LoadSwitch(reg, SettingSwitch::Sound, stored.sound);
        LoadSoundIndex(reg, stored.soundIndex);
        LoadSwitch(reg, SettingSwitch::Blinking, stored.blinking);
    } catch (const RegistryError&) {
        // A missing or mistyped value ends the load here; nothing after it
        // is read or repaired.
    }
    return stored;
}

bool SettingsStore::StartWithWindowsRegistered() const {
    try {
        TRegistry reg = NewRegistry(HKEY_CURRENT_USER);
        return reg.OpenKey(kRunKey, false) && reg.ValueExists(kRunValueName);
    } catch (const RegistryError&) {
        return false;  // unreadable counts as not registered
    }
}

StoreResult SettingsStore::WriteDefaults() const {
    try {
        TRegistry reg = OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            return StoreResult::KeyUnavailable;
        }
        for (const DefaultValue& value : kDefaultSettings) {
            reg.WriteInteger(value.name, value.value);
        }
        return StoreResult::Stored;
    } catch (const RegistryError&) {
        return StoreResult::Failed;  // the key keeps what was written
    }
}

StoreResult SettingsStore::StoreSwitch(SettingSwitch which, bool on) const {
    try {
        TRegistry reg = OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            return StoreResult::KeyUnavailable;
        }
        reg.WriteBool(RuleOf(which).valueName, on);
        return StoreResult::Stored;
    } catch (const RegistryError&) {
        return StoreResult::Failed;
    }
}

StoreResult SettingsStore::StoreSoundIndex(std::int32_t index) const {
    try {
        TRegistry reg = NewRegistry(HKEY_LOCAL_MACHINE);
        if (!reg.KeyExists(SettingsKey) || !reg.OpenKey(SettingsKey, false)) {
            return StoreResult::KeyUnavailable;
        }
        reg.WriteInteger(contract::kValueSoundIndex, index);
        return StoreResult::Stored;
    } catch (const RegistryError&) {
        return StoreResult::Failed;
    }
}

std::int32_t SettingsStore::ReadPopupCount() const {
    try {
        TRegistry reg = OpenSettingsKey();
        if (!reg.HasCurrentKey() || !reg.ValueExists(contract::kValueFirstRun) ||
            reg.ReadBool(contract::kValueFirstRun) ||
            !reg.ValueExists(contract::kValuePopupCount)) {
            return 0;
        }
        return reg.ReadInteger(contract::kValuePopupCount);
    } catch (const RegistryError&) {
        return 0;  // a damaged value shows as no popups, without a message
    }
}

StoreResult SettingsStore::SetStartWithWindows(bool on, std::string_view programPath) const {
    try {
        TRegistry reg = NewRegistry(HKEY_CURRENT_USER, KEY_WRITE);
        if (!reg.OpenKey(kRunKey, false)) {
            return StoreResult::KeyUnavailable;
        }
        if (on) {
            reg.WriteString(kRunValueName, RunEntryData(programPath));
        } else {
            // Already gone is as good as deleted.
            (void)reg.DeleteValue(kRunValueName);
        }
        return StoreResult::Stored;
    } catch (const RegistryError&) {
        return StoreResult::Failed;  // the entry stays as it was
    }
}

}  // namespace vgwl
