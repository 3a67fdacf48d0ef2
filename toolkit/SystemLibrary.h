#pragma once
// Windows' own libraries that the program needs only now and then (sound
// playback, the shell's document opening, the splash's picture decoder) are
// loaded when first used rather than at start, and always from the system
// folder by their full path: never from the program's folder or the current
// directory, where a planted copy could be waiting.

#include "toolkit/Handles.h"

#include <windows.h>

namespace vgwl {

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
