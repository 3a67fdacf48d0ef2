// The browser bridge, driven as a browser drives it:
//  - a stopped popup (a framed "blocked" written to the bridge's stdin) until
//    a window of the front end's class receives its WM_COPYDATA, against a
//    bare SendMessageTimeout of WM_COPYDATA from another process to the same
//    window, measured in the same run (median and 90th percentile);
//  - the bridge's memory while it runs, against a bare console program that
//    reads stdin, and the CPU time it takes while idle.
//
//   vgwl_bench_bridge BRIDGE BARE_CONSOLE [--rounds N]
//   vgwl_bench_bridge --send HWND N        (the baseline's sender)

#include "BridgeDriver.h"
#include "ProcessProbe.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace vgwl;

double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

struct Spread {
    double median = 0;
    double p90 = 0;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        return {};
    }
    return {values[values.size() / 2], values[values.size() * 9 / 10]};
}

// The baseline's sender: N messages, each stamped with the time it was sent.
int Send(HWND target, int count) {
    for (int i = 0; i < count; ++i) {
        LONGLONG stamp = Now();
        COPYDATASTRUCT data{0x4F4C5652, sizeof(stamp), &stamp};
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, 10000, &answer);
        Sleep(2);
    }
    return 0;
}

std::vector<double> Baseline(test::FakeFrontEnd& window, int rounds) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HWND target = FindWindowA("TVMGWLPreferences", "Velmora Gatewick Lite");
    std::string commandLine = "\"" + std::string(self) + "\" --send " +
                              std::to_string(reinterpret_cast<std::uintptr_t>(target)) + " " +
                              std::to_string(rounds);
    STARTUPINFOA startup{sizeof(startup)};
    PROCESS_INFORMATION info{};
    const std::size_t before = window.Arrivals().size();
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return {};
    }
    WaitForSingleObject(info.hProcess, 120000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::vector<double> latencies;
    const auto arrivals = window.Arrivals();
    const auto stamps = window.Stamps();
    for (std::size_t i = before; i < arrivals.size() && i < stamps.size(); ++i) {
        latencies.push_back(Milliseconds(arrivals[i] - stamps[i]));
    }
    return latencies;
}

std::vector<double> ThroughTheBridge(test::BridgeDriver& bridge, test::FakeFrontEnd& window,
                                     int rounds) {
    std::vector<double> latencies;
    for (int i = 0; i < rounds; ++i) {
        const int expected = window.Received() + 1;
        const LONGLONG start = Now();
        bridge.Send({{"type", "blocked"}, {"page", "http://page.bench/"}, {"popup", "http://pop.bench/"}});
        if (!window.WaitFor(expected, std::chrono::seconds(20)) || !bridge.Next()) {
            std::fprintf(stderr, "no notification for popup %d\n", i);
            break;
        }
        latencies.push_back(Milliseconds(window.Arrivals().back() - start));
        Sleep(2);
    }
    return latencies;
}

