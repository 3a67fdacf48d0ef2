#pragma once
/* Stand-in blocking component "olvrex.dll": the part of the blocking
   component that the front end relies on, so that the front end can be used
   and tested without a browser. C interface, undecorated exports on every
   architecture (see olvrex.def). */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What became of one popup. */
enum OlvrexPopupResult {
    OLVREX_BLOCKED = 0,            /* blocked, counted in EPWC, the front end answered */
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
    OLVREX_INTERNAL_ERROR = 18     /* out of memory or the like */
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

/* Records the registration under HKEY_LOCAL_MACHINE\SOFTWARE\Corvantis\
   VelmoraLite\Version3\Component and returns S_OK, or E_FAIL when it cannot
   be written. */
long __stdcall DllRegisterServer(void);

/* Plays the component's part for one popup window opening `address`. Returns
   report->result, or OLVREX_INVALID_ARGUMENT when the report cannot be
   filled. */
int32_t __stdcall OlvrexHandlePopup(const char* address, OlvrexPopupReport* report);

typedef long(__stdcall* OlvrexDllRegisterServerFn)(void);
typedef int32_t(__stdcall* OlvrexHandlePopupFn)(const char* address, OlvrexPopupReport* report);

#define OLVREX_HANDLE_POPUP_EXPORT "OlvrexHandlePopup"
#define OLVREX_DEFAULT_TIMEOUT_MS 60000u

#ifdef __cplusplus
}
#endif
