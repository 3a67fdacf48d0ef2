// Publishing the saved white list into the shared table "VMGWLITE", read
// back as the blocking component reads it: by name, from the mapped bytes.

#include "PreferencesFixture.h"

#include <gtest/gtest.h>

#include "whitelist/WhiteListPublisher.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace vgwl::test {
namespace {

class WhiteListPublish : public ListFolderTest {
protected:
    WhiteListPublish() : ListFolderTest("publish") {}

    // The table as the component sees it, or no bytes when it does not exist.
    struct Table {
        UniqueKernelHandle mapping;
        UniqueMappedView view;
        std::size_t size = 0;
        const unsigned char* bytes() const { return static_cast<const unsigned char*>(view.get()); }
        std::int32_t count() const {
            std::int32_t n;
            std::memcpy(&n, bytes(), 4);
            return n;
        }
        std::string slot(int i) const {
            const char* p = reinterpret_cast<const char*>(bytes() + 4 + 64 * i);
            return std::string(p, strnlen(p, 64));
        }
    };
    static Table OpenTable() {
        Table t;
        t.mapping.reset(OpenFileMappingA(FILE_MAP_READ, FALSE, "VMGWLITE"));
        if (t.mapping) {
            t.view.reset(MapViewOfFile(t.mapping.get(), FILE_MAP_READ, 0, 0, 0));
            MEMORY_BASIC_INFORMATION info{};
            VirtualQuery(t.view.get(), &info, sizeof(info));
            t.size = info.RegionSize;
        }
        return t;
    }
};

TEST_F(WhiteListPublish, StartPublishesTheSavedListSlotBySlot) {
    WriteFileBytes(ListFile(), "3\r\na\r\nb\r\nc\r\n");
    CreateWindow();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 3);
    EXPECT_EQ(t.slot(0), "a");
    EXPECT_EQ(t.slot(1), "b");
    EXPECT_EQ(t.slot(2), "c");
    EXPECT_EQ(t.bytes()[4 + 1], 0);
    EXPECT_EQ(t.bytes()[68 + 1], 0);
    EXPECT_EQ(t.bytes()[132 + 1], 0);
}

TEST_F(WhiteListPublish, NoFileMeansNoTable) {
    CreateWindow();
    EXPECT_FALSE(OpenTable().mapping);
}

TEST_F(WhiteListPublish, NoPublishWhenTheSettingsKeyCannotBeOpened) {
    WriteFileBytes(ListFile(), "1\r\na\r\n");
    Services().registryOpenHook = [](HKEY, std::string_view, bool) { return false; };
    CreateWindow();
    EXPECT_FALSE(OpenTable().mapping);
    // A later publish (as after a save) creates it.
    Window().PublishWhiteList();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 1);
}

TEST_F(WhiteListPublish, EntriesFillTheirSlotAndLongerOnesArePassedOver) {
    const std::string exact(63, 'e');
    const std::string longer = std::string(63, 'l') + "overflow";
    WriteFileBytes(ListFile(), "3\r\n" + exact + "\r\n" + longer + "\r\nlast\r\n");
    CreateWindow();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    // An entry cut to 63 characters would let through what the list does
    // not show: the list view passes it over, and so does the table.
    ASSERT_EQ(t.count(), 2);
    EXPECT_EQ(t.slot(0), exact);
    EXPECT_EQ(t.bytes()[4 + 63], 0) << "the NUL sits in the slot's last byte";
    EXPECT_EQ(t.slot(1), "last");
}

TEST_F(WhiteListPublish, AShorterListLowersTheCountInTheSameTable) {
    WriteFileBytes(ListFile(), "3\r\na\r\nb\r\nc\r\n");
    CreateWindow();
    WriteFileBytes(ListFile(), "1\r\nz\r\n");
    Window().PublishWhiteList();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.slot(0), "z");
    // Clearing the slots after the count: WhiteListTable.ShorterListsClearTheSlotsAfterTheirCount.
}

TEST_F(WhiteListPublish, AnEmptiedListIsPublishedAsEmpty) {
    WriteFileBytes(ListFile(), "2\r\na\r\nb\r\n");
    CreateWindow();
    WriteFileBytes(ListFile(), "0\r\n");
    Window().PublishWhiteList();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 0) << "removed entries must not stay in force";
}

TEST_F(WhiteListPublish, ALongerListGetsALargerTableWhenNobodyElseHoldsIt) {
    WriteFileBytes(ListFile(), "2\r\na\r\nb\r\n");
    CreateWindow();
    WriteFileBytes(ListFile(), "4\r\nw\r\nx\r\ny\r\nz\r\n");
    Window().PublishWhiteList();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 4);
    EXPECT_EQ(t.slot(3), "z");
}

