#include "whitelist/WhiteListPublisher.h"

#include "component/Contract.h"
#include "toolkit/FilePaths.h"
#include "whitelist/WhiteListFile.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <span>

namespace vgwl {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

void WhiteListPublisher::Publish(const std::string& programPath) {
    const std::string path = ExtractFilePath(programPath) + kWhiteListFileName;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file) {
        return;  // no saved list yet: nothing is published
    }
    const WhiteListFileContent content =
        ReadWhiteList(file.get(), contract::kWhiteListMaxEntryChars, kMaxPublishedEntries);
    file.reset();
    if (!content.hasCount) {
        return;  // not a white list file: the table keeps what it has
    }

    // The table is sized from the entries actually read, never from the
    // count alone, which a damaged file can make arbitrarily large.
    if (!table_) {
        const std::size_t bytes = WhiteListTableSize(content.entries.size());
        const std::string name(contract::kWhiteListTableName);
        HANDLE table = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(bytes), name.c_str());
        if (!table) {
            return;
        }
        const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        table_.reset(table);
        tableBytes_ = existed ? 0 : bytes;
    }
    UniqueMappedView view(MapViewOfFile(table_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        return;
    }
    std::size_t bytes = tableBytes_;
    if (bytes == 0) {
        // A table left by an earlier run, of a size this run did not choose:
        // the mapped region bounds what may be written.
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(view.get(), &info, sizeof(info)) == 0) {
            return;
        }
        bytes = info.RegionSize;
    }
    // Only the entries that fit are published, and the count says so: no
    // slot within the count keeps bytes of an earlier list.
    WriteWhiteListTable(std::span(static_cast<unsigned char*>(view.get()), bytes), content.entries);
}

}  // namespace vgwl
