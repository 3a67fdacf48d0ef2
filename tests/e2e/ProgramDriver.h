#pragma once
// Drives the installed program from outside, as a user or the blocking
// component would: starts dist\VelmoraGWLite.exe, finds its windows, reads
// and clicks its controls and dialogs, and ends it.

#include "toolkit/Handles.h"

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

namespace vgwl::test {

using namespace std::chrono_literals;

class ProgramDriver {
public:
    ProgramDriver() = default;
    // Ends the program if a test left it running.
    ~ProgramDriver();
    ProgramDriver(const ProgramDriver&) = delete;
    ProgramDriver& operator=(const ProgramDriver&) = delete;

    // Starts the program (by default dist\VelmoraGWLite.exe) in a working
    // folder (by default its own).
    bool Start(const std::string& exePath = {}, const std::string& workingDir = {});
    DWORD ProcessId() const noexcept { return processId_; }
    HANDLE Process() const noexcept { return process_.get(); }
    bool Running() const;

    // Waits until the program is resident: its main window exists and no
    // window of the process is visible any more (the splash is gone).
    bool WaitUntilResident(std::chrono::milliseconds timeout = 20s);
    // Waits for the process to end; its exit code, or nothing on timeout.
    bool WaitForExit(DWORD& exitCode, std::chrono::milliseconds timeout = 20s);
    void Kill();

    // The program's main window (class TVMGWLPreferences) and application window.
    HWND MainWindow() const;
    HWND ApplicationWindow() const;
    // Visible top-level windows of the process.
    std::vector<HWND> VisibleTopLevelWindows() const;
    // A child control of a window by its class and text (first match, any depth).
    static HWND FindChild(HWND parent, const std::string& className, const std::string& text);
    static std::string WindowText(HWND hwnd);
    static std::string ClassOf(HWND hwnd);

    // A message box of this process (class #32770), waiting for it to appear.
    HWND WaitForDialog(std::chrono::milliseconds timeout = 10s) const;
    // The message text of a message box.
    static std::string DialogText(HWND dialog);
    // Presses the button of a message box.
    static void PressDialogButton(HWND dialog, int id = IDOK);

    // The shown pop-up menu of this process (class #32768), waiting for it.
    HWND WaitForMenu(std::chrono::milliseconds timeout = 10s) const;
    // Presses keys in an open menu: its tracking loop reads them from the
    // queue of the menu's thread, as it would typed keys.
    static void PressMenuKeys(HWND menu, std::initializer_list<WPARAM> keys);

private:
    UniqueKernelHandle process_;
    DWORD processId_ = 0;
};

// Full path of the installed program.
std::string InstalledProgram();

}  // namespace vgwl::test
