#pragma once
// The application object: the hidden application window (which carries the
// title and the taskbar button), the forms it owns, minimise and restore
// events, the message loop, message dialogs and the exception display.

#include "toolkit/Handles.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

class TForm;

enum class MessageDialogType { Error, Warning };

struct MessageDialogRequest {
    MessageDialogType type;
    std::string text;
    HWND owner;
};

class TApplication {
public:
    explicit TApplication(HINSTANCE instance);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The one application object of the process (set while it lives).
    static TApplication& Instance();
    static bool HasInstance() noexcept;

    // Prepares the common controls (visual styles) and OLE (drag and drop)
    // for the forms; call it on the user-interface thread before creating
    // them. OLE is released when the application object goes.
    void Initialize();
    // Starts OLE on this, the user-interface, thread the first time it is
    // needed (drop targets); true once it runs. Not at start: OLE brings COM
    // and its libraries, which a program resident in the tray pays for all
    // day, while nothing can be dropped on a window not yet shown.
    bool EnsureOle();

    HINSTANCE ModuleInstance() const noexcept { return instance_; }
    HWND Handle() const noexcept { return window_.get(); }

    const std::string& Title() const noexcept { return title_; }
    void SetTitle(std::string_view title);

    // Creates a form of type T and calls its creation handler once its
    // constructor has finished. The first form created is the main form.
    // The application owns the form until it is destroyed.
    template <typename T, typename... Args>
    T& CreateForm(Args&&... args) {
        auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *form;
        AdoptForm(std::move(form), true);
        return ref;
    }
    // Creates a form that the application owns but that never becomes the
    // main form (a splash screen).
    template <typename T, typename... Args>
    T& CreateOwnedForm(Args&&... args) {
        auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *form;
        AdoptForm(std::move(form), false);
        return ref;
    }
    TForm* MainForm() const noexcept { return mainForm_; }

    bool ShowMainForm() const noexcept { return showMainForm_; }
    void SetShowMainForm(bool show) noexcept { showMainForm_ = show; }

    // Application window (taskbar button).
    void ShowApplicationWindow();
    void HideApplicationWindow();

    // Minimise and restore events: raised by Minimize() and Restore().
    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;
    void Minimize();
    // Raises the restore event on every call, minimised or not, so that the
    // tray's double-click always brings the window back.
    void Restore();
    bool Minimized() const noexcept { return minimized_; }

    // Runs the message loop until Terminate(). Keys go through the key
    // preview of their form and through dialog navigation (Tab, arrows).
    void Run();
    void Terminate();
    bool Terminated() const noexcept { return terminated_; }
    // One message from the queue, as the loop handles it; for modal loops.
    void DispatchOne(MSG& msg);

    // Message dialog: a modal box with an error or warning icon and OK.
    void MessageDialog(MessageDialogType type, std::string_view text, HWND owner = nullptr);
    // Tests replace the box with a recorder; empty restores the real box.
    void SetMessageDialogHandler(std::function<void(const MessageDialogRequest&)> handler);

    // The standard exception display: an error dialog with the message. One
    // at a time: the dialog runs its own message loop, and an exception that
    // arises under it (typically the same fault again, from a repaint or a
    // timer of the window that failed) is not shown on top of it but dropped.
    void ShowException(const std::exception& error);
    bool ShowingException() const noexcept { return showingException_; }
    // For catch (...) at the edge of a Win32 callback.
    void HandleCurrentException() noexcept;

    // Destroys the forms (in reverse order of creation).
    void DestroyForms() noexcept;

    // The window the user can act on while a modal window (a form shown
    // modally, a message box) holds the others disabled: the topmost shown
    // and enabled top-level window of this thread. Null when none is modal.
    HWND ModalWindow() const noexcept;

    // Form registry for the window procedures and the loop.
    TForm* FormFromHandle(HWND hwnd) const noexcept;

private:
    void AdoptForm(std::unique_ptr<TForm> form, bool mayBeMain);
    void CreateApplicationWindow();
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM removal, LPARAM message);

    HINSTANCE instance_;
    // The small icon belongs to the window class, which this object
    // registers and unregisters when no earlier object has done so.
    bool registeredClass_ = false;
    UniqueHwnd window_;
    UniqueHhook getMessageHook_;
    std::string title_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool minimized_ = false;
    bool terminated_ = false;
    bool showingException_ = false;
    bool oleInitialized_ = false;
    std::function<void(const MessageDialogRequest&)> dialogHandler_;
};

// Runs a callable at the edge of a Win32 callback: no exception crosses it.
template <typename F>
auto GuardCallback(F&& f, decltype(f()) fallback) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        if (TApplication::HasInstance()) {
            TApplication::Instance().HandleCurrentException();
        }
        return fallback;
    }
}

}  // namespace vgwl
