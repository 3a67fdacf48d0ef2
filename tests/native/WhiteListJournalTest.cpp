#include "whitelist/WhiteListJournal.h"

#include <gtest/gtest.h>

#include <string>

namespace vgwl {
namespace {

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
