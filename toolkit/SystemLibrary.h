#pragma once
// Windows' own libraries that the program needs only now and then (sound
// playback, the shell's document opening, the splash's picture decoder) are
// loaded when first used rather than at start, and always from the system
// folder by their full path: never from the program's folder or the current
// directory, where a planted copy could be waiting.

#include "toolkit/Handles.h"

#include <windows.h>

#include <string>

namespace vgwl {

// Every program we ship calls this first: from then on a library loaded by
// name, by us or by any library of the system (sound drivers, shell helpers,
// OLE's proxies), comes from the system folder only, never from the program's
// folder or the current one, where a planted copy could be waiting. False
// when the system refused, which leaves the search as it was.
inline bool LimitLibrarySearch() noexcept {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

// Loads a library of ours by its absolute path; the libraries it imports are
// looked for in its own folder and the system folder only. Empty for a
// relative path or a library that cannot be loaded.
UniqueHmodule LoadLibraryByPath(const std::string& path) noexcept;

// Loads a library of the system folder (a plain file name such as
// "winmm.dll"); its own dependencies are looked for there too. Empty when the
// name is not a plain file name or the library cannot be loaded.
UniqueHmodule LoadSystemLibrary(const char* fileName) noexcept;

// The address of an export of a system library, which stays loaded for the
// rest of the run; null when the library or the export is missing.
FARPROC SystemProcAddress(const char* fileName, const char* exportName) noexcept;

// The same, typed after the function it names, e.g.
//   static const auto play = SystemFunction<decltype(&PlaySoundA)>("winmm.dll", "PlaySoundA");
template <typename FunctionPointer>
FunctionPointer SystemFunction(const char* fileName, const char* exportName) noexcept {
    return reinterpret_cast<FunctionPointer>(
        reinterpret_cast<void (*)()>(SystemProcAddress(fileName, exportName)));
}

}  // namespace vgwl
