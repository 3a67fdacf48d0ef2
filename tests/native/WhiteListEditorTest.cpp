#include "whitelist/WhiteListEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vgwl {
namespace {

using Entries = std::vector<std::string>;

struct RefusalCase {
    std::string text;
    EntryRefusal expected;
};

// One table for the rule: what the editor refuses, wherever the text comes
// from, and why. The list holds "abc" and "www.example.com".
TEST(WhiteListEntryRule, RefusalTable) {
    WhiteListEditor editor;
    editor.Added("abc");
    editor.Added("www.example.com");
    const std::vector<RefusalCase> cases = {
        {"", EntryRefusal::Empty},
        {" ", EntryRefusal::WhiteSpace},
        {"abc ", EntryRefusal::WhiteSpace},
        {" abc", EntryRefusal::WhiteSpace},
        {"a b", EntryRefusal::WhiteSpace},
        {"a\tb", EntryRefusal::WhiteSpace},
        {"a\r\nb", EntryRefusal::WhiteSpace},
        {"a\nb", EntryRefusal::WhiteSpace},
        {"a\vb", EntryRefusal::WhiteSpace},
        {"a\fb", EntryRefusal::WhiteSpace},
        {std::string("a\0b", 3), EntryRefusal::ControlCharacter},
        {"a\x1b"
         "b",
         EntryRefusal::ControlCharacter},
        {"a\x7f", EntryRefusal::ControlCharacter},
        {std::string(64, 'x'), EntryRefusal::TooLong},
        {std::string(64, 'x') + " ", EntryRefusal::WhiteSpace},
        {"abc", EntryRefusal::Duplicate},
        {"www.example.com", EntryRefusal::Duplicate},
        // Whole, case-sensitive captions: these are all new.
        {"ABC", EntryRefusal::None},
        {"Abc", EntryRefusal::None},
        {"ab", EntryRefusal::None},
        {"abcd", EntryRefusal::None},
        {"example.com", EntryRefusal::None},
        {"http://www.example.com", EntryRefusal::None},
        {std::string(63, 'x'), EntryRefusal::None},
        {"b\xfc"
         "cher.de",
         EntryRefusal::None},
    };
    for (const RefusalCase& c : cases) {
        EXPECT_EQ(editor.CheckAdd(c.text), c.expected) << "entry \"" << c.text << "\"";
        EXPECT_EQ(editor.IsNew(c.text), c.expected != EntryRefusal::Duplicate)
            << "entry \"" << c.text << "\"";
    }
    // Every refusal has a sentence to show.
    for (EntryRefusal r :
         {EntryRefusal::Empty, EntryRefusal::WhiteSpace, EntryRefusal::ControlCharacter,
          EntryRefusal::TooLong, EntryRefusal::Duplicate}) {
        EXPECT_FALSE(EntryRefusalText(r).empty());
    }
    EXPECT_NE(EntryRefusalText(EntryRefusal::TooLong).find("63"), std::string::npos);
}

TEST(WhiteListEditor, RowsAndDuplicateTestFollowTheView) {
    WhiteListEditor editor;
    EXPECT_TRUE(editor.IsNew("a")) << "always new in an empty view";
    // A file listing an entry twice shows it twice: removing one copy
    // leaves it listed.
    editor.Added("a");
    editor.Added("b");
    editor.Added("a");
    EXPECT_EQ(editor.Rows(), (Entries{"a", "b", "a"}));
    editor.RemovedAt(0);
    EXPECT_EQ(editor.Rows(), (Entries{"b", "a"}));
    EXPECT_FALSE(editor.IsNew("a"));
    editor.RemovedAt(1);
    EXPECT_TRUE(editor.IsNew("a"));
    EXPECT_EQ(editor.Rows(), (Entries{"b"}));
    editor.RemovedAt(5);  // no such row: nothing changes
    editor.ChangedAt(3, "z");
    EXPECT_EQ(editor.Rows(), (Entries{"b"}));
    editor.ChangedAt(0, "c");
    EXPECT_TRUE(editor.IsNew("b"));
    EXPECT_FALSE(editor.IsNew("c"));
    EXPECT_EQ(editor.Rows(), (Entries{"c"}));
    editor.Cleared();
    EXPECT_TRUE(editor.IsNew("c"));
    EXPECT_EQ(editor.Count(), 0u);
}

TEST(WhiteListEditor, InPlaceEditsFollowTheRuleAndRefuseDuplicates) {
    WhiteListEditor editor;
    editor.Added("abc");
    editor.Added("xyz");
    EXPECT_EQ(editor.CheckEdit("abc", "abc"), EntryRefusal::None) << "unchanged";
    EXPECT_EQ(editor.CheckEdit("abc", "abcd"), EntryRefusal::None);
    EXPECT_EQ(editor.CheckEdit("abc", "xyz"), EntryRefusal::Duplicate);
    EXPECT_EQ(editor.CheckEdit("abc", "XYZ"), EntryRefusal::None);
    EXPECT_EQ(editor.CheckEdit("abc", ""), EntryRefusal::Empty);
    EXPECT_EQ(editor.CheckEdit("abc", "a bc"), EntryRefusal::WhiteSpace);
    EXPECT_EQ(editor.CheckEdit("abc", std::string(64, 'a')), EntryRefusal::TooLong);
}

TEST(WhiteListEditor, DropAppendsNewLinksOnceInOrder) {
    WhiteListEditor editor;
    editor.Added("http://b.example/");
    const AnsiEncoder none;
    // The second line is listed already; the first comes twice.
    EXPECT_EQ(editor.DropEntries({u"http://a.example/", u"http://b.example/", u"http://c.example/",
                                  u"http://a.example/"},
                                 none),
              (Entries{"http://a.example/", "http://c.example/"}));
    // Lines that give no entry are passed over, the rest still taken.
    EXPECT_EQ(
        editor.DropEntries({u"", u"not a link", u"www.d.example", u"http://e f.example"}, none),
        (Entries{"www.d.example"}));
    // Case-sensitive, as the duplicate test of typed entries.
    EXPECT_EQ(editor.DropEntries({u"HTTP://B.EXAMPLE/"}, none), (Entries{"HTTP://B.EXAMPLE/"}));
}

}  // namespace
}  // namespace vgwl
