#include "whitelist/WhiteListJournal.h"

#include <gtest/gtest.h>

#include <string>

namespace vgwl {
namespace {

TEST(WhiteListJournal, ACompleteCompanionGivesBackTheListExactly) {
    for (const std::string& list : {std::string("0\r\n"), std::string("2\r\nabc\r\nxy\r\n"),
                                   std::string("1\r\nb\x1a.com\r\n"), std::string()}) {
        const std::string journal = WhiteListJournalBytes(list);
        EXPECT_EQ(journal.size(), kWhiteListJournalHeaderSize + list.size());
        EXPECT_EQ(WhiteListFromJournal(journal), list);
    }
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u) << "the standard check value";
}

// Whatever a stop leaves is told apart from a complete companion: every cut,
// a changed byte, stale bytes after a shorter save, no companion at all.
TEST(WhiteListJournal, ATornCompanionGivesNothing) {
    const std::string list = "3\r\na.example\r\nb.example\r\nc.example\r\n";
    const std::string journal = WhiteListJournalBytes(list);
    for (std::size_t cut = 0; cut < journal.size(); ++cut) {
        EXPECT_EQ(WhiteListFromJournal(journal.substr(0, cut)), std::nullopt) << cut;
    }
    for (std::size_t at = 0; at < journal.size(); ++at) {
        std::string changed = journal;
        changed[at] = static_cast<char>(changed[at] ^ 0x20);
        EXPECT_EQ(WhiteListFromJournal(changed), std::nullopt) << at;
    }
    EXPECT_EQ(WhiteListFromJournal(journal + "stale"), std::nullopt);
    // A shorter save written over a longer one, cut before its end.
    const std::string shorter = WhiteListJournalBytes("1\r\nz\r\n");
    EXPECT_EQ(WhiteListFromJournal(shorter.substr(0, shorter.size() - 2) +
                                   journal.substr(shorter.size() - 2)),
              std::nullopt);
    EXPECT_EQ(WhiteListFromJournal(list), std::nullopt) << "a list is no companion";
}

}  // namespace
}  // namespace vgwl
