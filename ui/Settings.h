#pragma once
// TVMGWLPreferences: the preferences window and the invisible anchor of the
// resident program. It owns the tray icon and its menu, receives the tray
// callback and the blocking component's notifications, and carries the
// check boxes and menu items that hold the current settings.
//
// The window knows its controls and menu items and composes the subsystems,
// each of which keeps its own state: the settings store (settings/), the
// notification reaction (notify/), the component registrar (component/) and
// the white list publisher (whitelist/). The methods named after the window's
// events are short delegates to them. They are defined by subject: the shell
// in ui/Settings.cpp, the tray in ui/SettingsTray.cpp, the switches in
// ui/SettingsSwitches.cpp, the notification and sound box in
// ui/SettingsNotify.cpp, counter, help and links in ui/SettingsLinks.cpp.

#include "component/ComponentRegistrar.h"
#include "notify/NotificationReaction.h"
#include "settings/SettingsStore.h"
#include "toolkit/DropTarget.h"
#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/Menu.h"
#include "toolkit/Registry.h"
#include "whitelist/WhiteListEditor.h"
#include "whitelist/WhiteListPublisher.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vgwl {

class TSelectSound;

// What the window needs from the system, replaceable by tests. The product
// uses the defaults, which call the platform directly.
struct PreferencesServices {
    std::function<void(DWORD milliseconds)> sleep;
    std::function<BOOL(DWORD message, NOTIFYICONDATAA* data)> notifyIcon;
    std::function<BOOL(const char* path, HMODULE module, DWORD flags)> playSound;
    // The shell's ShellExecuteA, as the window calls it; its result is not
    // examined.
    std::function<void(HWND owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int show)>
        shellExecute;
    // Full path of the program file; every file is found beside it.
    std::string programPath;
    // Lets tests make a registry open fail; never set by the product.
    RegistryOpenHook registryOpenHook;

    static PreferencesServices Platform();
};

class TVMGWLPreferences : public TForm {
public:
    TVMGWLPreferences(TApplication& app,
                      PreferencesServices services = PreferencesServices::Platform());
    ~TVMGWLPreferences() override;

    // Fields of the form besides its controls.
    UniqueHicon TrayIconImage;
    UniqueHicon TrayAnimImage;
    // The grey image shown while popup blocking is switched off.
    UniqueHicon TrayOffImage;
    std::int32_t SoundIndex = 0;

    // Controls of the form description, by their names.
    TPageControl* RzPageControl1 = nullptr;
    TTabSheet* TabSheet1 = nullptr;
    TTabSheet* TabSheet2 = nullptr;
    TTabSheet* TabSheet3 = nullptr;
    TCheckBox* RzCheckBox1 = nullptr;
    TCheckBox* RzCheckBox2 = nullptr;
    TCheckBox* RzCheckBox3 = nullptr;
    TCheckBox* RzCheckBox4 = nullptr;
    TButtonEdit* RzButtonEdit1 = nullptr;
    TBitBtn* RzBitBtn1 = nullptr;
    TLabel* Label4 = nullptr;
    TListView* ListView1 = nullptr;
    TEdit* RzEdit1 = nullptr;
    TBitBtn* RzBitBtn2 = nullptr;
    TBitBtn* RzBitBtn4 = nullptr;
    TUrlLabel* RzURLLabel3 = nullptr;

    // The tray menu and its items.
    TPopupMenu TrayMenu;
    TMenuItem* Preferences1 = nullptr;
    TMenuItem* EnablePopUpBlocker1 = nullptr;
    TMenuItem* Playsoundnotificationwhenapopupblocked1 = nullptr;
    TMenuItem* AnimatetrayIconWhenPopUpBlocked1 = nullptr;
    TMenuItem* ContentsandTopics1 = nullptr;
    TMenuItem* OnlineSupport1 = nullptr;
    TMenuItem* OnlineFAQs1 = nullptr;
    TMenuItem* SubmitSupportTicketOnline1 = nullptr;
    TMenuItem* UpgradeToSentrel1 = nullptr;
    TMenuItem* ExitPopUpBlocker1 = nullptr;

    const PreferencesServices& Services() const noexcept { return services_; }
    // The settings as stored in the registry; the check boxes and SoundIndex
    // are the live copy that the rest of the program reads.
    const SettingsStore& Store() const noexcept { return store_; }
    // The shared white list table as this program last published it.
    const WhiteListPublisher& Publisher() const noexcept { return publisher_; }
    // The sound selection dialog, once the start-up has created it.
    void SetSelectSound(TSelectSound* dialog) noexcept { selectSound_ = dialog; }

