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
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
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

}  // namespace vgwl::test
