#include "whitelist/WhiteListFile.h"

#include "whitelist/WhiteListEntry.h"
#include "whitelist/WhiteListJournal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace vgwl {
namespace {

// A temporary file holding exactly these bytes, read back by the reader.
WhiteListFileContent Read(const std::string& bytes, std::size_t maxChars = 499,
                          std::size_t maxEntries = 1000000) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    WhiteListFileContent content = ReadWhiteList(file, maxChars, maxEntries);
    std::fclose(file);
    return content;
}

using Entries = std::vector<std::string>;

TEST(WhiteListFile, ReadsTheWrittenFormat) {
    EXPECT_EQ(Read("2\r\nabc\r\nxy\r\n").entries, (Entries{"abc", "xy"}));
    const auto empty = Read("0\r\n");
    EXPECT_TRUE(empty.hasCount);
    EXPECT_EQ(empty.count, 0);
    EXPECT_TRUE(empty.entries.empty());
}

TEST(WhiteListFile, CountDecidesHowManyEntriesAreRead) {
    EXPECT_EQ(Read("2\r\na\r\nb\r\nc\r\n").entries, (Entries{"a", "b"}));
    // Fewer entries than the count: only those present, nothing invented.
    const auto shortFile = Read("5\r\na\r\nb\r\n");
    EXPECT_EQ(shortFile.count, 5);
    EXPECT_EQ(shortFile.entries, (Entries{"a", "b"}));
}

TEST(WhiteListFile, BlankLinesAndBlanksAroundEntriesAreSkipped) {
    EXPECT_EQ(Read("2\r\n\r\n  abc \r\nxy\r\n").entries, (Entries{"abc", "xy"}));
    EXPECT_EQ(Read("2\n\tabc\t\n\n\nxy").entries, (Entries{"abc", "xy"}));
    EXPECT_EQ(Read("+2\r\na\r\nb\r\n").entries, (Entries{"a", "b"}));
    EXPECT_EQ(Read("   2\r\na\r\nb\r\n").entries, (Entries{"a", "b"}));
    // An entry with a blank in it comes back as two words.
    EXPECT_EQ(Read("2\r\na b\r\nc\r\n").entries, (Entries{"a", "b"}));
}

TEST(WhiteListFile, DamagedFilesGiveNoListOrOnlyWhatTheyHold) {
    EXPECT_FALSE(Read("").hasCount);
    EXPECT_FALSE(Read("abc\r\n").hasCount);
    EXPECT_FALSE(Read("-\r\na\r\n").hasCount);
    EXPECT_TRUE(Read("abc\r\n").entries.empty());
    const auto negative = Read("-3\r\na\r\nb\r\n");
    EXPECT_TRUE(negative.hasCount);
    EXPECT_TRUE(negative.entries.empty());
    // A count far beyond any integer still reads just the entries there.
    EXPECT_EQ(Read("99999999999999999999\r\na\r\n").entries, (Entries{"a"}));
}

TEST(WhiteListFile, LongEntriesArePassedOverWhole) {
    const std::string longEntry(1000, 'x');
    const auto content = Read("3\r\n" + longEntry + "\r\n" + std::string(63, 'y') + "\r\n" +
                                  std::string(64, 'z') + "\r\nnext\r\n",
                              63);
    // The long entries count as read: the count still decides where the
    // list ends, so "next" is not taken in their place.
    EXPECT_EQ(content.entries, (Entries{std::string(63, 'y')}));
    EXPECT_EQ(content.passedOver, 2u);
}

TEST(WhiteListFile, EntriesHoldingControlCharactersArePassedOver) {
    // A NUL inside an entry would publish "com" and let every .com popup
    // through: such an entry is no entry at all.
    const std::string bytes =
        std::string("4\r\ncom") + '\0' + ".example.org\r\na\x01b\r\n" + "del\x7f\r\nok.example\r\n";
    const auto content = Read(bytes, 63);
    EXPECT_EQ(content.entries, (Entries{"ok.example"}));
    EXPECT_EQ(content.passedOver, 3u);
    // Bytes above 127 are characters of the code page, not controls.
    EXPECT_EQ(Read("1\r\nb\xfc\x80"
                   "cher.de\r\n",
                   63)
                  .entries,
              (Entries{"b\xfc\x80"
                       "cher.de"}));
}

