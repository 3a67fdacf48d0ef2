// The web-link drop target, driven as OLE drives it during a drag: the
// object registered on the window receives DragEnter, DragOver and Drop with
// a browser's data object.

#include "TestDataObject.h"
#include "toolkit/DropTarget.h"
#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vgwl::test {
namespace {

using Lines = std::vector<std::u16string>;

class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        window_.reset(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr));
        ASSERT_TRUE(window_);
        target_.OnDrop = [this](const Lines& lines) { drops_.push_back(lines); };
        ASSERT_TRUE(target_.Register(window_.get()));
        data_ = new TestDataObject;
    }
    void TearDown() override {
        data_->Release();
        target_.Revoke();
        window_.reset();
        OleUninitialize();
    }

    // A whole drag over the window, ending in a drop; the effects that the
    // target gave at each step.
    struct Effects {
        DWORD enter, over, drop;
    };
    Effects Drag(DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE) {
        IDropTarget* target = target_.Target();
        Effects e{allowed, allowed, allowed};
        const POINTL pt{10, 10};
        EXPECT_EQ(target->DragEnter(data_, MK_LBUTTON, pt, &e.enter), S_OK);
        EXPECT_EQ(target->DragOver(MK_LBUTTON, pt, &e.over), S_OK);
        EXPECT_EQ(target->Drop(data_, 0, pt, &e.drop), S_OK);
        return e;
    }

    UniqueHwnd window_;
    TDropTarget target_;
    TestDataObject* data_ = nullptr;
    std::vector<Lines> drops_;
};

TEST_F(DropTargetTest, IsTheTargetRegisteredOnTheWindow) {
    // OLE knows the window as a drop target: a second registration is refused.
    EXPECT_EQ(RegisterDragDrop(window_.get(), target_.Target()), DRAGDROP_E_ALREADYREGISTERED);
    target_.Revoke();
    EXPECT_FALSE(target_.Registered());
    EXPECT_EQ(RevokeDragDrop(window_.get()), DRAGDROP_E_NOTREGISTERED);
    EXPECT_TRUE(target_.Register(window_.get()));
}

TEST_F(DropTargetTest, TakesTheWideLinkFormat) {
    data_->AddWide(TestDataObject::Registered("UniformResourceLocatorW"),
                   L"http://\u043f\u0440\u0430\u0432\u0434\u0430.ru/");
    const Effects e = Drag();
    EXPECT_EQ(e.enter, DROPEFFECT_COPY);
    EXPECT_EQ(e.over, DROPEFFECT_COPY);
    EXPECT_EQ(e.drop, DROPEFFECT_COPY);
    ASSERT_EQ(drops_.size(), 1u);
    EXPECT_EQ(drops_[0], (Lines{u"http://\u043f\u0440\u0430\u0432\u0434\u0430.ru/"}));
    EXPECT_EQ(target_.DroppedLines(), drops_[0]);
}

TEST_F(DropTargetTest, TakesTheAnsiLinkFormat) {
    data_->AddText(TestDataObject::Registered("UniformResourceLocator"), "https://example.com/a");
    EXPECT_EQ(Drag().drop, DROPEFFECT_COPY);
    ASSERT_EQ(drops_.size(), 1u);
    EXPECT_EQ(drops_[0], (Lines{u"https://example.com/a"}));
}

TEST_F(DropTargetTest, TakesTextWhoseEveryLineIsAWebLink) {
    data_->AddWide(CF_UNICODETEXT, L"http://a.example/\r\nwww.b.example\r\nhttp://a.example/\r\n");
    EXPECT_EQ(Drag().drop, DROPEFFECT_COPY);
    ASSERT_EQ(drops_.size(), 1u);
    // One line per link, in order; what the list does with repeats is its
    // own business.
    EXPECT_EQ(drops_[0], (Lines{u"http://a.example/", u"www.b.example", u"http://a.example/"}));

    TestDataObject* ansi = new TestDataObject;
    ansi->AddText(CF_TEXT, "www.c.example");
    data_->Release();
    data_ = ansi;
    EXPECT_EQ(Drag().drop, DROPEFFECT_COPY);
    ASSERT_EQ(drops_.size(), 2u);
    EXPECT_EQ(drops_[1], (Lines{u"www.c.example"}));
}

TEST_F(DropTargetTest, RefusesEverythingElseWithNoneAsTheEffect) {
    // Prose, a file link, a bitmap-only object: "none" all the way, no drop.
    data_->AddWide(CF_UNICODETEXT, L"http://a.example/\r\nand some words");
    Effects e = Drag();
    EXPECT_EQ(e.enter, DROPEFFECT_NONE);
    EXPECT_EQ(e.over, DROPEFFECT_NONE);
    EXPECT_EQ(e.drop, DROPEFFECT_NONE);

    TestDataObject* file = new TestDataObject;
    file->AddText(TestDataObject::Registered("UniformResourceLocator"), "file:///C:/secret.txt");
    file->AddText(CF_TEXT, "http://a.example/");
    data_->Release();
    data_ = file;
    EXPECT_EQ(Drag().drop, DROPEFFECT_NONE) << "the link itself decides, not the text beside it";

    TestDataObject* other = new TestDataObject;
    const char bytes[] = "BM....";
    other->AddBytes(CF_DIB, bytes, sizeof(bytes));
    data_->Release();
    data_ = other;
    e = Drag();
    EXPECT_EQ(e.enter, DROPEFFECT_NONE);
    EXPECT_EQ(e.drop, DROPEFFECT_NONE);
    EXPECT_TRUE(drops_.empty());
}

TEST_F(DropTargetTest, CopiesOnlyWhenTheSourceAllowsACopy) {
    data_->AddWide(CF_UNICODETEXT, L"http://a.example/");
    const Effects e = Drag(DROPEFFECT_LINK);
    EXPECT_EQ(e.enter, DROPEFFECT_NONE);
    EXPECT_EQ(e.drop, DROPEFFECT_NONE);
    EXPECT_TRUE(drops_.empty());
}

TEST_F(DropTargetTest, ReadsNoFurtherThanTheMemoryBlock) {
    // A text without its NUL: the block's size ends it (any rounding up of
    // the block is zeroed by the data object).
    const wchar_t text[] = {L'w', L'w', L'w', L'.', L'a', L'.', L'b'};
    data_->AddBytes(CF_UNICODETEXT, text, sizeof(text));
    EXPECT_EQ(Drag().drop, DROPEFFECT_COPY);
    ASSERT_EQ(drops_.size(), 1u);
    EXPECT_EQ(drops_[0], (Lines{u"www.a.b"}));
}

}  // namespace
}  // namespace vgwl::test
