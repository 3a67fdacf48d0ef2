// The form descriptions are data that the toolkit trusts: a wrong parent, a
// duplicate name or two controls with one tab position would only show up as
// a broken window at run time.

#include "resources/FormDescriptions.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace vgwl {
namespace {

void CheckForm(const FormDesc& form) {
    SCOPED_TRACE(std::string(form.className));
    std::map<std::string_view, const ControlDesc*> byName;
    for (const ControlDesc& c : form.controls) {
        EXPECT_TRUE(byName.emplace(c.name, &c).second) << "duplicate " << c.name;
    }
    std::map<std::string_view, std::set<int>> tabOrders;
    for (const ControlDesc& c : form.controls) {
        SCOPED_TRACE(std::string(c.name));
        if (!c.parent.empty()) {
            auto it = byName.find(c.parent);
            ASSERT_NE(it, byName.end()) << "unknown parent";
            const ControlKind parentKind = it->second->kind;
            if (c.kind == ControlKind::TabSheet) {
                EXPECT_EQ(parentKind, ControlKind::PageControl);
            } else if (c.kind == ControlKind::ListColumn) {
                EXPECT_EQ(parentKind, ControlKind::ListView);
            } else {
                EXPECT_TRUE(parentKind == ControlKind::TabSheet ||
                            parentKind == ControlKind::Panel || parentKind == ControlKind::GroupBox)
                    << "parent cannot hold controls";
            }
        }
        if (c.tabOrder >= 0 && c.kind != ControlKind::ListColumn) {
            EXPECT_TRUE(tabOrders[c.parent].insert(c.tabOrder).second) << "tab position taken";
        }
        EXPECT_GE(c.left, 0);
        EXPECT_GE(c.top, 0);
        // Fixed-size controls lie inside their parent's described area.
        if (!c.parent.empty() && !(c.options & opt::kAlignClient) && c.width > 0) {
            const ControlDesc& parent = *byName.at(c.parent);
            if (parent.width > 0 && parent.kind != ControlKind::ListView) {
                EXPECT_LE(c.left + c.width, parent.width);
                EXPECT_LE(c.top + c.height, parent.height);
            }
        }
        if (!c.parent.empty() || c.kind == ControlKind::Image) {
            continue;
        }
        if (!(c.options & opt::kAutoSize) && c.width > 0) {
            EXPECT_LE(c.left + c.width, form.clientWidth);
            EXPECT_LE(c.top + c.height, form.clientHeight);
        }
    }
}

TEST(FormDescriptions, EveryFormIsConsistent) {
    CheckForm(kSplashScreenForm);
    CheckForm(kPreferencesForm);
    CheckForm(kSelectSoundForm);
}

TEST(FormDescriptions, TrayMenuSubmenuItemsFollowTheirParent) {
    std::set<std::string_view> seen;
    std::set<std::string_view> names;
    for (const MenuItemDesc& item : kTrayMenu) {
        EXPECT_TRUE(names.insert(item.name).second) << "duplicate " << item.name;
        if (!item.parent.empty()) {
            EXPECT_TRUE(seen.count(item.parent)) << item.name << " before its parent";
        }
        seen.insert(item.name);
    }
    EXPECT_EQ(kTrayMenu.back().name, "ExitPopUpBlocker1");
}

}  // namespace
}  // namespace vgwl
