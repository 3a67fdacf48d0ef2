// The forms at 96, 120, 144 and 192 DPI: every caption fits its control in
// the control's own font, no two controls of a page overlap, and a picture of
// every page is kept for people to look at. The fit is checked again in a
// prefix without Wine's own fonts, where every face is a substitute.
//
// A process reads the display's DPI once, when it starts; so each DPI runs
// in a child copy of this program started after the desktop's LogPixels has
// been set, and the outer test only sets, starts and restores.

#include "PreferencesFixture.h"

#include "app/Splashform.h"
#include "toolkit/Picture.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdlib>
#include <sstream>

namespace vgwl::test {
namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kDpiVariable[] = "VGWL_LAYOUT_DPI";
constexpr char kShotsVariable[] = "VGWL_SCREENSHOT_DIR";
// "substitutes" in the prefix made without Wine's own fonts.
constexpr char kFontsVariable[] = "VGWL_LAYOUT_FONTS";

std::string Env(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

// Runs the named child test of this program at the given DPI; the desktop's
// setting is put back whatever happens.
void RunChildAtDpi(const std::string& test, int dpi, const std::string& shotsDir = {}) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    const std::optional<RawValue> saved = ReadRawValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    WriteDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", static_cast<DWORD>(dpi));
    SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
    SetEnvironmentVariableA(kShotsVariable, shotsDir.empty() ? nullptr : shotsDir.c_str());
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const ProcessResult run =
        RunProcess("\"" + std::string(self) + "\" --gtest_filter=" + test + " --gtest_brief=1",
                   std::chrono::seconds(120));
    SetEnvironmentVariableA(kDpiVariable, nullptr);
    SetEnvironmentVariableA(kShotsVariable, nullptr);
    if (saved) {
        WriteRawValue(HKEY_CURRENT_USER, kDesktopKey, *saved);
    } else {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    }
    EXPECT_TRUE(run.finished) << "the child did not end in time\n" << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test."), std::string::npos) << run.output;
}

// ------------------------------------------------------------ measuring

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

// Extent of a text in a font, as DrawText lays it out: one line, or wrapped
// at the given width.
SIZE Extent(HWND hwnd, HFONT font, const std::string& text, int wrapWidth = 0) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc{0, 0, wrapWidth, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

HFONT FontOf(HWND hwnd) { return reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)); }

