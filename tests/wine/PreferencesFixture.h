#pragma once
// In-process fixture: the real application object and main window, with the
// system services replaced by recorders, so that a test sees every tray
// call, wait, sound, shell open and message dialog in order.

#include "TestSupport.h"

#include "component/Contract.h"
#include "toolkit/Application.h"
#include "ui/Settings.h"
#include "ui/Unit1.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The fixture's CreateWindow() reads better than a rename around the
// <windows.h> macro of that name; tests call CreateWindowExA directly.
#undef CreateWindow

namespace vgwl::test {

struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA data;
};

class PreferencesTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Replaces the services before CreateWindow(); the recorders stay.
    PreferencesServices& Services() { return services_; }

    // Creates the application object, the main window (running its creation
    // handler) and the sound dialog, as the start-up does.
    TVMGWLPreferences& CreateWindow();
    TVMGWLPreferences& Window() { return *window_; }
    TSelectSound& SelectSound() { return *selectSound_; }
    TApplication& App() { return *app_; }

    // Every event in order: "tray:<NIM_x>:<anim|normal|other>", "sleep:<ms>",
    // "sound:<path>:<flags>", "shell:<main|other>:<verb>:<file>:<parameters>:<directory>:<show>", "dialog:<error|warning>:<text>".
    std::vector<std::string> events;
    std::vector<TrayCall> trayCalls;
    std::vector<MessageDialogRequest> dialogs;

    // The settings key under the local machine root; deleted by this call.
    static void DeleteSettingsKey();
    static const std::string& SettingsKey();

private:
    PreferencesServices services_;
    std::unique_ptr<TApplication> app_;
    TVMGWLPreferences* window_ = nullptr;
    TSelectSound* selectSound_ = nullptr;
};

// The same, with the program in a scratch folder of its own, so that the
// white list file the window reads and saves is the test's; the list files
// and the settings key start and end deleted.
class ListFolderTest : public PreferencesTest {
protected:
    explicit ListFolderTest(const std::string& name) : folder_(name) {}
    void SetUp() override;
    void TearDown() override;
    std::string ListFile() const { return folder_.ListFile(); }
    std::string Companion() const { return folder_.Companion(); }

    ListFolder folder_;
};

}  // namespace vgwl::test
