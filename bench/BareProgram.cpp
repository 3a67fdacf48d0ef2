// The baselines of the start-up and footprint bench: what a resident tray
// program costs at the least. Built twice with the program's compiler and
// flags: as vgwl_bare_tray (a hidden window with one tray icon that answers
// WM_COPYDATA) and, with VGWL_BARE_CONTROLS, as vgwl_bare_form (the same plus
// a hidden form holding forty standard controls in one shared font).

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr char kTrayClass[] = "VgwlBareTray";
constexpr UINT kTrayCallback = WM_APP + 1;

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
        case WM_COPYDATA:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY: {
            NOTIFYICONDATAA data{};
            data.cbSize = NOTIFYICONDATAA_V1_SIZE;
            data.hWnd = hwnd;
            data.uID = 1;
            Shell_NotifyIconA(NIM_DELETE, &data);
            PostQuitMessage(0);
            return 0;
        }
        default:
            return DefWindowProcA(hwnd, msg, w, l);
    }
}

#ifdef VGWL_BARE_CONTROLS

constexpr char kFormClass[] = "VgwlBareForm";

struct ControlSpec {
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
};

// Forty controls of the kinds a preferences window holds.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const ControlSpec kControls[] = {
    {WC_TABCONTROLA, "", kChild | WS_TABSTOP, 0, 6, 7, 403, 287},
    {"STATIC", "Upgrade now and get many advanced features.", kChild | SS_CENTER, 0, 29, 308, 333,
     26},
    {"STATIC", "", kChild | SS_ETCHEDHORZ, 0, 7, 300, 398, 5},
    {"STATIC", "", kChild | SS_ETCHEDHORZ, 0, 5, 230, 389, 5},
    {"SysLink", "<a>Click here to find out more</a>", kChild | WS_TABSTOP, 0, 67, 342, 266, 13},
    {"BUTTON", "Enable popup blocking", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 25, 260, 17},
    {"BUTTON", "Start when Windows starts", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 53, 260,
     17},
    {"BUTTON", "Animate the tray icon", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 80, 303, 17},
    {"BUTTON", "Play a sound", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 108, 294, 17},
    {"BUTTON", "Show notifications", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 16, 130, 294, 17},
    {"BUTTON", "Keep a log", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 200, 130, 150, 17},
    {"BUTTON", "Sound to play", kChild | BS_GROUPBOX, 0, 15, 142, 367, 52},
    {"BUTTON", "Counter", kChild | BS_GROUPBOX, 0, 15, 209, 367, 41},
    {"EDIT", "", kChild | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 26, 163, 273, 21},
    {"EDIT", "", kChild | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 31, 203, 333, 21},
    {"EDIT", "", kChild | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 31, 250, 150, 21},
    {"EDIT", "", kChild | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 200, 250, 150, 21},
    {"BUTTON", "...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 281, 163, 18, 21},
    {"BUTTON", "Test", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 300, 163, 27, 21},
    {"BUTTON", "Add", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 364, 201, 30, 25},
    {"BUTTON", "Save", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 304, 235, 90, 25},
    {"BUTTON", "Remove", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 210, 235, 90, 25},
    {"BUTTON", "Select", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 56, 128, 140, 25},
    {"BUTTON", "OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 250, 310, 75, 23},
    {"BUTTON", "Cancel", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 330, 310, 75, 23},
    {WC_LISTVIEWA, "", kChild | LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE, 10,
     35, 390, 160},
    {"LISTBOX", "", kChild | WS_VSCROLL | LBS_NOTIFY | WS_TABSTOP, WS_EX_CLIENTEDGE, 10, 35, 237,
     112},
    {"COMBOBOX", "", kChild | CBS_DROPDOWNLIST | WS_TABSTOP, 0, 10, 260, 200, 100},
    {"STATIC", "Number of eliminated popup windows", kChild, 0, 35, 224, 200, 13},
    {"STATIC", "0000000000", kChild, 0, 260, 224, 70, 13},
    {"STATIC", "URL", kChild, 0, 6, 207, 20, 13},
    {"STATIC", "Velmora Gatewick Lite", kChild | SS_CENTER, 0, 81, 60, 233, 29},
    {"STATIC", "Copyright 2003-2026 Corvantis Inc.", kChild, 0, 49, 102, 300, 13},
    {"STATIC", "Support", kChild, 0, 114, 142, 40, 13},
    {"STATIC", "Website", kChild, 0, 114, 166, 40, 13},
    {"STATIC", "Keep informed about updates!", kChild, 0, 36, 218, 270, 13},
    {"SysLink", "<a>support@example.com</a>", kChild | WS_TABSTOP, 0, 161, 142, 150, 13},
    {"SysLink", "<a>www.example.com</a>", kChild | WS_TABSTOP, 0, 170, 166, 150, 13},
    {"SysLink", "<a>Click here</a>", kChild | WS_TABSTOP, 0, 315, 218, 60, 13},
    {"msctls_progress32", "", kChild, 0, 10, 280, 200, 10},
};
static_assert(sizeof(kControls) / sizeof(kControls[0]) == 40);

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_CLOSE) {
        ShowWindow(hwnd, SW_HIDE);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, w, l);
}

HWND CreateForm(HINSTANCE instance, HFONT font) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                              ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                              ICC_LINK_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &FormProc;
    wc.hInstance = instance;
    wc.lpszClassName = kFormClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassExA(&wc);
    HWND form =
        CreateWindowExA(WS_EX_CONTROLPARENT, kFormClass, "Bare form",
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, 430, 400, nullptr, nullptr, instance, nullptr);
    for (const ControlSpec& c : kControls) {
        HWND child = CreateWindowExA(c.exStyle, c.className, c.text, c.style, c.x, c.y, c.width,
                                     c.height, form, nullptr, instance, nullptr);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return form;
}

#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef VGWL_BARE_CONTROLS
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    HWND form = CreateForm(instance, font);
#endif
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TrayProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTrayClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, kTrayClass, "Bare tray program", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(data.szTip, "Bare tray program", 64);
    Shell_NotifyIconA(NIM_ADD, &data);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
#ifdef VGWL_BARE_CONTROLS
    DestroyWindow(form);
    DeleteObject(font);
#endif
    return 0;
}
