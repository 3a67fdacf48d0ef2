// The white list from outside: an address typed into the running program's
// entry box and saved reaches the file and the table, so that the blocking
// component lets it through; deleted and saved again, it is blocked again.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <optional>
#include <string>

namespace vgwl::test {
namespace {

const std::string kSettingsKey(contract::kSettingsKey);
constexpr char kAddress[] = "www.e2e-whitelist.example";
constexpr DWORD kToolBlocked = 0;
constexpr DWORD kToolWhiteListed = 4;

// Whatever list was saved beside the program is put back afterwards.
class NoSavedList {
public:
    NoSavedList() : path_(DistDir() + "gwwhitelist.dat"), previous_(ReadFileBytes(path_)) {
        DeleteFileA(path_.c_str());
    }
    ~NoSavedList() {
        if (previous_) {
            WriteFileBytes(path_, *previous_);
        } else {
            DeleteFileA(path_.c_str());
        }
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::optional<std::string> previous_;
};

ProcessResult Block(const std::string& address) {
    return RunProcess("\"" + DistDir() + "vgwlblock.exe\" " + address, 60s);
}

// Selects one row of a list view in another process: the item record must
// lie in that process's memory.
bool SelectRow(HANDLE process, HWND list, int row) {
    void* remote =
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) {
        return false;
    }
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    const bool ok = WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) &&
                    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok;
}

TEST(E2eWhiteList, ATypedAndSavedAddressIsLetThroughUntilItIsDeletedAndSaved) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundNotification", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AnimTrayIcon", 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst", 0);
    NoSavedList saved;

    ProgramDriver program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitUntilResident());
    HWND main = program.MainWindow();
    ASSERT_TRUE(PostMessageA(main, contract::kWmTrayIcon, 1005, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(PumpUntil([main] { return IsWindowVisible(main) != FALSE; }));

    HWND list = ProgramDriver::FindChild(main, "SysListView32", "");
    ASSERT_NE(list, nullptr);
    HWND page = GetParent(GetParent(list));
    HWND box = ProgramDriver::FindChild(page, "Edit", "");
    HWND save = ProgramDriver::FindChild(page, "Button", "Save");
    ASSERT_NE(box, nullptr);
    ASSERT_NE(save, nullptr);

    // Before any save there is no table, and that is an empty white list.
    EXPECT_EQ(Block(std::string("http://") + kAddress + "/").exitCode, kToolBlocked);

    for (const char c : std::string(kAddress)) {
        PostMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(box, WM_CHAR, '\r', 1);
    PostMessageA(box, WM_KEYUP, VK_RETURN, 0xC0000001);
    ASSERT_TRUE(PumpUntil([list] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }));
    EXPECT_TRUE(PumpUntil([box] { return ProgramDriver::WindowText(box).empty(); }));

    PostMessageA(save, BM_CLICK, 0, 0);
    const std::string expected = std::string("1\r\n") + kAddress + "\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ReadFileBytes(saved.Path()) == expected; }))
        << ReadFileBytes(saved.Path()).value_or("<no file>");

    const ProcessResult letThrough = Block(std::string("http://") + kAddress + "/page?x=1");
    EXPECT_EQ(letThrough.exitCode, kToolWhiteListed) << letThrough.output;
    EXPECT_NE(letThrough.output.find(std::string("(entry ") + kAddress + ")"), std::string::npos)
        << letThrough.output;

    ASSERT_TRUE(SelectRow(program.Process(), list, 0));
    PostMessageA(list, WM_KEYDOWN, VK_DELETE, 1);
    ASSERT_TRUE(PumpUntil([list] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0; }));
    PostMessageA(save, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ReadFileBytes(saved.Path()) == "0\r\n"; }));

    const ProcessResult blocked = Block(std::string("http://") + kAddress + "/page?x=1");
    EXPECT_EQ(blocked.exitCode, kToolBlocked) << blocked.output;

    program.Kill();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
}

}  // namespace
}  // namespace vgwl::test
