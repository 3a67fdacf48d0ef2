#include "ui/Settings.h"

#include "component/Contract.h"
#include "resources/FormDescriptions.h"
#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Picture.h"
#include "toolkit/SystemLibrary.h"
#include "ui/ProgramFile.h"
#include "ui/SettingsSession.h"

#include <mmsystem.h>

namespace vgwl {

PreferencesServices PreferencesServices::Platform() {
    PreferencesServices s;
    s.sleep = [](DWORD milliseconds) { ::Sleep(milliseconds); };
    s.notifyIcon = [](DWORD message, NOTIFYICONDATAA* data) {
        return Shell_NotifyIconA(message, data);
    };
    s.playSound = [](const char* path, HMODULE module, DWORD flags) {
        static const auto play = SystemFunction<decltype(&PlaySoundA)>("winmm.dll", "PlaySoundA");
        return play ? play(path, module, flags) : FALSE;
    };
    s.shellExecute = [](HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int show) {
        static const auto execute =
            SystemFunction<decltype(&ShellExecuteA)>("shell32.dll", "ShellExecuteA");
        // The shell reports a missing program itself; nothing is added here.
        (void)(execute && execute(owner, verb, file, parameters, directory, show));
    };
    s.programPath = ProgramFilePath();
    return s;
}

namespace {

// A test may replace only some services; the rest keep the platform's. The
// platform's are looked up only when something is missing.
PreferencesServices Complete(PreferencesServices given) {
    if (given.sleep && given.notifyIcon && given.playSound && given.shellExecute &&
        !given.programPath.empty()) {
        return given;
    }
    PreferencesServices platform = PreferencesServices::Platform();
    if (!given.sleep) {
        given.sleep = std::move(platform.sleep);
    }
    if (!given.notifyIcon) {
        given.notifyIcon = std::move(platform.notifyIcon);
    }
    if (!given.playSound) {
        given.playSound = std::move(platform.playSound);
    }
    if (!given.shellExecute) {
        given.shellExecute = std::move(platform.shellExecute);
    }
    if (given.programPath.empty()) {
        given.programPath = std::move(platform.programPath);
    }
    return given;
}

}  // namespace

TVMGWLPreferences::TVMGWLPreferences(TApplication& app, PreferencesServices services)
    : TForm(app, kPreferencesForm),
      TrayMenu(kTrayMenu),
      services_(Complete(std::move(services))),
      store_(services_.registryOpenHook),
      notification_(services_.programPath, services_.playSound, [this] { AnimateTrayIcon(); }) {
    BindControls();
    BindMenu();
    WireEvents();
    // At the notification area's icon size for the DPI: the stored 16
    // pixels at 96 DPI, the 32-pixel images above.
    TrayIconImage = LoadSmallIcon(app.ModuleInstance(), "TrayIcon", Dpi());
    TrayAnimImage = LoadSmallIcon(app.ModuleInstance(), "TrayAnim", Dpi());
    TrayOffImage = LoadSmallIcon(app.ModuleInstance(), "TrayOff", Dpi());
    taskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");
    // Run elevated, the window would not hear Explorer's broadcast otherwise.
    (void)ChangeWindowMessageFilterEx(Handle(), taskbarCreatedMessage_, MSGFLT_ALLOW, nullptr);
    AddTrayIcon();
    app.OnMinimize = [this] { HideToTray(); };
    app.OnRestore = [this] { ShowFromTray(); };
}

TVMGWLPreferences::~TVMGWLPreferences() {
    TApplication& app = Application();
    app.OnMinimize = nullptr;
    app.OnRestore = nullptr;
    RemoveTrayIcon();
}

void TVMGWLPreferences::BindControls() {
    RzPageControl1 = &Find<TPageControl>("RzPageControl1");
    TabSheet1 = &Find<TTabSheet>("TabSheet1");
    TabSheet2 = &Find<TTabSheet>("TabSheet2");
    TabSheet3 = &Find<TTabSheet>("TabSheet3");
    RzCheckBox1 = &Find<TCheckBox>("RzCheckBox1");
    RzCheckBox2 = &Find<TCheckBox>("RzCheckBox2");
    RzCheckBox3 = &Find<TCheckBox>("RzCheckBox3");
    RzCheckBox4 = &Find<TCheckBox>("RzCheckBox4");
    RzButtonEdit1 = &Find<TButtonEdit>("RzButtonEdit1");
    RzBitBtn1 = &Find<TBitBtn>("RzBitBtn1");
    Label4 = &Find<TLabel>("Label4");
    ListView1 = &Find<TListView>("ListView1");
    RzEdit1 = &Find<TEdit>("RzEdit1");
    RzBitBtn2 = &Find<TBitBtn>("RzBitBtn2");
    RzBitBtn4 = &Find<TBitBtn>("RzBitBtn4");
    RzURLLabel3 = &Find<TUrlLabel>("RzURLLabel3");
}

void TVMGWLPreferences::BindMenu() {
    Preferences1 = &TrayMenu.Item("Preferences1");
    EnablePopUpBlocker1 = &TrayMenu.Item("EnablePopUpBlocker1");
    Playsoundnotificationwhenapopupblocked1 =
        &TrayMenu.Item("Playsoundnotificationwhenapopupblocked1");
    AnimatetrayIconWhenPopUpBlocked1 = &TrayMenu.Item("AnimatetrayIconWhenPopUpBlocked1");
    ContentsandTopics1 = &TrayMenu.Item("ContentsandTopics1");
    OnlineSupport1 = &TrayMenu.Item("OnlineSupport1");
    OnlineFAQs1 = &TrayMenu.Item("OnlineFAQs1");
    SubmitSupportTicketOnline1 = &TrayMenu.Item("SubmitSupportTicketOnline1");
    UpgradeToSentrel1 = &TrayMenu.Item("UpgradeToSentrel1");
    ExitPopUpBlocker1 = &TrayMenu.Item("ExitPopUpBlocker1");
}

void TVMGWLPreferences::WireEvents() {
    Preferences1->OnClick = [this] { Preferences1Click(); };
    EnablePopUpBlocker1->OnClick = [this] { EnablePopUpBlocker1Click(); };
    Playsoundnotificationwhenapopupblocked1->OnClick = [this] {
        Playsoundnotificationwhenapopupblocked1Click();
    };
    AnimatetrayIconWhenPopUpBlocked1->OnClick = [this] { AnimatetrayIconWhenPopUpBlocked1Click(); };
    ContentsandTopics1->OnClick = [this] { ContentsandTopics1Click(); };
    OnlineSupport1->OnClick = [this] { OnlineSupport1Click(); };
    OnlineFAQs1->OnClick = [this] { OnlineFAQs1Click(); };
    SubmitSupportTicketOnline1->OnClick = [this] { SubmitSupportTicketOnline1Click(); };
    UpgradeToSentrel1->OnClick = [this] { UpgradeToSentrel1Click(); };
    ExitPopUpBlocker1->OnClick = [this] { ExitPopUpBlocker1Click(); };

    RzCheckBox1->OnClick = [this] { RzCheckBox1Click(); };
    RzCheckBox2->OnClick = [this] { RzCheckBox2Click(); };
    RzCheckBox3->OnClick = [this] { RzCheckBox3Click(); };
    RzCheckBox4->OnClick = [this] { RzCheckBox4Click(); };
    RzButtonEdit1->OnButtonClick = [this] { RzButtonEdit1ButtonClick(); };
    RzButtonEdit1->OnKeyPress = [this](char& key) { RzButtonEdit1KeyPress(key); };
    RzBitBtn1->OnClick = [this] { RzBitBtn1Click(); };
    RzURLLabel3->OnClick = [this] { UpgradeToSentrel1Click(); };
    WireWhiteList();

    for (TBitBtn* button : {RzBitBtn1, RzBitBtn2, RzBitBtn4}) {
        button->SetColors(kPictureButtonColors);
    }
    // The About page's link labels open their targets through the shell.
    for (const char* name : {"RzURLLabel1", "RzURLLabel2", "RzURLLabel4"}) {
        auto& label = Find<TUrlLabel>(name);
        label.OnClick = [this, &label] { OpenWithShell(std::string(label.Link())); };
    }
}

void TVMGWLPreferences::ShowError(std::string_view text) {
    Application().MessageDialog(MessageDialogType::Error, text);
}

bool TVMGWLPreferences::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (HandleSessionMessage(*this, msg, wParam, result)) {
        return true;
    }
    switch (msg) {
        case WM_COPYDATA:
            result = PopupBlockedMessage(wParam, lParam);
            return true;
        case contract::kWmTrayIcon:
            TrayIconMessage(wParam, lParam);
            result = 0;
            return true;
        default:
            break;
    }
    if (taskbarCreatedMessage_ != 0 && msg == taskbarCreatedMessage_) {
        // Explorer restarted: without the icon the program would be resident
        // but out of reach.
        AddTrayIcon();
        result = 0;
        return true;
    }
    return false;
}

