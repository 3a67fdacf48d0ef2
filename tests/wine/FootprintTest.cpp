// What the program pays for at start: system libraries loaded when first
// used and only from the system folder, fonts shared among the forms, and
// tooltips, glyphs and the splash picture made or kept only while needed.

#include "PreferencesFixture.h"
#include "TestSupport.h"

#include "app/Splashform.h"
#include "resources/FormDescriptions.h"
#include "toolkit/SharedGdi.h"
#include "toolkit/SystemLibrary.h"

#include <gtest/gtest.h>

#include <mmsystem.h>

#include <cctype>
#include <filesystem>
#include <string>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return Lower(std::string(folder, length)) + "\\";
}

std::string ModulePathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<const char*>(address), &module)) {
        return {};
    }
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return Lower(std::string(path, length));
}

// ------------------------------------------------------------ system libraries

TEST(SystemLibrary, AFunctionResolvesFromTheSystemFolderAndCanBeCalled) {
    const auto length = SystemFunction<decltype(&lstrlenA)>("kernel32.dll", "lstrlenA");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("vgwl"), 4);

    const auto play = SystemFunction<decltype(&PlaySoundA)>("winmm.dll", "PlaySoundA");
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(ModulePathOf(reinterpret_cast<const void*>(play)), SystemFolder() + "winmm.dll");
}

TEST(SystemLibrary, AMissingExportFailsAndLeavesNoReferenceBehind) {
    // A system library nothing else in this process uses.
    ASSERT_EQ(GetModuleHandleA("cabinet.dll"), nullptr) << "precondition: not loaded yet";

    EXPECT_EQ(SystemProcAddress("cabinet.dll", "VgwlNoSuchExport"), nullptr);
    EXPECT_EQ(GetModuleHandleA("cabinet.dll"), nullptr) << "the failed look-up kept it loaded";

    // A found export keeps its library, so the address stays valid.
    EXPECT_NE(SystemProcAddress("cabinet.dll", "FDICreate"), nullptr);
    EXPECT_NE(GetModuleHandleA("cabinet.dll"), nullptr);
}

TEST(SystemLibrary, MissingLibrariesAndNamesThatAreNoPlainFileNamesFailCleanly) {
    EXPECT_EQ(SystemProcAddress("vgwl-no-such-library.dll", "Anything"), nullptr);
    EXPECT_EQ(SystemProcAddress("kernel32.dll", ""), nullptr);
    EXPECT_EQ(SystemProcAddress("kernel32.dll", nullptr), nullptr);
    for (const char* name : {"", "..\\winmm.dll", "sub/winmm.dll", "C:winmm.dll",
                             "C:\\windows\\system32\\winmm.dll"}) {
        EXPECT_FALSE(LoadSystemLibrary(name)) << name;
    }
    EXPECT_FALSE(LoadSystemLibrary(nullptr));
    EXPECT_TRUE(LoadSystemLibrary("winmm.dll"));
}

TEST(SystemLibrary, ACopyInTheCurrentFolderIsNeverLoaded) {
    // A loadable library planted in the current folder under a name the
    // system folder does not have: the plain loader finds it, this one not.
    const fs::path folder = fs::temp_directory_path() / "vgwl-planted-library";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(DistDir() + "olvrex.dll", folder / "vgwlplanted.dll");
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.string().c_str()));

    HMODULE plain = LoadLibraryA("vgwlplanted.dll");
    const bool plainFound = plain != nullptr;
    if (plain) {
        FreeLibrary(plain);
    }
    const bool systemFound = static_cast<bool>(LoadSystemLibrary("vgwlplanted.dll"));

    SetCurrentDirectoryA(previous);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    ASSERT_TRUE(plainFound) << "precondition: the planted copy can be loaded";
    EXPECT_FALSE(systemFound);
}

TEST(SystemLibrary, OurLibrariesLoadOnlyByAnAbsolutePath) {
    // From the component's folder, every relative form would find it.
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(DistDir().c_str()));
    std::string found;
    for (const char* relative : {"olvrex.dll", ".\\olvrex.dll", "..\\dist\\olvrex.dll", ""}) {
        found += LoadLibraryByPath(relative) ? relative : "";
    }
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(found, "");
    EXPECT_TRUE(LoadLibraryByPath(DistDir() + "olvrex.dll"));
}

// ------------------------------------------------------------ shared fonts

