#include "toolkit/Application.h"

#include "toolkit/SystemLibrary.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Form.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>

namespace vgwl {
namespace {

constexpr char kApplicationClass[] = "TApplication";
TApplication* gInstance = nullptr;  // the one application object, as the toolkit has it

}  // namespace

TApplication::TApplication(HINSTANCE instance) : instance_(instance) {
    gInstance = this;
    CreateApplicationWindow();
    // Sees every message this thread takes from its queue, in any loop
    // (also those of message boxes and menus). Without it only posted DPI
    // messages go unchecked.
    getMessageHook_.reset(SetWindowsHookExA(WH_GETMESSAGE, &TApplication::GetMessageHook, nullptr,
                                            GetCurrentThreadId()));
}

TApplication::~TApplication() {
    getMessageHook_.reset();
    DestroyForms();
    window_.reset();
    if (registeredClass_) {
        // Fails while another object's window still uses the class: it stays.
        (void)UnregisterClassA(kApplicationClass, instance_);
    }
    if (oleInitialized_) {
        static const auto uninitialize =
            SystemFunction<decltype(&OleUninitialize)>("ole32.dll", "OleUninitialize");
        if (uninitialize) {
            uninitialize();
        }
    }
    if (gInstance == this) {
        gInstance = nullptr;
    }
}

TApplication& TApplication::Instance() {
    if (!gInstance) {
        throw ToolkitError("No application object");
    }
    return *gInstance;
}

bool TApplication::HasInstance() noexcept { return gInstance != nullptr; }

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                              ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                              ICC_LINK_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
}

bool TApplication::EnsureOle() {
    if (!oleInitialized_) {
        // Looked up, not linked: linking would load COM at start.
        static const auto initialize =
            SystemFunction<decltype(&OleInitialize)>("ole32.dll", "OleInitialize");
        oleInitialized_ = initialize && SUCCEEDED(initialize(nullptr));
    }
    return oleInitialized_;
}

void TApplication::CreateApplicationWindow() {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExA(instance_, kApplicationClass, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TApplication::WindowProc;
        wc.hInstance = instance_;
        wc.lpszClassName = kApplicationClass;
        wc.hIcon = LoadIconA(instance_, "MAINICON");  // shared: never freed
        // Shared with the form classes, which show the same small icon.
        wc.hIconSm =
            static_cast<HICON>(LoadImageA(instance_, "MAINICON", IMAGE_ICON, 16, 16, LR_SHARED));
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        if (RegisterClassExA(&wc)) {
            registeredClass_ = true;
        }
        // Otherwise the window below cannot be created and says so.
    }

    // Zero-sized and not shown: it exists to carry the title and, when
    // shown, the taskbar button; the forms are owned by it.
    HWND hwnd =
        CreateWindowExA(0, kApplicationClass, title_.c_str(),
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                        GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                        nullptr, nullptr, instance_, this);
    if (!hwnd) {
        throw ToolkitError("Cannot create the application window");
    }
    window_.reset(hwnd);
}

void TApplication::SetTitle(std::string_view title) {
    title_ = std::string(title);
    if (window_) {
        SetWindowTextA(window_.get(), title_.c_str());
    }
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form, bool mayBeMain) {
    TForm& ref = *form;
    forms_.push_back(std::move(form));
    if (mayBeMain && !mainForm_) {
        mainForm_ = &ref;
    }
    ref.DoCreate();
}

void TApplication::ShowApplicationWindow() {
    if (window_) {
        ShowWindow(window_.get(), minimized_ ? SW_SHOWMINNOACTIVE : SW_SHOWNA);
    }
}

void TApplication::HideApplicationWindow() {
    if (window_) {
        ShowWindow(window_.get(), SW_HIDE);
    }
}

void TApplication::Minimize() {
    minimized_ = true;
    if (OnMinimize) {
        OnMinimize();
    }
}

