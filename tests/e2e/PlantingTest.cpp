// A library planted beside the program under a name that Windows' own
// libraries load by name is never loaded: not at start, at the first
// notification's sound, at the first drop or at F1. The program runs from a
// copy of dist\ in a folder of the test's own, beside the planted copies.

#include "ProgramDriver.h"
#include "TestDataObject.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

// The audio drivers, which Wine's sound stack loads by name in turn and takes
// from the program's folder whenever that folder is searched (of every
// library Wine's loader reports at start, at the first drop and at F1, none is
// taken from there).
constexpr const char* kPlantedNames[] = {"winepulse.drv", "winealsa.drv", "wineoss.drv"};

struct PlantedCopy {
    fs::path folder = fs::temp_directory_path() / "vgwl-planting";
    PlantedCopy() {
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const fs::directory_entry& entry : fs::directory_iterator(DistDir())) {
            if (entry.path().filename().string().rfind("gwwhitelist.dat", 0) != 0) {
                fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive);
            }
        }
        for (const char* name : kPlantedNames) {
            Plant(name);
        }
    }
    ~PlantedCopy() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string Plant(const std::string& name) const {
        fs::copy_file(VGWL_TEST_PLANTED_LIBRARY, folder / name);
        return (folder / name).string();
    }
    // The planted names any process has loaded so far.
    std::string Loaded() const {
        std::string names;
        for (const char* name : kPlantedNames) {
            names += fs::exists(folder / (std::string(name) + ".loaded")) ? name : "";
        }
        return names;
    }
};

// Lets go over whatever window lies under the cursor after a few rounds of
// the drag loop; gives up after 20 s.
struct DropAtOnce final : IDropSource {
    int rounds = 0;
    ULONGLONG deadline = GetTickCount64() + 20000;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override {
        return GetTickCount64() > deadline ? DRAGDROP_S_CANCEL
                                           : (++rounds < 5 ? S_OK : DRAGDROP_S_DROP);
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// Drags a web link from this process onto a window of the program.
HRESULT DropLinkOn(HWND target) {
    RECT rect{};
    GetWindowRect(target, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    (void)OleInitialize(nullptr);
    auto* data = new TestDataObject();
    data->AddText(TestDataObject::Registered("UniformResourceLocator"), "http://planting.example/");
    DropAtOnce source;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    data->Release();
    OleUninitialize();
    return result;
}

// The processes another one started (the help viewer).
std::vector<DWORD> ChildrenOf(DWORD parent) {
    std::vector<DWORD> children;
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok;
         ok = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent) {
            children.push_back(entry.th32ProcessID);
        }
    }
    return children;
}

TEST(E2ePlanting, ALibraryPlantedBesideTheProgramIsNeverLoaded) {
    PlantedCopy copy;
    // The planted library records any loading, here by its path.
    const std::string probe = copy.Plant("vgwlprobe.dll");
    EXPECT_EQ(LoadLibraryA(probe.c_str()), nullptr) << "it declines to stay";
    ASSERT_TRUE(fs::exists(probe + ".loaded"));

    // A first start (which loads the component), sound on, blinking off.
    const std::string key(contract::kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    for (const auto& [name, value] : {std::pair{"VGWPBStatus", 1}, {"SoundNotification", 1},
                                      {"SoundIndex", 0}, {"AnimTrayIcon", 0}, {"VGWPBFirst", 1}}) {
        WriteDword(HKEY_LOCAL_MACHINE, key, name, value);
    }
    ProgramDriver program;
    ASSERT_TRUE(program.Start((copy.folder / "VelmoraGWLite.exe").string()));
    ASSERT_TRUE(program.WaitUntilResident()) << copy.Loaded();
    ASSERT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key, "VGWPBFirst"), 0u);
    EXPECT_EQ(copy.Loaded(), "") << "at start";

    std::string address = "http://ads.planting.example/popup";
    COPYDATASTRUCT popup{0x4F4C5652, static_cast<DWORD>(address.size() + 1), address.data()};
    HWND main = program.MainWindow();
    ASSERT_NE(SendMessageTimeoutA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&popup),
                                  SMTO_ABORTIFHUNG, 20000, nullptr),
              0);
    EXPECT_EQ(copy.Loaded(), "") << "at the first notification";

    // The White List page of the shown window.
    PostMessageA(main, contract::kWmTrayIcon, 1005, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(PumpUntil([main] { return IsWindowVisible(main) != FALSE; }));
    HWND list = ProgramDriver::FindChild(main, "SysListView32", "");
    SendMessageA(ProgramDriver::FindChild(main, "SysTabControl32", ""), TCM_SETCURFOCUS, 1, 0);
    ASSERT_TRUE(PumpUntil([list] { return IsWindowVisible(list) != FALSE; }));
    EXPECT_EQ(DropLinkOn(list), DRAGDROP_S_DROP);
    ASSERT_TRUE(PumpUntil([list] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }))
        << "the link was not taken";
    EXPECT_EQ(copy.Loaded(), "") << "at the first drop";

    PostMessageA(list, WM_KEYDOWN, VK_F1, 1);
    const DWORD pid = program.ProcessId();
    EXPECT_TRUE(PumpUntil([pid] { return !ChildrenOf(pid).empty(); }, 20s)) << "F1 opened no help";
    // Answered once the shell's call has returned.
    ASSERT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 20000, nullptr), 0);
    EXPECT_EQ(copy.Loaded(), "") << "at F1";

    for (DWORD child : ChildrenOf(pid)) {
        UniqueKernelHandle viewer(OpenProcess(PROCESS_TERMINATE, FALSE, child));
        TerminateProcess(viewer.get(), 1);  // a viewer already gone is no failure
    }
    program.Kill();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

}  // namespace
}  // namespace vgwl::test
