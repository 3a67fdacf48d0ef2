// A balloon belongs to its anchor's top-level window, which destroys it
// along with itself: the balloon must then let its handle go, not destroy it
// a second time (by then the handle may name another window).

#include "toolkit/BalloonTip.h"

#include <gtest/gtest.h>

#include <optional>

namespace vgwl::test {
namespace {

TEST(BalloonTip, AWindowItsOwnerDestroyedIsNotDestroyedAgain) {
    HWND top = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(top);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, top,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(edit);
    std::optional<TBalloonTip> balloon(std::in_place);
    balloon->Show(edit, POINT{20, 30}, "Not added", "Why");
    ASSERT_TRUE(balloon->Visible());
    ASSERT_TRUE(DestroyWindow(top));
    SetLastError(ERROR_SUCCESS);
    balloon.reset();
    // A second DestroyWindow fails (and says so): no call at all is made.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS))
        << "the balloon destroyed a window that no longer exists";
}

}  // namespace
}  // namespace vgwl::test
