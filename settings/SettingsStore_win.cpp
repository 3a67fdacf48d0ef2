// Settings store and start with Windows: the settings key read into the
// window at start, the three switches kept in step between their check boxes,
// their tray menu items and the registry, and the logon entry.
#include "settings/SettingsStore.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "ui/Settings.h"

namespace vgwl {

namespace {

// The two places of one switch on the window.
struct SwitchPlaces {
    TCheckBox& box;
    TMenuItem& item;
};

SwitchPlaces PlacesOf(TVMGWLPreferences& w, SettingSwitch which) {
    switch (which) {
        case SettingSwitch::Blocking:
            return {*w.RzCheckBox1, *w.EnablePopUpBlocker1};
        case SettingSwitch::Sound:
            return {*w.RzCheckBox4, *w.Playsoundnotificationwhenapopupblocked1};
        case SettingSwitch::Blinking:
            break;
    }
    return {*w.RzCheckBox3, *w.AnimatetrayIconWhenPopUpBlocked1};
}

void ShowError(TVMGWLPreferences& w, std::string_view text) {
    w.Application().MessageDialog(MessageDialogType::Error, text);
}

void ShowSwitch(const SwitchPlaces& places, bool on) {
    places.box.SetChecked(on);
    places.item.SetChecked(on);
}

// One step of the load: the stored state, or the fallback written back. The
// value is read once for both places so that they cannot disagree.
void LoadSwitch(TVMGWLPreferences& w, TRegistry& reg, SettingSwitch which) {
    const SwitchRule rule = RuleOf(which);
    const SwitchPlaces places = PlacesOf(w, which);
    if (reg.ValueExists(rule.valueName)) {
        ShowSwitch(places, reg.ReadBool(rule.valueName));
        return;
    }
    ShowSwitch(places, rule.whenMissing);
    reg.WriteBool(rule.valueName, rule.whenMissing);
}

void ShowSoundChoice(TVMGWLPreferences& w, const SoundChoice& choice) {
    w.SoundIndex = choice.index;
    w.RzButtonEdit1->SetText(choice.text);
}

void LoadSoundIndex(TVMGWLPreferences& w, TRegistry& reg) {
    const std::string_view name = contract::kValueSoundIndex;
    if (reg.ValueExists(name)) {
        ShowSoundChoice(w, SoundChoiceOf(reg.ReadInteger(name)));
        return;
    }
    ShowSoundChoice(w, SoundChoiceOf(kDefaultSoundIndex));
    reg.WriteInteger(name, kDefaultSoundIndex);
}

// Block A of the load: the settings key into the window.
void LoadStoredSettings(TVMGWLPreferences& w) {
    try {
        TRegistry reg = w.NewRegistry(HKEY_LOCAL_MACHINE);
        if (!reg.KeyExists(SettingsKey)) {
            w.ApplyDefaultSettings();
            return;
        }
        if (!reg.OpenKey(SettingsKey, true)) {
            ShowError(w, kApplyUserSettingsError);
            return;
        }
        LoadSwitch(w, reg, SettingSwitch::Blocking);
        LoadSwitch(w, reg, SettingSwitch::Sound);
        LoadSoundIndex(w, reg);
        LoadSwitch(w, reg, SettingSwitch::Blinking);
    } catch (const RegistryError&) {
        // A missing or mistyped value ends the load here; the controls after
        // it keep the state of the form description and nothing is repaired.
    }
}

// Block B of the load: the logon entry decides the start-with-Windows box,
// whatever happened to the settings.
void LoadStartWithWindows(TVMGWLPreferences& w) {
    bool registered = false;
    try {
        TRegistry reg = w.NewRegistry(HKEY_CURRENT_USER);
        if (reg.OpenKey(kRunKey, false)) {
            registered = reg.ValueExists(kRunValueName);
        }
    } catch (const RegistryError&) {
        // Unreadable counts as not registered.
    }
    w.RzCheckBox2->SetChecked(registered);
}

// Stores a switch's new state. False, with the places left to the caller
// unmoved, when the key cannot be opened (the user is told) or the write
// fails.
bool StoreSwitch(TVMGWLPreferences& w, SettingSwitch which, bool on) {
    try {
        TRegistry reg = w.OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            ShowError(w, kApplyUserSettingsError);
            return false;
        }
        reg.WriteBool(RuleOf(which).valueName, on);
        return true;
    } catch (const RegistryError&) {
        return false;
    }
}

// A switch changed from its tray menu item. The value is written before the
// places move, so that a failed write leaves all three as they were.
void ToggleFromMenu(TVMGWLPreferences& w, SettingSwitch which) {
    const SwitchPlaces places = PlacesOf(w, which);
    const bool on = !places.item.Checked();
    if (StoreSwitch(w, which, on)) {
        ShowSwitch(places, on);
    }
}

// A switch changed from its check box, which already shows the new state.
// The menu item follows only once the value is written.
void ApplyCheckBox(TVMGWLPreferences& w, SettingSwitch which) {
    const SwitchPlaces places = PlacesOf(w, which);
    const bool on = places.box.Checked();
    if (StoreSwitch(w, which, on)) {
        places.item.SetChecked(on);
    }
}

}  // namespace

void TVMGWLPreferences::LoadSettings() {
    LoadStoredSettings(*this);
    LoadStartWithWindows(*this);
}

void TVMGWLPreferences::ApplyDefaultSettings() {
    ShowSoundChoice(*this, SoundChoiceOf(kDefaultSoundIndex));
    for (SettingSwitch which :
         {SettingSwitch::Blocking, SettingSwitch::Sound, SettingSwitch::Blinking}) {
        ShowSwitch(PlacesOf(*this, which), true);
    }
    try {
        TRegistry reg = OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            ShowError(*this, kApplyDefaultSettingsError);
            return;
        }
        for (const DefaultValue& value : kDefaultSettings) {
            reg.WriteInteger(value.name, value.value);
        }
    } catch (const RegistryError&) {
        // The window shows the defaults; the key keeps what was written.
    }
}

void TVMGWLPreferences::EnablePopUpBlocker1Click() {
    ToggleFromMenu(*this, SettingSwitch::Blocking);
}

void TVMGWLPreferences::Playsoundnotificationwhenapopupblocked1Click() {
    ToggleFromMenu(*this, SettingSwitch::Sound);
}

void TVMGWLPreferences::AnimatetrayIconWhenPopUpBlocked1Click() {
    ToggleFromMenu(*this, SettingSwitch::Blinking);
}

void TVMGWLPreferences::RzCheckBox1Click() { ApplyCheckBox(*this, SettingSwitch::Blocking); }

void TVMGWLPreferences::RzCheckBox3Click() { ApplyCheckBox(*this, SettingSwitch::Blinking); }

void TVMGWLPreferences::RzCheckBox4Click() { ApplyCheckBox(*this, SettingSwitch::Sound); }

void TVMGWLPreferences::RzCheckBox2Click() {
    try {
        TRegistry reg = NewRegistry(HKEY_CURRENT_USER, KEY_WRITE);
        if (!reg.OpenKey(kRunKey, false)) {
            ShowError(*this, kApplyUserSettingsError);
            return;
        }
        if (RzCheckBox2->Checked()) {
            reg.WriteString(kRunValueName, RunEntryData(Services().programPath));
        } else {
            // Already gone is as good as deleted.
            (void)reg.DeleteValue(kRunValueName);
        }
    } catch (const RegistryError&) {
        // The box shows the user's choice; the entry stays as it was.
    }
}

}  // namespace vgwl
