#include "whitelist/WhiteListPublisher.h"

#include "component/Contract.h"
#include "toolkit/FilePaths.h"
#include "whitelist/WhiteListEntry.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>

#include <algorithm>
#include <span>

namespace vgwl {
namespace {

// The bytes that may be written through a view: the table's own size when
// this program created it, else the mapped region.
std::size_t ViewBytes(void* view, std::size_t known) {
    if (known != 0) {
        return known;
    }
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view, &info, sizeof(info)) == 0) {
        return 0;
    }
    return info.RegionSize;
}

std::size_t SlotsIn(std::size_t bytes) {
    return bytes < contract::kWhiteListCountSize
               ? 0
               : (bytes - contract::kWhiteListCountSize) / contract::kWhiteListSlotSize;
}

}  // namespace

bool WhiteListPublisher::CreateTable(std::size_t entries) {
    // Sized from the entries actually read, never from the count alone,
    // which a damaged file can make arbitrarily large.
    const std::size_t bytes = WhiteListTableSize(entries);
    const std::string name(contract::kWhiteListTableName);
    HANDLE table = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(bytes), name.c_str());
    if (!table) {
        return false;
    }
    // An existing table keeps the size it was created with.
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    table_.reset(table);
    tableBytes_ = existed ? 0 : bytes;
    return true;
}

std::size_t WhiteListPublisher::Capacity() const noexcept {
    if (!table_) {
        return 0;
    }
    if (tableBytes_ != 0) {
        return SlotsIn(tableBytes_);
    }
    UniqueMappedView view(MapViewOfFile(table_.get(), FILE_MAP_READ, 0, 0, 0));
    return view ? SlotsIn(ViewBytes(view.get(), 0)) : 0;
}

const WhiteListPublication& WhiteListPublisher::Publish(const std::string& programPath) {
    const auto content = ReadWhiteListFile(ExtractFilePath(programPath) + kWhiteListFileName);
    if (!content || !content->hasCount) {
        // No saved list, or not a white list: the table keeps what it has.
        last_ = WhiteListPublication{};
        return last_;
    }
    return PublishList(content->entries);
}

const WhiteListPublication& WhiteListPublisher::PublishEntries(
    const std::vector<std::string>& written) {
    const bool asRead = written.size() <= kMaxPublishedEntries &&
                        std::all_of(written.begin(), written.end(), [](const std::string& entry) {
                            return CheckWhiteListEntry(entry) == EntryRefusal::None;
                        });
    if (asRead) {
        return PublishList(written);
    }
    std::vector<std::string> entries;
    for (const std::string& entry : written) {
        if (entries.size() == kMaxPublishedEntries) {
            break;
        }
        if (CheckWhiteListEntry(entry) == EntryRefusal::None) {
            entries.push_back(entry);
        }
    }
    return PublishList(entries);
}

const WhiteListPublication& WhiteListPublisher::PublishList(
    const std::vector<std::string>& entries) {
    last_ = WhiteListPublication{};
    WhiteListPublication& result = last_;
    result.listed = entries.size();
    if (table_ && Capacity() < result.listed) {
        // The table cannot grow while it exists. Let go of it: when nobody
        // else holds it, it ceases to exist and is made again at the new
        // size; when the component holds it, the same table comes back.
        table_.reset();
    }
    if (!table_ && !CreateTable(result.listed)) {
        return result;
    }
    UniqueMappedView view(MapViewOfFile(table_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        return result;
    }
    const std::size_t bytes = ViewBytes(view.get(), tableBytes_);
    // Only the entries that fit are written, and the count says so: no slot
    // within the count keeps bytes of an earlier list.
    result.inTable =
        WriteWhiteListTable(std::span(static_cast<unsigned char*>(view.get()), bytes), entries);
    result.published = true;
    return result;
}

}  // namespace vgwl