HFONT Bold(HFONT font, UniqueGdiObject& keep) {
    LOGFONTA lf{};
    GetObjectA(font, sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    keep.reset(CreateFontIndirectA(&lf));
    return static_cast<HFONT>(keep.get());
}

RECT Client(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc;
}

RECT InParent(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Show(const RECT& rc) {
    std::ostringstream s;
    s << "(" << rc.left << "," << rc.top << ")-(" << rc.right << "," << rc.bottom << ")";
    return s.str();
}

bool StyleVisible(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

// A 32-bit top-down bitmap to paint into; `bits` gets its pixels.
UniqueGdiObject TopDownDib(int width, int height, void** bits) {
    const BITMAPINFO info = TopDownBitmapInfo(width, height);
    return UniqueGdiObject(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

// How far to the right the control paints anything but its background, when
// it paints itself `width` pixels wide.
int InkRight(HWND hwnd, int width, int height) {
    void* bits = nullptr;
    UniqueGdiObject dib = TopDownDib(width, height, &bits);
    if (!dib || !bits) {
        return -1;
    }
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, dib.get());
    SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    SelectObject(mem, old);
    DeleteDC(mem);
    const auto* px = static_cast<const DWORD*>(bits);
    const DWORD background = px[width - 1] & 0xFFFFFF;
    int right = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = width - 1; x >= right; --x) {
            if ((px[y * width + x] & 0xFFFFFF) != background) {
                right = x + 1;
                break;
            }
        }
    }
    return right;
}

class LayoutChecker {
public:
    LayoutChecker(const TForm& form, int dpi) : form_(form), dpi_(dpi) {
        // The form's own font, as a plain text control of it carries it.
        for (const auto& c : form.Controls()) {
            const ControlKind kind = c->Desc().kind;
            if (!c->Desc().font && (kind == ControlKind::CheckBox || kind == ControlKind::Edit ||
                                    kind == ControlKind::ListBox)) {
                formFont_ = FontOf(c->Handle());
                break;
            }
        }
    }

    int S(int px) const { return MulDiv(px, dpi_, 96); }

    // Every text-carrying window below the form, shown or not.
    void CheckTexts() {
        EnumChildWindows(form_.Handle(), &LayoutChecker::VisitText, reinterpret_cast<LPARAM>(this));
    }

    // No two shown children of one parent overlap unless one holds the
    // other, and every child lies within its parent.
    void CheckOverlaps(HWND parent) {
        std::vector<HWND> children;
        for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (StyleVisible(c)) {
                children.push_back(c);
            }
        }
        const RECT area = Client(parent);
        for (std::size_t i = 0; i < children.size(); ++i) {
            const RECT a = InParent(children[i]);
            EXPECT_TRUE(Contains(area, a))
                << Name(children[i]) << " " << Show(a) << " leaves its parent " << Name(parent)
                << " " << Show(area);
            for (std::size_t j = i + 1; j < children.size(); ++j) {
                const RECT b = InParent(children[j]);
                RECT both{};
                if (IntersectRect(&both, &a, &b) && !Contains(a, b) && !Contains(b, a)) {
                    ADD_FAILURE() << Name(children[i]) << " " << Show(a) << " and "
                                  << Name(children[j]) << " " << Show(b) << " overlap";
                }
            }
            CheckOverlaps(children[i]);
        }
    }

    int checked = 0;

private:
    std::string Name(HWND hwnd) const {
        if (TControl* c = form_.ControlFromHandle(hwnd)) {
            return std::string(c->Name());
        }
        return ClassOf(hwnd) + " \"" + TextOf(hwnd) + "\"";
    }

    void Expect(HWND hwnd, const char* what, SIZE need, SIZE room) {
        ++checked;
        EXPECT_LE(need.cx, room.cx)
            << Name(hwnd) << ": " << what << " needs " << need.cx << " px wide, has " << room.cx;
        EXPECT_LE(need.cy, room.cy)
            << Name(hwnd) << ": " << what << " needs " << need.cy << " px high, has " << room.cy;
    }

    // A caption on one line is clipped when the control, given all the room
    // it wants, paints past the width it has: read from its own painting, so
    // that whatever it draws beside the text (a check box's box and gap) and
    // whatever font it draws in (a link's own) counts.
    void ExpectNotClipped(HWND hwnd, const char* what) {
        const RECT at = InParent(hwnd);
        const RECT client = Client(hwnd);
        const int frame = (at.right - at.left) - client.right;
        const int wide = client.right + S(400);
        const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
        SetWindowPos(hwnd, nullptr, 0, 0, wide + frame, at.bottom - at.top, flags);
        const int painted = InkRight(hwnd, wide, client.bottom);
        SetWindowPos(hwnd, nullptr, 0, 0, at.right - at.left, at.bottom - at.top, flags);
        ++checked;
        EXPECT_GT(painted, 0) << Name(hwnd) << ": " << what << " painted nothing";
        EXPECT_LE(painted, client.right) << Name(hwnd) << ": " << what << " paints " << painted
                                         << " px wide, has " << client.right;
    }

    static BOOL CALLBACK VisitText(HWND hwnd, LPARAM self) {
        reinterpret_cast<LayoutChecker*>(self)->Visit(hwnd);
        return TRUE;
    }

    void Visit(HWND hwnd) {
        const std::string cls = ClassOf(hwnd);
        const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        const RECT client = Client(hwnd);
        const SIZE room{client.right, client.bottom};
        TControl* control = form_.ControlFromHandle(hwnd);
        HFONT font = FontOf(hwnd);
        if (lstrcmpiA(cls.c_str(), "Static") == 0) {
            const LONG kind = style & SS_TYPEMASK;
            if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_LEFTNOWORDWRAP) {
                return;  // pictures and lines
            }
            const std::string text = TextOf(hwnd);
            if (text.empty()) {
                return;
            }
            const bool wraps = kind != SS_LEFTNOWORDWRAP;
            const SIZE one = Extent(hwnd, font, text);
            // Wrapped, a word longer than the line still runs past it.
            const SIZE need = wraps ? Extent(hwnd, font, text, room.cx) : one;
            Expect(hwnd, "label", need, room);
            if (!wraps) {
                ExpectNotClipped(hwnd, "label");
            }
        } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
            const LONG type = style & BS_TYPEMASK;
            const std::string caption = type == BS_OWNERDRAW && control
                                            ? std::string(control->Desc().caption)
                                            : TextOf(hwnd);
            if (caption.empty()) {
                return;
            }
            const SIZE text = Extent(hwnd, font, caption);
            if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
                // The box, the gap after it, the text and its focus rectangle.
                Expect(hwnd, "check box caption", {S(13) + S(3) + text.cx + 1, text.cy}, room);
                ExpectNotClipped(hwnd, "check box caption");
            } else if (type == BS_GROUPBOX) {
                // In the form's font, not the system's.
                EXPECT_EQ(font, formFont_) << Name(hwnd) << ": caption font";
                Expect(hwnd, "group box caption", {S(8) * 2 + text.cx, text.cy}, room);
            } else if (type == BS_OWNERDRAW) {
                // Picture button: glyph, gap, text, inside the frame.
                Expect(hwnd, "button caption", {S(16) + S(4) + text.cx + S(4) * 2, text.cy}, room);
            } else {
                Expect(hwnd, "button caption", {text.cx + S(2) * 2, text.cy}, room);
            }
        } else if (lstrcmpiA(cls.c_str(), "SysLink") == 0 && control) {
            const std::string caption(control->Desc().caption);
            Expect(hwnd, "link", Extent(hwnd, font, caption), room);
            ExpectNotClipped(hwnd, "link");
        } else if (lstrcmpiA(cls.c_str(), WC_TABCONTROLA) == 0) {
            const int count = static_cast<int>(SendMessageA(hwnd, TCM_GETITEMCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char text[64] = {};
                TCITEMA item{};
                item.mask = TCIF_TEXT;
                item.pszText = text;
                item.cchTextMax = sizeof(text);
                SendMessageA(hwnd, TCM_GETITEMA, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(&item));
                RECT rc{};
                SendMessageA(hwnd, TCM_GETITEMRECT, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(&rc));
                const SIZE t = Extent(hwnd, font, text);
                Expect(hwnd, text, {t.cx + S(3) * 2, t.cy},
                       {rc.right - rc.left, rc.bottom - rc.top});
                EXPECT_LE(rc.right, client.right) << "tab " << text << " needs scroll arrows";
            }
        } else if (lstrcmpiA(cls.c_str(), "ListBox") == 0) {
            // The selected item is drawn in bold, after a small indent.
            UniqueGdiObject bold;
            HFONT selected = Bold(font, bold);
            const int itemHeight = static_cast<int>(SendMessageA(hwnd, LB_GETITEMHEIGHT, 0, 0));
            RECT inner = client;
            const int count = static_cast<int>(SendMessageA(hwnd, LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char text[128] = {};
                SendMessageA(hwnd, LB_GETTEXT, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(text));
                const SIZE t = Extent(hwnd, selected, text);
                Expect(hwnd, text, {S(6) + t.cx, t.cy}, {inner.right, itemHeight});
            }
        } else if (lstrcmpiA(cls.c_str(), "Edit") == 0 && control) {
            const std::string text = TextOf(hwnd);
            if (text.empty()) {
                return;
            }
            const DWORD margins = static_cast<DWORD>(SendMessageA(hwnd, EM_GETMARGINS, 0, 0));
            const SIZE t = Extent(hwnd, font, text);
            Expect(hwnd, "text", {t.cx + LOWORD(margins) + HIWORD(margins), t.cy}, room);
        }
    }

    const TForm& form_;
    int dpi_;
    HFONT formFont_ = nullptr;
};

