// The toolkit on its own forms: handles that die from outside, the exception
// display under a nested failure, the application window's class, modal
// results, DPI messages from elsewhere, raised labels and module paths.

#include "TestSupport.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Form.h"
#include "toolkit/ModuleFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vgwl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr FontDesc kProbeTitleFont{.face = "Arial", .heightPx = 24, .bold = true};

constexpr ControlDesc kProbeControls[] = {
    {.name = "Box",
     .kind = ControlKind::CheckBox,
     .left = 8,
     .top = 8,
     .width = 120,
     .height = 17,
     .caption = "Probe",
     .tabOrder = 0},
    {.name = "Raised",
     .kind = ControlKind::Label,
     .left = 8,
     .top = 32,
     .width = 180,
     .height = 30,
     .caption = "Raised",
     .options = opt::kRaised,
     .font = &kProbeTitleFont,
     .textColor = 0x000000},
    {.name = "Flat",
     .kind = ControlKind::Label,
     .left = 8,
     .top = 66,
     .width = 180,
     .height = 30,
     .caption = "Flat",
     .font = &kProbeTitleFont,
     .textColor = 0x000000},
};
constexpr FormDesc kProbeForm{.className = "TVgwlToolkitProbe",
                              .caption = "Toolkit probe",
                              .clientWidth = 200,
                              .clientHeight = 100,
                              .controls = kProbeControls};

class ProbeForm : public TForm {
public:
    explicit ProbeForm(TApplication& app) : TForm(app, kProbeForm) {}
};

SIZE ClientSize(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return {rc.right, rc.bottom};
}

HGDIOBJ FontOf(const TControl& control) {
    return reinterpret_cast<HGDIOBJ>(SendMessageA(control.Handle(), WM_GETFONT, 0, 0));
}

// Sends a message from a thread of its own, as another program would (its
// pointer means nothing here), pumping this thread's messages meanwhile.
void SendFromAnotherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::atomic<bool> done{false};
    std::thread sender([&] {
        SendMessageA(hwnd, msg, wParam, lParam);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 10s)) << "the message was not answered";
    sender.join();
}

TEST(ToolkitModuleFile, NamesTheProgramAndALibraryBeyondMaxPath) {
    char buffer[4096] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(ModuleFilePath(nullptr), std::string(buffer, length));
    EXPECT_EQ(ModuleFilePath(reinterpret_cast<HMODULE>(buffer)), "") << "not a module";

    // The component copied into a folder whose path is longer than MAX_PATH.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string root =
        std::string(temp) + "vgwl-long-" + std::to_string(GetCurrentProcessId());
    std::string folder = root;
    while (folder.size() < 2 * MAX_PATH) {
        folder += "\\a-rather-long-folder-name-for-the-path-test";
    }
    std::error_code error;
    fs::create_directories(folder, error);
    ASSERT_FALSE(error) << error.message();
    const std::string copy = folder + "\\olvrex.dll";
    fs::copy_file(DistDir() + "olvrex.dll", copy, error);
    ASSERT_FALSE(error) << error.message();
    // The "A" loader refuses such a path; the wide one takes it.
    HMODULE module = LoadLibraryW(fs::path(copy).wstring().c_str());
    if (module) {
        const std::string path = ModuleFilePath(module);
        FreeLibrary(module);
        EXPECT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
        EXPECT_EQ(path, copy);
    } else {
        ADD_FAILURE() << "the copy cannot be loaded: " << GetLastError();
    }
    fs::remove_all(root, error);
}

}  // namespace
}  // namespace vgwl::test
