#include "whitelist/WhiteListPublisher.h"

#include "component/Contract.h"
#include "toolkit/FilePaths.h"
#include "whitelist/WhiteListEntry.h"
#include "whitelist/WhiteListSave.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
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
    const auto content = ReadSavedWhiteList(ExtractFilePath(programPath) + kWhiteListFileName);
    if (!content || !content->hasCount) {
        // No saved list, or not a white list: the table keeps what it has.
        last_ = WhiteListPublication{};
        return last_;
    }
    return PublishList(content->entries);
}

const WhiteListPublication& WhiteListPublisher::PublishEntries(
    const std::vector<std::string>& written) {
    const auto asRead = [](const std::string& entry) {
        return CheckWhiteListEntry(entry) == EntryRefusal::None;
    };
    if (std::all_of(written.begin(), written.end(), asRead)) {
        return PublishList(written);
    }
    std::vector<std::string> entries;
    std::copy_if(written.begin(), written.end(), std::back_inserter(entries), asRead);
    return PublishList(entries);
}

const WhiteListPublication& WhiteListPublisher::PublishList(
    const std::vector<std::string>& entries) {
    last_ = WhiteListPublication{};
    WhiteListPublication& result = last_;
    result.listed = entries.size();
    // The table holds the first entries up to its limit; the caller tells
    // the user how many the component sees.
    const std::size_t wanted = std::min(entries.size(), kMaxPublishedEntries);
    if (table_ && Capacity() < wanted) {
        // The table cannot grow while it exists. Let go of it: when nobody
        // else holds it, it ceases to exist and is made again at the new
        // size; when the component holds it, the same table comes back.
        table_.reset();
    }
    if (!table_ && !CreateTable(wanted)) {
        return result;
    }
    UniqueMappedView view(MapViewOfFile(table_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        return result;
    }
    const std::span table(static_cast<unsigned char*>(view.get()),
                          ViewBytes(view.get(), tableBytes_));
    // Only the entries that fit are written, and the count says so: no slot
    // within the count keeps bytes of an earlier list.
    result.inTable = entries.size() > wanted
                         ? WriteWhiteListTable(table, {entries.begin(), entries.begin() + wanted})
                         : WriteWhiteListTable(table, entries);
    result.published = true;
    return result;
}

}  // namespace vgwl
