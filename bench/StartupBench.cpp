// Start-up and footprint of the installed program against two bare programs
// built with the same compiler and flags, all started from here in one Wine
// session: time to resident, memory, GDI objects, modules and handles after
// the start; then, with all three resident side by side, idle CPU, the
// WM_COPYDATA round trip and a notification soak. Medians and ratios to the
// bare program with controls (the goals), each figure with its source.
//
//   vgwl_bench_startup PRODUCT BARE_TRAY BARE_FORM [--rounds N] [--idle SECONDS]
//                      [--soak MESSAGES]

#include "ProcessProbe.h"
#include "component/Contract.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vgwl::bench;
using Clock = std::chrono::steady_clock;

constexpr double kSplashMilliseconds = 1500.0;
constexpr auto kSettleAfterResident = std::chrono::seconds(5);
constexpr auto kResidentTimeout = std::chrono::seconds(30);
constexpr ULONG_PTR kCopyDataTag = 0x4F4C5652;
constexpr int kTripBatch = 500;
constexpr int kTripBatches = 30;

enum ProgramId { kBareTray = 0, kBareForm = 1, kProduct = 2, kProgramCount = 3 };

struct Program {
    const char* label;
    std::string path;
    std::string windowClass;  // the window that answers WM_COPYDATA
};

struct StartFigures {
    double residentMs = 0;
    MemoryFigures memory;
    std::optional<GdiFigures> gdi;
    std::vector<std::string> modules;
    std::optional<SystemFigures> system;
};

struct Running {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;
};

struct FindState {
    DWORD pid;
    const char* className;  // null: any visible window
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid) {
        return TRUE;
    }
    if (state->className) {
        char name[128] = {};
        GetClassNameA(hwnd, name, sizeof(name));
        if (std::strcmp(name, state->className) != 0) {
            return TRUE;
        }
    } else if (!IsWindowVisible(hwnd)) {
        return TRUE;
    }
    state->found = hwnd;
    return FALSE;
}