void TVMGWLPreferences::FormCreate() {
    LoadSettings();
    try {
        TRegistry reg = store_.OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            return;
        }
        reg.WriteBool(contract::kValueRunning, true);
        PublishWhiteList();
        // The first-run mark is cleared only once the component has been
        // registered: a start without it installed keeps it pending.
        if (reg.ReadBool(contract::kValueFirstRun) && RegisterBlockingComponent()) {
            reg.WriteBool(contract::kValueFirstRun, false);
        }
    } catch (const RegistryError&) {
        // Ends this block silently; what was done before stands.
    }
}

bool TVMGWLPreferences::RegisterBlockingComponent() {
    return registrar_.Register(services_.programPath);
}

void TVMGWLPreferences::PublishWhiteList() {
    if (publisher_.Publish(services_.programPath).published) {
        AnnounceWhiteList();
    }
}

void TVMGWLPreferences::AnnounceWhiteList() {
    try {
        TRegistry reg = store_.OpenSettingsKey();
        if (!reg.HasCurrentKey()) {
            return;
        }
        // A value of the wrong type starts again from 0: only a change counts.
        std::uint32_t serial = 0;
        try {
            if (reg.ValueExists(contract::kValueWhiteListSerial)) {
                serial = static_cast<std::uint32_t>(reg.ReadInteger(contract::kValueWhiteListSerial));
            }
        } catch (const RegistryError&) {
            serial = 0;
        }
        reg.WriteInteger(contract::kValueWhiteListSerial, static_cast<std::int32_t>(serial + 1));
    } catch (const RegistryError&) {
        // The bridge then sees the list at its next start.
    }
}

void TVMGWLPreferences::FormClose(CloseAction& action) {
    Application().HideApplicationWindow();
    Hide();
    action = CloseAction::None;
}

void TVMGWLPreferences::HideToTray() {
    Application().HideApplicationWindow();
    Hide();
}

void TVMGWLPreferences::ShowFromTray() {
    Application().ShowApplicationWindow();
    Show();
    BringToFront();
}

void TVMGWLPreferences::Preferences1Click() {
    Show();
    SetWindowStateNormal();
}

void TVMGWLPreferences::ExitPopUpBlocker1Click() {
    try {
        TRegistry reg = store_.OpenSettingsKey();
        if (reg.HasCurrentKey()) {
            reg.WriteBool(contract::kValueRunning, false);
        }
    } catch (const RegistryError&) {
        // Exit goes on whatever the registry says.
    }
    Application().Terminate();
}

}  // namespace vgwl
