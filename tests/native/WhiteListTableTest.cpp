#include "whitelist/WhiteListTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vgwl {
namespace {

using Bytes = std::vector<unsigned char>;

void PutCount(Bytes& table, std::int32_t count) {
    const auto raw = static_cast<std::uint32_t>(count);
    for (int i = 0; i < 4; ++i) {
        table[i] = static_cast<unsigned char>((raw >> (8 * i)) & 0xFF);
    }
}

void PutSlot(Bytes& table, std::size_t slot, const std::string& text) {
    std::copy(text.begin(), text.end(), table.begin() + 4 + 64 * slot);
}

TEST(WhiteListTable, ThreeEntriesGiveTheDocumentedBytes) {
    EXPECT_EQ(WhiteListTableSize(0), 4u);
    EXPECT_EQ(WhiteListTableSize(3), 196u);

    Bytes table(WhiteListTableSize(3), 0xAA);
    EXPECT_EQ(WriteWhiteListTable(table, {"a", "b", "c"}), 3u);

    EXPECT_EQ(table[0], 3);
    EXPECT_EQ(table[1], 0);
    EXPECT_EQ(table[2], 0);
    EXPECT_EQ(table[3], 0);
    for (std::size_t offset : {4u, 68u, 132u}) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(table[offset + 1], 0) << "entry not followed by NUL";
    }
    EXPECT_EQ(table[4], 'a');
    EXPECT_EQ(table[68], 'b');
    EXPECT_EQ(table[132], 'c');
    // The bytes after an entry's NUL are cleared, so no earlier list shows through.
    EXPECT_EQ(table[4 + 63], 0);
    EXPECT_EQ(table[195], 0);

    EXPECT_EQ(ReadWhiteListTable(table), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(WhiteListTable, CountIsLittleEndianAboveOneByte) {
    const std::size_t n = 300;
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < n; ++i) {
        entries.push_back("host" + std::to_string(i) + ".example");
    }
    Bytes table(WhiteListTableSize(n));
    ASSERT_EQ(WriteWhiteListTable(table, entries), n);
    EXPECT_EQ(table[0], 300 & 0xFF);
    EXPECT_EQ(table[1], 300 >> 8);
    EXPECT_EQ(table[4 + 64 * 299], 'h');
    EXPECT_EQ(ReadWhiteListTable(table), entries);
}

TEST(WhiteListTable, SixtyThreeCharactersFillTheSlotWithNulLast) {
    const std::string longest(63, 'x');
    Bytes table(WhiteListTableSize(2), 0xAA);
    ASSERT_EQ(WriteWhiteListTable(table, {longest, "next"}), 2u);
    EXPECT_EQ(table[4 + 62], 'x');
    EXPECT_EQ(table[4 + 63], 0);
    EXPECT_EQ(table[68], 'n');
    EXPECT_EQ(ReadWhiteListTable(table), (std::vector<std::string>{longest, "next"}));
}

TEST(WhiteListTable, LongerEntryIsCutToSixtyThreeCharactersInsideItsSlot) {
    const std::string tooLong = std::string(63, 'y') + "overflow";
    Bytes table(WhiteListTableSize(2), 0xAA);
    ASSERT_EQ(WriteWhiteListTable(table, {tooLong, "b"}), 2u);
    EXPECT_EQ(table[4 + 63], 0);
    EXPECT_EQ(table[68], 'b') << "the long entry ran into the next slot";
    EXPECT_EQ(ReadWhiteListTable(table), (std::vector<std::string>{std::string(63, 'y'), "b"}));
}

TEST(WhiteListTable, SlotWithoutNulReadsAsSixtyThreeCharacters) {
    Bytes table(WhiteListTableSize(2), 'z');
    PutCount(table, 2);
    const auto entries = ReadWhiteListTable(table);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], std::string(63, 'z'));
    EXPECT_EQ(entries[1], std::string(63, 'z'));
}

TEST(WhiteListTable, NegativeCountReadsAsNone) {
    Bytes table(WhiteListTableSize(2), 0);
    PutSlot(table, 0, "a");
    PutCount(table, -1);
    EXPECT_TRUE(ReadWhiteListTable(table).empty());
    PutCount(table, INT32_MIN);
    EXPECT_TRUE(ReadWhiteListTable(table).empty());
}

TEST(WhiteListTable, CountBeyondTheTableReadsOnlyWholeSlotsThatFit) {
    // Two whole slots and a partial third: the partial one is not read.
    Bytes table(WhiteListTableSize(2) + 30, 0);
    PutSlot(table, 0, "a");
    PutSlot(table, 1, "b");
    std::fill(table.begin() + WhiteListTableSize(2), table.end(), 'q');
    PutCount(table, 1000);
    EXPECT_EQ(ReadWhiteListTable(table), (std::vector<std::string>{"a", "b"}));
    PutCount(table, INT32_MAX);
    EXPECT_EQ(ReadWhiteListTable(table).size(), 2u);
}