HANDLE StartBare(const std::string& program, const char* arguments, HANDLE& input) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE childIn = nullptr;
    if (!CreatePipe(&childIn, &input, &inherit, 0)) {
        return nullptr;
    }
    SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    CloseHandle(childIn);
    if (!started) {
        return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--send") {
        return Send(reinterpret_cast<HWND>(std::strtoull(argv[2], nullptr, 10)), std::atoi(argv[3]));
    }
    if (argc < 3) {
        std::fputs("usage: vgwl_bench_bridge BRIDGE BARE_CONSOLE [--rounds N]\n", stderr);
        return 2;
    }
    int rounds = 200;
    if (argc == 5 && std::string(argv[3]) == "--rounds") {
        rounds = std::max(10, std::atoi(argv[4]));
    }

    test::FakeFrontEnd window;
    test::BridgeDriver bridge;
    if (!window.Ready() || !bridge.Start(argv[1])) {
        std::fputs("cannot start the window or the bridge\n", stderr);
        return 1;
    }
    HANDLE bareInput = nullptr;
    HANDLE bareProcess = StartBare(argv[2], "", bareInput);
    HANDLE systemInput = nullptr;
    HANDLE systemProcess = StartBare(argv[2], "--system", systemInput);
    bridge.Send({{"type", "hello"}});
    bridge.Next();
    Sleep(1500);
    const auto bareMemory = bareProcess ? bench::ReadMemory(bareProcess) : std::nullopt;
    const auto systemMemory = systemProcess ? bench::ReadMemory(systemProcess) : std::nullopt;
    const auto beforePopups = bench::ReadMemory(bridge.Process());
    const auto modulesBefore = bench::ReadModules(bridge.Process());

    // Warm: the first message loads what the later ones find loaded.
    ThroughTheBridge(bridge, window, 5);
    Baseline(window, 5);
    const Spread bare = SpreadOf(Baseline(window, rounds));
    const Spread viaBridge = SpreadOf(ThroughTheBridge(bridge, window, rounds));
    std::printf("Stopped popup to WM_COPYDATA at the front end's window (%d popups each)\n", rounds);
    std::printf("  bare SendMessageTimeout between two processes  median %7.3f ms   p90 %7.3f ms\n",
                bare.median, bare.p90);
    std::printf("  framed \"blocked\" through the bridge           median %7.3f ms   p90 %7.3f ms\n",
                viaBridge.median, viaBridge.p90);
    std::printf("  ratio to the bare message                      median %7.2f      p90 %7.2f"
                "      goal: median <= 20 ms: %s\n",
                viaBridge.median / bare.median, viaBridge.p90 / bare.p90,
                viaBridge.median <= 20.0 ? "met" : "NOT met");

    // Memory, with the bridge idle after its work, against a bare reader.
    Sleep(1500);
    const auto afterPopups = bench::ReadMemory(bridge.Process());
    const auto modulesAfter = bench::ReadModules(bridge.Process());
    const DWORD bridgeId = GetProcessId(bridge.Process());
    const auto cpuBefore = bench::ReadSystemFigures(bridgeId);
    Sleep(3000);
    const auto cpuAfter = bench::ReadSystemFigures(bridgeId);
    std::printf("Bridge memory against a bare console program reading stdin (%.0f KB working set, "
                "%.0f KB private)\n",
                bareMemory ? static_cast<double>(bareMemory->workingSet) / 1024.0 : 0.0,
                bareMemory ? static_cast<double>(bareMemory->privateBytes) / 1024.0 : 0.0);
    const auto show = [&](const char* when, const std::optional<bench::MemoryFigures>& figures,
                          std::size_t modules) {
        if (!figures || !bareMemory) {
            return;
        }
        const double ws = static_cast<double>(figures->workingSet) /
                          static_cast<double>(bareMemory->workingSet);
        const double priv = static_cast<double>(figures->privateBytes) /
                            static_cast<double>(bareMemory->privateBytes);
        std::printf("  %-28s working set %8.0f KB ratio %.2f   private %8.0f KB ratio %.2f   "
                    "%zu modules   goal <= 1.2: %s\n",
                    when, static_cast<double>(figures->workingSet) / 1024.0, ws,
                    static_cast<double>(figures->privateBytes) / 1024.0, priv, modules,
                    ws <= 1.2 && priv <= 1.2 ? "met" : "NOT met");
    };
    show("after hello, no popup yet", beforePopups, modulesBefore.size());
    show("after the popups above", afterPopups, modulesAfter.size());
    if (systemMemory && afterPopups) {
        const bench::MemoryFigures system = *systemMemory;
        const bench::MemoryFigures bridgeNow = *afterPopups;
        std::printf("  against the same program with advapi32 and user32 loaded (%.0f KB working "
                    "set, %.0f KB private): ratio %.2f working set, %.2f private\n",
                    static_cast<double>(system.workingSet) / 1024.0,
                    static_cast<double>(system.privateBytes) / 1024.0,
                    static_cast<double>(bridgeNow.workingSet) /
                        static_cast<double>(system.workingSet),
                    static_cast<double>(bridgeNow.privateBytes) /
                        static_cast<double>(system.privateBytes));
    }
    for (const std::string& module : modulesAfter) {
        if (std::find(modulesBefore.begin(), modulesBefore.end(), module) == modulesBefore.end()) {
            std::printf("    loaded for the notifications: %s\n", module.c_str());
        }
    }
    if (cpuBefore && cpuAfter) {
        std::printf("Bridge CPU time while idle for 3 s: %.1f ms (%u threads)\n",
                    static_cast<double>(cpuAfter->cpu100ns - cpuBefore->cpu100ns) / 1e4,
                    cpuAfter->threads);
    }
    for (const auto& [process, input] : {std::pair{bareProcess, bareInput},
                                          std::pair{systemProcess, systemInput}}) {
        if (process) {
            CloseHandle(input);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    bridge.CloseInput();
    bridge.WaitExit();
    return 0;
}
