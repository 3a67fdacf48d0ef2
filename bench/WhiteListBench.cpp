// Reading a large white list file and writing the shared table, against
// plain C baselines doing the same work in the same run.

#include "BenchSupport.h"
#include "whitelist/WhiteListFile.h"
#include "whitelist/WhiteListTable.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main() {
    using namespace vgwl;
    constexpr int kEntries = 100000;
    std::FILE* file = std::tmpfile();
    if (!file) {
        return 1;
    }
    std::fprintf(file, "%d\r\n", kEntries);
    for (int i = 0; i < kEntries; ++i) {
        std::fprintf(file, "www.site%06d.example.com\r\n", i);
    }

    std::size_t sink = 0;
    // Baseline: the bounded fscanf loop a C reader would write.
    const double baselineRead = bench::MedianSeconds(5, [&] {
        std::rewind(file);
        int count = 0;
        if (std::fscanf(file, "%d", &count) != 1) {
            return;
        }
        char entry[64];
        for (int i = 0; i < count && std::fscanf(file, "%63s", entry) == 1; ++i) {
            sink += std::strlen(entry);
        }
    });
    const double read = bench::MedianSeconds(5, [&] {
        std::rewind(file);
        sink += ReadWhiteList(file, 63, 1000000).entries.size();
    });

    std::rewind(file);
    const std::vector<std::string> entries = ReadWhiteList(file, 63, 1000000).entries;
    std::vector<unsigned char> table(WhiteListTableSize(entries.size()));
    // Baseline: copying the same characters into the slots with memcpy.
    const double baselineWrite = bench::MedianSeconds(5, [&] {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            std::memcpy(table.data() + 4 + 64 * i, entries[i].c_str(), entries[i].size() + 1);
        }
        sink += table[4];
    });
    const double write =
        bench::MedianSeconds(5, [&] { sink += WriteWhiteListTable(table, entries); });
    std::fclose(file);

    std::printf("white list of %d entries (median of 5 rounds)\n", kEntries);
    bench::Report("baseline: fscanf(\"%63s\") loop", baselineRead, baselineRead, kEntries);
    bench::Report("ReadWhiteList", read, baselineRead, kEntries);
    bench::Report("baseline: memcpy into slots", baselineWrite, baselineWrite, kEntries);
    bench::Report("WriteWhiteListTable", write, baselineWrite, kEntries);
    std::printf("table bytes: %zu (checksum %zu)\n", table.size(), sink % 1000);
    return 0;
}