// ------------------------------------------------------------ pictures

// Writes the window as it is on the screen, frame included, as a PNG.
bool SaveWindowPicture(HWND hwnd, const std::string& path) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    void* bits = nullptr;
    UniqueGdiObject dib = TopDownDib(width, height, &bits);
    if (!dib || !bits) {
        return false;
    }
    HDC window = GetWindowDC(hwnd);
    HDC mem = CreateCompatibleDC(window);
    HGDIOBJ old = SelectObject(mem, dib.get());
    const BOOL copied = BitBlt(mem, 0, 0, width, height, window, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(hwnd, window);
    if (!copied) {
        return false;
    }
    // Opaque: the window DC leaves the alpha byte undefined.
    auto* px = static_cast<BYTE*>(bits);
    for (int i = 0; i < width * height; ++i) {
        px[i * 4 + 3] = 0xFF;
    }

    const bool comOk = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    bool saved = false;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    std::wstring wide(path.begin(), path.end());
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(wide.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
        SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) &&
        SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                     static_cast<UINT>(width * height * 4),
                                     static_cast<BYTE*>(bits))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) {
        saved = true;
    }
    for (IUnknown* p : std::initializer_list<IUnknown*>{frame, encoder, stream, factory}) {
        if (p) {
            p->Release();
        }
    }
    if (comOk) {
        CoUninitialize();
    }
    return saved;
}

void Settle(TApplication& app, HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        app.DispatchOne(msg);
    }
    GdiFlush();
}

