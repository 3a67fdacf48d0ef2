#pragma once
// TVMGWLPreferences: the preferences window and the invisible anchor of the
// resident program. It owns the tray icon and its menu, receives the tray
// callback and the blocking component's notifications, and carries the
// check boxes and menu items that hold the current settings.
//
// The methods are defined by subsystem: the shell in ui/Settings.cpp, the
// tray in ui/SettingsTray.cpp, the settings store in settings/, the
// notification and sound choice in notify/, the component registration in
// component/, the white list in whitelist/.

#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/Menu.h"
#include "toolkit/Registry.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vgwl {

class TSelectSound;

// What the window needs from the system, replaceable by tests. The product
// uses the defaults, which call the platform directly.
struct PreferencesServices {
    std::function<void(DWORD milliseconds)> sleep;
    std::function<BOOL(DWORD message, NOTIFYICONDATAA* data)> notifyIcon;
    std::function<BOOL(const char* path, HMODULE module, DWORD flags)> playSound;
    std::function<void(HWND owner, const std::string& file)> shellOpen;
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

    // Counter, help and links.
    void ContentsandTopics1Click();
    void OnlineSupport1Click();
    void OnlineFAQs1Click();
    void SubmitSupportTicketOnline1Click();
    void UpgradeToSentrel1Click();

    // Registry accessor for one block of registry work, on the given root.
    // Reading and setting values is all the program does under its keys, and
    // all that a member of Users may do on the installed settings key.
    TRegistry NewRegistry(HKEY root, REGSAM access = KEY_READ | KEY_SET_VALUE) const;
    // An accessor on the settings key, created if missing; it has no current
    // key when the key cannot be opened.
    TRegistry OpenSettingsKey() const;

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

    PreferencesServices services_;
    TSelectSound* selectSound_ = nullptr;
    UINT taskbarCreatedMessage_ = 0;
    HMODULE component_ = nullptr;  // stays loaded until the program ends
    // The shared white list table: open from the first publish until the
    // program ends, and the bytes this program may write into it.
    UniqueKernelHandle whiteListTable_;
    std::size_t whiteListTableBytes_ = 0;
};

}  // namespace vgwl
