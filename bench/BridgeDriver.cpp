#include "BridgeDriver.h"

#include "component/BridgeProtocol.h"
#include "component/Contract.h"

#include <cstring>

namespace vgwl::test {

namespace {

class PipeSource final : public bridge::ByteSource {
public:
    explicit PipeSource(HANDLE pipe) : pipe_(pipe) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        DWORD got = 0;
        if (!ReadFile(pipe_, buffer, static_cast<DWORD>(size), &got, nullptr)) {
            return 0;
        }
        return got;
    }

private:
    HANDLE pipe_;
};

}  // namespace

BridgeDriver::~BridgeDriver() {
    CloseInput();
    if (process_) {
        // A bridge that did not end on its own is ended here, by its handle.
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    if (output_) {
        CloseHandle(output_);
    }
    if (process_) {
        CloseHandle(process_);
    }
}

bool BridgeDriver::Start(const std::string& program, const std::string& workingDir) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!CreatePipe(&childIn, &input_, &inherit, 0) ||
        !CreatePipe(&output_, &childOut, &inherit, 0)) {
        return false;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const std::string& exe = program;
    // As a browser starts it: the caller's origin as its argument.
    std::string commandLine = "\"" + exe + "\" chrome-extension://" +
                              std::string(contract::kExtensionId) + "/";
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    reader_ = std::thread([this] { ReadLoop(); });
    return true;
}

void BridgeDriver::ReadLoop() {
    PipeSource source(output_);
    std::string payload;
    while (bridge::ReadFrame(source, payload) == bridge::FrameRead::Message) {
        auto message = nlohmann::json::parse(payload, nullptr, false);
        const std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
        arrived_.notify_all();
    }
    const std::lock_guard lock(mutex_);
    ended_ = true;
    arrived_.notify_all();
}

bool BridgeDriver::WriteRaw(const std::string& bytes) {
    DWORD written = 0;
    return input_ && WriteFile(input_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                               nullptr) &&
           written == bytes.size();
}

bool BridgeDriver::Send(const nlohmann::json& message) {
    return WriteRaw(bridge::EncodeFrame(message.dump()));
}

void BridgeDriver::CloseInput() {
    if (input_) {
        CloseHandle(input_);
        input_ = nullptr;
    }
}

std::optional<nlohmann::json> BridgeDriver::Next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !messages_.empty() || ended_; }) ||
        messages_.empty()) {
        return std::nullopt;
    }
    nlohmann::json message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

std::optional<DWORD> BridgeDriver::WaitExit(std::chrono::milliseconds timeout) {
    if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) !=
                         WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

FakeFrontEnd::FakeFrontEnd(DWORD answerDelayMs) : delayMs_(answerDelayMs) {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, 10000);
}

FakeFrontEnd::~FakeFrontEnd() {
    Release();
    if (window_) {
        PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseHandle(ready_);
    CloseHandle(release_);
}

void FakeFrontEnd::Run() {
    // A class of its own module-less instance: no clash with another copy.
    const std::string className(contract::kMainWindowClass);
    const std::string caption(contract::kMainWindowCaption);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &FakeFrontEnd::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className.c_str();
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, className.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                              200, 100, nullptr, nullptr, wc.hInstance, this);
    SetEvent(ready_);
    if (!window_) {
        return;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    UnregisterClassA(className.c_str(), wc.hInstance);
}

LRESULT CALLBACK FakeFrontEnd::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FakeFrontEnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == WM_COPYDATA) {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            LONGLONG stamp = 0;
            if (data && data->cbData == sizeof(stamp) && data->lpData) {
                std::memcpy(&stamp, data->lpData, sizeof(stamp));
            }
            const std::lock_guard lock(self->mutex_);
            self->arrivals_.push_back(now.QuadPart);
            self->stamps_.push_back(stamp);
        }
        ++self->received_;
        if (self->delayMs_ != 0) {
            Sleep(self->delayMs_);
        }
        return 0;
    }
    if (self && msg == WM_APP) {
        // Hangs: takes no message until released.
        WaitForSingleObject(self->release_, 60000);
        return 0;
    }
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

bool FakeFrontEnd::WaitFor(int count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received_ < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

void FakeFrontEnd::Hang() {
    ResetEvent(release_);
    PostMessageA(window_, WM_APP, 0, 0);
}

void FakeFrontEnd::Release() { SetEvent(release_); }

std::vector<LONGLONG> FakeFrontEnd::Stamps() const {
    const std::lock_guard lock(mutex_);
    return stamps_;
}

std::vector<LONGLONG> FakeFrontEnd::Arrivals() const {
    const std::lock_guard lock(mutex_);
    return arrivals_;
}

}  // namespace vgwl::test