    // Shell (application minimise/restore hooks, menu, exit).
    void HideToTray();
    void ShowFromTray();
    void Preferences1Click();
    void ExitPopUpBlocker1Click();

    // Tray presence.
    void AddTrayIcon();
    void RemoveTrayIcon();
    void AnimateTrayIcon();
    void TrayIconMessage(WPARAM wParam, LPARAM lParam);
    // The record handed to the notification-area service, filled the same way
    // for every call, with the given icon.
    NOTIFYICONDATAA TrayIconRecord(HICON icon) const;
    // The icon and tip follow the blocking switch: the "off" image and a tip
    // that says so while blocking is off.
    void ShowBlockingState();
    HICON RestingTrayIcon() const noexcept;

    // Settings store and start with Windows.
    void LoadSettings();
    void ApplyDefaultSettings();
    void EnablePopUpBlocker1Click();
    void Playsoundnotificationwhenapopupblocked1Click();
    void AnimatetrayIconWhenPopUpBlocked1Click();
    void RzCheckBox1Click();
    void RzCheckBox2Click();
    void RzCheckBox3Click();
    void RzCheckBox4Click();

    // Blocked-popup notification and the sound choice.
    LRESULT PopupBlockedMessage(WPARAM wParam, LPARAM lParam);
    void RzButtonEdit1ButtonClick();
    void RzButtonEdit1KeyPress(char& key);
    void RzBitBtn1Click();

    // Blocking component registration (first run): true when the
    // component's registration was called.
    bool RegisterBlockingComponent();

    // White list.
    void PublishWhiteList();
    // Raises WhiteListSerial after a publish, so that the browser bridge,
    // which sleeps until the settings key changes, reads the new table.
    void AnnounceWhiteList();
    // True when no row of ListView1 has this caption (whole, case-sensitive).
    bool IsNewWhiteListEntry(const std::string& text) const;
    void RzEdit1KeyPress(char& key);
    void RzBitBtn2Click();
    void ListView1KeyDown(WORD key);
    void DMTextTarget1Drop();
    // Replaces the rows with the saved list, when there is one.
    void LoadWhiteListView();
    void RzBitBtn4Click();
    // Appends one line to the existing file: the text when `isText` is set,
    // else the number in decimal. Throws FileOpenError when the file cannot
    // be opened.
    void AppendWhiteListLine(const std::string& text, const std::string& path, bool isText,
                             std::int32_t number);
    // The drop target on ListView1: web links dragged from a browser.
    TDropTarget DMTextTarget1;

    // Counter, help and links.
    void ContentsandTopics1Click();
    void OnlineSupport1Click();
    void OnlineFAQs1Click();
    void SubmitSupportTicketOnline1Click();
    void UpgradeToSentrel1Click();

protected:
    void FormCreate() override;
    void FormShow() override;
    void FormClose(CloseAction& action) override;
    void FormKeyDown(WORD key) override;
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void BindControls();
    void BindMenu();
    void WireEvents();
    void ShowError(std::string_view text);
    // Shows a switch's state in both of its places.
    void ShowSwitch(SettingSwitch which, bool on);
    void ShowSoundChoice(std::int32_t stored);
    TCheckBox& CheckBoxOf(SettingSwitch which) const;
    TMenuItem& MenuItemOf(SettingSwitch which) const;
    void ToggleFromMenu(SettingSwitch which);
    // Opens a document or address with its associated program.
    void OpenWithShell(const std::string& target);
    void ApplyCheckBox(SettingSwitch which);
    void WireWhiteList();
    // The list takes drops from the window's first show on.
    void RegisterDropTarget();
    void AddWhiteListEntry();
    bool ListView1EndEdit(int index, const std::u16string& typed);
    // Tells the user when `added` entries took the list past what the
    // shared table holds.
    void WarnBeyondTable(std::size_t added);
    std::string WhiteListPath() const;

    PreferencesServices services_;
    SettingsStore store_;
    NotificationReaction notification_;
    ComponentRegistrar registrar_;
    WhiteListPublisher publisher_;
    WhiteListEditor whiteList_;  // in step with ListView1's rows
    TSelectSound* selectSound_ = nullptr;
    UINT taskbarCreatedMessage_ = 0;
    bool blockingOff_ = false;  // what the tray icon shows
};

}  // namespace vgwl
