// First-run registration of the blocking component from the main window's
// creation, with the component's double beside a program folder of its own
// (it counts its registrations in the registry), and with broken or planted
// copies of it.

#include "PreferencesFixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;

const std::string kComponentKey = "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Component";

DWORD RegistrationCount() {
    return ReadDword(HKEY_LOCAL_MACHINE, kComponentKey, "RegistrationCount").value_or(0);
}

// The double's folder stands for the program's folder.
std::string StandInDir() { return VGWL_TEST_STANDIN_DIR; }
std::string InstalledComponent() { return StandInDir() + "olvrex.dll"; }

std::vector<char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the temporary folder. Libraries loaded from it stay
// loaded, as the component does, so it is left behind.
std::string NewFolder(const std::string& tag) {
    static std::atomic<int> serial{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir =
        std::string(temp) + "vgwl-reg-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
        std::to_string(GetTickCount64()) + "-" + std::to_string(serial++) + "\\";
    fs::create_directories(dir);
    return dir;
}

class Registration : public PreferencesTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        ASSERT_EQ(GetFileAttributesA(InstalledComponent().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u)
            << "the component's double is not built in " << StandInDir();
        countBefore_ = RegistrationCount();
    }
    void TearDown() override {
        PreferencesTest::TearDown();
        DeleteSettingsKey();
    }

    void SetFirstRun(DWORD value) {
        WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBFirst", value);
    }
    std::optional<DWORD> Stored(const char* name) const {
        return ReadDword(HKEY_LOCAL_MACHINE, SettingsKey(), name);
    }
    DWORD Registrations() const { return RegistrationCount() - countBefore_; }

    DWORD countBefore_ = 0;
};

TEST_F(Registration, FirstRunRegistersOnceAndClearsTheMark) {
    SetFirstRun(1);
    Services().programPath = StandInDir() + "VelmoraGWLite.exe";
    CreateWindow();
    EXPECT_EQ(Registrations(), 1u);
    EXPECT_EQ(Stored("VGWPBFirst"), 0u);
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    // Loaded from beside the program, and still loaded when the window is gone.
    EXPECT_NE(GetModuleHandleA(InstalledComponent().c_str()), nullptr);
    App().DestroyForms();
    EXPECT_NE(GetModuleHandleA(InstalledComponent().c_str()), nullptr);
    EXPECT_EQ(Registrations(), 1u);
}

TEST_F(Registration, NoRegistrationWhenTheMarkIsAbsentOrFalse) {
    Services().programPath = StandInDir() + "VelmoraGWLite.exe";
    WriteDword(HKEY_LOCAL_MACHINE, SettingsKey(), "VGWPBStatus", 1);
    CreateWindow();
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_EQ(Stored("VGWPBFirst"), std::nullopt);
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    PreferencesTest::TearDown();

    SetFirstRun(0);
    CreateWindow();
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_EQ(Stored("VGWPBFirst"), 0u);
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
}

TEST_F(Registration, MissingComponentLetsStartUpGoOn) {
    const std::string folder = NewFolder("missing");
    Services().programPath = folder + "VelmoraGWLite.exe";
    SetFirstRun(1);
    CreateWindow();
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_TRUE(IsWindow(Window().Handle()));
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    // Not registered: the mark stays, so a later start with the component
    // installed still registers it.
    EXPECT_EQ(Stored("VGWPBFirst"), 1u);
}

TEST_F(Registration, FileThatIsNoLibraryLetsStartUpGoOn) {
    const std::string folder = NewFolder("garbage");
    WriteFileBytes(folder + "olvrex.dll", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'l', 'l'});
    Services().programPath = folder + "VelmoraGWLite.exe";
    SetFirstRun(1);
    CreateWindow();
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_TRUE(IsWindow(Window().Handle()));
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    // Not registered: the mark stays, so a later start with the component
    // installed still registers it.
    EXPECT_EQ(Stored("VGWPBFirst"), 1u);
}

TEST_F(Registration, ComponentWithoutTheExportLetsStartUpGoOn) {
    // The stand-in with its export renamed: it loads, but has no
    // "DllRegisterServer". The names stay in sorted order.
    std::vector<char> bytes = ReadFileBytes(InstalledComponent());
    const std::string name("DllRegisterServer", sizeof("DllRegisterServer"));
    int renamed = 0;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), name.begin(), name.end())) != bytes.end(); ++at) {
        at[static_cast<std::ptrdiff_t>(name.size()) - 2] = 'X';
        ++renamed;
    }
    ASSERT_GT(renamed, 0);
    const std::string folder = NewFolder("noexport");
    WriteFileBytes(folder + "olvrex.dll", bytes);
    Services().programPath = folder + "VelmoraGWLite.exe";
    SetFirstRun(1);
    CreateWindow();
    EXPECT_NE(GetModuleHandleA((folder + "olvrex.dll").c_str()), nullptr) << "the copy must load";
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_TRUE(IsWindow(Window().Handle()));
    EXPECT_EQ(Stored("GatewickRunning"), 1u);
    // Not registered: the mark stays, so a later start with the component
    // installed still registers it.
    EXPECT_EQ(Stored("VGWPBFirst"), 1u);
}

TEST_F(Registration, LibraryPlantedElsewhereIsNeverLoaded) {
    // Nothing beside the program; a working copy of the component in the
    // working directory and in a folder on the search path.
    const std::string programFolder = NewFolder("program");
    const std::string planted = NewFolder("planted");
    const std::string onPath = NewFolder("onpath");
    ASSERT_TRUE(CopyFileA(InstalledComponent().c_str(), (planted + "olvrex.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(InstalledComponent().c_str(), (onPath + "olvrex.dll").c_str(), FALSE));

    char oldDir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    std::vector<char> oldPath(32768);
    const DWORD pathLength =
        GetEnvironmentVariableA("PATH", oldPath.data(), static_cast<DWORD>(oldPath.size()));
    ASSERT_TRUE(SetCurrentDirectoryA(planted.c_str()));
    SetEnvironmentVariableA("PATH",
                            (onPath + ";" + std::string(oldPath.data(), pathLength)).c_str());

    Services().programPath = programFolder + "VelmoraGWLite.exe";
    SetFirstRun(1);
    CreateWindow();

    SetCurrentDirectoryA(oldDir);
    SetEnvironmentVariableA("PATH", std::string(oldPath.data(), pathLength).c_str());

    EXPECT_EQ(Registrations(), 0u);
    EXPECT_EQ(GetModuleHandleA((planted + "olvrex.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA((onPath + "olvrex.dll").c_str()), nullptr);
    EXPECT_TRUE(IsWindow(Window().Handle()));
}

TEST_F(Registration, RelativeProgramPathLoadsNothing) {
    // Without an absolute folder the library could only be found by search.
    const std::string planted = NewFolder("relative");
    ASSERT_TRUE(CopyFileA(InstalledComponent().c_str(), (planted + "olvrex.dll").c_str(), FALSE));
    char oldDir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    ASSERT_TRUE(SetCurrentDirectoryA(planted.c_str()));
    Services().programPath = "VelmoraGWLite.exe";
    SetFirstRun(1);
    CreateWindow();
    SetCurrentDirectoryA(oldDir);
    EXPECT_EQ(Registrations(), 0u);
    EXPECT_EQ(GetModuleHandleA((planted + "olvrex.dll").c_str()), nullptr);
}

}  // namespace
}  // namespace vgwl::test
