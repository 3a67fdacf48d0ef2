#pragma once
// Drives a browser bridge from outside, as a browser does: starts
// vgwlhost.exe with pipes for stdin and stdout and speaks its framing. Also a
// window of the front end's class and caption that counts WM_COPYDATA. The
// bridge bench's driver; the whole-program tests use it too.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vgwl::test {

class BridgeDriver {
public:
    BridgeDriver() = default;
    ~BridgeDriver();
    BridgeDriver(const BridgeDriver&) = delete;
    BridgeDriver& operator=(const BridgeDriver&) = delete;

    // Starts the bridge `program` in `workingDir`.
    bool Start(const std::string& program, const std::string& workingDir = {});
    // Writes raw bytes, or one framed message.
    bool WriteRaw(const std::string& bytes);
    bool Send(const nlohmann::json& message);
    // Ends the bridge's input, as a closing browser does.
    void CloseInput();
    // The next message from the bridge, waiting at most `timeout`.
    std::optional<nlohmann::json> Next(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The exit code once the bridge has ended, waiting at most `timeout`.
    std::optional<DWORD> WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    [[nodiscard]] HANDLE Process() const noexcept { return process_; }

private:
    void ReadLoop();

    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;   // our end of its stdin
    HANDLE output_ = nullptr;  // our end of its stdout
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<nlohmann::json> messages_;
    bool ended_ = false;
};

// A top-level window with the front end's class name and caption, on its own
// thread, counting WM_COPYDATA. It may answer after a delay, as the front end
// does after its sound and blink, or hang (stop taking messages) on request.
class FakeFrontEnd {
public:
    explicit FakeFrontEnd(DWORD answerDelayMs = 0);
    ~FakeFrontEnd();
    FakeFrontEnd(const FakeFrontEnd&) = delete;
    FakeFrontEnd& operator=(const FakeFrontEnd&) = delete;

    [[nodiscard]] bool Ready() const noexcept { return window_ != nullptr; }
    [[nodiscard]] int Received() const noexcept { return received_; }
    // Waits until at least `count` messages arrived.
    bool WaitFor(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // The window's thread stops taking messages until Release().
    void Hang();
    void Release();
    // Performance counter readings of each arrival.
    std::vector<LONGLONG> Arrivals() const;
    // For each arrival, the performance counter reading its sender put in
    // the data (8 bytes), else 0.
    std::vector<LONGLONG> Stamps() const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Run();

    DWORD delayMs_;
    std::thread thread_;
    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    std::atomic<int> received_{0};
    mutable std::mutex mutex_;
    std::vector<LONGLONG> arrivals_;
    std::vector<LONGLONG> stamps_;
};

}  // namespace vgwl::test
