// The Windows side of the browser test: runs under Wine beside the browser,
// starts the installed program and acts on it as its user would, answering
// one line per command read from standard input:
//
//   set NAME N...     writes DWORD settings             -> ok
//   count             reads the popup count             -> ok N
//   start ENTRY...    writes the saved white list and starts the program, resident -> ok
//   save ENTRY        types ENTRY on the White List page and presses Save -> ok
//   blocking 0|1      clicks "Enable popup blocking" on the window -> ok
//   quit              ends the program, puts the saved list back, exits
//
// A failure answers "fail" and a reason. The saved white list found at start
// is put back at the end, whatever happened.

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"

#include <windows.h>
#include <commctrl.h>

#include <iostream>
#include <optional>
#include <sstream>
#include <string>

namespace vgwl::test {
namespace {

constexpr WPARAM kTrayIconId = 1005;

std::string ListPath() { return DistDir() + "gwwhitelist.dat"; }

class Probe {
public:
    Probe() : savedList_(ReadFileBytes(ListPath())) {}
    ~Probe() {
        program_.Kill();
        if (savedList_) {
            WriteFileBytes(ListPath(), *savedList_);
        } else {
            DeleteFileA(ListPath().c_str());
        }
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // The answer to one command line; empty for quit.
    std::string Handle(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "set") {
            for (std::string name; in >> name;) {
                DWORD value = 0;
                if (!(in >> value)) return "fail usage: set NAME N...";
                WriteDword(HKEY_LOCAL_MACHINE, kSettings, name, value);
            }
            return "ok";
        }
        if (command == "count") {
            const auto count = ReadDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount);
            return "ok " + std::to_string(count.value_or(0));
        }
        if (command == "start") {
            std::string entries;
            int count = 0;
            for (std::string entry; in >> entry; ++count) entries += entry + "\r\n";
            WriteFileBytes(ListPath(), std::to_string(count) + "\r\n" + entries);
            if (!program_.Start() || !program_.WaitUntilResident()) return "fail not resident";
            return "ok";
        }
        if (command == "save" || command == "blocking") {
            std::string word;
            in >> word;
            return command == "save" ? Save(word) : SetBlocking(word != "0");
        }
        if (command == "quit") return {};
        return "fail unknown command " + command;
    }

private:
    HWND ShownWindow() {
        HWND main = program_.MainWindow();
        if (!main) return nullptr;
        if (!IsWindowVisible(main)) {
            PostMessageA(main, contract::kWmTrayIcon, kTrayIconId, WM_LBUTTONDBLCLK);
            if (!PumpUntil([main] { return IsWindowVisible(main) != FALSE; })) return nullptr;
        }
        return main;
    }

    std::string Save(const std::string& entry) {
        HWND main = ShownWindow();
        if (!main) return "fail the window did not show";
        HWND list = ProgramDriver::FindChild(main, "SysListView32", "");
        HWND page = list ? GetParent(GetParent(list)) : nullptr;
        HWND box = page ? ProgramDriver::FindChild(page, "Edit", "") : nullptr;
        HWND save = page ? ProgramDriver::FindChild(page, "Button", "Save") : nullptr;
        if (!box || !save) return "fail no White List page";
        const LRESULT rows = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        for (const char c : entry) PostMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
        PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(box, WM_CHAR, '\r', 1);
        PostMessageA(box, WM_KEYUP, VK_RETURN, 0xC0000001);
        if (!PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == rows + 1; })) {
            return "fail the entry was not added";
        }
        PostMessageA(save, BM_CLICK, 0, 0);
        const std::string line = "\r\n" + entry + "\r\n";
        if (!PumpUntil([&] {
                const auto bytes = ReadFileBytes(ListPath());
                return bytes && bytes->find(line) != std::string::npos;
            })) {
            return "fail the list was not saved";
        }
        return "ok";
    }

    std::string SetBlocking(bool on) {
        HWND main = ShownWindow();
        HWND box = main ? ProgramDriver::FindChild(main, "", "Enable popup blocking") : nullptr;
        if (!box) return "fail no blocking check box";
        if ((SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != on) {
            SendMessageA(box, BM_CLICK, 0, 0);
        }
        const DWORD want = on ? 1 : 0;
        if (!PumpUntil([&] {
                return ReadDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn) == want;
            })) {
            return "fail the switch was not written";
        }
        return "ok";
    }

    ProgramDriver program_;
    std::optional<std::string> savedList_;
};

}  // namespace
}  // namespace vgwl::test

int main() {
    vgwl::test::Probe probe;
    std::string line;
    while (std::getline(std::cin, line)) {
        const std::string answer = probe.Handle(line);
        if (answer.empty()) break;
        std::cout << answer << std::endl;
    }
    return 0;
}