// ------------------------------------------------------------ children

class LayoutAtDpi : public PreferencesTest {
protected:
    void SetUp() override {
        const std::string wanted = Env(kDpiVariable);
        if (wanted.empty()) {
            GTEST_SKIP() << "runs as a child of LayoutAtEveryDpi";
        }
        dpi_ = std::atoi(wanted.c_str());
        ASSERT_EQ(static_cast<int>(GetDpiForSystem()), dpi_) << "the desktop DPI did not take";
        DeleteSettingsKey();
        CreateWindow();
        ASSERT_EQ(Window().Dpi(), dpi_);
        // The longest name the sound box ever shows.
        Window().RzButtonEdit1->SetText("Sound Notification 5");
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        if (dpi_) {
            DeleteSettingsKey();
        }
    }
    int dpi_ = 0;
};

TEST_F(LayoutAtDpi, TextFitsAndNothingOverlaps) {
    Window().Show();
    for (int page = 0; page < Window().RzPageControl1->PageCount(); ++page) {
        SCOPED_TRACE("page " + std::to_string(page + 1));
        Window().RzPageControl1->SetActivePage(page);
        LayoutChecker main(Window(), dpi_);
        main.CheckTexts();
        main.CheckOverlaps(Window().Handle());
        EXPECT_GT(main.checked, 10);
    }
    // Picture buttons show artwork drawn for the DPI, not a stretched 16 px.
    const int glyph = dpi_ >= 192 ? 32 : (dpi_ >= 144 ? 24 : 16);
    EXPECT_EQ(Window().RzBitBtn1->GlyphSize(), glyph);
    EXPECT_EQ(SelectSound().RzBitBtn1->GlyphSize(), glyph);
    // The tray icons at the notification area's size for the DPI, drawn
    // from the 32-pixel images above 96 DPI.
    for (HICON icon : {Window().TrayIconImage.get(), Window().TrayAnimImage.get(),
                       Window().TrayOffImage.get()}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(bm.bmWidth, GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi_)));
        if (dpi_ == 192) {
            EXPECT_EQ(bm.bmWidth, 32);
        }
    }
    Window().Hide();
    SCOPED_TRACE("sound dialog");
    SelectSound().Show();
    LayoutChecker dialog(SelectSound(), dpi_);
    dialog.CheckTexts();
    dialog.CheckOverlaps(SelectSound().Handle());
    EXPECT_GE(dialog.checked, 6);
    SelectSound().Hide();
}

TEST_F(LayoutAtDpi, SplashPictureFillsItsWindow) {
    TSplashScreen& splash = App().CreateOwnedForm<TSplashScreen>();
    RECT client{};
    GetClientRect(splash.Handle(), &client);
    EXPECT_EQ(client.right, MulDiv(411, dpi_, 96));
    auto* picture = reinterpret_cast<HBITMAP>(
        SendMessageA(splash.Image1->Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(picture, nullptr);
    BITMAP bm{};
    GetObjectA(picture, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, client.right) << "a grey border around the picture";
    EXPECT_EQ(std::abs(bm.bmHeight), client.bottom);
}

TEST_F(LayoutAtDpi, PicturesOfEveryPage) {
    const std::string dir = Env(kShotsVariable);
    ASSERT_FALSE(dir.empty());
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string suffix = "-" + std::to_string(dpi_) + "dpi.png";
    const char* pages[] = {"preferences", "white-list", "about"};
    Window().RzButtonEdit1->SetText("Sound Notification 1");
    Window().Show();
    SetForegroundWindow(Window().Handle());
    for (int page = 0; page < 3; ++page) {
        Window().RzPageControl1->SetActivePage(page);
        Settle(App(), Window().Handle());
        const std::string file = dir + "\\" + pages[page] + suffix;
        EXPECT_TRUE(SaveWindowPicture(Window().Handle(), file)) << file;
    }
    Window().Hide();
    SelectSound().Show();
    SelectSound().CoolListBox1->SetItemIndex(1);
    Settle(App(), SelectSound().Handle());
    EXPECT_TRUE(SaveWindowPicture(SelectSound().Handle(), dir + "\\select-sound" + suffix));
    SelectSound().Hide();
    TSplashScreen& splash = App().CreateOwnedForm<TSplashScreen>();
    splash.Show();
    Settle(App(), splash.Handle());
    EXPECT_TRUE(SaveWindowPicture(splash.Handle(), dir + "\\splash" + suffix));
    splash.Hide();
}

// ------------------------------------------------------------ the runs

TEST(LayoutAtEveryDpi, TextFitsAndNothingOverlaps) {
    for (int dpi : {96, 120, 144, 192}) {
        RunChildAtDpi("LayoutAtDpi.TextFitsAndNothingOverlaps", dpi);
    }
}

TEST(LayoutAtEveryDpi, SplashPictureFillsItsWindow) {
    for (int dpi : {96, 144}) {
        RunChildAtDpi("LayoutAtDpi.SplashPictureFillsItsWindow", dpi);
    }
}

TEST(LayoutAtEveryDpi, PicturesOfEveryPageAt96And144Dpi) {
    const std::string dir = VGWL_TEST_SCREENSHOT_DIR;
    for (int dpi : {96, 144}) {
        RunChildAtDpi("LayoutAtDpi.PicturesOfEveryPage", dpi, dir);
    }
    for (const char* name : {"preferences-96dpi.png", "about-144dpi.png", "splash-144dpi.png"}) {
        const std::string file = dir + "\\" + name;
        EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
    }
}

// The forms are laid out for Wine's own "MS Sans Serif" and "Tahoma"; without
// them every caption would be measured in a substitute. In the prefix made
// without them the second run of the layout is only worth its time when the
// faces really are replaced.
TEST(LayoutFonts, WinesOwnFontsAreInstalledExceptWhereSubstitutesAreMeant) {
    const bool substitutes = Env(kFontsVariable) == "substitutes";
    for (const char* face : {"MS Sans Serif", "Tahoma"}) {
        UniqueGdiObject font(CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font.get());
        char got[LF_FACESIZE] = {};
        GetTextFaceA(dc, sizeof(got), got);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        EXPECT_EQ(std::string(got) == face, !substitutes)
            << face << (substitutes ? ": Wine's own fonts are in the prefix"
                                    : ": install Debian's fonts-wine (scripts/bootstrap.sh)");
    }
}

}  // namespace
}  // namespace vgwl::test

