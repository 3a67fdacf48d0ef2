#pragma once
/* The blocking component "olvrex.dll": the blocking decision (the switch
   VGWPBStatus and the shared white list "VMGWLITE"), the count of stopped
   popups (EPWC), the notification of the front end, and the registration of
   the browser bridge. C interface, undecorated exports on every architecture
   (see olvrex.def); the browser bridge, vgwlblock and the tests share it. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What became of one popup, or of one call. */
enum OlvrexPopupResult {
    OLVREX_BLOCKED = 0,            /* blocked, counted in EPWC, the front end answered */
    OLVREX_OK = 0,                 /* the call did what it was asked */
    OLVREX_BLOCKING_OFF = 1,       /* VGWPBStatus is 0: let through */
    OLVREX_WHITE_LISTED = 2,       /* an entry of the shared table lets it through */
    OLVREX_FRONT_END_MISSING = 10, /* blocked and counted, but no front end window */
    OLVREX_TABLE_MISSING = 11,     /* table "VMGWLITE" exists but cannot be read: nothing done */
    OLVREX_SETTINGS_MISSING = 12,  /* no settings key, or VGWPBStatus not a DWORD */
    OLVREX_FRONT_END_TIMEOUT = 13, /* blocked and counted, no answer in time */
    OLVREX_NOTIFY_FAILED = 14,     /* blocked and counted, the message could not be sent */
    OLVREX_COUNT_FAILED = 15,      /* blocked and notified, but EPWC could not be written */
    OLVREX_INVALID_ADDRESS = 16,   /* the address has no host: nothing done */
    OLVREX_INVALID_ARGUMENT = 17,  /* null pointer or wrong structSize: nothing done */
    OLVREX_INTERNAL_ERROR = 18,    /* out of memory or the like */
    OLVREX_BUFFER_TOO_SMALL = 19   /* nothing written; *needed says how much is */
};

typedef struct OlvrexPopupReport {
    uint32_t structSize;          /* in: sizeof(OlvrexPopupReport) */
    uint32_t timeoutMilliseconds; /* in: longest wait for the answer; 0 means 60000 */
    int32_t result;               /* out: an OlvrexPopupResult */
    uint32_t answerMilliseconds;  /* out: time until the front end answered */
    uint32_t popupCount;          /* out: EPWC after this popup (0 when absent) */
    uint32_t systemError;         /* out: last Win32 error of a failed step, else 0 */
    char matchedEntry[64];        /* out: the white list entry that matched, NUL-ended */
} OlvrexPopupReport;

/* Registers the browser bridge "vgwlhost.exe" beside this library, through its
   manifest "vgwlhost.json", as the native messaging host of Chrome, Edge and
   Chromium: under HKEY_LOCAL_MACHINE where it may, else HKEY_CURRENT_USER.
   Registering again changes nothing. S_OK, or an error HRESULT with nothing
   left behind. */
long __stdcall DllRegisterServer(void);

/* Removes exactly what DllRegisterServer added, in both roots: a host key that
   names another manifest is left alone. S_OK also when nothing was there. */
long __stdcall DllUnregisterServer(void);

/* Plays the component's part for one popup window opening `address` (text in
   the ANSI code page): decides, counts and notifies the front end, waiting for
   its answer. Returns report->result, or OLVREX_INVALID_ARGUMENT when the
   report cannot be filled. */
int32_t __stdcall OlvrexHandlePopup(const char* address, OlvrexPopupReport* report);

/* The blocking switch: *blocking is 1 when on (also when the value is
   absent), 0 when off. OLVREX_SETTINGS_MISSING (and *blocking 0) when the
   settings key is missing or the value is not a DWORD. */
int32_t __stdcall OlvrexReadBlocking(int32_t* blocking);

/* The hosts of the shared white list (the matching rule's reduction: ASCII
   form, lower case, "*." and "." removed, no duplicates, entries without a
   valid host left out), each NUL-ended, the list ended by one more NUL.
   *needed receives the bytes the list takes; when bufferSize is smaller,
   OLVREX_BUFFER_TOO_SMALL and nothing is written. A missing table is an
   empty list. */
int32_t __stdcall OlvrexReadWhiteListHosts(char* buffer, uint32_t bufferSize, uint32_t* needed);

/* Adds `popups` to EPWC under the named mutex that every counting process
   takes, so that no count is lost or doubled. *countAfter receives the new
   value, which stops at 2147483647. OLVREX_SETTINGS_MISSING when there is no
   settings key (it is not created), OLVREX_COUNT_FAILED otherwise. */
int32_t __stdcall OlvrexCountPopups(uint32_t popups, uint32_t* countAfter);

/* Sends one WM_COPYDATA carrying `data` to the front end's main window, and
   gives up at once on a hung window, after `timeoutMilliseconds` on a slow
   one. OLVREX_OK when answered, else OLVREX_FRONT_END_MISSING,
   OLVREX_FRONT_END_TIMEOUT or OLVREX_NOTIFY_FAILED. */
int32_t __stdcall OlvrexNotifyFrontEnd(const void* data, uint32_t dataSize,
                                       uint32_t timeoutMilliseconds);

typedef long(__stdcall* OlvrexDllRegisterServerFn)(void);
typedef int32_t(__stdcall* OlvrexHandlePopupFn)(const char* address, OlvrexPopupReport* report);
typedef int32_t(__stdcall* OlvrexReadBlockingFn)(int32_t* blocking);
typedef int32_t(__stdcall* OlvrexReadWhiteListHostsFn)(char* buffer, uint32_t bufferSize,
                                                       uint32_t* needed);
typedef int32_t(__stdcall* OlvrexCountPopupsFn)(uint32_t popups, uint32_t* countAfter);
typedef int32_t(__stdcall* OlvrexNotifyFrontEndFn)(const void* data, uint32_t dataSize,
                                                   uint32_t timeoutMilliseconds);

#define OLVREX_HANDLE_POPUP_EXPORT "OlvrexHandlePopup"
#define OLVREX_READ_BLOCKING_EXPORT "OlvrexReadBlocking"
#define OLVREX_READ_WHITE_LIST_HOSTS_EXPORT "OlvrexReadWhiteListHosts"
#define OLVREX_COUNT_POPUPS_EXPORT "OlvrexCountPopups"
#define OLVREX_NOTIFY_FRONT_END_EXPORT "OlvrexNotifyFrontEnd"
#define OLVREX_DEFAULT_TIMEOUT_MS 60000u

#ifdef __cplusplus
}
#endif
