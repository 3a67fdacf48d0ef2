#include "toolkit/Form.h"

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Exceptions.h"
#include "toolkit/SharedGdi.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace vgwl {
namespace {

std::unique_ptr<TControl> MakeControl(TForm& form, const ControlDesc& desc) {
    switch (desc.kind) {
        case ControlKind::Label:
            return std::make_unique<TLabel>(form, desc);
        case ControlKind::UrlLabel:
            return std::make_unique<TUrlLabel>(form, desc);
        case ControlKind::CheckBox:
            return std::make_unique<TCheckBox>(form, desc);
        case ControlKind::Edit:
            return std::make_unique<TEdit>(form, desc);
        case ControlKind::ButtonEdit:
            return std::make_unique<TButtonEdit>(form, desc);
        case ControlKind::BitBtn:
            return std::make_unique<TBitBtn>(form, desc);
        case ControlKind::PageControl:
            return std::make_unique<TPageControl>(form, desc);
        case ControlKind::TabSheet:
            return std::make_unique<TTabSheet>(form, desc);
        case ControlKind::Panel:
            return std::make_unique<TPanel>(form, desc);
        case ControlKind::GroupBox:
            return std::make_unique<TGroupBox>(form, desc);
        case ControlKind::Border:
            return std::make_unique<TBorder>(form, desc);
        case ControlKind::ListView:
            return std::make_unique<TListView>(form, desc);
        case ControlKind::ListBox:
            return std::make_unique<TListBox>(form, desc);
        case ControlKind::Image:
            return std::make_unique<TImage>(form, desc);
        case ControlKind::ListColumn:
            return nullptr;  // part of its list view
    }
    return nullptr;
}

DWORD FormStyle(const FormDesc& desc) {
    if (desc.border == FormBorder::None) {
        return WS_POPUP | WS_CLIPCHILDREN;
    }
    // Single, not resizable; of the title-bar buttons only the close box.
    return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
}

DWORD FormExStyle(const FormDesc& desc) {
    DWORD ex = WS_EX_CONTROLPARENT;
    if (desc.border == FormBorder::None) {
        ex |= WS_EX_TOOLWINDOW;
    }
    return ex;
}

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM param) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(param);
    if (IsWindowEnabled(hwnd) && IsWindowVisible(hwnd)) {
        list->push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

TForm::TForm(TApplication& app, const FormDesc& desc) : app_(app), desc_(desc) {
    RegisterWindowClass();
    TContainer::RegisterClass(app_.ModuleInstance());
    const std::string className(desc_.className);
    const std::string caption(desc_.caption);
    HWND hwnd = CreateWindowExA(FormExStyle(desc_), className.c_str(), caption.c_str(),
                                FormStyle(desc_), 0, 0, desc_.clientWidth, desc_.clientHeight,
                                app_.Handle(), nullptr, app_.ModuleInstance(), this);
    if (!hwnd) {
        throw ToolkitError("Cannot create the window " + className);
    }
    hwnd_.reset(hwnd);
    dpi_ = static_cast<int>(GetDpiForWindow(hwnd));
    if (dpi_ <= 0) {
        dpi_ = 96;
    }
    CreateFonts();
    CreateControls();
    ApplyLayout();
}

TForm::~TForm() {
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_.get(), GWLP_USERDATA, 0);
    }
    tooltip_.reset();
    hwnd_.reset();  // destroys the child windows before the control objects go
    controls_.clear();
}

int TForm::Scale(int pixelsAt96) const noexcept { return ScaleFor(pixelsAt96, dpi_); }

void TForm::RegisterWindowClass() const {
    const std::string className(desc_.className);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(app_.ModuleInstance(), className.c_str(), &existing)) {
        return;
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TForm::StaticWindowProc;
    wc.hInstance = app_.ModuleInstance();
    wc.lpszClassName = className.c_str();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconA(app_.ModuleInstance(), "MAINICON");
    // Shared: every form class shows the same small icon, which the system
    // keeps for the life of the module.
    wc.hIconSm = static_cast<HICON>(
        LoadImageA(app_.ModuleInstance(), "MAINICON", IMAGE_ICON, 16, 16, LR_SHARED));
    if (!RegisterClassExA(&wc)) {
        throw ToolkitError("Cannot register the window class " + className);
    }
}

