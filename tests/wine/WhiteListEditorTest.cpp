// The White List page in process: adding by Enter and by the button,
// deleting, dropping links through the real drop target, editing in place,
// reloading on show, and saving, with the file, the table and the messages
// the user sees.

#include "PreferencesFixture.h"
#include "TestDataObject.h"
#include "toolkit/Exceptions.h"
#include "whitelist/WhiteListEntry.h"
#include "toolkit/SystemError.h"
#include "whitelist/WhiteListSave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

using Rows = std::vector<std::string>;
using namespace std::chrono_literals;

class WhiteListPage : public ListFolderTest {
protected:
    WhiteListPage() : ListFolderTest("editor") {}

    Rows ViewRows() {
        Rows rows;
        for (int i = 0; i < Window().ListView1->Count(); ++i) {
            rows.push_back(Window().ListView1->Caption(i));
        }
        return rows;
    }
    void Type(const std::string& text) { Window().RzEdit1->SetText(text); }
    void PressEnter() {
        HWND box = Window().RzEdit1->Handle();
        SendMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
        SendMessageA(box, WM_CHAR, '\r', 1);
    }
    void ClickAdd() { SendMessageA(Window().RzBitBtn2->Handle(), BM_CLICK, 0, 0); }
    void ClickSave() { SendMessageA(Window().RzBitBtn4->Handle(), BM_CLICK, 0, 0); }
    void PressDelete(std::initializer_list<WORD> modifiers = {}) {
        // The modifiers are held down as the list would see them.
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        BYTE held[256];
        std::memcpy(held, keys, sizeof(held));
        for (WORD m : modifiers) {
            held[m] = 0x80;
        }
        SetKeyboardState(held);
        SendMessageA(Window().ListView1->Handle(), WM_KEYDOWN, VK_DELETE, 1);
        SetKeyboardState(keys);
    }
    void Select(std::initializer_list<int> rows) {
        for (int i = 0; i < Window().ListView1->Count(); ++i) {
            Window().ListView1->SetSelected(i, false);
        }
        for (int row : rows) {
            Window().ListView1->SetSelected(row, true);
        }
    }
    void AddRows(const Rows& rows) {
        for (const std::string& row : rows) {
            Type(row);
            PressEnter();
        }
    }
    // Drags a data object over the list and drops it, as OLE does.
    DWORD Drop(TestDataObject* data) {
        IDropTarget* target = Window().DMTextTarget1.Target();
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        const POINTL pt{20, 20};
        EXPECT_EQ(target->DragEnter(data, MK_LBUTTON, pt, &effect), S_OK);
        effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, pt, &effect), S_OK);
        DWORD dropEffect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(target->Drop(data, 0, pt, &dropEffect), S_OK);
        data->Release();
        EXPECT_EQ(effect, dropEffect) << "the cursor promised what the drop did";
        return dropEffect;
    }
    // Edits a row in place as the user does: the label editor, new text, Enter.
    void EditRow(int row, const std::string& text) {
        HWND list = Window().ListView1->Handle();
        SetFocus(list);
        HWND edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_EDITLABELA, row, 0));
        ASSERT_NE(edit, nullptr);
        SetWindowTextA(edit, text.c_str());
        SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    }
    std::string TableSlots() {
        UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, "VMGWLITE"));
        if (!mapping) {
            return "<no table>";
        }
        UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
        const auto* bytes = static_cast<const char*>(view.get());
        std::int32_t count = 0;
        std::memcpy(&count, bytes, 4);
        std::string text = std::to_string(count) + ":";
        for (int i = 0; i < count; ++i) {
            text += std::string(bytes + 4 + 64 * i, strnlen(bytes + 4 + 64 * i, 64)) + ",";
        }
        return text;
    }
    std::string SaveFailure(DWORD error) const {
        return "dialog:error:The white list could not be saved.\n\n" + SystemErrorText(error);
    }
};

