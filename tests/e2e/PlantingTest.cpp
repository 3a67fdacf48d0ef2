// A library planted beside the program under a name that Windows' own
// libraries load by name is never loaded: not at start, not at the first
// notification's sound. The program runs from a copy of dist\ in a folder of
// the test's own, beside the planted copies.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <filesystem>
#include <string>
#include <utility>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

// The audio drivers, which Wine's sound stack loads by name in turn at the
// first sound and takes from the program's folder whenever that folder is
// searched. (Of every library Wine's loader reports at the first drop of a
// link and at F1, none is taken from there, so those moments show nothing.)
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

// Whether a process has loaded one of the audio drivers, from wherever.
bool SoundDriverLoaded(DWORD pid) {
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return false;
    }
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Module32First(snapshot.get(), &entry); ok;
         ok = Module32Next(snapshot.get(), &entry)) {
        for (const char* name : kPlantedNames) {
            if (lstrcmpiA(entry.szModule, name) == 0) {
                return true;
            }
        }
    }
    return false;
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
    // The sound is played on a thread of its own: once a driver is in, the
    // search for it is over.
    const DWORD pid = program.ProcessId();
    EXPECT_TRUE(PumpUntil([pid] { return SoundDriverLoaded(pid); })) << "no sound was played";
    EXPECT_EQ(copy.Loaded(), "") << "at the first notification";

    program.Kill();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

}  // namespace
}  // namespace vgwl::test
