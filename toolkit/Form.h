#pragma once
// A form: a top-level window built from a form description, with its
// controls, show/hide/close, modal showing, key preview and a message table.

#include "toolkit/Controls.h"
#include "toolkit/FormDescription.h"
#include "toolkit/Handles.h"

#include <windows.h>

#include <memory>
#include <string_view>
#include <vector>

namespace vgwl {

class TApplication;

enum class CloseAction { None, Hide, Free };

enum class ModalResult { None = 0, Ok = 1, Cancel = 2 };

class TForm {
public:
    TForm(TApplication& app, const FormDesc& desc);
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    HWND Handle() const noexcept { return hwnd_.get(); }
    TApplication& Application() const noexcept { return app_; }
    const FormDesc& Desc() const noexcept { return desc_; }
    int Dpi() const noexcept { return dpi_; }
    int Scale(int pixelsAt96) const noexcept;

    // Shows the form; the show event runs first when it was hidden.
    void Show();
    void Hide();
    bool Visible() const noexcept;
    // Restores a minimised or maximised form to its normal state.
    void SetWindowStateNormal();
    void BringToFront();
    // Redraws the form and its controls at once.
    void Repaint();
    // Runs the close event; the close action decides what happens.
    void Close();
    // Shows the form modally: the other forms are disabled until the form is
    // hidden or a modal result is set.
    ModalResult ShowModal();
    bool InModal() const noexcept { return inModal_; }
    // Ends a modal showing with the given result (a form's OK or Select).
    void SetModalResult(ModalResult result) noexcept { modalResult_ = result; }

    bool KeyPreview() const noexcept { return desc_.keyPreview; }

    // Controls by name; throws ToolkitError for an unknown name or kind.
    TControl& Control(std::string_view name) const;
    template <typename T>
    T& Find(std::string_view name) const {
        T* typed = dynamic_cast<T*>(&Control(name));
        if (!typed) {
            ThrowWrongKind(name);
        }
        return *typed;
    }
    const std::vector<std::unique_ptr<TControl>>& Controls() const noexcept { return controls_; }
    TControl* ControlFromHandle(HWND hwnd) const noexcept;

    // Called by the application object.
    void DoCreate();
    void PreviewKeyDown(WPARAM key);
    bool WantsDialogNavigation(const MSG& msg) const noexcept;
    // Tab, Ctrl+Tab, Ctrl+PageDown/PageUp and the keyboard cues; true when
    // the key was used here.
    bool HandleNavigationKey(const MSG& msg);

    // The Tab key's stops in order, the tab strip of a page control before
    // its page's controls.
    std::vector<HWND> TabStops() const;
    // Focus rectangles and access keys: hidden until the keyboard is used.
    // Kept here as well as in the windows' UI state, which not every
    // platform keeps; the owner-drawn controls read it from here.
    void ShowKeyboardCues();
    void HideKeyboardCues();
    bool KeyboardCuesShown() const noexcept { return keyboardCues_; }

    // Routes a notification from a child window (also from containers).
    bool RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Events, as the form class overrides them.
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormClose(CloseAction& /*action*/) {}
    virtual void FormKeyDown(WORD /*key*/) {}
    // The form's message table: true when the message is handled here.
    virtual bool HandleMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                               LRESULT& /*result*/) {
        return false;
    }

private:
    static LRESULT CALLBACK StaticWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void RegisterWindowClass() const;
    void CreateControls();
    void CreateHints();
    void ApplyLayout();
    void LayoutControls();
    void CreateFonts();
    void DpiChanged(const RECT* suggested);
    RECT WindowRectFor(int dpi) const;
    HFONT FontFor(const ControlDesc& desc) const;
    [[noreturn]] static void ThrowWrongKind(std::string_view name);
    void MoveFocus(bool backwards);
    TPageControl* KeyboardPageControl() const noexcept;
    bool SwitchPage(bool backwards);
    void ActivateChanged(bool active);
    void FitTextControls();

    TApplication& app_;
    const FormDesc& desc_;
    UniqueHwnd hwnd_;
    UniqueHwnd tooltip_;
    int dpi_ = 96;
    std::vector<std::unique_ptr<TControl>> controls_;
    struct FontEntry {
        const FontDesc* desc;
        HFONT font;  // shared (toolkit/SharedGdi.h), never deleted here
    };
    std::vector<FontEntry> fonts_;
    HFONT formFont_ = nullptr;
    bool inModal_ = false;
    HWND lastFocus_ = nullptr;  // the focus when the form was last deactivated
    bool keyboardCues_ = false;
    ModalResult modalResult_ = ModalResult::None;
};

}  // namespace vgwl
