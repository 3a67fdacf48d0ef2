#include "TestSupport.h"

#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace vgwl::test {

std::string DistDir() { return VGWL_TEST_DIST_DIR; }

ProcessResult RunProcess(const std::string& commandLine, std::chrono::milliseconds timeout,
                         const std::string& workingDir) {
    ProcessResult result;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &sa, 0)) {
        return result;
    }
    UniqueKernelHandle readEnd(readRaw);
    UniqueKernelHandle writeEnd(writeRaw);
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd.get();
    si.hStdError = writeEnd.get();
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    // Under Wine a new process now and then ends before its start-up is done
    // (seen with the 32-bit setup in a fresh prefix), and CreateProcess says
    // ERROR_INTERNAL_ERROR; none of the program's code has run, so it is
    // started again.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, workingDir.empty() ? nullptr : workingDir.c_str(), &si,
                                 &pi);
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) {
            break;
        }
    }
    if (!started) {
        result.output = "CreateProcess failed: " + std::to_string(GetLastError());
        return result;
    }
    UniqueKernelHandle process(pi.hProcess);
    UniqueKernelHandle thread(pi.hThread);
    writeEnd.reset();

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto drain = [&] {
        DWORD avail = 0;
        while (PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &avail, nullptr) && avail > 0) {
            char buf[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd.get(), buf, sizeof(buf), &got, nullptr) || got == 0) {
                break;
            }
            result.output.append(buf, got);
        }
    };
    for (;;) {
        drain();
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            TerminateProcess(process.get(), 9999);
            WaitForSingleObject(process.get(), 5000);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        HANDLE h = process.get();
        const DWORD wait = MsgWaitForMultipleObjects(
            1, &h, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 50)), QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    drain();
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

ModalWatchdog::ModalWatchdog(HWND window, std::chrono::milliseconds timeout)
    : thread_([this, window, timeout] {
          std::unique_lock lock(mutex_);
          if (doneChanged_.wait_for(lock, timeout, [this] { return done_; })) {
              return;
          }
          fired_ = true;
          PostMessageA(window, WM_CLOSE, 0, 0);
          if (!doneChanged_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) {
              PostThreadMessageA(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
          }
      }) {}

ModalWatchdog::~ModalWatchdog() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    doneChanged_.notify_all();
    thread_.join();
}

bool DeleteKeyTree(HKEY root, const std::string& path) {
    const LSTATUS status = RegDeleteTreeA(root, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        // RegDeleteTree leaves the key itself on some systems.
        RegDeleteKeyA(root, path.c_str());
        HKEY probe = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe);
            return false;
        }
        return true;
    }
    return false;
}

std::optional<DWORD> ReadDword(HKEY root, const std::string& path, const std::string& name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_ANY, &type, &value, &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

std::optional<RawValue> ReadRawValue(HKEY root, const std::string& path, const std::string& name) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue raw{name};
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &raw.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    raw.bytes.resize(size);
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &raw.type, raw.bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    raw.bytes.resize(size);
    return raw;
}

void WriteRawValue(HKEY root, const std::string& path, const RawValue& value) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), value.name.c_str(), 0, value.type, value.bytes.data(),
                             static_cast<DWORD>(value.bytes.size())),
              ERROR_SUCCESS);
}

void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        UniqueHkey owned(key);
        RegSetValueExA(owned.get(), name.c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
}

namespace {

std::string HoldEventName(DWORD pid, const char* what) {
    return "vgwl-test-hold-" + std::to_string(pid) + "-" + what;
}

}  // namespace

HeldFile::HeldFile(const std::string& path) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string commandLine = "\"" + std::string(self) + "\" --hold-file \"" + path + "\"";
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start the holding process: " << GetLastError();
        return;
    }
    process_ = pi.hProcess;
    // The events exist before the child runs, so neither side can miss one.
    HANDLE ready =
        CreateEventA(nullptr, TRUE, FALSE, HoldEventName(pi.dwProcessId, "ready").c_str());
    release_ = CreateEventA(nullptr, TRUE, FALSE, HoldEventName(pi.dwProcessId, "release").c_str());
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    HANDLE waits[2] = {ready, process_};
    held_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
    CloseHandle(ready);
    EXPECT_TRUE(held_) << "the other process did not take hold of " << path;
}

HeldFile::~HeldFile() {
    if (release_) {
        SetEvent(release_);
        CloseHandle(release_);
    }
    if (process_) {
        if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 9999);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

int HoldFileOpen(const char* path) {
    const DWORD pid = GetCurrentProcessId();
    UniqueKernelHandle ready(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, HoldEventName(pid, "ready").c_str()));
    UniqueKernelHandle release(
        OpenEventA(SYNCHRONIZE, FALSE, HoldEventName(pid, "release").c_str()));
    if (!ready || !release) {
        return 3;
    }
    UniqueFileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 4;
    }
    SetEvent(ready.get());
    // A minute at most: a test that forgets to let go must not leave it behind.
    return WaitForSingleObject(release.get(), 60000) == WAIT_OBJECT_0 ? 0 : 5;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot write " << path << ": " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

namespace {
void RemoveListFiles(const ListFolder& folder) {
    for (const std::string& name : {folder.ListFile(), folder.Companion()}) {
        SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(name.c_str());
        RemoveDirectoryA(name.c_str());
    }
}
}  // namespace

ListFolder::ListFolder(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + "vgwl-" + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    RemoveListFiles(*this);
}

ListFolder::~ListFolder() {
    RemoveListFiles(*this);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(path.c_str());
}

}  // namespace vgwl::test
