#pragma once
// The controls of the forms. Each one is a real standard Windows control, so
// that screen readers, UI automation and outside tests can read and drive it.

#include "toolkit/BalloonTip.h"
#include "toolkit/FormDescription.h"
#include "toolkit/Handles.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

class TForm;

class TControl {
public:
    TControl(TForm& form, const ControlDesc& desc) : form_(form), desc_(desc) {}
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Handle() const noexcept { return hwnd_; }
    const ControlDesc& Desc() const noexcept { return desc_; }
    std::string_view Name() const noexcept { return desc_.name; }
    TForm& Form() const noexcept { return form_; }

    std::string Text() const;
    void SetText(std::string_view text);
    void SetVisible(bool visible);
    void SetFocus();

    // Creates the window; parent is the window of the parent control or form.
    virtual void CreateHandle(HWND parent);
    // The window that children of this control are created in.
    virtual HWND ClientHandle() const noexcept { return hwnd_; }
    // A second window that belongs to this control (the button of a button
    // edit); its notifications are this control's.
    virtual HWND PartHandle() const noexcept { return nullptr; }
    // Places the control (and its inner parts) for the given DPI.
    virtual void Layout(int dpi);

    // Notifications routed from the parent window.
    virtual void HandleCommand(WORD /*code*/, HWND /*from*/) {}
    virtual bool HandleNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
    virtual bool HandleDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
    // Text colour for WM_CTLCOLOR*; kDefaultColor for the system's.
    virtual std::uint32_t TextColor() const noexcept { return desc_.textColor; }

protected:
    // Window class, style and extended style of the control's window.
    virtual const char* ClassName() const = 0;
    virtual DWORD Style() const { return WS_CHILD | WS_VISIBLE; }
    virtual DWORD ExStyle() const { return 0; }
    // Whether a tab order in the description makes the control a tab stop;
    // containers only place their children in the Tab key's order.
    virtual bool TakesFocus() const noexcept { return true; }
    // A Unicode window keeps what the user types beyond the code page.
    virtual bool Utf16Window() const noexcept { return false; }
    virtual void AfterCreate() {}
    // Puts the control's own procedure (key and mouse hooks) in front of
    // its window class's: SubclassProc sees every message first, and what it
    // does not handle goes on to the class.
    void Subclass();
    virtual bool SubclassProc(UINT /*msg*/, WPARAM /*w*/, LPARAM /*l*/, LRESULT& /*result*/) {
        return false;
    }
    // The window class's own handling of a message, for a SubclassProc that
    // adds to it.
    LRESULT CallClassProc(UINT msg, WPARAM w, LPARAM l) const;
    RECT ScaledBounds(int dpi) const;

    TForm& form_;
    const ControlDesc& desc_;
    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK StaticSubclassProc(HWND, UINT, WPARAM, LPARAM);
    void Unsubclass() noexcept;

    WNDPROC classProc_ = nullptr;
    bool unicode_ = false;
};

class TLabel : public TControl {
public:
    using TControl::TControl;
    void Layout(int dpi) override;
    // Raised labels draw themselves: the text once in the highlight colour,
    // and over it, one pixel down and right, in the text colour.
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;

protected:
    const char* ClassName() const override { return "STATIC"; }
    DWORD Style() const override;
};

class TUrlLabel : public TControl {
public:
    using TControl::TControl;
    std::function<void()> OnClick;
    std::string_view Link() const noexcept { return desc_.link; }
    bool HandleNotify(NMHDR* header, LRESULT& result) override;
    void Layout(int dpi) override;
    // The room the caption needs as the link control draws it.
    SIZE CaptionExtent() const;

protected:
    const char* ClassName() const override { return "SysLink"; }
    DWORD Style() const override { return WS_CHILD | WS_VISIBLE | WS_TABSTOP; }
    void AfterCreate() override;
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    SIZE LinkTextExtent() const;
};