void TForm::CreateFonts() {
    // Shared with every other form and control asking for the same font, and
    // kept for the process: the controls may still hold the fonts of the old
    // DPI until they are handed the new ones below.
    fonts_.clear();
    formFont_ = SharedFont(desc_.font, dpi_);
    for (const ControlDesc& c : desc_.controls) {
        if (c.font) {
            fonts_.push_back({c.font, SharedFont(*c.font, dpi_)});
        }
    }
    for (const auto& control : controls_) {
        SendMessageA(control->Handle(), WM_SETFONT,
                     reinterpret_cast<WPARAM>(FontFor(control->Desc())), FALSE);
    }
}

HFONT TForm::FontFor(const ControlDesc& desc) const {
    if (desc.font) {
        for (const FontEntry& entry : fonts_) {
            if (entry.desc == desc.font) {
                return entry.font;
            }
        }
    }
    return formFont_;
}

void TForm::CreateControls() {
    // Siblings are created in tab order (the z-order is the Tab key's
    // order); controls that are no tab stops keep their place in the list.
    std::vector<const ControlDesc*> ordered;
    for (const ControlDesc& c : desc_.controls) {
        ordered.push_back(&c);
    }
    std::vector<std::size_t> slots;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (ordered[i]->tabOrder >= 0) {
            slots.push_back(i);
        }
    }
    // Each parent's tab stops are sorted among that parent's slots.
    for (std::size_t a = 0; a < slots.size(); ++a) {
        for (std::size_t b = a + 1; b < slots.size(); ++b) {
            const ControlDesc* x = ordered[slots[a]];
            const ControlDesc* y = ordered[slots[b]];
            if (x->parent == y->parent && y->tabOrder < x->tabOrder) {
                std::swap(ordered[slots[a]], ordered[slots[b]]);
            }
        }
    }

    // Parents before children: repeat until every control has a window.
    std::vector<bool> created(ordered.size(), false);
    bool progress = true;
    while (progress) {
        progress = false;
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            if (created[i]) {
                continue;
            }
            const ControlDesc& d = *ordered[i];
            HWND parentWindow = hwnd_.get();
            TControl* parent = nullptr;
            if (!d.parent.empty()) {
                auto it = std::find_if(controls_.begin(), controls_.end(),
                                       [&](const auto& c) { return c->Name() == d.parent; });
                if (it == controls_.end()) {
                    continue;  // its parent comes later
                }
                parent = it->get();
                parentWindow = parent->ClientHandle();
            }
            created[i] = true;
            progress = true;
            if (d.kind == ControlKind::ListColumn) {
                if (auto* list = dynamic_cast<TListView*>(parent)) {
                    list->AddColumn(d, dpi_);
                }
                continue;
            }
            std::unique_ptr<TControl> control = MakeControl(*this, d);
            if (!control) {
                continue;
            }
            control->CreateHandle(parentWindow);
            SendMessageA(control->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(d)),
                         FALSE);
            if (auto* page = dynamic_cast<TTabSheet*>(control.get())) {
                if (auto* pc = dynamic_cast<TPageControl*>(parent)) {
                    pc->AddPage(*page);
                }
            }
            controls_.push_back(std::move(control));
        }
    }
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (!created[i]) {
            throw ToolkitError("Control " + std::string(ordered[i]->name) +
                               " has an unknown parent " + std::string(ordered[i]->parent));
        }
    }
}