TEST(WhiteListFile, NeverMoreThanTheLimitOfEntries) {
    std::string bytes = "100\r\n";
    for (int i = 0; i < 100; ++i) {
        bytes += "e" + std::to_string(i) + "\r\n";
    }
    const auto content = Read(bytes, 499, 10);
    ASSERT_EQ(content.entries.size(), 10u);
    EXPECT_EQ(content.entries.back(), "e9");
}

TEST(WhiteListFile, WritesTheExactBytes) {
    EXPECT_EQ(WhiteListFileBytes({}), std::string("0\r\n"));
    EXPECT_EQ(WhiteListFileBytes({"abc", "xy"}),
              std::string("\x32\x0d\x0a\x61\x62\x63\x0d\x0a\x78\x79\x0d\x0a"));
    // Order and letter case as given, never sorted.
    EXPECT_EQ(WhiteListFileBytes({"Zeta", "alpha"}), "2\r\nZeta\r\nalpha\r\n");
    EXPECT_EQ(WhiteListLine("ignored", false, -42), "-42\r\n");
    EXPECT_EQ(WhiteListLine("ignored", false, 0), "0\r\n");
    EXPECT_EQ(WhiteListLine("a.example", true, 7), "a.example\r\n");
}

// Every entry the editor accepts comes back from the file unchanged, and in
// the same number: the writer and the reading rule agree.
TEST(WhiteListFile, WriterAndReaderAgreeOnEveryAcceptedEntry) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 70);
    Entries accepted;
    int refused = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string entry(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : entry) {
            // Mostly printable, now and then anything at all.
            const int b = byte(random);
            c = static_cast<char>(b < 200 ? 0x21 + b % 94 : byte(random));
        }
        if (CheckWhiteListEntry(entry) == EntryRefusal::None) {
            accepted.push_back(entry);
        } else {
            ++refused;
        }
    }
    accepted.push_back(std::string(63, '\xff'));
    accepted.push_back("-");
    accepted.push_back("+5");
    ASSERT_GT(accepted.size(), 1000u);
    ASSERT_GT(refused, 100);
    const auto content = Read(WhiteListFileBytes(accepted), kMaxWhiteListEntryChars);
    EXPECT_EQ(content.count, static_cast<std::int64_t>(accepted.size()));
    EXPECT_EQ(content.passedOver, 0u);
    EXPECT_EQ(content.entries, accepted);
}

// A complete companion gives back the list exactly; whatever a stop leaves is
// told apart from it: every cut, a changed byte, stale bytes after a shorter
// save, a list that is no companion.
TEST(WhiteListJournal, OnlyACompleteCompanionGivesTheList) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u) << "the standard check value";
    const std::string list = "3\r\na.example\r\nb\x1a.example\r\nc.example\r\n";
    const std::string journal = WhiteListJournalBytes(list);
    EXPECT_EQ(WhiteListFromJournal(journal), list);
    EXPECT_EQ(WhiteListFromJournal(WhiteListJournalBytes("")), "");
    for (std::size_t at = 0; at < journal.size(); ++at) {
        EXPECT_EQ(WhiteListFromJournal(journal.substr(0, at)), std::nullopt) << at;
        std::string changed = journal;
        changed[at] = static_cast<char>(changed[at] ^ 0x20);
        EXPECT_EQ(WhiteListFromJournal(changed), std::nullopt) << at;
    }
    EXPECT_EQ(WhiteListFromJournal(journal + "stale"), std::nullopt);
    EXPECT_EQ(WhiteListFromJournal(list), std::nullopt);
}

}  // namespace
}  // namespace vgwl
