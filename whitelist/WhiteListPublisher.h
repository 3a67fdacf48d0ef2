#pragma once
// Publishing the saved white list to the shared table "VMGWLITE" that the
// blocking component reads. Holds the table from the first publish until the
// program ends, and the number of bytes this program may write into it.

#include "toolkit/Handles.h"

#include <cstddef>
#include <string>

namespace vgwl {

class WhiteListPublisher {
public:
    // Keeps a damaged or huge file from asking for a huge table: 100000
    // entries are 6.4 MB of shared memory.
    static constexpr std::size_t kMaxPublishedEntries = 100000;

    // Copies the white list file beside the program into the table. Nothing
    // happens, and nothing is reported, when there is no file, the file is
    // not a white list, or the table cannot be created or mapped.
    void Publish(const std::string& programPath);

    [[nodiscard]] bool HoldsTable() const noexcept { return static_cast<bool>(table_); }

private:
    UniqueKernelHandle table_;
    std::size_t tableBytes_ = 0;  // 0: a table of an earlier run, size unknown
};

}  // namespace vgwl
