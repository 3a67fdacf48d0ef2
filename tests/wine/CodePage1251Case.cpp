// Typed and edited text under a code page that cannot hold it (Windows-1251,
// which Wine takes from a Russian locale): never a look-alike, never a
// question mark. "bücher.de" best-fits to "bucher.de", another real domain.
// Run by its own test with that locale; see tests/wine/CMakeLists.txt.

#include "PreferencesFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vgwl::test {
namespace {

class TypedUnderCodePage1251 : public PreferencesTest {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vgwl-cp1251-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        Services().programPath = folder_ + "VelmoraGWLite.exe";
        DeleteSettingsKey();
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteFileA((folder_ + "gwwhitelist.dat").c_str());
        DeleteFileA((folder_ + "gwwhitelist.dat.journal").c_str());
        RemoveDirectoryA(folder_.c_str());
        DeleteSettingsKey();
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < Window().ListView1->Count(); ++i) {
            rows.push_back(Window().ListView1->Caption(i));
        }
        return rows;
    }
    void TypeAndAdd(const wchar_t* text) {
        SetWindowTextW(Window().RzEdit1->Handle(), text);
        SendMessageA(Window().RzBitBtn2->Handle(), BM_CLICK, 0, 0);
    }

    std::string folder_;
};

TEST_F(TypedUnderCodePage1251, TextTheCodePageCannotHoldIsWrittenInAscii) {
    ASSERT_EQ(GetACP(), 1251u) << "the test needs the Russian locale";
    CreateWindow();
    Window().Show();
    TypeAndAdd(L"b\u00fccher.de");
    TypeAndAdd(L"www.\u6771\u4eac.jp");
    TypeAndAdd(L"\u043f\u0440\u0430\u0432\u0434\u0430.ru");  // held exactly: kept
    EXPECT_EQ(Rows(), (std::vector<std::string>{"xn--bcher-kva.de", "www.xn--1lqs71d.jp",
                                                "\xef\xf0\xe0\xe2\xe4\xe0.ru"}));

    // An in-place edit is read as typed too.
    HWND list = Window().ListView1->Handle();
    SetFocus(list);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"m\u00fcnchen.de");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(Rows().front(), "xn--mnchen-3ya.de");

    SendMessageA(Window().RzBitBtn4->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(ReadFileBytes(folder_ + "gwwhitelist.dat"),
              "3\r\nxn--mnchen-3ya.de\r\nwww.xn--1lqs71d.jp\r\n\xef\xf0\xe0\xe2\xe4\xe0.ru\r\n");
}

}  // namespace
}  // namespace vgwl::test