TEST_F(WhiteListPage, EnterAndTheButtonAddAndEmptyTheBoxOnlyOnSuccess) {
    CreateWindow();
    PressEnter();  // empty box: nothing at all
    EXPECT_TRUE(ViewRows().empty());

    Type("abc");
    PressEnter();
    EXPECT_EQ(ViewRows(), (Rows{"abc"}));
    EXPECT_EQ(Window().RzEdit1->Text(), "");

    Type("abc");
    ClickAdd();
    EXPECT_EQ(ViewRows(), (Rows{"abc"})) << "a duplicate is not added";
    EXPECT_EQ(Window().RzEdit1->Text(), "abc") << "and stays in the box";
    EXPECT_EQ(Window().RzEdit1->BalloonText(), EntryRefusalText(EntryRefusal::Duplicate));

    // Whole, case-sensitive captions: these are new.
    for (const char* text : {"ABC", "ab", "www.example.com"}) {
        Type(text);
        ClickAdd();
    }
    EXPECT_EQ(ViewRows(), (Rows{"abc", "ABC", "ab", "www.example.com"}));
    EXPECT_EQ(Window().RzEdit1->BalloonText(), "") << "an entry taken hides the balloon";
    EXPECT_TRUE(Window().IsNewWhiteListEntry("example.com"));
    EXPECT_FALSE(Window().IsNewWhiteListEntry("ABC"));
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(WhiteListPage, EntriesTheFileCannotGiveBackAreRefusedWithTheReason) {
    CreateWindow();
    const std::vector<std::pair<std::string, EntryRefusal>> cases = {
        {"abc ", EntryRefusal::WhiteSpace},
        {"a\tb", EntryRefusal::WhiteSpace},
        {" ", EntryRefusal::WhiteSpace},
        {std::string(64, 'x'), EntryRefusal::TooLong},
        {"a\x01"
         "b",
         EntryRefusal::ControlCharacter},
    };
    for (const auto& [text, refusal] : cases) {
        Type(text);
        PressEnter();
        EXPECT_EQ(Window().RzEdit1->Text(), text);
        EXPECT_EQ(Window().RzEdit1->BalloonText(), EntryRefusalText(refusal)) << text;
    }
    EXPECT_TRUE(ViewRows().empty());
    Type(std::string(63, 'x'));
    PressEnter();
    EXPECT_EQ(ViewRows(), (Rows{std::string(63, 'x')}));
}

TEST_F(WhiteListPage, DeleteRemovesEverySelectedRowWhateverTheModifiers) {
    CreateWindow();
    AddRows({"a", "b", "c", "d", "e", "f", "g", "h"});
    PressDelete();  // nothing selected
    EXPECT_EQ(ViewRows().size(), 8u);

    Select({0, 2, 4});
    PressDelete();
    EXPECT_EQ(ViewRows(), (Rows{"b", "d", "f", "g", "h"}));
    Select({1, 3});
    PressDelete({VK_SHIFT});
    EXPECT_EQ(ViewRows(), (Rows{"b", "f", "h"}));
    Select({0, 2});
    PressDelete({VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(ViewRows(), (Rows{"f"}));
    // Removed rows can be added again.
    Type("b");
    PressEnter();
    EXPECT_EQ(ViewRows(), (Rows{"f", "b"}));
    // Other keys are left to the list.
    Select({0});
    SendMessageA(Window().ListView1->Handle(), WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(ViewRows().size(), 2u);
}

TEST_F(WhiteListPage, DropsGoThroughTheRealTargetOfEachFormat) {
    CreateWindow();
    // Nothing can be dropped on a window never shown: the target comes with
    // the first show.
    EXPECT_FALSE(Window().DMTextTarget1.Registered());
    Window().Preferences1Click();
    // The target OLE calls for the list is the form's.
    EXPECT_EQ(RegisterDragDrop(Window().ListView1->Handle(), Window().DMTextTarget1.Target()),
              DRAGDROP_E_ALREADYREGISTERED);
    AddRows({"http://b.example/"});

    // Three lines, the second listed already.
    auto* text = new TestDataObject;
    text->AddWide(CF_UNICODETEXT, L"http://a.example/\r\nhttp://b.example/\r\nhttp://c.example/");
    EXPECT_EQ(Drop(text), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ViewRows(), (Rows{"http://b.example/", "http://a.example/", "http://c.example/"}));

    // One line twice.
    auto* twice = new TestDataObject;
    twice->AddText(CF_TEXT, "www.d.example\r\nwww.d.example\r\n");
    EXPECT_EQ(Drop(twice), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ViewRows().back(), "www.d.example");
    EXPECT_EQ(ViewRows().size(), 4u);

    // The link formats; a link the code page cannot hold arrives in ASCII.
    auto* wide = new TestDataObject;
    wide->AddWide(TestDataObject::Registered("UniformResourceLocatorW"),
                  L"http://\u043f\u0440\u0430\u0432\u0434\u0430.ru/");
    wide->AddWide(CF_UNICODETEXT, L"http://\u043f\u0440\u0430\u0432\u0434\u0430.ru/");
    EXPECT_EQ(Drop(wide), static_cast<DWORD>(DROPEFFECT_COPY));
    auto* ansi = new TestDataObject;
    ansi->AddText(TestDataObject::Registered("UniformResourceLocator"), "https://e.example/x");
    EXPECT_EQ(Drop(ansi), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ViewRows(),
              (Rows{"http://b.example/", "http://a.example/", "http://c.example/", "www.d.example",
                    "http://xn--80aafi6cg.ru/", "https://e.example/x"}));

    // Refused: prose, and a format the target does not take.
    auto* prose = new TestDataObject;
    prose->AddWide(CF_UNICODETEXT, L"see http://f.example/");
    EXPECT_EQ(Drop(prose), static_cast<DWORD>(DROPEFFECT_NONE));
    auto* picture = new TestDataObject;
    const char bytes[] = "BM";
    picture->AddBytes(CF_DIB, bytes, sizeof(bytes));
    EXPECT_EQ(Drop(picture), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(ViewRows().size(), 6u);
    EXPECT_FALSE(Window().IsNewWhiteListEntry("https://e.example/x"));
}

TEST_F(WhiteListPage, ShowingReloadsTheSavedListWhenThereIsOne) {
    CreateWindow();
    AddRows({"kept"});
    Window().Show();  // no file: the rows stay
    EXPECT_EQ(ViewRows(), (Rows{"kept"}));
    Window().Hide();

    // Listed twice, shown twice, and still a duplicate for the box.
    WriteFileBytes(ListFile(), "3\r\nsaved.example\r\ntwice\r\ntwice\r\n");
    Window().Show();
    EXPECT_EQ(ViewRows(), (Rows{"saved.example", "twice", "twice"}));
    Type("twice");
    PressEnter();
    EXPECT_EQ(ViewRows().size(), 3u);
    Type("kept");
    PressEnter();  // the index was rebuilt with the rows
    EXPECT_EQ(ViewRows().size(), 4u);

    Window().Hide();
    WriteFileBytes(ListFile(), "0\r\n");
    Window().Show();
    EXPECT_TRUE(ViewRows().empty()) << "a count of 0 empties the view";

    // What both readers pass over: a NUL, a control character, overlong, a
    // Ctrl+Z (no end of the file: the entry after it is read).
    Window().Hide();
    WriteFileBytes(ListFile(), std::string("5\r\ncom") + '\0' + ".example.org\r\na\x02\r\n" +
                                   std::string(64, 'l') + "\r\nb\x1a.com\r\nok.example\r\n");
    Window().Show();
    EXPECT_EQ(ViewRows(), (Rows{"ok.example"}));
    Window().PublishWhiteList();
    EXPECT_EQ(TableSlots(), "1:ok.example,");
}

// A damaged entry with a NUL inside ("com" NUL ".example.org") would reach
// the table as "com" and let every .com popup through. Through the whole
// road, file to table to component, it is passed over.
TEST_F(WhiteListPage, ADamagedEntryLetsNothingThroughOnTheWholeRoad) {
    WriteFileBytes(ListFile(), std::string("2\r\ncom") + '\0' + ".example.org\r\nok.example\r\n");
    CreateWindow();  // publishes the saved list, as the start does
    EXPECT_EQ(TableSlots(), "1:ok.example,");
    const std::string tool = "\"" + DistDir() + "vgwlblock.exe\" ";
    const ProcessResult popup = RunProcess(tool + "http://www.popup.com/", 60s);
    EXPECT_EQ(popup.exitCode, 0u) << "blocked: " << popup.output;
    const ProcessResult trusted = RunProcess(tool + "http://www.ok.example/", 60s);
    EXPECT_EQ(trusted.exitCode, 4u) << "white-listed: " << trusted.output;
    Window().Show();
    EXPECT_EQ(ViewRows(), (Rows{"ok.example"})) << "the rows agree with the table";
}

TEST_F(WhiteListPage, InPlaceEditsAreKeptOrRefusedWithTheReason) {
    CreateWindow();
    Window().Show();
    AddRows({"abc", "xyz"});
    EditRow(0, "abd");
    EXPECT_EQ(ViewRows(), (Rows{"abd", "xyz"}));
    EXPECT_TRUE(Window().IsNewWhiteListEntry("abc"));
    EXPECT_FALSE(Window().IsNewWhiteListEntry("abd"));

    EditRow(0, "xyz");
    EXPECT_EQ(ViewRows(), (Rows{"abd", "xyz"})) << "a duplicate edit is cancelled";
    EXPECT_EQ(Window().ListView1->BalloonText(), EntryRefusalText(EntryRefusal::Duplicate));
    EditRow(1, "x yz");
    EXPECT_EQ(ViewRows(), (Rows{"abd", "xyz"}));
    EXPECT_EQ(Window().ListView1->BalloonText(), EntryRefusalText(EntryRefusal::WhiteSpace));
    EditRow(1, "");
    EXPECT_EQ(ViewRows(), (Rows{"abd", "xyz"}));
    EditRow(1, "xyz");  // unchanged: kept
    EXPECT_EQ(ViewRows(), (Rows{"abd", "xyz"}));
    EditRow(1, "XYZ");
    EXPECT_EQ(ViewRows(), (Rows{"abd", "XYZ"}));
}

TEST_F(WhiteListPage, SaveWritesTheExactBytesAndPublishesThem) {
    CreateWindow();
    ClickSave();
    EXPECT_EQ(ReadFileBytes(ListFile()), "0\r\n");
    EXPECT_EQ(TableSlots(), "0:");
    AddRows({"abc", "xy"});
    ClickSave();
    EXPECT_EQ(ReadFileBytes(ListFile()),
              std::string("\x32\x0d\x0a\x61\x62\x63\x0d\x0a\x78\x79\x0d\x0a"));
    EXPECT_EQ(TableSlots(), "2:abc,xy,");
    ClickSave();  // the same bytes again
    EXPECT_EQ(ReadFileBytes(ListFile()), "2\r\nabc\r\nxy\r\n");
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(ReadFileBytes(Companion()), "");
}

TEST_F(WhiteListPage, AFailedSaveKeepsTheOldFileAndTableAndSaysWhy) {
    const std::string old = "1\r\nold.example\r\n";
    WriteFileBytes(ListFile(), old);
    CreateWindow();
    AddRows({"new.example"});

    ASSERT_TRUE(SetFileAttributesA(ListFile().c_str(), FILE_ATTRIBUTE_READONLY));
    ClickSave();
    EXPECT_EQ(ReadFileBytes(ListFile()), old);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), SaveFailure(ERROR_ACCESS_DENIED));
    EXPECT_EQ(TableSlots(), "1:old.example,");
    ASSERT_TRUE(SetFileAttributesA(ListFile().c_str(), FILE_ATTRIBUTE_NORMAL));

    events.clear();
    {
        HeldFile held(ListFile());
        ASSERT_TRUE(held.Held());
        ClickSave();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].rfind("dialog:error:The white list could not be saved.\n\n", 0), 0u)
            << events[0];
    }
    EXPECT_EQ(ReadFileBytes(ListFile()), old);
    EXPECT_EQ(TableSlots(), "1:old.example,");

    // A companion that cannot be written (its name is taken by a folder).
    events.clear();
    ASSERT_TRUE(CreateDirectoryA(Companion().c_str(), nullptr));
    ClickSave();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("dialog:error:The white list could not be saved.\n\n", 0), 0u);
    EXPECT_EQ(ReadFileBytes(ListFile()), old);
    EXPECT_EQ(TableSlots(), "1:old.example,");
    EXPECT_EQ(ViewRows(), (Rows{"new.example"})) << "the rows stay for the next try";
}

