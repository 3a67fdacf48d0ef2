// The settings on the window: loaded at start, and the three switches kept
// in step between their check boxes, their tray menu items and the store.
#include "ui/Settings.h"

#include "notify/SoundFiles.h"
#include "toolkit/Application.h"

namespace vgwl {

namespace {

constexpr SettingSwitch kSwitches[] = {SettingSwitch::Blocking, SettingSwitch::Sound,
                                       SettingSwitch::Blinking};

}  // namespace

TCheckBox& TVMGWLPreferences::CheckBoxOf(SettingSwitch which) const {
    switch (which) {
        case SettingSwitch::Blocking:
            return *RzCheckBox1;
        case SettingSwitch::Sound:
            return *RzCheckBox4;
        case SettingSwitch::Blinking:
            break;
    }
    return *RzCheckBox3;
}

TMenuItem& TVMGWLPreferences::MenuItemOf(SettingSwitch which) const {
    switch (which) {
        case SettingSwitch::Blocking:
            return *EnablePopUpBlocker1;
        case SettingSwitch::Sound:
            return *Playsoundnotificationwhenapopupblocked1;
        case SettingSwitch::Blinking:
            break;
    }
    return *AnimatetrayIconWhenPopUpBlocked1;
}

void TVMGWLPreferences::ShowSwitch(SettingSwitch which, bool on) {
    CheckBoxOf(which).SetChecked(on);
    MenuItemOf(which).SetChecked(on);
    if (which == SettingSwitch::Blocking) {
        ShowBlockingState();
    }
}

void TVMGWLPreferences::ShowSoundChoice(std::int32_t stored) {
    const SoundChoice choice = SoundChoiceOf(stored);
    SoundIndex = choice.index;
    RzButtonEdit1->SetText(choice.text);
}

void TVMGWLPreferences::LoadSettings() {
    const StoredSettings stored = store_.Load();
    switch (stored.key) {
        case StoredSettings::Key::Missing:
            ApplyDefaultSettings();
            break;
        case StoredSettings::Key::Unavailable:
            ShowError(kApplyUserSettingsError);
            break;
        case StoredSettings::Key::Read:
            // What the load did not reach keeps the form description's state.
            for (SettingSwitch which : kSwitches) {
                if (const auto on = stored.Switch(which)) {
                    ShowSwitch(which, *on);
                }
            }
            if (stored.soundIndex) {
                ShowSoundChoice(*stored.soundIndex);
            }
            break;
    }
    // The logon entry decides its box whatever happened to the settings.
    RzCheckBox2->SetChecked(store_.StartWithWindowsRegistered());
}

void TVMGWLPreferences::ApplyDefaultSettings() {
    ShowSoundChoice(kDefaultSoundIndex);
    for (SettingSwitch which : kSwitches) {
        ShowSwitch(which, true);
    }
    if (store_.WriteDefaults() == StoreResult::KeyUnavailable) {
        ShowError(kApplyDefaultSettingsError);
    }
}

// A switch changed from its tray menu item. The value is written before the
// places move, so that a failed write leaves all three as they were.
void TVMGWLPreferences::ToggleFromMenu(SettingSwitch which) {
    const bool on = !MenuItemOf(which).Checked();
    const StoreResult result = store_.StoreSwitch(which, on);
    if (result == StoreResult::Stored) {
        ShowSwitch(which, on);
    } else if (result == StoreResult::KeyUnavailable) {
        ShowError(kApplyUserSettingsError);
    }
}

// A switch changed from its check box, which already shows the new state.
// The menu item follows only once the value is written.
void TVMGWLPreferences::ApplyCheckBox(SettingSwitch which) {
    const bool on = CheckBoxOf(which).Checked();
    const StoreResult result = store_.StoreSwitch(which, on);
    if (result == StoreResult::Stored) {
        MenuItemOf(which).SetChecked(on);
    } else if (result == StoreResult::KeyUnavailable) {
        ShowError(kApplyUserSettingsError);
    }
    if (which == SettingSwitch::Blocking) {
        ShowBlockingState();
    }
}

void TVMGWLPreferences::EnablePopUpBlocker1Click() { ToggleFromMenu(SettingSwitch::Blocking); }

void TVMGWLPreferences::Playsoundnotificationwhenapopupblocked1Click() {
    ToggleFromMenu(SettingSwitch::Sound);
}

void TVMGWLPreferences::AnimatetrayIconWhenPopUpBlocked1Click() {
    ToggleFromMenu(SettingSwitch::Blinking);
}

void TVMGWLPreferences::RzCheckBox1Click() { ApplyCheckBox(SettingSwitch::Blocking); }

void TVMGWLPreferences::RzCheckBox3Click() { ApplyCheckBox(SettingSwitch::Blinking); }

void TVMGWLPreferences::RzCheckBox4Click() { ApplyCheckBox(SettingSwitch::Sound); }

void TVMGWLPreferences::RzCheckBox2Click() {
    // The box shows the user's choice even when the entry cannot be written.
    if (store_.SetStartWithWindows(RzCheckBox2->Checked(), services_.programPath) ==
        StoreResult::KeyUnavailable) {
        ShowError(kApplyUserSettingsError);
    }
}

}  // namespace vgwl
