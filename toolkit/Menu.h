#pragma once
// Pop-up menus built from a description, with check marks and click events.

#include "toolkit/FormDescription.h"
#include "toolkit/Handles.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vgwl {

class TMenuItem {
public:
    TMenuItem(std::string_view name, std::string_view caption, UINT id, HMENU owner)
        : name_(name), caption_(caption), id_(id), owner_(owner) {}
    std::string_view Name() const noexcept { return name_; }
    std::string_view Caption() const noexcept { return caption_; }
    UINT Id() const noexcept { return id_; }
    HMENU OwnerMenu() const noexcept { return owner_; }
    bool Checked() const noexcept;
    void SetChecked(bool checked);
    std::function<void()> OnClick;

private:
    std::string_view name_;
    std::string_view caption_;
    UINT id_;
    HMENU owner_;
};

class TPopupMenu {
public:
    explicit TPopupMenu(std::span<const MenuItemDesc> items);
    HMENU Handle() const noexcept { return menu_.get(); }
    TMenuItem& Item(std::string_view name) const;

    // Shows the menu at a screen point and waits until it closes; then runs
    // the chosen item's click event, if any item was chosen.
    void Popup(HWND owner, POINT at);
    // Runs the click event of the item with this command identifier.
    bool DispatchCommand(UINT id);

private:
    UniqueHmenu menu_;
    std::vector<std::unique_ptr<TMenuItem>> items_;
};

}  // namespace vgwl