HWND TopLevelWindow(DWORD pid, const char* className) {
    FindState state{pid, className, nullptr};
    EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Starts the program and waits until it is resident: its notification
// window exists and answers a sent WM_NULL (so its message loop runs), and
// no window of the process is visible (the splash is gone). Returns the time
// from the start to the answer.
std::optional<double> StartResident(const Program& program, Running& running) {
    std::string line = "\"" + program.path + "\"";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    const std::string dir = program.path.substr(0, program.path.find_last_of('\\'));
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    const Clock::time_point start = Clock::now();
    if (!CreateProcessA(program.path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &si, &running.info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", program.path.c_str(), GetLastError());
        return std::nullopt;
    }
    const DWORD pid = running.info.dwProcessId;
    while (Clock::now() - start < kResidentTimeout) {
        if (WaitForSingleObject(running.info.hProcess, 0) == WAIT_OBJECT_0) {
            return std::nullopt;
        }
        if (!running.window) {
            running.window = TopLevelWindow(pid, program.windowClass.c_str());
            if (!running.window) {
                Sleep(2);
                continue;
            }
        }
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(running.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) {
            const Clock::time_point answered = Clock::now();
            if (!TopLevelWindow(pid, nullptr)) {
                return Milliseconds(answered - start);
            }
        }
        Sleep(2);
    }
    return std::nullopt;
}

// Ends the program as its user would: the bare ones close their window, the
// product is left through its tray menu's Exit. Killed when that fails.
void Stop(ProgramId id, Running& running) {
    const DWORD pid = running.info.dwProcessId;
    if (id == kProduct) {
        PostMessageA(running.window, vgwl::contract::kWmTrayIcon, 1005, WM_RBUTTONUP);
        const Clock::time_point start = Clock::now();
        HWND menu = nullptr;
        while (!menu && Clock::now() - start < std::chrono::seconds(10)) {
            menu = TopLevelWindow(pid, "#32768");
            if (menu && !IsWindowVisible(menu)) {
                menu = nullptr;
            }
            Sleep(10);
        }
        if (menu) {
            // Exit is the last item: Up from no selection reaches it.
            for (WPARAM key : {VK_UP, VK_RETURN}) {
                PostMessageA(menu, WM_KEYDOWN, key, 1);
                PostMessageA(menu, WM_KEYUP, key, 0xC0000001);
            }
        }
    } else {
        PostMessageA(running.window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(running.info.hProcess, 10000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not end; killed\n", id == kProduct ? "product" : "bare");
        TerminateProcess(running.info.hProcess, 1);
        WaitForSingleObject(running.info.hProcess, 10000);
    }
    CloseHandle(running.info.hThread);
    CloseHandle(running.info.hProcess);
    running = Running{};
}

std::optional<StartFigures> MeasureStart(ProgramId id, const Program& program) {
    Running running;
    const std::optional<double> resident = StartResident(program, running);
    if (!resident) {
        std::fprintf(stderr, "%s did not become resident\n", program.label);
        if (running.info.hProcess) {
            TerminateProcess(running.info.hProcess, 1);
            CloseHandle(running.info.hThread);
            CloseHandle(running.info.hProcess);
        }
        return std::nullopt;
    }
    std::this_thread::sleep_for(kSettleAfterResident);
    StartFigures figures;
    figures.residentMs = *resident;
    HANDLE process = running.info.hProcess;
    figures.memory = ReadMemory(process).value_or(MemoryFigures{});
    figures.gdi = ReadGdiObjects(process, running.info.dwProcessId);
    figures.modules = ReadModules(process);
    figures.system = ReadSystemFigures(running.info.dwProcessId);
    Stop(id, running);
    return figures;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The settings the product starts with: blocking on, sound and blinking off
// (a notification is then answered at once, as the bare programs do), not a
// first run.
bool PrepareSettings() {
    const std::string key(vgwl::contract::kSettingsKey);
    HKEY hkey = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &hkey, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    auto set = [&](std::string_view name, DWORD value) {
        const std::string n(name);
        ok = ok &&
             RegSetValueExA(hkey, n.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value)) == ERROR_SUCCESS;
    };
    set(vgwl::contract::kValueBlockingOn, 1);
    set(vgwl::contract::kValueSoundOn, 0);
    set(vgwl::contract::kValueSoundIndex, 0);
    set(vgwl::contract::kValueBlinkOn, 0);
    set(vgwl::contract::kValueFirstRun, 0);
    RegCloseKey(hkey);
    return ok;
}

// Microseconds per WM_COPYDATA sent and answered, for a batch.
double RoundTripMicroseconds(HWND window, int messages) {
    std::string address = "http://www.example.com/popup.html";
    COPYDATASTRUCT data{kCopyDataTag, static_cast<DWORD>(address.size() + 1), address.data()};
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < messages; ++i) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                            10000, &answer);
    }
    return Milliseconds(Clock::now() - start) * 1000.0 / messages;
}

struct Snapshot {
    MemoryFigures memory;
    std::optional<GdiFigures> gdi;
    std::optional<SystemFigures> system;
};

Snapshot Take(const Running& running) {
    return Snapshot{ReadMemory(running.info.hProcess).value_or(MemoryFigures{}),
                    ReadGdiObjects(running.info.hProcess, running.info.dwProcessId),
                    ReadSystemFigures(running.info.dwProcessId)};
}

// ------------------------------------------------------------------ output

const char* Verdict(double ratio, double goal) { return ratio <= goal ? "met" : "NOT MET"; }

void Row(const char* figure, const double (&v)[kProgramCount], const char* unit, int decimals,
         double goal, const char* source) {
    const double ratio = v[kBareForm] > 0 ? v[kProduct] / v[kBareForm] : 0;
    char goalText[32] = "";
    if (goal > 0) {
        std::snprintf(goalText, sizeof(goalText), "<=%.2fx %s", goal, Verdict(ratio, goal));
    }
    std::printf("%-30s %10.*f %10.*f %10.*f %-3s %7.2fx %-16s %s\n", figure, decimals, v[kBareTray],
                decimals, v[kBareForm], decimals, v[kProduct], unit, ratio, goalText, source);
}

std::vector<std::string> Difference(const std::vector<std::string>& a,
                                    const std::vector<std::string>& b) {
    std::vector<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "" : " ") + n;
    }
    return out.empty() ? "(none)" : out;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: vgwl_bench_startup PRODUCT BARE_TRAY BARE_FORM [--rounds N] "
                 "[--idle SECONDS] [--soak MESSAGES]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    Program programs[kProgramCount] = {
        {"bare tray", argv[2], "VgwlBareTray"},
        {"bare form", argv[3], "VgwlBareTray"},
        {"product", argv[1], std::string(vgwl::contract::kMainWindowClass)},
    };
    int rounds = 5;
    int idleSeconds = 60;
    int soakMessages = 10000;
    for (int i = 4; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--rounds") == 0 && value > 0) {
            rounds = value;
        } else if (std::strcmp(argv[i], "--idle") == 0 && value >= 0) {
            idleSeconds = value;
        } else if (std::strcmp(argv[i], "--soak") == 0 && value >= 0) {
            soakMessages = value;
        } else {
            return Usage();
        }
    }
    if (!PrepareSettings()) {
        std::fprintf(stderr, "cannot write the settings key\n");
        return 1;
    }
    const bool gdiWorks = GdiSourceWorks();
    const bool handlesWork = HandleSourceWorks();
    const bool cpuWorks = CpuSourceWorks();
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // Start-ups: one unmeasured start of each first (file cache, first-use
    // work of Wine), then the rounds, the three programs in turn.
    std::vector<StartFigures> starts[kProgramCount];
    std::printf(
        "Starting each program %d times (plus one warm-up), %lld s after resident "
        "each...\n",
        rounds, static_cast<long long>(kSettleAfterResident.count()));
    for (int round = -1; round < rounds; ++round) {
        for (int id = 0; id < kProgramCount; ++id) {
            std::optional<StartFigures> f = MeasureStart(static_cast<ProgramId>(id), programs[id]);
            if (!f) {
                return 1;
            }
            if (round >= 0) {
                starts[id].push_back(std::move(*f));
            }
        }
    }

    // All three resident side by side.
    Running running[kProgramCount];
    for (int id = 0; id < kProgramCount; ++id) {
        if (!StartResident(programs[id], running[id])) {
            std::fprintf(stderr, "%s did not become resident\n", programs[id].label);
            return 1;
        }
    }
    std::this_thread::sleep_for(kSettleAfterResident);
    double idleMs[kProgramCount] = {};
    if (idleSeconds > 0) {
        std::printf("Idle for %d s with all three resident...\n", idleSeconds);
        std::optional<SystemFigures> before[kProgramCount];
        for (int id = 0; id < kProgramCount; ++id) {
            before[id] = ReadSystemFigures(running[id].info.dwProcessId);
        }
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        for (int id = 0; id < kProgramCount; ++id) {
            const std::optional<SystemFigures> after =
                ReadSystemFigures(running[id].info.dwProcessId);
            if (before[id] && after) {
                idleMs[id] = static_cast<double>(after->cpu100ns - before[id]->cpu100ns) / 1e4;
            }
        }
    }

    // Round trip: the bench and the three programs on one CPU, so that the
    // figure is the work of the answer and not how far the scheduler placed
    // a program from this one (waking another, idle core costs more than
    // the answer itself); short batches in turn, each round starting with
    // another program, so that a slow moment falls on all three alike.
    DWORD_PTR ownMask = 0;
    DWORD_PTR systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &ownMask, &systemMask);
    const DWORD_PTR oneCpu = ownMask & (~ownMask + 1);  // the lowest CPU this bench may use
    bool pinned = oneCpu != 0 && SetProcessAffinityMask(GetCurrentProcess(), oneCpu);
    for (int id = 0; id < kProgramCount && pinned; ++id) {
        pinned = SetProcessAffinityMask(running[id].info.hProcess, oneCpu) != FALSE;
    }
    std::vector<double> trip[kProgramCount];
    for (int b = 0; b < kTripBatches; ++b) {
        for (int k = 0; k < kProgramCount; ++k) {
            const int id = (b + k) % kProgramCount;
            trip[id].push_back(RoundTripMicroseconds(running[id].window, kTripBatch));
        }
    }

    // Soak: many notifications, then what is left over.
    Snapshot soakBefore[kProgramCount];
    Snapshot soakAfter[kProgramCount];
    if (soakMessages > 0) {
        std::printf("Soak: %d notifications to each...\n", soakMessages);
        for (int id = 0; id < kProgramCount; ++id) {
            soakBefore[id] = Take(running[id]);
            (void)RoundTripMicroseconds(running[id].window, soakMessages);
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        for (int id = 0; id < kProgramCount; ++id) {
            soakAfter[id] = Take(running[id]);
        }
    }
    for (int id = 0; id < kProgramCount; ++id) {
        Stop(static_cast<ProgramId>(id), running[id]);
    }
    SetProcessAffinityMask(GetCurrentProcess(), ownMask);

    // ------------------------------------------------------------- report
    auto median = [&](int id, const std::function<double(const StartFigures&)>& pick) {
        std::vector<double> v;
        for (const StartFigures& f : starts[id]) {
            v.push_back(pick(f));
        }
        return Median(v);
    };
    auto column = [&](const std::function<double(const StartFigures&)>& pick,
                      double(&out)[kProgramCount]) {
        for (int id = 0; id < kProgramCount; ++id) {
            out[id] = median(id, pick);
        }
    };

    std::printf(
        "\nMedians of %d starts; ratio = product / bare form (bare program with forty "
        "controls)\n",
        rounds);
    std::printf("%-30s %10s %10s %10s %-3s %8s %-16s %s\n", "figure", "bare tray", "bare form",
                "product", "", "ratio", "goal", "source");
    double v[kProgramCount];
    column([](const StartFigures& f) { return f.residentMs; }, v);
    Row("time to resident, as measured", v, "ms", 0, 0, "CreateProcess to answered WM_NULL");
    v[kProduct] -= kSplashMilliseconds;
    Row("  product less the 1.5 s splash", v, "ms", 0, 1.5, "the same, less 1500 ms");
    for (int id = 0; id < kProgramCount; ++id) {
        std::string each;
        for (const StartFigures& f : starts[id]) {
            each += " " + std::to_string(static_cast<long>(f.residentMs));
        }
        std::printf("%-30s %s:%s ms\n", "    each start", programs[id].label, each.c_str());
    }
    column([](const StartFigures& f) { return f.memory.privateBytes / 1024.0; }, v);
    Row("private memory after 5 s", v, "KB", 0, 1.2, "GetProcessMemoryInfo PagefileUsage");
    column([](const StartFigures& f) { return f.memory.workingSet / 1024.0; }, v);
    Row("working set after 5 s", v, "KB", 0, 0, "GetProcessMemoryInfo WorkingSetSize");
    const char* gdiSource = gdiWorks ? "GDI handle table of the process (PEB), read from outside"
                                     : "UNAVAILABLE: the GDI handle table gave wrong counts";
    const std::pair<const char*, int GdiFigures::*> gdiRows[] = {
        {"GDI objects", &GdiFigures::total},
        {"  bitmaps", &GdiFigures::bitmaps},
        {"  fonts", &GdiFigures::fonts},
        {"  regions", &GdiFigures::regions},
        {"  device contexts", &GdiFigures::dcs},
        {"  brushes", &GdiFigures::brushes},
        {"  pens", &GdiFigures::pens},
        {"  other (type 05, one per DC)", &GdiFigures::other},
    };
    for (const auto& [name, member] : gdiRows) {
        column(
            [member = member](const StartFigures& f) {
                return f.gdi ? static_cast<double>((*f.gdi).*member) : -1.0;
            },
            v);
        Row(name, v, "", 0, member == &GdiFigures::total ? 1.5 : 0,
            member == &GdiFigures::total ? gdiSource : "");
    }
    column([](const StartFigures& f) { return static_cast<double>(f.modules.size()); }, v);
    Row("loaded modules", v, "", 0, 0, "EnumProcessModulesEx");
    const char* handleSource = handlesWork
                                   ? "NtQuerySystemInformation(SystemExtendedHandleInformation)"
                                   : "UNAVAILABLE: NtQuerySystemInformation";
    column([](const StartFigures& f) { return f.system ? f.system->handles : -1.0; }, v);
    Row("handles", v, "", 0, 0, handleSource);
    column([](const StartFigures& f) { return f.system ? f.system->threads : -1.0; }, v);
    Row("threads", v, "", 0, 0, "NtQuerySystemInformation(SystemProcessInformation)");

    for (int id = 0; id < kProgramCount; ++id) {
        v[id] = Median(trip[id]);
    }
    std::printf("\nSide by side, all three resident\n");
    char tripSource[128];
    std::snprintf(tripSource, sizeof(tripSource),
                  "SendMessageTimeout from this process, median of %d x %d, %s", kTripBatches,
                  kTripBatch, pinned ? "all on one CPU" : "CPUs as the system chose");
    Row("WM_COPYDATA round trip", v, "us", 1, 1.05, tripSource);
    if (idleSeconds > 0) {
        for (int id = 0; id < kProgramCount; ++id) {
            v[id] = idleMs[id];
        }
        char label[64];
        std::snprintf(label, sizeof(label), "idle CPU over %d s", idleSeconds);
        Row(label, v, "ms", 0, 0,
            cpuWorks ? "NtQuerySystemInformation user+kernel time (Wine: /proc/<pid>/stat, 10 ms "
                       "ticks)"
                     : "UNAVAILABLE: NtQuerySystemInformation gave no CPU time");
        std::printf("%-30s product %s (goal: no more than one 10 ms tick)\n", "",
                    idleMs[kProduct] <= 10.0 ? "met" : "NOT MET");
    }
    if (soakMessages > 0) {
        char label[64];
        std::snprintf(label, sizeof(label), "soak, %d notifications:", soakMessages);
        std::printf("%s growth after / before (goal: none in the product)\n", label);
        for (int id = 0; id < kProgramCount; ++id) {
            const Snapshot& a = soakBefore[id];
            const Snapshot& b = soakAfter[id];
            const long long memory = static_cast<long long>(b.memory.privateBytes / 1024) -
                                     static_cast<long long>(a.memory.privateBytes / 1024);
            const long long handles = (a.system && b.system)
                                          ? static_cast<long long>(b.system->handles) -
                                                static_cast<long long>(a.system->handles)
                                          : 0;
            const long long gdi = (a.gdi && b.gdi) ? b.gdi->total - a.gdi->total : 0;
            std::printf(
                "  %-10s private memory %+lld KB (%llu -> %llu), handles %+lld, GDI "
                "objects %+lld\n",
                programs[id].label, memory,
                static_cast<unsigned long long>(a.memory.privateBytes / 1024),
                static_cast<unsigned long long>(b.memory.privateBytes / 1024), handles, gdi);
        }
    }

    std::printf(
        "\nModules of the product that the bare form does not load: %s\n",
        Join(Difference(starts[kProduct].front().modules, starts[kBareForm].front().modules))
            .c_str());
    std::printf(
        "Modules of the bare form that the bare tray does not load: %s\n",
        Join(Difference(starts[kBareForm].front().modules, starts[kBareTray].front().modules))
            .c_str());
    std::printf(
        "\nResident: the notification window exists and answers a sent WM_NULL (its "
        "message loop runs) and no window of the process is visible (the splash is "
        "gone).\nGetGuiResources, GetProcessTimes and GetProcessHandleCount do not work "
        "on another process under Wine and are not used.\n");
    return 0;
}
