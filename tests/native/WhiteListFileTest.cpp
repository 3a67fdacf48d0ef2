#include "whitelist/WhiteListFile.h"

#include <gtest/gtest.h>

#include <cstdio>
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

TEST(WhiteListFile, LongEntriesAreCutAndTheirRestSkipped) {
    const std::string longEntry(1000, 'x');
    const auto content = Read("2\r\n" + longEntry + "\r\nnext\r\n", 63);
    ASSERT_EQ(content.entries.size(), 2u);
    EXPECT_EQ(content.entries[0], std::string(63, 'x'));
    EXPECT_EQ(content.entries[1], "next");
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

}  // namespace
}  // namespace vgwl
