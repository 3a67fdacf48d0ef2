// Entry point: one copy per logon, a splash while the forms are built, then
// a resident program whose only presence is its tray icon.

#include "app/Splashform.h"
#include "component/Contract.h"
#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"
#include "toolkit/SystemLibrary.h"
#include "ui/Settings.h"
#include "ui/Unit1.h"

#include <windows.h>

#include <string>

namespace {

constexpr DWORD kSplashMilliseconds = 1500;

// Exit code of a start that could not take the single-instance guard.
constexpr int kExitNoGuard = 1;

int RunProgram(HINSTANCE instance) {
    using namespace vgwl;
    const std::string mutexName(contract::kMutexName);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    const DWORD createError = GetLastError();
    UniqueKernelHandle mutexHandle(mutex);

    TApplication app(instance);
    // A mutex that exists but may not be opened belongs to a copy running
    // with other rights: that is a second copy as well.
    if (createError == ERROR_ALREADY_EXISTS ||
        (!mutexHandle && createError == ERROR_ACCESS_DENIED)) {
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
    if (!mutexHandle) {
        // Without the guard two copies could run at once and fight over the
        // settings, the tray and the table (the name may even be taken by an
        // object of another kind): do not start.
        app.MessageDialog(MessageDialogType::Error,
                          "The program cannot start: its single-instance guard could not be "
                          "created");
        return kExitNoGuard;
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library by name. Refused only on systems
    // older than the program's minimum: starting anyway is no worse than
    // before.
    (void)vgwl::LimitLibrarySearch();
    return RunProgram(instance);
}
