// Entry point: one copy per logon, a splash while the forms are built, then
// a resident program whose only presence is its tray icon.

#include "app/Splashform.h"
#include "component/Contract.h"
#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"
#include "ui/Settings.h"
#include "ui/Unit1.h"

#include <windows.h>

#include <string>

namespace {

constexpr DWORD kSplashMilliseconds = 1500;

int RunProgram(HINSTANCE instance) {
    using namespace vgwl;
    const std::string mutexName(contract::kMutexName);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    const DWORD createError = GetLastError();
    UniqueKernelHandle mutexHandle(mutex);

    TApplication app(instance);
    if (createError == ERROR_ALREADY_EXISTS) {
        // A second copy: it never touches the settings, the tray or the table.
        mutexHandle.reset();
        app.SetTitle("");  // so that the search cannot find this copy
        const std::string searchTitle(contract::kSecondCopySearchTitle);
        if (FindWindowA(nullptr, searchTitle.c_str())) {
            app.MessageDialog(MessageDialogType::Warning,
                              "There is another instance of the program running");
        }
        return 0;
    }

    try {
        TSplashScreen& splash = app.CreateOwnedForm<TSplashScreen>();
        // Shown without taking the focus from whatever the user is doing:
        // activating it would also wake the input method, which loads COM
        // into the process for good.
        ShowWindow(splash.Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(splash.Handle());

        app.Initialize();
        app.SetTitle(contract::kApplicationTitle);
        TVMGWLPreferences& preferences = app.CreateForm<TVMGWLPreferences>();
        TSelectSound& selectSound = app.CreateForm<TSelectSound>(preferences);
        preferences.SetSelectSound(&selectSound);

        Sleep(kSplashMilliseconds);
        splash.Close();
        splash.ReleasePicture();

        app.HideApplicationWindow();
        app.SetShowMainForm(false);
        app.Minimize();
        app.Run();
    } catch (const std::exception& error) {
        app.ShowException(error);
    }

    app.DestroyForms();
    if (mutexHandle) {
        ReleaseMutex(mutexHandle.get());
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunProgram(instance); }
