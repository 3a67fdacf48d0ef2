#include "ProcessProbe.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vgwl::bench {
namespace {

// One entry of the GDI handle table the PEB points to: 24 bytes on 64-bit
// Windows and on Wine, which keeps the same layout.
struct GdiTableEntry {
    std::uint64_t object;
    std::uint16_t processId;
    std::uint16_t count;
    std::uint8_t extType;  // low 7 bits: the object's type; high bit: stock object
    std::uint8_t generation;
    std::uint8_t type;  // 0 marks a free entry
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiTableEntry) == 24);

constexpr std::size_t kGdiTableEntries = 0x10000;
// PEB::GdiSharedHandleTable of a 64-bit process.
constexpr std::size_t kPebGdiTableOffset = 0xF8;

// The documented head of SYSTEM_PROCESS_INFORMATION, with the times that
// winternl.h keeps in its reserved bytes spelled out.
struct ProcessRecord {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    LARGE_INTEGER workingSetPrivateSize;
    ULONG hardFaultCount;
    ULONG numberOfThreadsHighWatermark;
    ULONGLONG cycleTime;
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    UNICODE_STRING imageName;
    LONG basePriority;
    HANDLE uniqueProcessId;
    HANDLE inheritedFromUniqueProcessId;
    ULONG handleCount;
};

// SYSTEM_HANDLE_INFORMATION_EX (SystemExtendedHandleInformation), one entry
// per open handle of every process.
constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTableHead {
    ULONG_PTR count;
    ULONG_PTR reserved;
};

// Asks for one system table, growing the buffer while the table grows; a
// bound keeps a broken answer from growing it for ever.
std::optional<std::vector<BYTE>> QuerySystem(SYSTEM_INFORMATION_CLASS what) {
    std::vector<BYTE> buffer(1 << 18);
    for (;;) {
        ULONG length = 0;
        const NTSTATUS status = NtQuerySystemInformation(
            what, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
        if (NT_SUCCESS(status)) {
            return buffer;
        }
        // STATUS_INFO_LENGTH_MISMATCH
        if (status != static_cast<NTSTATUS>(0xC0000004L) || buffer.size() >= (1u << 27)) {
            return std::nullopt;
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, length));
    }
}

std::optional<std::uint32_t> CountHandles(DWORD processId) {
    const std::optional<std::vector<BYTE>> table = QuerySystem(kSystemExtendedHandleInformation);
    if (!table || table->size() < sizeof(HandleTableHead)) {
        return std::nullopt;
    }
    HandleTableHead head;
    std::memcpy(&head, table->data(), sizeof(head));
    const std::size_t room = (table->size() - sizeof(head)) / sizeof(HandleEntry);
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(head.count, room); ++i) {
        HandleEntry entry;
        std::memcpy(&entry, table->data() + sizeof(head) + i * sizeof(HandleEntry), sizeof(entry));
        if (entry.processId == processId) {
            ++count;
        }
    }
    return count;
}

std::optional<std::uintptr_t> GdiTableAddress(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (!NT_SUCCESS(NtQueryInformationProcess(process, ProcessBasicInformation, &basic,
                                              sizeof(basic), &length)) ||
        !basic.PebBaseAddress) {
        return std::nullopt;
    }
    std::uintptr_t table = 0;
    SIZE_T read = 0;
    const auto* field = reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset;
    if (!ReadProcessMemory(process, field, &table, sizeof(table), &read) || read != sizeof(table) ||
        table == 0) {
        return std::nullopt;
    }
    return table;
}

// Object types as Wine's table records them (ntgdi.h).
void Classify(const GdiTableEntry& e, GdiFigures& figures) {
    ++figures.total;
    switch (e.extType & 0x7F) {
        case 0x09:
            ++figures.bitmaps;
            break;
        case 0x0A:
            ++figures.fonts;
            break;
        case 0x04:
            ++figures.regions;
            break;
        case 0x01:
        case 0x41:
            ++figures.dcs;
            break;
        case 0x10:
            ++figures.brushes;
            break;
        case 0x30:
        case 0x50:
            ++figures.pens;
            break;
        default:
            ++figures.other;
            break;
    }
}

}  // namespace

std::optional<MemoryFigures> ReadMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        return std::nullopt;
    }
    return MemoryFigures{counters.PagefileUsage, counters.WorkingSetSize};
}

