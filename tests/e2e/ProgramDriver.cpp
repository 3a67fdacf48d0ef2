#include "ProgramDriver.h"

#include "../wine/TestSupport.h"
#include "component/Contract.h"

#include <thread>

namespace vgwl::test {
namespace {

struct FindState {
    DWORD pid;
    std::string className;
    std::vector<HWND> found;
    bool visibleOnly;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid) {
        return TRUE;
    }
    if (state->visibleOnly && !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    if (!state->className.empty() && ProgramDriver::ClassOf(hwnd) != state->className) {
        return TRUE;
    }
    state->found.push_back(hwnd);
    return TRUE;
}

struct ChildSearch {
    std::string className;
    std::string text;
    HWND found = nullptr;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if ((search->className.empty() || ProgramDriver::ClassOf(hwnd) == search->className) &&
        ProgramDriver::WindowText(hwnd) == search->text) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string InstalledProgram() { return DistDir() + "VelmoraGWLite.exe"; }

ProgramDriver::~ProgramDriver() { Kill(); }

bool ProgramDriver::Start(const std::string& exePath, const std::string& workingDir) {
    const std::string exe = exePath.empty() ? InstalledProgram() : exePath;
    std::string cmd = "\"" + exe + "\"";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const std::string dir = workingDir.empty() ? exe.substr(0, exe.find_last_of('\\')) : workingDir;
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                        &si, &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    processId_ = pi.dwProcessId;
    return true;
}

bool ProgramDriver::Running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND ProgramDriver::MainWindow() const {
    FindState state{processId_, std::string(contract::kMainWindowClass), {}, false};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found.empty() ? nullptr : state.found.front();
}

HWND ProgramDriver::ApplicationWindow() const {
    FindState state{processId_, "TApplication", {}, false};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found.empty() ? nullptr : state.found.front();
}

std::vector<HWND> ProgramDriver::VisibleTopLevelWindows() const {
    FindState state{processId_, {}, {}, true};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

bool ProgramDriver::WaitUntilResident(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!Running()) {
            return false;
        }
        // The dialog is created after the main window: both exist, and the
        // splash has been hidden.
        FindState dialogs{processId_, "TSelectSound", {}, false};
        EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&dialogs));
        if (MainWindow() && !dialogs.found.empty() && VisibleTopLevelWindows().empty()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

bool ProgramDriver::WaitForExit(DWORD& exitCode, std::chrono::milliseconds timeout) {
    if (!process_) {
        return false;
    }
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return false;
    }
    GetExitCodeProcess(process_.get(), &exitCode);
    return true;
}

void ProgramDriver::Kill() {
    if (Running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

std::string ProgramDriver::WindowText(HWND hwnd) {
    char buffer[1024] = {};
    // WM_GETTEXT works across processes, also for hidden windows.
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

std::string ProgramDriver::ClassOf(HWND hwnd) {
    char buffer[256] = {};
    GetClassNameA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

HWND ProgramDriver::FindChild(HWND parent, const std::string& className, const std::string& text) {
    ChildSearch search{className, text, nullptr};
    EnumChildWindows(parent, &FindChildProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramDriver::WaitForDialog(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        FindState state{processId_, "#32770", {}, true};
        EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
        if (!state.found.empty()) {
            return state.found.front();
        }
        if (!Running()) {
            return nullptr;
        }
        std::this_thread::sleep_for(50ms);
    }
    return nullptr;
}

std::string ProgramDriver::DialogText(HWND dialog) {
    // The message is the static control with the id 0xFFFF.
    HWND text = GetDlgItem(dialog, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

void ProgramDriver::PressDialogButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND ProgramDriver::WaitForMenu(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        FindState state{processId_, "#32768", {}, true};
        EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
        if (!state.found.empty()) {
            return state.found.front();
        }
        if (!Running()) {
            return nullptr;
        }
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

void ProgramDriver::PressMenuKeys(HWND menu, std::initializer_list<WPARAM> keys) {
    for (WPARAM key : keys) {
        PostMessageA(menu, WM_KEYDOWN, key, 1);
        PostMessageA(menu, WM_KEYUP, key, 0xC0000001);
    }
}

}  // namespace vgwl::test
