// A library planted beside the program under the name of one that Windows'
// own libraries load by name (sound drivers, the shell's helpers, OLE's
// proxies) is never loaded: not at start, nor by the first notification's
// sound, the first drop of a link, or F1. The program runs from a copy of
// dist\ in a folder of the test's own, next to the planted copies.

#include "ProgramDriver.h"
#include "TestDataObject.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>
#include <tlhelp32.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

const std::string kSettingsKey(contract::kSettingsKey);

// Names that a library of the system loads by name while the program plays
// its first sound: the audio drivers, which Wine's sound stack tries in turn
// and takes from the program's folder whenever that folder is searched (of
// every library Wine's loader reports at start, at the first drop and at F1,
// none is taken from there: their names are left out).
const std::vector<std::string> kPlantedNames = {"winepulse.drv", "winealsa.drv", "wineoss.drv"};

// A copy of dist\ (without a saved list) with the planted library beside it.
class PlantedCopy {
public:
    PlantedCopy() : folder_(fs::temp_directory_path() / "vgwl-planting") {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::create_directories(folder_);
        for (const fs::directory_entry& entry : fs::directory_iterator(DistDir())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("gwwhitelist.dat", 0) != 0) {
                fs::copy(entry.path(), folder_ / name, fs::copy_options::recursive);
            }
        }
        for (const std::string& name : kPlantedNames) {
            Plant(name);
        }
    }
    ~PlantedCopy() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    PlantedCopy(const PlantedCopy&) = delete;
    PlantedCopy& operator=(const PlantedCopy&) = delete;

    std::string Plant(const std::string& name) const {
        fs::copy_file(VGWL_TEST_PLANTED_LIBRARY, folder_ / name);
        return (folder_ / name).string();
    }
    std::string Program() const { return (folder_ / "VelmoraGWLite.exe").string(); }

    // The planted names some process has loaded so far.
    std::string Loaded() const {
        std::string names;
        for (const std::string& name : kPlantedNames) {
            if (fs::exists(folder_ / (name + ".loaded"))) {
                names += name + " ";
            }
        }
        return names;
    }

private:
    fs::path folder_;
};

// A drag source that lets go over whatever window lies under the cursor
// after a few rounds of the drag loop, or gives up after a while.
class DropAtOnce final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override {
        ++rounds_;
        if (GetTickCount64() > deadline_) {
            return DRAGDROP_S_CANCEL;
        }
        return rounds_ < 5 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override {
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

private:
    int rounds_ = 0;
    ULONGLONG deadline_ = GetTickCount64() + 20000;
};

// Clicks a tab of a tab control in another process; the item's rectangle
// must be read through that process's memory.
bool ClickTab(HANDLE process, HWND tabs, int index) {
    void* remote =
        VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) {
        return false;
    }
    RECT rect{};
    const bool read =
        SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, remote, &rect, sizeof(rect), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (!read) {
        return false;
    }
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tabs, WM_LBUTTONUP, 0, at);
    return true;
}

// Drags a web link from this process onto a window of the program.
void DropLinkOn(HWND target) {
    RECT rect{};
    GetWindowRect(target, &rect);
    ASSERT_TRUE(SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    auto* data = new TestDataObject();
    data->AddText(TestDataObject::Registered("UniformResourceLocator"),
                  "http://www.planting.example/");
    DropAtOnce source;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    data->Release();
    OleUninitialize();
    EXPECT_EQ(result, DRAGDROP_S_DROP);
}

// Ends the processes the program started (the help viewer), by their ids.
void EndChildrenOf(DWORD parent) {
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok;
         ok = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent) {
            UniqueKernelHandle child(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
            if (child) {
                TerminateProcess(child.get(), 1);
            }
        }
    }
}

bool HasChild(DWORD parent) {
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return false;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok;
         ok = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent) {
            return true;
        }
    }
    return false;
}

TEST(E2ePlanting, ALibraryPlantedBesideTheProgramIsNeverLoaded) {
    PlantedCopy copy;
    // The planted library records any loading: here, by its full path under
    // a name of its own.
    const std::string probe = copy.Plant("vgwlprobe.dll");
    EXPECT_EQ(LoadLibraryA(probe.c_str()), nullptr) << "it declines to stay";
    ASSERT_TRUE(fs::exists(probe + ".loaded"));

    // A first start (which loads the component), sound on, blinking off.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundNotification", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AnimTrayIcon", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst", 1);

    ProgramDriver program;
    ASSERT_TRUE(program.Start(copy.Program()));
    ASSERT_TRUE(program.WaitUntilResident()) << copy.Loaded();
    ASSERT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst"), 0u);
    EXPECT_EQ(copy.Loaded(), "") << "at start";

    std::string address = "http://ads.planting.example/popup";
    COPYDATASTRUCT data{0x4F4C5652, static_cast<DWORD>(address.size() + 1), address.data()};
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(program.MainWindow(), WM_COPYDATA, 0,
                                  reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 20000, &answer),
              0);
    EXPECT_EQ(copy.Loaded(), "") << "at the first notification";

    HWND main = program.MainWindow();
    ASSERT_TRUE(PostMessageA(main, contract::kWmTrayIcon, 1005, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(PumpUntil([main] { return IsWindowVisible(main) != FALSE; }));
    HWND list = ProgramDriver::FindChild(main, "SysListView32", "");
    HWND tabs = ProgramDriver::FindChild(main, "SysTabControl32", "");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(tabs, nullptr);
    ASSERT_TRUE(ClickTab(program.Process(), tabs, 1));
    ASSERT_TRUE(PumpUntil([list] { return IsWindowVisible(list) != FALSE; }));
    ASSERT_NO_FATAL_FAILURE(DropLinkOn(list));
    ASSERT_TRUE(PumpUntil([list] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }))
        << "the link was not taken";
    EXPECT_EQ(copy.Loaded(), "") << "at the first drop";

    PostMessageA(list, WM_KEYDOWN, VK_F1, 1);
    const DWORD pid = program.ProcessId();
    EXPECT_TRUE(PumpUntil([pid] { return HasChild(pid); }, 20s)) << "F1 opened no help";
    // Answered once the shell's call has returned.
    ASSERT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 20000, &answer), 0);
    EXPECT_EQ(copy.Loaded(), "") << "at F1";

    EndChildrenOf(pid);
    program.Kill();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
}

}  // namespace
}  // namespace vgwl::test