TEST_F(WhiteListPage, ASaveLongerThanAHeldTableSaysHowManyTheComponentSees) {
    WriteFileBytes(ListFile(), "1\r\na\r\n");
    CreateWindow();
    Window().LoadWhiteListView();
    Rows rows;
    for (int i = 0; i < 70; ++i) {
        rows.push_back("e" + std::to_string(i));
    }
    AddRows(rows);
    {
        UniqueKernelHandle held(OpenFileMappingA(FILE_MAP_READ, FALSE, "VMGWLITE"));
        ASSERT_TRUE(held);
        ClickSave();
    }
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(),
              "dialog:warning:The white list was saved, but the blocking component sees only the "
              "first 63 of its 71 entries: another program holds the white list table open, so "
              "it cannot grow. Close your web browsers and press Save again.");
    EXPECT_EQ(TableSlots().substr(0, 3), "63:");
    // Let go of, the table grows with the next save.
    events.clear();
    ClickSave();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(TableSlots().substr(0, 3), "71:");
}

// A start and a show finish a save that a stop cut short.
TEST_F(WhiteListPage, StartAndShowFinishASaveCutShort) {
    WriteFileBytes(ListFile(), "2\r\nold-one.example\r\nold-two.example\r\n");
    const auto halfway = [](WhiteListSaveStep step) {
        return step == WhiteListSaveStep::ListHalfWritten ? kWhiteListSaveStopped : DWORD{0};
    };
    ASSERT_FALSE(SaveWhiteListFile(ListFile(), "1\r\nnew.example\r\n", halfway).saved);
    CreateWindow();
    EXPECT_EQ(TableSlots(), "1:new.example,");
    ASSERT_FALSE(
        SaveWhiteListFile(ListFile(), "2\r\nnew.example\r\nnext.example\r\n", halfway).saved);
    Window().Show();
    EXPECT_EQ(ViewRows(), (Rows{"new.example", "next.example"}));
}

