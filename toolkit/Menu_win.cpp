#include "toolkit/Menu.h"

#include "toolkit/Exceptions.h"

namespace vgwl {
namespace {

// Above IDOK and IDCANCEL, which dialog navigation sends as commands too.
constexpr UINT kFirstCommand = 1000;

}  // namespace

bool TMenuItem::Checked() const noexcept {
    return (GetMenuState(owner_, id_, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void TMenuItem::SetChecked(bool checked) {
    CheckMenuItem(owner_, id_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

TPopupMenu::TPopupMenu(std::span<const MenuItemDesc> items) : menu_(CreatePopupMenu()) {
    if (!menu_) {
        throw ToolkitError("Cannot create a menu");
    }
    UINT nextId = kFirstCommand;
    struct Sub {
        std::string_view name;
        HMENU menu;
    };
    std::vector<Sub> subs;
    // A submenu's items follow its own item in the description.
    for (const MenuItemDesc& d : items) {
        HMENU owner = menu_.get();
        if (!d.parent.empty()) {
            owner = nullptr;
            for (Sub& s : subs) {
                if (s.name == d.parent) {
                    owner = s.menu;
                }
            }
            if (!owner) {
                // First child: turn the parent item into a submenu.
                HMENU sub = CreatePopupMenu();
                TMenuItem& parent = Item(d.parent);
                const std::string caption(parent.Caption());
                ModifyMenuA(parent.OwnerMenu(), parent.Id(), MF_BYCOMMAND | MF_POPUP | MF_STRING,
                            reinterpret_cast<UINT_PTR>(sub), caption.c_str());
                subs.push_back({d.parent, sub});
                owner = sub;
            }
        }
        const UINT id = nextId++;
        if (d.caption == "-") {
            AppendMenuA(owner, MF_SEPARATOR, id, nullptr);
        } else {
            const std::string caption(d.caption);
            AppendMenuA(owner, MF_STRING, id, caption.c_str());
        }
        items_.push_back(std::make_unique<TMenuItem>(d.name, d.caption, id, owner));
    }
}

TMenuItem& TPopupMenu::Item(std::string_view name) const {
    for (const auto& item : items_) {
        if (item->Name() == name) {
            return *item;
        }
    }
    throw ToolkitError("No menu item " + std::string(name));
}

void TPopupMenu::Popup(HWND owner, POINT at) {
    const UINT id = static_cast<UINT>(TrackPopupMenu(
        menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_BOTTOMALIGN, at.x, at.y,
        0, owner, nullptr));
    if (id != 0) {
        DispatchCommand(id);
    }
}

bool TPopupMenu::DispatchCommand(UINT id) {
    for (const auto& item : items_) {
        if (item->Id() == id) {
            if (item->OnClick) {
                item->OnClick();
            }
            return true;
        }
    }
    return false;
}

}  // namespace vgwl