void TForm::CreateHints() {
    // Hints become tooltips, made when the form is first shown: a hidden
    // form's tooltip window would only hold fonts.
    const bool anyHint = std::any_of(controls_.begin(), controls_.end(),
                                     [](const auto& c) { return !c->Desc().hint.empty(); });
    if (tooltip_ || !anyHint) {
        return;
    }
    tooltip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_.get(),
                                   nullptr, app_.ModuleInstance(), nullptr));
    if (tooltip_) {
        for (const auto& control : controls_) {
            if (control->Desc().hint.empty()) {
                continue;
            }
            std::string hint(control->Desc().hint);
            TTTOOLINFOA ti{};
            ti.cbSize = sizeof(ti);
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = hwnd_.get();
            ti.uId = reinterpret_cast<UINT_PTR>(control->Handle());
            ti.lpszText = hint.data();
            SendMessageA(tooltip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
}

RECT TForm::WindowRectFor(int dpi) const {
    RECT rc{0, 0, ScaleFor(desc_.clientWidth, dpi), ScaleFor(desc_.clientHeight, dpi)};
    AdjustWindowRectExForDpi(&rc, FormStyle(desc_), FALSE, FormExStyle(desc_),
                             static_cast<UINT>(dpi));
    return rc;
}

void TForm::ApplyLayout() {
    const RECT rc = WindowRectFor(dpi_);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    // Screen centre: the work area of the monitor the form is on.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoA(MonitorFromWindow(hwnd_.get(), MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& area = mi.rcWork;
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(hwnd_.get(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutControls();
}

void TForm::LayoutControls() {
    for (const auto& control : controls_) {
        control->Layout(dpi_);
    }
    FitTextControls();
}

void TForm::DpiChanged(const RECT* suggested) {
    // The window's own DPI, never the message's: any process can send this
    // message, and a DPI of 0 would scale every control to nothing.
    const int dpi = static_cast<int>(GetDpiForWindow(hwnd_.get()));
    if (dpi > 0) {
        dpi_ = dpi;
    }
    RECT target{};
    if (suggested) {
        target = *suggested;
    } else {
        // Where the window stands, at the size the description asks for.
        RECT current{};
        GetWindowRect(hwnd_.get(), &current);
        const RECT size = WindowRectFor(dpi_);
        target = {current.left, current.top, current.left + (size.right - size.left),
                  current.top + (size.bottom - size.top)};
    }
    CreateFonts();
    // The frame first: controls that fill their parent measure its new size.
    SetWindowPos(hwnd_.get(), nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutControls();
    RedrawWindow(hwnd_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

TControl& TForm::Control(std::string_view name) const {
    for (const auto& control : controls_) {
        if (control->Name() == name) {
            return *control;
        }
    }
    throw ToolkitError("No control " + std::string(name) + " on " + std::string(desc_.className));
}

void TForm::ThrowWrongKind(std::string_view name) {
    throw ToolkitError("Control " + std::string(name) + " is of another kind");
}

TControl* TForm::ControlFromHandle(HWND hwnd) const noexcept {
    if (!hwnd) {
        return nullptr;
    }
    for (const auto& control : controls_) {
        if (control->Handle() == hwnd || control->PartHandle() == hwnd) {
            return control.get();
        }
    }
    return nullptr;
}

void TForm::DoCreate() { FormCreate(); }

void TForm::Show() {
    if (!Visible()) {
        FormShow();
        // Shown from the tray by the mouse: no focus rectangle until a key is used.
        HideKeyboardCues();
    }
    CreateHints();
    ShowWindow(hwnd_.get(), SW_SHOW);
}

void TForm::Hide() { ShowWindow(hwnd_.get(), SW_HIDE); }

bool TForm::Visible() const noexcept { return IsWindowVisible(hwnd_.get()) != FALSE; }

void TForm::SetWindowStateNormal() {
    if (IsIconic(hwnd_.get()) || IsZoomed(hwnd_.get())) {
        ShowWindow(hwnd_.get(), SW_RESTORE);
    }
}

void TForm::BringToFront() {
    SetForegroundWindow(hwnd_.get());
    BringWindowToTop(hwnd_.get());
}

void TForm::Close() {
    CloseAction action = CloseAction::Hide;
    FormClose(action);
    if (action == CloseAction::None) {
        return;
    }
    if (inModal_) {
        if (modalResult_ == ModalResult::None) {
            modalResult_ = ModalResult::Cancel;
        }
        return;  // the modal loop hides the form
    }
    if (action == CloseAction::Free && app_.MainForm() == this) {
        app_.Terminate();
        return;
    }
    Hide();
}

ModalResult TForm::ShowModal() {
    if (inModal_) {
        throw ToolkitError("The window is already shown modally");
    }
    inModal_ = true;
    modalResult_ = ModalResult::None;
    // Every other enabled top-level window of this thread is disabled while
    // the form is up, as a modal dialog does.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow,
                      reinterpret_cast<LPARAM>(&disabled));
    std::erase(disabled, hwnd_.get());
    for (HWND h : disabled) {
        EnableWindow(h, FALSE);
    }
    Show();
    BringToFront();
    MSG msg;
    bool quit = false;
    WPARAM quitCode = 0;
    while (modalResult_ == ModalResult::None && Visible()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        app_.DispatchOne(msg);
    }
    for (HWND h : disabled) {
        if (IsWindow(h)) {
            EnableWindow(h, TRUE);
        }
    }
    Hide();
    inModal_ = false;
    if (quit) {
        // The application loop still has to see the quit.
        PostQuitMessage(static_cast<int>(quitCode));
    }
    return modalResult_ == ModalResult::None ? ModalResult::Cancel : modalResult_;
}

void TForm::Repaint() {
    (void)RedrawWindow(hwnd_.get(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TForm::PreviewKeyDown(WPARAM key) {
    if (desc_.keyPreview && IsWindowEnabled(hwnd_.get())) {
        FormKeyDown(static_cast<WORD>(key));
    }
}

bool TForm::WantsDialogNavigation(const MSG& msg) const noexcept {
    return msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
}

bool TForm::RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND: {
            HWND from = reinterpret_cast<HWND>(lParam);
            if (TControl* control = ControlFromHandle(from)) {
                control->HandleCommand(HIWORD(wParam), from);
                result = 0;
                return true;
            }
            return false;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (TControl* control = ControlFromHandle(header->hwndFrom)) {
                return control->HandleNotify(header, result);
            }
            return false;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (TControl* control = ControlFromHandle(item->hwndItem)) {
                if (control->HandleDrawItem(*item)) {
                    result = TRUE;
                    return true;
                }
            }
            return false;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            TControl* control = ControlFromHandle(reinterpret_cast<HWND>(lParam));
            if (control && control->TextColor() != kDefaultColor) {
                SetTextColor(dc, control->TextColor());
            }
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        default:
            return false;
    }
}

LRESULT TForm::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleMessage(msg, wParam, lParam, result)) {
        return result;
    }
    if (RouteChildMessage(msg, wParam, lParam, result)) {
        return result;
    }
    switch (msg) {
        case WM_CLOSE:
            Close();
            return 0;
        case WM_ACTIVATE:
            // As a dialog: the focus goes back to where it was, not to the form.
            if (!HIWORD(wParam)) {
                ActivateChanged(LOWORD(wParam) != WA_INACTIVE);
                return 0;
            }
            break;
        case WM_DPICHANGED:
            // The suggested rectangle is ours to read only when the system
            // sent it on this thread; from another thread or program the
            // pointer means nothing here, so the rectangle is worked out from
            // the window instead (posted ones lose it in the application's
            // message hook).
            DpiChanged(InSendMessage() ? nullptr : reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_.get(), msg, wParam, lParam);
}

LRESULT CALLBACK TForm::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // Until the constructor has stored the handle, messages take the default
    // path: the form's handlers must not see a half-built window.
    if (!form || form->hwnd_.get() != hwnd) {
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        // Destroyed from outside (its owner went first): the handle is dead
        // and may be reused, so the form lets go of it and of its tooltip,
        // which went with it as an owned window.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        (void)form->hwnd_.release();
        (void)form->tooltip_.release();
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return GuardCallback([&] { return form->WindowProc(msg, wParam, lParam); },
                         static_cast<LRESULT>(0));
}

}  // namespace vgwl
