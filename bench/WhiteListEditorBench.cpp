// The White List page with 10000 entries, against same-run baselines: loading
// the saved list into the view against a bare LVM_INSERTITEM loop of the same
// strings; a drop of 10000 new links onto 10000 rows against a load of 20000;
// a save with its publish against one WriteFile of the same bytes and one
// table write.

#include "BenchSupport.h"
#include "TestDataObject.h"
#include "toolkit/Application.h"
#include "toolkit/Handles.h"
#include "ui/Settings.h"
#include "whitelist/WhiteListFile.h"
#include "whitelist/WhiteListSave.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace vgwl;
constexpr int kEntries = 10000;
constexpr int kRounds = 5;

// The median of timed rounds, each after its own untimed preparation.
double Median(const std::function<void()>& prepare, const std::function<void()>& timed) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        timed();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<std::string> Entries(const char* pattern, int count) {
    std::vector<std::string> entries;
    char text[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof(text), pattern, i);
        entries.emplace_back(text);
    }
    return entries;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int main() {
    TApplication app(GetModuleHandleA(nullptr));
    app.Initialize();
    // The settings are out of reach here (as in the notification bench),
    // and their dialog is not what is measured.
    app.SetMessageDialogHandler([](const MessageDialogRequest&) {});
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vgwl-bench-whitelist\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string listFile = folder + kWhiteListFileName;
    DeleteFileA(listFile.c_str());

    PreferencesServices services;
    services.notifyIcon = [](DWORD, NOTIFYICONDATAA*) { return TRUE; };
    services.sleep = [](DWORD) {};
    services.playSound = [](const char*, HMODULE, DWORD) { return TRUE; };
    services.registryOpenHook = [](HKEY, std::string_view, bool) { return false; };
    services.programPath = folder + "VelmoraGWLite.exe";
    TVMGWLPreferences& window = app.CreateForm<TVMGWLPreferences>(services);
    TListView& view = *window.ListView1;

    const std::vector<std::string> saved = Entries("www.site%05d.example.com", kEntries);
    std::vector<std::string> twice = saved;
    const std::vector<std::string> more = Entries("www.more%05d.example.com", kEntries);
    twice.insert(twice.end(), more.begin(), more.end());
    const std::string savedBytes = WhiteListFileBytes(saved);
    const std::string twiceBytes = WhiteListFileBytes(twice);

    // A bare report list view of the same look, filled by the plain loop.
    HWND bare = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 390, 190, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 390;
    column.pszText = const_cast<char*>("URL");
    SendMessageA(bare, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    const double insertLoop =
        Median([&] { SendMessageA(bare, LVM_DELETEALLITEMS, 0, 0); },
               [&] {
                   for (int i = 0; i < kEntries; ++i) {
                       LVITEMA item{};
                       item.mask = LVIF_TEXT;
                       item.iItem = i;
                       item.pszText = const_cast<char*>(saved[i].c_str());
                       SendMessageA(bare, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
                   }
               });
    const double insertLoopQuiet =
        Median([&] { SendMessageA(bare, LVM_DELETEALLITEMS, 0, 0); },
               [&] {
                   SendMessageA(bare, WM_SETREDRAW, FALSE, 0);
                   for (int i = 0; i < kEntries; ++i) {
                       LVITEMA item{};
                       item.mask = LVIF_TEXT;
                       item.iItem = i;
                       item.pszText = const_cast<char*>(saved[i].c_str());
                       SendMessageA(bare, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
                   }
                   SendMessageA(bare, WM_SETREDRAW, TRUE, 0);
               });
    const double load = Median(
        [&] {
            WriteBytes(listFile, savedBytes);
            view.Clear();
        },
        [&] { window.LoadWhiteListView(); });
    const int loaded = view.Count();

    // The drop: 10000 new links as a browser's text, onto the saved 10000.
    std::wstring links;
    for (const std::string& entry : more) {
        links += L"http://" + std::wstring(entry.begin(), entry.end()) + L"/\r\n";
    }
    const double load20000 = Median(
        [&] {
            WriteBytes(listFile, twiceBytes);
            view.Clear();
        },
        [&] { window.LoadWhiteListView(); });
    int afterDrop = 0;
    const double drop = Median(
        [&] {
            WriteBytes(listFile, savedBytes);
            window.LoadWhiteListView();
        },
        [&] {
            auto* data = new test::TestDataObject;
            data->AddWide(CF_UNICODETEXT, links);
            DWORD effect = DROPEFFECT_COPY;
            window.DMTextTarget1.Target()->Drop(data, 0, POINTL{10, 10}, &effect);
            data->Release();
            afterDrop = view.Count();
        });

    // The save: the rows to the file, replaced in one step, then published.
    WriteBytes(listFile, savedBytes);
    window.LoadWhiteListView();
    window.RzBitBtn4Click();  // the table now exists at its size
    const std::string plainFile = folder + "plain.dat";
    UniqueKernelHandle table(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                static_cast<DWORD>(WhiteListTableSize(kEntries)),
                                                "VgwlBenchTable"));
    UniqueMappedView tableView(MapViewOfFile(table.get(), FILE_MAP_WRITE, 0, 0, 0));
    const double writeBaseline =
        Median([] {},
               [&] {
                   WriteBytes(plainFile, savedBytes);
                   WriteWhiteListTable(std::span(static_cast<unsigned char*>(tableView.get()),
                                                 WhiteListTableSize(kEntries)),
                                       saved);
               });
    const double save = Median([] {}, [&] { window.RzBitBtn4Click(); });
    // The save's own cost besides the publish, against a write made as
    // durable as the save makes its file.
    const double flushBaseline = Median(
        [] {},
        [&] {
            UniqueFileHandle file(CreateFileA(plainFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            WriteFile(file.get(), savedBytes.data(), static_cast<DWORD>(savedBytes.size()),
                      &written, nullptr);
            FlushFileBuffers(file.get());
        });
    const double publish = Median([] {}, [&] { window.PublishWhiteList(); });
    const double saveFile = Median([] {}, [&] { (void)SaveWhiteListFile(listFile, savedBytes); });

    std::printf("White List page with %d entries (median of %d rounds)\n", kEntries, kRounds);
    bench::Report("baseline: bare LVM_INSERTITEM loop", insertLoop, insertLoop, kEntries);
    bench::Report("LoadWhiteListView (aim: ratio <= 1.5)", load, insertLoop, kEntries);
    bench::Report("baseline: the same loop with redraw off", insertLoopQuiet, insertLoopQuiet,
                  kEntries);
    bench::Report("LoadWhiteListView against it", load, insertLoopQuiet, kEntries);
    bench::Report("baseline: LoadWhiteListView of 20000", load20000, load20000, 2 * kEntries);
    bench::Report("drop of 10000 new onto 10000 (aim: <= 2)", drop, load20000, kEntries);
    bench::Report("baseline: one WriteFile + one table write", writeBaseline, writeBaseline,
                  kEntries);
    bench::Report("RzBitBtn4Click, save + publish (aim: <= 3)", save, writeBaseline, kEntries);
    bench::Report("  of which the safe save (companion, list, flushed)", saveFile, writeBaseline,
                  kEntries);
    bench::Report("publish from the file, as at start", publish, writeBaseline, kEntries);
    bench::Report("baseline: one WriteFile + FlushFileBuffers", flushBaseline, flushBaseline,
                  kEntries);
    bench::Report("RzBitBtn4Click against the flushed write", save, flushBaseline, kEntries);
    const double slowest = std::max({load, load20000, drop, save});
    std::printf("rows after load %d, after drop %d; slowest operation %.3f s (must be < 1 s)\n",
                loaded, afterDrop, slowest);

    DestroyWindow(bare);
    app.DestroyForms();
    for (const std::string& name : {listFile, plainFile}) {
        DeleteFileA(name.c_str());
    }
    RemoveDirectoryA(folder.c_str());
    return 0;
}
