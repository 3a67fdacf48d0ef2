/* A library the planting test puts beside a copy of the program under names
 * that Windows' own libraries load by name. Loaded by anyone, it leaves a
 * file "<its own path>.loaded" and declines to stay, so that whoever loaded
 * it carries on as if it were missing. Kernel32 only: nothing it needs may
 * itself be looked for in the folder it lies in. */
#include <windows.h>

BOOL WINAPI PlantedEntry(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    WCHAR path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        lstrcpyW(path + length, L".loaded");
        HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (mark != INVALID_HANDLE_VALUE) {
            CloseHandle(mark);
        }
    }
    return FALSE;
}
