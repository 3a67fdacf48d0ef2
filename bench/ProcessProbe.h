#pragma once
// Reads what another process costs the machine, from outside, with sources
// that work under Wine as well as on Windows (each figure names its source):
// memory from GetProcessMemoryInfo, GDI objects from the process's GDI handle
// table, modules from EnumProcessModulesEx, handles and CPU time from
// NtQuerySystemInformation.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vgwl::bench {

struct MemoryFigures {
    std::uint64_t privateBytes = 0;  // PagefileUsage
    std::uint64_t workingSet = 0;    // WorkingSetSize
};

struct GdiFigures {
    int total = 0;
    int bitmaps = 0;
    int fonts = 0;
    int regions = 0;
    int dcs = 0;
    int brushes = 0;
    int pens = 0;
    int other = 0;
};

struct SystemFigures {
    std::uint32_t handles = 0;
    std::uint64_t cpu100ns = 0;  // user plus kernel time
    std::uint32_t threads = 0;
};

std::optional<MemoryFigures> ReadMemory(HANDLE process);
// Counts the live objects of the process's GDI handle table (stock objects
// left out); empty when the table cannot be read.
std::optional<GdiFigures> ReadGdiObjects(HANDLE process, DWORD processId);
std::vector<std::string> ReadModules(HANDLE process);
std::optional<SystemFigures> ReadSystemFigures(DWORD processId);

// Checks in this process that a source gives the right answer: objects,
// handles or CPU time made on purpose must show up in it.
bool GdiSourceWorks();
bool HandleSourceWorks();
bool CpuSourceWorks();

}  // namespace vgwl::bench