// Past the table's 100000 entries nothing is cut: the view and the file keep
// every entry, and loading, saving, adding and dropping say what the
// component sees (adding and dropping once, as the list crosses the limit).
TEST_F(WhiteListPage, EntriesPastTheTablesLimitAreKeptAndSaid) {
    std::string file = "100001\r\n";
    for (int i = 0; i <= 100000; ++i) {
        file += "e" + std::to_string(i) + "\r\n";
    }
    WriteFileBytes(ListFile(), file);
    CreateWindow();
    EXPECT_EQ(TableSlots().substr(0, 7), "100000:");
    const auto said = [](int n) {
        return "The white list holds " + std::to_string(n) +
               " entries, but the blocking component "
               "sees only the first 100000 of them: the entries after those let no popup through.";
    };
    events.clear();
    Window().Show();
    EXPECT_EQ(Window().ListView1->Count(), 100001);
    ClickSave();
    EXPECT_EQ(ReadFileBytes(ListFile()), file) << "a save never cuts the list";
    EXPECT_EQ(events, (Rows{"dialog:warning:" + said(100001),
                            "dialog:warning:The white list was saved. " + said(100001)}));
    Select({0, 1});
    PressDelete();
    events.clear();
    AddRows({"x1.example", "x2.example"});
    Select({0});
    PressDelete();
    auto* links = new TestDataObject;
    links->AddWide(CF_UNICODETEXT, L"http://y1.example/\r\nhttp://y2.example/");
    Drop(links);
    EXPECT_EQ(events, (Rows{"dialog:warning:" + said(100001), "dialog:warning:" + said(100002)}));
}

