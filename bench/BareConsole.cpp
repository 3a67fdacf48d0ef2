// The bridge bench's baselines for memory: a console program that does
// nothing but read its stdin until it ends, built and linked as the bridge is.
// With --system it first loads what the bridge needs of Windows for its work
// (the registry's advapi32 and the window system's user32), so that the
// bridge's own share can be told from the system's.

#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--system") == 0) {
        LoadLibraryExA("advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const HMODULE user32 = LoadLibraryExA("user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        using FindWindowFn = HWND(WINAPI*)(const char*, const char*);
        if (const auto find = reinterpret_cast<FindWindowFn>(
                reinterpret_cast<void*>(GetProcAddress(user32, "FindWindowA")))) {
            find("TVMGWLPreferences", nullptr);
        }
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &got, nullptr) &&
           got != 0) {
    }
    return 0;
}
