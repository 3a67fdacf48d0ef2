// vgwlhost: the browser bridge, a native messaging host. The browser starts it
// and talks to it over stdin and stdout (component/BridgeProtocol.h). It
// answers every message at once; the front end is told of stopped popups from
// a thread of its own, and changes of the switch or the white list reach the
// browser from a thread that sleeps until the settings key changes.

#include "component/BridgeProtocol.h"
#include "component/Contract.h"
#include "component/olvrex/olvrex.h"
#include "toolkit/FilePaths.h"
#include "toolkit/Handles.h"
#include "toolkit/ModuleFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace vgwl;
using bridge::State;

// Longest wait for the front end's answer, which comes after its sound and
// its blink; a hung front end is given up on at once.
constexpr std::uint32_t kNotifyTimeoutMs = 10000;
// Exit code when the component cannot be used.
constexpr int kExitNoComponent = 3;

// Runs `work` on a thread of its own that is never joined. Its stack is kept
// small: each of the bridge's threads waits in one system call and calls
// little, and the bridge is resident as long as the browser.
template <typename Work>
DWORD WINAPI ThreadMain(void* argument) {
    (*static_cast<Work*>(argument))();
    return 0;
}

template <typename Work>
bool StartThread(Work* work) {
    constexpr SIZE_T kStackReserve = 256 * 1024;
    const HANDLE thread = CreateThread(nullptr, kStackReserve, &ThreadMain<Work>, work,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        return false;
    }
    CloseHandle(thread);
    return true;
}

class StdinSource final : public bridge::ByteSource {
public:
    std::size_t Read(void* buffer, std::size_t size) override {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, chunk, &got, nullptr)) {
            return 0;  // the browser closed the pipe
        }
        return got;
    }
};

class StdoutSink final : public bridge::FrameSink {
public:
    bool Write(std::string_view frame) override {
        const std::lock_guard lock(mutex_);
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        while (!frame.empty()) {
            DWORD written = 0;
            if (!WriteFile(out, frame.data(), static_cast<DWORD>(frame.size()), &written,
                           nullptr) ||
                written == 0) {
                return false;
            }
            frame.remove_prefix(written);
        }
        return true;
    }

private:
    std::mutex mutex_;
};

// The component's exports the bridge uses.
struct Component {
    OlvrexReadBlockingFn readBlocking = nullptr;
    OlvrexReadWhiteListHostsFn readHosts = nullptr;
    OlvrexCountPopupsFn countPopups = nullptr;
    OlvrexNotifyFrontEndFn notifyFrontEnd = nullptr;

    template <typename Fn>
    static Fn Export(HMODULE module, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    // olvrex.dll beside this program, by its full path; what it needs comes
    // from its own folder or the system's, never from a search path.
    bool Load() {
        const std::string folder = ExtractFilePath(ModuleFilePath(nullptr));
        if (folder.empty()) {
            return false;
        }
        const std::string path = folder + std::string(contract::kComponentFileName);
        const HMODULE module = LoadLibraryExA(
            path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module) {
            return false;
        }
        readBlocking = Export<OlvrexReadBlockingFn>(module, OLVREX_READ_BLOCKING_EXPORT);
        readHosts = Export<OlvrexReadWhiteListHostsFn>(module, OLVREX_READ_WHITE_LIST_HOSTS_EXPORT);
        countPopups = Export<OlvrexCountPopupsFn>(module, OLVREX_COUNT_POPUPS_EXPORT);
        notifyFrontEnd = Export<OlvrexNotifyFrontEndFn>(module, OLVREX_NOTIFY_FRONT_END_EXPORT);
        return readBlocking && readHosts && countPopups && notifyFrontEnd;
    }
};

// Tells the front end from a thread of its own, started for a burst of
// popups and ended once it is told: an idle bridge holds no thread for it
// (each thread costs about 1 MB under Wine). Popups stopped while a
// notification is being answered are gathered and announced by one more.
class Notifier {
public:
    explicit Notifier(const Component& component) : component_(component) {}

    void Add(std::string address) {
        const std::lock_guard lock(mutex_);
        ++pending_;
        address_ = std::move(address);
        if (!running_) {
            running_ = StartThread(&run_);
        }
    }

private:
    void Run() {
        for (;;) {
            std::string address;
            {
                const std::lock_guard lock(mutex_);
                if (pending_ == 0) {
                    running_ = false;
                    return;
                }
                pending_ = 0;
                address.swap(address_);
            }
            // The front end does not read the data; it carries the last
            // popup's address for anyone watching the messages.
            component_.notifyFrontEnd(address.c_str(),
                                      static_cast<std::uint32_t>(address.size() + 1),
                                      kNotifyTimeoutMs);
        }
    }

