// The White List page: the working copy of the white list in ListView1.
#include "ui/Settings.h"

#include "toolkit/FilePaths.h"
#include "whitelist/WhiteListFile.h"

#include <cstdio>
#include <memory>

namespace vgwl {

namespace {

// The loader's buffer held 499 characters and the NUL.
constexpr std::size_t kMaxViewEntryChars = 499;
constexpr std::size_t kMaxViewEntries = 100000;

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

void TVMGWLPreferences::LoadWhiteListView() {
    const std::string path = ExtractFilePath(services_.programPath) + kWhiteListFileName;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file) {
        return;  // nothing saved yet: the view keeps its rows
    }
    const WhiteListFileContent content =
        ReadWhiteList(file.get(), kMaxViewEntryChars, kMaxViewEntries);
    file.reset();
    if (!content.hasCount) {
        return;  // not a white list: the view keeps its rows
    }
    ListView1->BeginUpdate();
    ListView1->Clear();
    // No duplicate test: an entry listed twice is shown twice.
    for (const std::string& entry : content.entries) {
        ListView1->Add(entry);
    }
    ListView1->EndUpdate();
}

}  // namespace vgwl
