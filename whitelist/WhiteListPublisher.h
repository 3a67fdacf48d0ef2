#pragma once
// Publishing the saved white list to the shared table "VMGWLITE" that the
// blocking component reads. Holds the table from the first publish until the
// program ends, and the number of bytes this program may write into it.

#include "toolkit/Handles.h"
#include "whitelist/WhiteListFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vgwl {

// What one publish did.
struct WhiteListPublication {
    bool published = false;   // false: no file, not a white list, or no table
    std::size_t listed = 0;   // entries the file gives
    std::size_t inTable = 0;  // entries the table now holds: the first ones
};

class WhiteListPublisher {
public:
    // The most entries the table holds, whatever the list holds: 100000
    // entries are 6.4 MB of shared memory.
    static constexpr std::size_t kMaxPublishedEntries = kWhiteListMaxEntries;

    // Copies the white list file beside the program into the table. Nothing
    // happens when there is no file, the file is not a white list, or the
    // table cannot be created or mapped. A list that needs more room than
    // the table has gets a new, larger table when no other program holds
    // the old one; otherwise only the entries that fit are published, and
    // the result says so.
    const WhiteListPublication& Publish(const std::string& programPath);
    // The same for entries just written to the file: the table gets what
    // the reading rule gives back from them, without reading the file again.
    const WhiteListPublication& PublishEntries(const std::vector<std::string>& written);

    // What the last publish did.
    [[nodiscard]] const WhiteListPublication& Last() const noexcept { return last_; }
    [[nodiscard]] bool HoldsTable() const noexcept { return static_cast<bool>(table_); }
    // The entries the table has room for, once held.
    [[nodiscard]] std::size_t Capacity() const noexcept;

private:
    // Creates the table, or opens the one another program still holds.
    bool CreateTable(std::size_t entries);
    const WhiteListPublication& PublishList(const std::vector<std::string>& entries);

    UniqueKernelHandle table_;
    std::size_t tableBytes_ = 0;  // 0: a table of an earlier run, size unknown
    WhiteListPublication last_;
};

}  // namespace vgwl