// Typed and edited text under a code page that cannot hold it (run under a
// Russian locale): never a look-alike ("bucher.de" is another domain), never
// a question mark.
class TypedUnderCodePage1251 : public WhiteListPage {};

TEST_F(TypedUnderCodePage1251, TextTheCodePageCannotHoldIsWrittenInAscii) {
    ASSERT_EQ(GetACP(), 1251u) << "the test needs the Russian locale";
    CreateWindow();
    Window().Show();
    for (const wchar_t* typed :
         {L"b\u00fccher.de", L"www.\u6771\u4eac.jp", L"\u043f\u0440\u0430.ru"}) {
        SetWindowTextW(Window().RzEdit1->Handle(), typed);
        ClickAdd();
    }
    HWND list = Window().ListView1->Handle();
    SetFocus(list);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 1, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"m\u00fcnchen.de");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    ClickSave();
    EXPECT_EQ(ReadFileBytes(ListFile()),
              "3\r\nxn--bcher-kva.de\r\nxn--mnchen-3ya.de\r\n\xef\xf0\xe0.ru\r\n");
}

TEST_F(WhiteListPage, AppendWhiteListLineAppendsToTheExistingFileOnly) {
    CreateWindow();
    EXPECT_THROW(Window().AppendWhiteListLine("a", ListFile(), true, 0), FileOpenError);
    EXPECT_FALSE(ReadFileBytes(ListFile())) << "never created";
    WriteFileBytes(ListFile(), "");
    Window().AppendWhiteListLine("ignored", ListFile(), false, 2);
    Window().AppendWhiteListLine("abc", ListFile(), true, 99);
    Window().AppendWhiteListLine("", ListFile(), false, -7);
    EXPECT_EQ(ReadFileBytes(ListFile()), "2\r\nabc\r\n-7\r\n");
}

}  // namespace
}  // namespace vgwl::test