TEST(WhiteListTable, TruncatedViewIsReadOnlyAsFarAsItGoes) {
    Bytes full(WhiteListTableSize(3), 0);
    ASSERT_EQ(WriteWhiteListTable(full, {"a", "b", "c"}), 3u);
    // Copies of the prefixes, so that the sanitizer sees any read past them.
    for (std::size_t size : {0u, 1u, 3u, 4u, 67u, 68u, 131u, 132u, 195u}) {
        SCOPED_TRACE(size);
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        const std::size_t expected = size < 4 ? 0 : (size - 4) / 64;
        const auto entries = ReadWhiteListTable(prefix);
        ASSERT_EQ(entries.size(), expected);
        const std::array<std::string, 3> all{"a", "b", "c"};
        for (std::size_t i = 0; i < expected; ++i) {
            EXPECT_EQ(entries[i], all[i]);
        }
    }
}

// A shorter list lowers the count and clears every slot after it: an entry
// deleted from the list is never read again, by any reader.
TEST(WhiteListTable, ShorterListsClearTheSlotsAfterTheirCount) {
    for (const std::vector<std::string>& shorter :
         {std::vector<std::string>{}, std::vector<std::string>{"x"}}) {
        Bytes table(WhiteListTableSize(3), 0);
        ASSERT_EQ(WriteWhiteListTable(table, {"one", "two", "three"}), 3u);
        ASSERT_EQ(WriteWhiteListTable(table, shorter), shorter.size());
        EXPECT_EQ(table[0], shorter.size());
        EXPECT_EQ(ReadWhiteListTable(table), shorter);
        // Emptied by their first byte: read with the old count, they are
        // empty entries, which match nothing.
        PutCount(table, 3);
        EXPECT_EQ(ReadWhiteListTable(table).size(), 3u);
        for (const std::string& slot : ReadWhiteListTable(table)) {
            EXPECT_TRUE(slot.empty() || slot == "x") << slot;
        }
    }
}

// The table sits between guard bytes; the writer is handed only the middle.
class GuardedTable {
public:
    static constexpr unsigned char kGuard = 0x5C;
    static constexpr std::size_t kGuardSize = 64;

    explicit GuardedTable(std::size_t size) : bytes_(size + 2 * kGuardSize, kGuard), size_(size) {}
    std::span<unsigned char> Table() { return {bytes_.data() + kGuardSize, size_}; }
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < kGuardSize; ++i) {
            if (bytes_[i] != kGuard || bytes_[kGuardSize + size_ + i] != kGuard) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<unsigned char> bytes_;
    std::size_t size_;
};

TEST(WhiteListTable, WriterWritesOnlyTheEntriesThatFitAndCountsThem) {
    const std::vector<std::string> five{"e0", "e1", std::string(100, 'L'), "e3", "e4"};
    // A table created for two entries, later given five: only two fit.
    GuardedTable guarded(WhiteListTableSize(2));
    EXPECT_EQ(WriteWhiteListTable(guarded.Table(), five), 2u);
    EXPECT_TRUE(guarded.GuardsIntact());
    EXPECT_EQ(ReadWhiteListTable(guarded.Table()), (std::vector<std::string>{"e0", "e1"}));

    // A partial slot at the end is not written into.
    GuardedTable partial(WhiteListTableSize(3) - 1);
    EXPECT_EQ(WriteWhiteListTable(partial.Table(), five), 2u);
    EXPECT_TRUE(partial.GuardsIntact());
    EXPECT_EQ(partial.Table()[WhiteListTableSize(2)], GuardedTable::kGuard)
        << "the partial slot was touched";
}

TEST(WhiteListTable, WriterIntoTooSmallTableWritesNothing) {
    for (std::size_t size : {0u, 1u, 3u}) {
        SCOPED_TRACE(size);
        GuardedTable guarded(size);
        EXPECT_EQ(WriteWhiteListTable(guarded.Table(), {"a"}), 0u);
        EXPECT_TRUE(guarded.GuardsIntact());
        for (unsigned char b : guarded.Table()) {
            EXPECT_EQ(b, GuardedTable::kGuard);
        }
    }
    // Room for the count alone: the count says 0.
    GuardedTable countOnly(4);
    EXPECT_EQ(WriteWhiteListTable(countOnly.Table(), {"a", "b"}), 0u);
    EXPECT_TRUE(countOnly.GuardsIntact());
    EXPECT_EQ(countOnly.Table()[0], 0);
    EXPECT_TRUE(ReadWhiteListTable(countOnly.Table()).empty());
}

TEST(WhiteListTable, LongEntryInTheLastSlotStaysInsideTheTable) {
    GuardedTable guarded(WhiteListTableSize(1));
    EXPECT_EQ(WriteWhiteListTable(guarded.Table(), {std::string(500, 'w')}), 1u);
    EXPECT_TRUE(guarded.GuardsIntact());
    EXPECT_EQ(guarded.Table()[WhiteListTableSize(1) - 1], 0);
}

}  // namespace
}  // namespace vgwl