    const Component& component_;
    std::mutex mutex_;
    std::uint32_t pending_ = 0;
    std::string address_;
    bool running_ = false;
    std::function<void()> run_ = [this] { Run(); };
};

class BridgeServices final : public bridge::Services {
public:
    BridgeServices(const Component& component, Notifier& notifier)
        : component_(component), notifier_(notifier) {}

    State CurrentState() override {
        const std::lock_guard lock(mutex_);
        State state;
        std::int32_t blocking = 0;
        state.blocking = component_.readBlocking(&blocking) == OLVREX_OK && blocking != 0;
        std::uint32_t needed = 0;
        std::vector<char> buffer(4096);
        std::int32_t result = OLVREX_BUFFER_TOO_SMALL;
        // The table may grow between the two calls: ask again, a few times.
        for (int attempt = 0; attempt < 4 && result == OLVREX_BUFFER_TOO_SMALL; ++attempt) {
            result = component_.readHosts(buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                                          &needed);
            if (result == OLVREX_BUFFER_TOO_SMALL) {
                buffer.resize(needed);
            }
        }
        if (result == OLVREX_OK) {
            hosts_.clear();
            for (std::size_t pos = 0; pos < needed && buffer[pos] != '\0';) {
                const std::string host(buffer.data() + pos);
                pos += host.size() + 1;
                hosts_.push_back(host);
            }
        }
        // A table that cannot be read just now keeps the hosts read before.
        state.hosts = hosts_;
        return state;
    }

    std::optional<std::uint32_t> CountBlocked(const std::string& page,
                                              const std::string& popup) override {
        std::uint32_t count = 0;
        const bool counted = component_.countPopups(1, &count) == OLVREX_OK;
        notifier_.Add(popup.empty() ? page : popup);
        if (!counted) {
            return std::nullopt;
        }
        return count;
    }

private:
    const Component& component_;
    Notifier& notifier_;
    std::mutex mutex_;
    std::vector<std::string> hosts_;
};

// Sleeps until the settings key changes (the switch, or the serial the
// front end raises after publishing the white list) and then sends the new
// state if it is one. While the key does not exist, the nearest key above it
// is watched for it to appear. No polling.
void WatchSettings(bridge::StatePublisher& publisher, BridgeServices& services) {
    const std::string settings(contract::kSettingsKey);
    UniqueKernelHandle changed(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!changed) {
        return;
    }
    for (;;) {
        std::string path = settings;
        UniqueHkey key;
        while (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_NOTIFY, key.put()) !=
               ERROR_SUCCESS) {
            const std::size_t cut = path.rfind('\\');
            if (cut == std::string::npos) {
                return;
            }
            path.resize(cut);
        }
        const bool watchingSettings = path == settings;
        const DWORD filter = watchingSettings ? REG_NOTIFY_CHANGE_LAST_SET
                                              : REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        // Above the settings key, its whole subtree: the key may appear
        // several levels down at once.
        if (RegNotifyChangeKeyValue(key.get(), watchingSettings ? FALSE : TRUE, filter,
                                    changed.get(), TRUE) != ERROR_SUCCESS) {
            return;
        }
        // A change made before the watch was armed (the browser may have had
        // its state already) is caught here.
        if (!publisher.Publish([&] { return services.CurrentState(); }, false)) {
            ExitProcess(bridge::kExitOutputClosed);
        }
        while (WaitForSingleObject(changed.get(), INFINITE) == WAIT_OBJECT_0) {
            // Armed again before reading, so that no change between the two
            // is missed.
            const bool armed =
                watchingSettings && RegNotifyChangeKeyValue(key.get(), FALSE, filter,
                                                            changed.get(), TRUE) == ERROR_SUCCESS;
            if (!publisher.Publish([&] { return services.CurrentState(); }, false)) {
                ExitProcess(bridge::kExitOutputClosed);
            }
            if (!armed) {
                break;  // the key appeared or went: open it anew
            }
        }
    }
}

}  // namespace

int main() {
    // Whatever this program loads from now on comes from the system folder
    // unless named by its full path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The frames are bytes: no CR LF translation, no end at 0x1A.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);

    // Never freed: detached threads may still use them when the session ends.
    StdinSource in;
    auto& out = *new StdoutSink;
    auto& component = *new Component;
    if (!component.Load()) {
        std::fputs("vgwlhost: the blocking component olvrex.dll beside this program cannot be "
                   "loaded\n",
                   stderr);
        out.Write(bridge::EncodeFrame(
            R"({"type":"error","reason":"the blocking component cannot be loaded"})"));
        return kExitNoComponent;
    }
    auto& notifier = *new Notifier(component);
    auto& services = *new BridgeServices(component, notifier);
    auto& publisher = *new bridge::StatePublisher(out);
    StartThread(new auto([&publisher, &services] { WatchSettings(publisher, services); }));

    const int code = bridge::Serve(in, out, publisher, services);
    // Ends the detached threads too, even one waiting on a slow front end.
    ExitProcess(static_cast<UINT>(code));
}
