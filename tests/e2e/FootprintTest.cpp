// The installed program, resident, carries only what it needs at start: no
// sound library until a sound is played, no imaging or COM library after the
// splash, and the splash no longer holds its picture.

#include "ProgramDriver.h"
#include "bench/ProcessProbe.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

const std::string kSettingsKey(contract::kSettingsKey);

bool Loaded(const std::vector<std::string>& modules, const std::string& name) {
    return std::find(modules.begin(), modules.end(), name) != modules.end();
}

// Blocking on, blinking off, sound as given, not a first run.
void PrepareSettings(bool sound) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundNotification", sound ? 1 : 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AnimTrayIcon", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst", 0);
}

HWND SplashOf(DWORD pid) {
    for (HWND hwnd = FindWindowExA(nullptr, nullptr, "TSplashScreen", nullptr); hwnd;
         hwnd = FindWindowExA(nullptr, hwnd, "TSplashScreen", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid) {
            return hwnd;
        }
    }
    return nullptr;
}

TEST(E2eFootprint, TheResidentProgramHoldsNoSoundImagingOrComLibraryNorTheSplashPicture) {
    PrepareSettings(true);
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());

    const std::vector<std::string> modules = bench::ReadModules(program.Process());
    ASSERT_TRUE(Loaded(modules, "user32.dll")) << "the module list could not be read";
    for (const char* name :
         {"winmm.dll", "windowscodecs.dll", "ole32.dll", "combase.dll", "oleaut32.dll"}) {
        EXPECT_FALSE(Loaded(modules, name)) << name << " is loaded";
    }

    // The splash is hidden, not destroyed, and its picture control is empty.
    HWND splash = SplashOf(program.ProcessId());
    ASSERT_NE(splash, nullptr);
    HWND image = FindWindowExA(splash, nullptr, "Static", nullptr);
    ASSERT_NE(image, nullptr);
    DWORD_PTR picture = 1;
    ASSERT_NE(
        SendMessageTimeoutA(image, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG, 5000, &picture),
        0);
    EXPECT_EQ(picture, 0u);
}

TEST(E2eFootprint, TheSoundLibraryLoadsWithTheFirstNotification) {
    PrepareSettings(true);
    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    ASSERT_FALSE(Loaded(bench::ReadModules(program.Process()), "winmm.dll"));

    // One blocked popup, as the component reports it; the sound plays (or,
    // without a sound device, fails) before the answer comes.
    std::string address = "http://ads.e2e-footprint.example/popup";
    COPYDATASTRUCT data{0x4F4C5652, static_cast<DWORD>(address.size() + 1), address.data()};
    DWORD_PTR answer = 0;
    ASSERT_NE(
        SendMessageTimeoutA(program.MainWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, 20000, &answer),
        0);

    EXPECT_TRUE(Loaded(bench::ReadModules(program.Process()), "winmm.dll"));
    EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace vgwl::test