void TApplication::Restore() {
    minimized_ = false;
    if (OnRestore) {
        OnRestore();
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::DispatchOne(MSG& msg) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    TForm* form = root ? FormFromHandle(root) : nullptr;
    if (form && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
        // Key preview: the form sees the key first; it is not consumed.
        GuardCallback(
            [&] {
                form->PreviewKeyDown(msg.wParam);
                return 0;
            },
            0);
    }
    if (form && GuardCallback([&] { return form->HandleNavigationKey(msg); }, false)) {
        return;
    }
    if (form && form->WantsDialogNavigation(msg) && IsDialogMessageW(root, &msg)) {
        return;
    }
    // Retrieved and dispatched as UTF-16: the system converts for ANSI
    // windows, and typed characters beyond the code page reach the Unicode
    // ones whole.
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TApplication::Run() {
    if (showMainForm_ && mainForm_) {
        mainForm_->Show();
    }
    MSG msg;
    while (!terminated_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            terminated_ = true;
            break;
        }
        DispatchOne(msg);
    }
}

void TApplication::MessageDialog(MessageDialogType type, std::string_view text, HWND owner) {
    MessageDialogRequest request{type, std::string(text), owner};
    if (dialogHandler_) {
        dialogHandler_(request);
        return;
    }
    const UINT icon = type == MessageDialogType::Error ? MB_ICONERROR : MB_ICONWARNING;
    const char* caption = type == MessageDialogType::Error ? "Error" : "Warning";
    // Without an owner the box goes to the active window of this thread, so
    // it stays modal to whichever form the user is working in.
    if (!owner) {
        owner = GetActiveWindow();
    }
    MessageBoxA(owner, request.text.c_str(), caption, MB_OK | icon | MB_SETFOREGROUND);
}

void TApplication::SetMessageDialogHandler(
    std::function<void(const MessageDialogRequest&)> handler) {
    dialogHandler_ = std::move(handler);
}

void TApplication::ShowException(const std::exception& error) {
    if (showingException_) {
        return;
    }
    showingException_ = true;
    struct Showing {
        bool& flag;
        ~Showing() { flag = false; }
    } showing{showingException_};
    std::string text = error.what();
    if (text.empty()) {
        text = "An unexpected error has occurred";
    }
    MessageDialog(MessageDialogType::Error, text);
}

void TApplication::HandleCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            ShowException(error);
        } catch (...) {
            ShowException(ToolkitError("An unexpected error has occurred"));
        }
    } catch (...) {
        // Nothing more can be shown; the loop goes on.
    }
}

void TApplication::DestroyForms() noexcept {
    while (!forms_.empty()) {
        std::unique_ptr<TForm> form = std::move(forms_.back());
        forms_.pop_back();
        if (mainForm_ == form.get()) {
            mainForm_ = nullptr;
        }
        form.reset();
    }
}

TForm* TApplication::FormFromHandle(HWND hwnd) const noexcept {
    for (const auto& form : forms_) {
        if (form->Handle() == hwnd) {
            return form.get();
        }
    }
    return nullptr;
}

LRESULT CALLBACK TApplication::GetMessageHook(int code, WPARAM removal, LPARAM message) {
    if (code == HC_ACTION) {
        // The system sends WM_DPICHANGED and never posts it: one found in the
        // queue comes from another program, and its rectangle pointer means
        // nothing here. Without it the form works the rectangle out itself.
        auto* msg = reinterpret_cast<MSG*>(message);
        if (msg->message == WM_DPICHANGED) {
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

LRESULT CALLBACK TApplication::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCDESTROY && gInstance && gInstance->window_.get() == hwnd) {
        // Destroyed from outside: the dead handle may be reused, so let go.
        (void)gInstance->window_.release();
    }
    if (msg == WM_SYSCOMMAND && gInstance) {
        const UINT command = static_cast<UINT>(wParam & 0xFFF0);
        if (command == SC_MINIMIZE) {
            GuardCallback(
                [] {
                    gInstance->Minimize();
                    return 0;
                },
                0);
            return 0;
        }
        if (command == SC_RESTORE) {
            GuardCallback(
                [] {
                    gInstance->Restore();
                    return 0;
                },
                0);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace vgwl