class TCheckBox : public TControl {
public:
    using TControl::TControl;
    bool Checked() const noexcept;
    // Setting the state from code does not raise OnClick.
    void SetChecked(bool checked);
    std::function<void()> OnClick;
    void HandleCommand(WORD code, HWND from) override;
    // The room the check box needs as the button control draws it: the box,
    // the gap after it, the caption and the focus rectangle around that.
    SIZE CaptionExtent(int dpi) const;

protected:
    const char* ClassName() const override { return "BUTTON"; }
    DWORD Style() const override;
};

class TEdit : public TControl {
public:
    using TControl::TControl;
    // Key press: the typed character, which the handler may replace with 0
    // to take it away from the box.
    std::function<void(char& key)> OnKeyPress;
    std::function<void(WORD key)> OnKeyDown;
    // A balloon under the box saying why its text was not taken; it goes
    // when the user types, clicks or leaves the box.
    void ShowBalloonTip(std::string_view title, std::string_view text);
    void HideBalloonTip();
    // The text of the balloon shown, empty when none is.
    [[nodiscard]] std::string BalloonText() const;

protected:
    const char* ClassName() const override { return "EDIT"; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
    bool Utf16Window() const noexcept override { return true; }
    void AfterCreate() override { Subclass(); }
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    TBalloonTip balloon_;
    std::string systemBalloonText_;  // shown by the edit control itself
};

class TButtonEdit : public TEdit {
public:
    using TEdit::TEdit;
    std::function<void()> OnButtonClick;
    HWND PartHandle() const noexcept override { return button_; }
    void Layout(int dpi) override;
    void HandleCommand(WORD code, HWND from) override;

protected:
    // The edit must not paint over its button, which lies on top of it.
    DWORD Style() const override { return TEdit::Style() | WS_CLIPSIBLINGS; }
    void AfterCreate() override;

private:
    HWND button_ = nullptr;
};

class TBitBtn : public TControl {
public:
    using TControl::TControl;
    std::function<void()> OnClick;
    void SetColors(const ButtonColors& colors) noexcept { colors_ = colors; }
    void HandleCommand(WORD code, HWND from) override;
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;
    void Layout(int dpi) override;
    // Side of the glyph artwork in use (16, 24 or 32), 0 without a glyph.
    int GlyphSize() const noexcept { return glyphSize_; }

protected:
    const char* ClassName() const override { return "BUTTON"; }
    DWORD Style() const override;
    void AfterCreate() override;
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    void ChooseGlyphSize(int dpi);

