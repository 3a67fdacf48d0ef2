/* Planted beside a copy of the program by the planting test. Loaded by
 * anyone, it leaves "<its own path>.loaded" and declines to stay. Kernel32
 * only: nothing it needs is looked for in its own folder. */
#include <windows.h>

BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, LPVOID reserved) {
    WCHAR path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH) {
        lstrcpyW(path + length, L".loaded");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return reason != DLL_PROCESS_ATTACH;
}