namespace vgwl::test {
namespace {

// The growing rule on a form of its own, whatever the fonts: a caption grows
// its control into free room, stops at a neighbour, and never shrinks it.
constexpr ControlDesc kFitProbeControls[] = {
    {.name = "Long",
     .kind = ControlKind::CheckBox,
     .left = 8,
     .top = 8,
     .width = 40,
     .height = 17,
     .caption = "A caption far longer than forty pixels",
     .tabOrder = 0},
    {.name = "Blocked",
     .kind = ControlKind::Label,
     .left = 8,
     .top = 40,
     .width = 30,
     .height = 13,
     .caption = "A label that meets a wall"},
    {.name = "Wall",
     .kind = ControlKind::Panel,
     .left = 60,
     .top = 36,
     .width = 100,
     .height = 20,
     .options = opt::kBorderBold},
    {.name = "Short",
     .kind = ControlKind::CheckBox,
     .left = 8,
     .top = 70,
     .width = 200,
     .height = 17,
     .caption = "Ok",
     .tabOrder = 1},
};
constexpr FormDesc kFitProbeForm{.className = "TVgwlFitProbe",
                                 .caption = "Fit",
                                 .clientWidth = 300,
                                 .clientHeight = 100,
                                 .controls = kFitProbeControls};

class FitProbe : public TForm {
public:
    explicit FitProbe(TApplication& app) : TForm(app, kFitProbeForm) {}
};

TEST(LayoutFit, CaptionsGrowIntoFreeRoomOnlyAndNeverShrink) {
    TApplication app(GetModuleHandleA(nullptr));
    FitProbe& form = app.CreateOwnedForm<FitProbe>();
    ASSERT_EQ(form.Dpi(), 96);
    HWND longBox = form.Control("Long").Handle();
    const RECT grown = InParent(longBox);
    const SIZE text = Extent(longBox, FontOf(longBox), "A caption far longer than forty pixels");
    EXPECT_EQ(grown.left, 8);
    EXPECT_GE(grown.right - grown.left, text.cx + 16) << "the caption is still clipped";
    EXPECT_LE(grown.right, 300) << "grown out of its parent";

    const RECT blocked = InParent(form.Control("Blocked").Handle());
    EXPECT_EQ(blocked.left, 8);
    EXPECT_EQ(blocked.right, 60) << "grows up to the neighbour and not over it";

    const RECT kept = InParent(form.Control("Short").Handle());
    EXPECT_EQ(kept.right - kept.left, 200) << "the described size is the smallest";
    app.DestroyForms();
}

}  // namespace
}  // namespace vgwl::test