    ButtonColors colors_;
    UniqueGdiObject glyph_;
    UniqueGdiObject glyphDisabled_;
    int glyphSize_ = 0;
    bool hot_ = false;
};

// Containers: a plain window of the toolkit's own class that passes its
// children's notifications on to the form.
class TContainer : public TControl {
public:
    using TControl::TControl;
    static void RegisterClass(HINSTANCE instance);

protected:
    const char* ClassName() const override;
    DWORD Style() const override { return WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS; }
    DWORD ExStyle() const override { return WS_EX_CONTROLPARENT; }
    bool TakesFocus() const noexcept override { return false; }
    void AfterCreate() override;
};

class TPanel : public TContainer {
public:
    using TContainer::TContainer;
    void Layout(int dpi) override;
    // Width of the border that children filling the panel stay inside.
    int BorderWidth(int dpi) const noexcept;
    void PaintBorder(HDC dc, const RECT& rc) const;
};

class TGroupBox : public TContainer {
public:
    using TContainer::TContainer;
    void Layout(int dpi) override;

protected:
    void AfterCreate() override;

private:
    HWND frame_ = nullptr;
};

class TPageControl;

class TTabSheet : public TContainer {
public:
    using TContainer::TContainer;
    void Layout(int dpi) override;
    TPageControl* PageControl() const noexcept { return pageControl_; }
    void SetPageControl(TPageControl* pc) noexcept { pageControl_ = pc; }

protected:
    DWORD Style() const override { return WS_CHILD | WS_CLIPSIBLINGS; }

private:
    TPageControl* pageControl_ = nullptr;
};

class TPageControl : public TControl {
public:
    using TControl::TControl;
    void AddPage(TTabSheet& page);
    int PageCount() const noexcept { return static_cast<int>(pages_.size()); }
    TTabSheet& Page(int index) const { return *pages_.at(static_cast<std::size_t>(index)); }
    int ActivePageIndex() const noexcept { return active_; }
    TTabSheet* ActivePage() const noexcept;
    void SetActivePage(int index);
    void SetActivePage(const TTabSheet& page);
    void Layout(int dpi) override;
    bool HandleNotify(NMHDR* header, LRESULT& result) override;
    // Display area of the pages, in the page control's client coordinates.
    RECT PageArea() const;

protected:
    const char* ClassName() const override { return WC_TABCONTROLA; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return WS_EX_CONTROLPARENT; }

private:
    std::vector<TTabSheet*> pages_;
    int active_ = -1;
};

class TBorder : public TControl {
public:
    using TControl::TControl;
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;

protected:
    const char* ClassName() const override { return "STATIC"; }
    DWORD Style() const override { return WS_CHILD | WS_VISIBLE | SS_OWNERDRAW; }
};

class TListView : public TControl {
public:
    using TControl::TControl;
    int Count() const noexcept;
    std::string Caption(int index) const;
    int Add(std::string_view caption);
    void SetCaption(int index, std::string_view caption);
    void Delete(int index);
    void Clear();
    // Makes room for this many rows ahead of adding them.
    void Reserve(int count);
    void SetSelected(int index, bool selected);
    int SelectedCount() const noexcept;
    // Lowest selected index, or -1.
    int FirstSelected() const noexcept;
    void BeginUpdate();
    void EndUpdate();
    void AddColumn(const ControlDesc& column, int dpi);
    void Layout(int dpi) override;
    std::function<void(WORD key)> OnKeyDown;
    // An in-place edit of a caption ended with this text, as typed: true
    // keeps it as the code page holds it, false cancels the edit (the
    // handler may set the caption itself). Without a handler every edit is
    // kept.
    std::function<bool(int index, const std::u16string& text)> OnEndLabelEdit;
    bool HandleNotify(NMHDR* header, LRESULT& result) override;
    // A balloon pointing at an item, saying why an edit was not taken.
    void ShowBalloonTip(int index, std::string_view title, std::string_view text);
    [[nodiscard]] std::string BalloonText() const { return balloon_.Text(); }

protected:
    const char* ClassName() const override { return WC_LISTVIEWA; }
    DWORD Style() const override;
    DWORD ExStyle() const override;
    void AfterCreate() override;
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    std::vector<const ControlDesc*> columns_;
    int updateDepth_ = 0;
    TBalloonTip balloon_;
};

class TListBox : public TControl {
public:
    using TControl::TControl;
    int Count() const noexcept;
    std::string Item(int index) const;
    int ItemIndex() const noexcept;
    void SetItemIndex(int index);
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;
    void Layout(int dpi) override;
    // Picture drawn behind the selected item.
    void SetSelectionPicture(HBITMAP picture) noexcept { selectionPicture_ = picture; }
    std::function<void()> OnClick;
    // A double-click on an item (after the click that selected it).
    std::function<void()> OnDblClick;
    void HandleCommand(WORD code, HWND from) override;

protected:
    const char* ClassName() const override { return "LISTBOX"; }
    DWORD Style() const override;
    void AfterCreate() override;
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    HBITMAP selectionPicture_ = nullptr;
};

class TImage : public TControl {
public:
    using TControl::TControl;
    // Takes ownership of the bitmap.
    void SetPicture(UniqueGdiObject bitmap);

protected:
    const char* ClassName() const override { return "STATIC"; }
    DWORD Style() const override { return WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE; }
    void AfterCreate() override { Subclass(); }
    bool SubclassProc(UINT msg, WPARAM w, LPARAM l, LRESULT& result) override;

private:
    UniqueGdiObject picture_;
};

}  // namespace vgwl