LOGFONTA FontOf(HFONT font) {
    LOGFONTA lf{};
    EXPECT_EQ(GetObjectA(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
}

TEST(SharedFont, OneObjectPerFaceSizeWeightUnderlineAndDpi) {
    const FontDesc plain{.face = "MS Sans Serif", .heightPx = 11};
    const FontDesc samePlain{.face = std::string_view("MS Sans Serif xx").substr(0, 13),
                             .heightPx = 11};
    const HFONT at96 = SharedFont(plain, 96);
    ASSERT_NE(at96, nullptr);
    EXPECT_EQ(SharedFont(samePlain, 96), at96) << "an equal description is the same font";
    EXPECT_EQ(FontOf(at96).lfHeight, -11);

    const HFONT at144 = SharedFont(plain, 144);
    EXPECT_NE(at144, at96);
    EXPECT_EQ(FontOf(at144).lfHeight, -17);  // 11 px at 150 %, rounded

    const HFONT bold =
        SharedFont(FontDesc{.face = "MS Sans Serif", .heightPx = 11, .bold = true}, 96);
    const HFONT underlined =
        SharedFont(FontDesc{.face = "MS Sans Serif", .heightPx = 11, .underline = true}, 96);
    EXPECT_NE(bold, at96);
    EXPECT_NE(underlined, at96);
    EXPECT_NE(bold, underlined);
    EXPECT_EQ(FontOf(bold).lfWeight, FW_BOLD);
    EXPECT_TRUE(FontOf(underlined).lfUnderline);
    EXPECT_NE(SharedFont(FontDesc{.face = "Impact", .heightPx = 11}, 96), at96);
}

class FootprintTest : public PreferencesTest {};

HFONT FontOfWindow(HWND hwnd) {
    return reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
}

TEST_F(FootprintTest, FormsShareOneFontObjectThatOutlivesThem) {
    CreateWindow();
    const HFONT mainFont = FontOfWindow(Window().RzCheckBox1->Handle());
    ASSERT_NE(mainFont, nullptr);
    EXPECT_EQ(FontOfWindow(SelectSound().RzBitBtn1->Handle()), mainFont);
    EXPECT_EQ(FontOfWindow(Window().ListView1->Handle()), mainFont);
    // The title keeps a font of its own.
    EXPECT_NE(FontOfWindow(Window().Control("RzLabel1").Handle()), mainFont);

    EXPECT_EQ(GetObjectType(mainFont), static_cast<DWORD>(OBJ_FONT));
    App().DestroyForms();
    EXPECT_EQ(GetObjectType(mainFont), static_cast<DWORD>(OBJ_FONT))
        << "a form deleted the shared font";
}

// ------------------------------------------------------------ made when needed

struct TooltipSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TooltipSearch*>(param);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && GetWindow(hwnd, GW_OWNER) == search->owner) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND TooltipOf(HWND form) {
    TooltipSearch search{form, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(FootprintTest, HintsBecomeTooltipsWhenTheFormIsFirstShown) {
    CreateWindow();
    HWND main = Window().Handle();
    EXPECT_EQ(TooltipOf(main), nullptr) << "a hidden form made its tooltips";

    int hinted = 0;
    for (const ControlDesc& c : kPreferencesForm.controls) {
        hinted += c.hint.empty() ? 0 : 1;
    }
    ASSERT_GT(hinted, 0);
    Window().Show();
    HWND tooltip = TooltipOf(main);
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), hinted);

    // Shown again: the same tooltips, not a second set.
    Window().Hide();
    Window().Show();
    EXPECT_EQ(TooltipOf(main), tooltip);
    EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), hinted);
    Window().Hide();
}

// Draws a picture button as its form would into a bitmap and counts the
// pixels of the glyph square that are not the button face.
int GlyphPixels(TBitBtn& button, bool disabled, std::vector<COLORREF>& pixels) {
    RECT rc{};
    GetClientRect(button.Handle(), &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = disabled ? ODS_DISABLED : 0;
    item.hwndItem = button.Handle();
    item.hDC = dc;
    item.rcItem = rc;
    EXPECT_TRUE(button.HandleDrawItem(item));
    const COLORREF face = GetPixel(dc, 1 + 2, rc.bottom / 2);  // inside the frame, off the glyph
    const int size = button.Form().Scale(16);
    const int left = (rc.right - size) / 2;
    const int top = (rc.bottom - size) / 2;
    int count = 0;
    pixels.clear();
    for (int y = top; y < top + size; ++y) {
        for (int x = left; x < left + size; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            pixels.push_back(c);
            count += c != face ? 1 : 0;
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return count;
}

TEST_F(FootprintTest, PictureButtonsDrawTheirGlyphsMadeOnFirstDraw) {
    CreateWindow();
    TBitBtn& play = *Window().RzBitBtn1;  // picture only, no caption
    std::vector<COLORREF> enabled;
    std::vector<COLORREF> disabled;
    std::vector<COLORREF> again;
    EXPECT_GT(GlyphPixels(play, false, enabled), 10) << "no glyph drawn";
    EXPECT_GT(GlyphPixels(play, true, disabled), 10) << "no grey glyph drawn";
    EXPECT_NE(enabled, disabled) << "the disabled button drew the normal glyph";
    GlyphPixels(play, false, again);
    EXPECT_EQ(again, enabled);
}

TEST(SplashPicture, ReleasingItFreesTheBitmapAndEmptiesThePicture) {
    TApplication app(GetModuleHandleA(nullptr));
    TSplashScreen& splash = app.CreateOwnedForm<TSplashScreen>();
    HWND image = splash.Image1->Handle();
    auto* picture = reinterpret_cast<HGDIOBJ>(SendMessageA(image, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));

    splash.ReleasePicture();

    EXPECT_EQ(SendMessageA(image, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_EQ(GetObjectType(picture), 0u) << "the picture was not deleted";
    splash.ReleasePicture();  // a second time: nothing left to free
    app.DestroyForms();
}

}  // namespace
}  // namespace vgwl::test