TEST_F(WhiteListPublish, ALongerListThanAHeldTablePublishesOnlyWhatFits) {
    // 63 entries fill the first page of the table exactly (4 + 63 * 64 bytes
    // and the rest of the page), so that the 64th has no room in it.
    std::string list = "63\r\n";
    for (int i = 0; i < 63; ++i) {
        list += "e" + std::to_string(i) + "\r\n";
    }
    WriteFileBytes(ListFile(), list);
    CreateWindow();
    {
        // The component holds the table: it cannot be made again.
        Table held = OpenTable();
        ASSERT_TRUE(held.view);
        WriteFileBytes(ListFile(), "65\r\n" + list.substr(4) + "x63\r\nx64\r\n");
        Window().PublishWhiteList();
        const WhiteListPublication& last = Window().Publisher().Last();
        EXPECT_TRUE(last.published);
        EXPECT_EQ(last.listed, 65u);
        EXPECT_EQ(last.inTable, 63u);
        EXPECT_EQ(held.count(), 63);
        EXPECT_EQ(held.slot(62), "e62");
    }
    // Once let go, the next publish makes the table large enough.
    Window().PublishWhiteList();
    EXPECT_EQ(Window().Publisher().Last().inTable, 65u);
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 65);
    EXPECT_EQ(t.slot(64), "x64");
}

TEST_F(WhiteListPublish, ADamagedCountPublishesOnlyTheEntriesPresent) {
    WriteFileBytes(ListFile(), "1000000\r\na\r\nb\r\n");
    CreateWindow();
    Table t = OpenTable();
    ASSERT_TRUE(t.view);
    EXPECT_EQ(t.count(), 2);
    EXPECT_LE(t.size, 4096u) << "sized from the entries, not from the count";
}

TEST_F(WhiteListPublish, AFileWithoutACountPublishesNothing) {
    WriteFileBytes(ListFile(), "garbage\r\n");
    CreateWindow();
    EXPECT_FALSE(OpenTable().mapping);
}

// The bridge's signal: WhiteListSerial is raised (and wraps) after every
// publish, at start and at each save; not when nothing was published, and a
// value of the wrong type starts again.
TEST_F(WhiteListPublish, TheSerialIsRaisedAfterEachPublishAndWraps) {
    WriteFileBytes(ListFile(), "1\r\na.test\r\n");
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), kSerial, 0xFFFFFFFF);
    CreateWindow();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), kSerial), 0u) << "at start, wrapping";
    SendMessageA(Window().RzBitBtn4->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), kSerial), 1u) << "at the save";
}

TEST_F(WhiteListPublish, TheSerialIsUntouchedWithoutAPublishAndRestartsOverAWrongType) {
    WriteRawValue(HKEY_LOCAL_MACHINE, SettingsKey(), {kSerial, REG_SZ, {'x', 0}});
    CreateWindow();  // no white list file: no table
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), kSerial).has_value());
    SendMessageA(Window().RzBitBtn4->Handle(), BM_CLICK, 0, 0);  // publishes the empty list
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), kSerial), 1u);
}

// The component reads the table while it is published, without a lock. A
// reader hammering it while lists grow and shrink must find under a new
// count the new list, and under the count before it an entry of the old or
// the new list or an empty slot: never an entry of a list deleted earlier.
// It looks at the last entry under the count, where a stale one would show.
TEST(WhiteListPublishOrder, AReaderDuringPublishesSeesOnlyEntriesThatBelongTogether) {
    const auto list = [](int size, const std::string& tail) {
        std::vector<std::string> entries;
        for (int i = 0; i < size; ++i) {
            entries.push_back(i < 4 ? "shared" + std::to_string(i) : tail + std::to_string(i));
        }
        return entries;
    };
    // Publish n puts at(n) in place of at(n - 1).
    const std::vector<std::string> lists[] = {list(4, ""), list(4000, "b"), list(4, ""),
                                              list(6000, "a")};
    const auto at = [&](long n) -> const std::vector<std::string>& { return lists[(n + 4) % 4]; };
    WhiteListPublisher publisher;
    ASSERT_TRUE(publisher.PublishEntries(at(-1)).published);
    UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, "VMGWLITE"));
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_TRUE(view);
    const auto* table = static_cast<const volatile char*>(view.get());
    std::atomic<long> generation{0};  // 2n + 1 while publish n runs, 2n + 2 after
    std::atomic<long> reads{0};
    std::atomic<bool> done{false};
    std::string firstBad;
    std::thread reader([&] {
        for (; !done; ++reads) {
            const long n = generation / 2;
            const auto count =
                static_cast<std::size_t>(*reinterpret_cast<const volatile std::int32_t*>(table));
            std::atomic_thread_fence(std::memory_order_acquire);
            char slot[64] = {};
            for (int b = 0; b < 64 && count > 0 && count <= 6000; ++b) {
                slot[b] = table[4 + 64 * (count - 1) + b];
            }
            const std::string seen(slot, strnlen(slot, 64));
            const auto& old = at(n - 1);
            const auto& now = at(n);
            const bool isNew = count == now.size() && seen == now.back();
            const bool isOld = count == old.size() && (seen.empty() || seen == old.back());
            if (generation <= 2 * n + 2 && !isNew && !isOld && firstBad.empty()) {
                firstBad = "publish " + std::to_string(n) + ", count " + std::to_string(count) +
                           ": " + seen;
            }
        }
    });
    for (long n = 0; n < 400 && firstBad.empty(); ++n) {
        for (const long before = reads; reads < before + 3;) {
            std::this_thread::yield();  // the reader looks between publishes too
        }
        generation = 2 * n + 1;
        publisher.PublishEntries(at(n));
        generation = 2 * n + 2;
    }
    done = true;
    reader.join();
    EXPECT_EQ(firstBad, "");
}

}  // namespace
}  // namespace vgwl::test
