// The front end's answer to a blocked-popup notification with sound and
// blinking switched off, against a bare window answering the same message,
// both in this process on the same thread.

#include "BenchSupport.h"
#include "toolkit/Application.h"
#include "ui/Settings.h"

#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    return msg == WM_COPYDATA ? 0 : DefWindowProcA(hwnd, msg, w, l);
}

}  // namespace

int main() {
    using namespace vgwl;
    constexpr int kMessages = 20000;
    TApplication app(GetModuleHandleA(nullptr));
    app.Initialize();
    app.SetMessageDialogHandler([](const MessageDialogRequest&) {});
    PreferencesServices services;
    services.notifyIcon = [](DWORD, NOTIFYICONDATAA*) { return TRUE; };
    services.sleep = [](DWORD) {};
    services.playSound = [](const char*, HMODULE, DWORD) { return TRUE; };
    services.registryOpenHook = [](HKEY, std::string_view, bool) { return false; };
    TVMGWLPreferences& window = app.CreateForm<TVMGWLPreferences>(services);
    window.RzCheckBox3->SetChecked(false);
    window.RzCheckBox4->SetChecked(false);

    WNDCLASSA wc{};
    wc.lpfnWndProc = &BareProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VgwlBenchBare";
    RegisterClassA(&wc);
    HWND bare = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                wc.hInstance, nullptr);

    std::string address = "http://www.example.com/popup.html";
    COPYDATASTRUCT data{0x4F4C5652, static_cast<DWORD>(address.size() + 1), address.data()};
    auto send = [&](HWND target) {
        for (int i = 0; i < kMessages; ++i) {
            SendMessageA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        }
    };
    const double baseline = bench::MedianSeconds(5, [&] { send(bare); });
    const double front = bench::MedianSeconds(5, [&] { send(window.Handle()); });
    std::printf("%d WM_COPYDATA notifications, sound and blinking off (median of 5 rounds)\n",
                kMessages);
    bench::Report("baseline: bare window", baseline, baseline, kMessages);
    bench::Report("TVMGWLPreferences::PopupBlockedMessage", front, baseline, kMessages);
    DestroyWindow(bare);
    app.DestroyForms();
    return 0;
}
