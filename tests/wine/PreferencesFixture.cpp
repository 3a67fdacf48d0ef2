#include "PreferencesFixture.h"

namespace vgwl::test {

const std::string& PreferencesTest::SettingsKey() {
    static const std::string key(contract::kSettingsKey);
    return key;
}

void PreferencesTest::DeleteSettingsKey() { DeleteKeyTree(HKEY_LOCAL_MACHINE, SettingsKey()); }

TVMGWLPreferences& PreferencesTest::CreateWindow() {
    app_ = std::make_unique<TApplication>(GetModuleHandleA(nullptr));
    app_->Initialize();
    app_->SetTitle(contract::kApplicationTitle);
    app_->SetMessageDialogHandler([this](const MessageDialogRequest& request) {
        dialogs.push_back(request);
        events.push_back(std::string("dialog:") +
                         (request.type == MessageDialogType::Error ? "error:" : "warning:") +
                         request.text);
    });
    PreferencesServices s = services_;
    if (!s.sleep) {
        s.sleep = [this](DWORD ms) { events.push_back("sleep:" + std::to_string(ms)); };
    }
    if (!s.notifyIcon) {
        s.notifyIcon = [this](DWORD message, NOTIFYICONDATAA* data) {
            trayCalls.push_back({message, *data});
            std::string icon = "other";
            if (window_ && data->hIcon && data->hIcon == window_->TrayAnimImage.get()) {
                icon = "anim";
            } else if (window_ && data->hIcon && data->hIcon == window_->TrayIconImage.get()) {
                icon = "normal";
            }
            events.push_back("tray:" + std::to_string(message) + ":" + icon);
            return TRUE;
        };
    }
    if (!s.playSound) {
        s.playSound = [this](const char* path, HMODULE, DWORD flags) {
            events.push_back(std::string("sound:") + (path ? path : "") + ":" +
                             std::to_string(flags));
            return TRUE;
        };
    }
    if (!s.shellExecute) {
        s.shellExecute = [this](HWND owner, const char* verb, const char* file,
                                const char* parameters, const char* directory, int show) {
            const auto text = [](const char* p) { return p ? std::string(p) : "(null)"; };
            events.push_back("shell:" + std::string(owner == window_->Handle() ? "main" : "other") +
                             ":" + text(verb) + ":" + text(file) + ":" + text(parameters) + ":" +
                             text(directory) + ":" + std::to_string(show));
        };
    }
    window_ = &app_->CreateForm<TVMGWLPreferences>(std::move(s));
    selectSound_ = &app_->CreateForm<TSelectSound>(*window_);
    window_->SetSelectSound(selectSound_);
    return *window_;
}

void PreferencesTest::TearDown() {
    if (app_) {
        app_->DestroyForms();
        app_.reset();
    }
    window_ = nullptr;
    selectSound_ = nullptr;
}

void ListFolderTest::SetUp() {
    Services().programPath = folder_.path + "VelmoraGWLite.exe";
    DeleteSettingsKey();
}

void ListFolderTest::TearDown() {
    PreferencesTest::TearDown();
    DeleteSettingsKey();
}

}  // namespace vgwl::test