std::optional<GdiFigures> ReadGdiObjects(HANDLE process, DWORD processId) {
    const std::optional<std::uintptr_t> table = GdiTableAddress(process);
    if (!table) {
        return std::nullopt;
    }
    std::vector<GdiTableEntry> entries(kGdiTableEntries);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(*table), entries.data(),
                           entries.size() * sizeof(GdiTableEntry), &read)) {
        return std::nullopt;
    }
    entries.resize(read / sizeof(GdiTableEntry));
    GdiFigures figures;
    // Windows shares one table among the processes of a session and marks
    // each entry with its owner; Wine keeps one table per process.
    const auto owner = static_cast<std::uint16_t>(processId & 0xFFFF);
    for (const GdiTableEntry& e : entries) {
        if (e.type == 0 || (e.extType & 0x80) != 0) {
            continue;
        }
        if (e.processId != 0 && e.processId != owner) {
            continue;
        }
        Classify(e, figures);
    }
    return figures;
}

std::vector<std::string> ReadModules(HANDLE process) {
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!EnumProcessModulesEx(process, modules.data(),
                              static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed,
                              LIST_MODULES_ALL)) {
        return {};
    }
    modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
    std::vector<std::string> names;
    for (HMODULE module : modules) {
        char name[MAX_PATH] = {};
        if (GetModuleBaseNameA(process, module, name, sizeof(name)) > 0) {
            std::string lower(name);
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            names.push_back(lower);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<SystemFigures> ReadSystemFigures(DWORD processId) {
    const std::optional<std::vector<BYTE>> buffer = QuerySystem(SystemProcessInformation);
    const std::optional<std::uint32_t> handles = CountHandles(processId);
    if (!buffer || !handles) {
        return std::nullopt;
    }
    std::size_t offset = 0;
    for (;;) {
        if (offset + sizeof(ProcessRecord) > buffer->size()) {
            return std::nullopt;
        }
        ProcessRecord record;
        std::memcpy(&record, buffer->data() + offset, sizeof(record));
        if (reinterpret_cast<std::uintptr_t>(record.uniqueProcessId) == processId) {
            // The record's own HandleCount is, on Wine, the size of the
            // handle table (grown in steps of 32), not the handles open.
            return SystemFigures{
                *handles,
                static_cast<std::uint64_t>(record.userTime.QuadPart + record.kernelTime.QuadPart),
                record.numberOfThreads};
        }
        if (record.nextEntryOffset == 0) {
            return std::nullopt;
        }
        offset += record.nextEntryOffset;
    }
}

bool GdiSourceWorks() {
    const DWORD self = GetCurrentProcessId();
    const std::optional<GdiFigures> before = ReadGdiObjects(GetCurrentProcess(), self);
    if (!before) {
        return false;
    }
    std::vector<HGDIOBJ> made;
    for (int i = 0; i < 7; ++i) {
        made.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    }
    for (int i = 0; i < 3; ++i) {
        made.push_back(CreateFontA(-11 - i, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma"));
    }
    const std::optional<GdiFigures> after = ReadGdiObjects(GetCurrentProcess(), self);
    for (HGDIOBJ object : made) {
        DeleteObject(object);
    }
    return after && after->total - before->total == 10 && after->brushes - before->brushes == 7 &&
           after->fonts - before->fonts == 3;
}

bool HandleSourceWorks() {
    const DWORD self = GetCurrentProcessId();
    const std::optional<SystemFigures> before = ReadSystemFigures(self);
    std::vector<HANDLE> events;
    for (int i = 0; i < 20; ++i) {
        events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    const std::optional<SystemFigures> after = ReadSystemFigures(self);
    for (HANDLE event : events) {
        CloseHandle(event);
    }
    return before && after && after->handles == before->handles + 20;
}

namespace {

std::uint64_t OwnCpu100ns() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    auto value = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

}  // namespace

bool CpuSourceWorks() {
    const DWORD self = GetCurrentProcessId();
    const std::optional<SystemFigures> before = ReadSystemFigures(self);
    // Busy until this process's own clock says 200 ms (at most 5 s of wall
    // time on a loaded machine): at least half of it must show up outside.
    const std::uint64_t start = OwnCpu100ns();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    volatile std::uint64_t sink = 0;
    while (OwnCpu100ns() < start + 2'000'000 && std::chrono::steady_clock::now() < deadline) {
        for (int i = 0; i < 100000; ++i) {
            sink = sink + static_cast<std::uint64_t>(i);
        }
    }
    const std::optional<SystemFigures> after = ReadSystemFigures(self);
    return before && after && after->cpu100ns >= before->cpu100ns + 1'000'000;
}

}  // namespace vgwl::bench
