// The setup program as an administrator runs it on a machine that never had
// the program: silent install, the first start, the rights given to the
// local Users group, reinstall over a running copy, silent uninstall, and an
// install into another folder. The steps run in order and build on one
// another (the prefix is new for every run).

#include "ProgramDriver.h"
#include "TestSupport.h"

#include "component/Contract.h"
#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <accctrl.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

using namespace std::chrono_literals;

const std::string kSetup = VGWL_TEST_SETUP;
const std::string kArtDir = VGWL_TEST_ART_DIR;
const std::string kSettingsKey(contract::kSettingsKey);
// Which keys the component writes for which browser is its own test
// (BridgeRegistration); here that the setup registers the installed copy and
// the uninstaller removes it, as seen in Chrome's key.
const std::string kBridgeKey =
    "Software\\Google\\Chrome\\NativeMessagingHosts\\" + std::string(contract::kNativeHostName);
const std::string kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraGWLite";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kUsersSid[] = "S-1-5-32-545";
constexpr char kCreatorOwnerSid[] = "S-1-3-0";

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return path;
}

std::string InstallDir() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Velmora Gatewick Lite"; }
std::string Shortcut() {
    return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Velmora Gatewick Lite.lnk";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Files of the dist folder below dir, as paths relative to it; the white
// list and what its saves write are the users' and never shipped.
void CollectFiles(const std::string& root, const std::string& rel, std::vector<std::string>& out) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((root + rel + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectFiles(root, rel + name + "\\", out);
        } else if (Lower(name).rfind("gwwhitelist.dat", 0) != 0) {
            out.push_back(rel + name);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::vector<std::string> DistFiles() {
    std::vector<std::string> files;
    CollectFiles(DistDir(), "", files);
    return files;
}

std::optional<std::string> ReadString(HKEY root, const std::string& path, const std::string& name) {
    std::optional<RawValue> raw = ReadRawValue(root, path, name);
    if (!raw || raw->type != REG_SZ) {
        return std::nullopt;
    }
    std::string text(raw->bytes.begin(), raw->bytes.end());
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    return text;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Per machine, the bridge's key names the installed manifest.
void ExpectBridgeRegistered(const std::string& dir) {
    EXPECT_EQ(Lower(ReadString(HKEY_LOCAL_MACHINE, kBridgeKey, "").value_or("")),
              Lower(dir + "\\" + std::string(contract::kBridgeManifestFileName)));
}

std::vector<DWORD> ProcessesNamed(const std::string& exeName) {
    std::vector<DWORD> ids;
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return ids;
    }
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok;
         ok = Process32Next(snapshot.get(), &entry)) {
        if (Lower(entry.szExeFile) == Lower(exeName)) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

// Runs the setup or the uninstaller with its command line; its exit code.
DWORD RunSetup(const std::string& commandLine) {
    ProcessResult result = RunProcess(commandLine, 120s);
    EXPECT_TRUE(result.finished) << commandLine << ": " << result.output;
    return result.exitCode;
}

// The running program's window and a handle to wait for its process.
struct RunningCopy {
    HWND window = nullptr;
    UniqueKernelHandle process;
};

RunningCopy FindRunningCopy() {
    RunningCopy copy;
    PumpUntil(
        [&] {
            copy.window = FindWindowA(std::string(contract::kMainWindowClass).c_str(), nullptr);
            return copy.window != nullptr;
        },
        30s);
    if (copy.window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(copy.window, &pid);
        copy.process.reset(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    }
    return copy;
}

std::optional<DWORD> ExitCodeOnceEnded(const RunningCopy& copy) {
    if (!copy.process || WaitForSingleObject(copy.process.get(), 20000) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(copy.process.get(), &code);
    return code;
}

// One entry of a DACL, its trustee as a SID string.
struct Ace {
    BYTE type = 0;
    BYTE flags = 0;
    ACCESS_MASK mask = 0;
    std::string sid;
    bool operator==(const Ace&) const = default;
};

struct Dacl {
    bool read = false;
    bool isProtected = false;
    std::string sddl;  // for messages
    std::vector<Ace> aces;
};

Dacl DaclOf(PSECURITY_DESCRIPTOR sd) {
    Dacl result;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (!sd || !GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) || !present || !acl) {
        return result;
    }
    result.read = true;
    char* text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result.sddl = text;
        LocalFree(text);
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (GetSecurityDescriptorControl(sd, &control, &revision)) {
        result.isProtected = (control & SE_DACL_PROTECTED) != 0;
    }
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&header))) {
            continue;
        }
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        // Allowed and denied entries share their layout.
        auto* entry = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        char* sidText = nullptr;
        if (!ConvertSidToStringSidA(&entry->SidStart, &sidText)) {
            continue;
        }
        result.aces.push_back({header->AceType, header->AceFlags, entry->Mask, sidText});
        LocalFree(sidText);
    }
    return result;
}

Dacl ReadDacl(const std::string& name, SE_OBJECT_TYPE type) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoA(name.c_str(), type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &sd) != ERROR_SUCCESS) {
        return {};
    }
    Dacl result = DaclOf(sd);
    LocalFree(sd);
    return result;
}

Dacl DaclFromSddl(const std::string& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd,
                                                              nullptr)) {
        return {};
    }
    Dacl result = DaclOf(sd);
    LocalFree(sd);
    return result;
}

// A text the setup's script defines (!define NAME "TEXT").
std::string ScriptDefine(const std::string& name) {
    std::ifstream in(VGWL_TEST_SCRIPT);
    const std::string prefix = "!define " + name + " \"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            const std::size_t end = line.find('"', prefix.size());
            return line.substr(prefix.size(), end - prefix.size());
        }
    }
    ADD_FAILURE() << name << " is not defined in the setup's script";
    return {};
}

// A descriptor the setup applies, as its script defines it in SDDL.
Dacl ScriptDacl(const std::string& name) { return DaclFromSddl(ScriptDefine(name)); }

// The entries a file created in the folder receives from it (its creator
// being an administrator here, CREATOR OWNER gives nothing to users).
Dacl InheritedByFile(const Dacl& folder) {
    Dacl file;
    file.read = folder.read;
    for (const Ace& ace : folder.aces) {
        if ((ace.flags & OBJECT_INHERIT_ACE) && ace.sid != "S-1-3-0") {
            file.aces.push_back({ace.type, INHERITED_ACE, ace.mask, ace.sid});
        }
    }
    return file;
}

// Whether this system keeps the security descriptor set on a file; Wine
// keeps only what its owner's mode bits can say.
bool PlatformKeepsFileDacls() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string probe = std::string(temp) + "vgwl-dacl-probe.txt";
    { std::ofstream(probe) << "probe"; }
    PSECURITY_DESCRIPTOR sd = nullptr;
    bool kept = false;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;BA)(A;;0x1200a9;;;BU)",
                                                             SDDL_REVISION_1, &sd, nullptr)) {
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL acl = nullptr;
        GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted);
        std::vector<char> name(probe.begin(), probe.end());
        name.push_back('\0');
        if (SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS) {
            const Dacl back = ReadDacl(probe, SE_FILE_OBJECT);
            kept = back.aces.size() == 2 && back.aces[1].sid == kUsersSid &&
                   back.aces[1].mask == 0x1200a9;
        }
        LocalFree(sd);
    }
    DeleteFileA(probe.c_str());
    return kept;
}

// Whether an entry speaks for every member of Users: Users itself, Everyone,
// Authenticated Users, Interactive.
bool AppliesToEveryUser(const std::string& sid) {
    return sid == kUsersSid || sid == "S-1-1-0" || sid == "S-1-5-11" || sid == "S-1-5-4";
}

// What a member of Users (and of no other group) is granted on the object
// itself, generic rights mapped with the object's mapping.
ACCESS_MASK UsersRights(const Dacl& dacl, GENERIC_MAPPING mapping) {
    ACCESS_MASK allowed = 0;
    ACCESS_MASK denied = 0;
    for (const Ace& ace : dacl.aces) {
        if ((ace.flags & INHERIT_ONLY_ACE) || !AppliesToEveryUser(ace.sid)) {
            continue;
        }
        ACCESS_MASK mask = ace.mask;
        MapGenericMask(&mask, &mapping);
        if (ace.type == ACCESS_DENIED_ACE_TYPE) {
            denied |= mask & ~allowed;
        } else {
            allowed |= mask & ~denied;
        }
    }
    return allowed;
}

std::vector<Ace> ExplicitAces(const Dacl& dacl) {
    std::vector<Ace> out;
    std::copy_if(dacl.aces.begin(), dacl.aces.end(), std::back_inserter(out),
                 [](const Ace& a) { return (a.flags & INHERITED_ACE) == 0; });
    return out;
}

const GENERIC_MAPPING kFileMapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                   FILE_ALL_ACCESS};
const GENERIC_MAPPING kKeyMapping{KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
// Any of these lets a user change or remove a file.
constexpr ACCESS_MASK kFileChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                          FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER;

std::string ShortcutTarget(const std::string& link) {
    std::string target;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return target;
    }
    IShellLinkA* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(
                shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(link.begin(), link.end());
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
                char path[MAX_PATH] = {};
                if (SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0))) {
                    target = path;
                }
            }
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

// Waits until the uninstaller, which runs from a copy of itself, has
// finished: its last step removes the Uninstall entry.
bool WaitForUninstall() {
    return PumpUntil(
        [] {
            return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) &&
                   ProcessesNamed("Au_.exe").empty();
        },
        60s);
}

// A window of the setup's or uninstaller's user interface.
struct WindowSearch {
    std::string caption;
    std::string childText;  // a child whose text contains this
    HWND found = nullptr;
};

BOOL CALLBACK FindChildContaining(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (ProgramDriver::WindowText(child).find(search->childText) != std::string::npos) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    // The caption may gain a word ("Setup: Completed").
    if (!IsWindowVisible(window) ||
        ProgramDriver::WindowText(window).rfind(search->caption, 0) != 0) {
        return TRUE;
    }
    WindowSearch child{search->caption, search->childText, nullptr};
    EnumChildWindows(window, &FindChildContaining, reinterpret_cast<LPARAM>(&child));
    if (child.found) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window whose caption starts with the given one, with a
// child showing the text.
HWND WaitForWindow(const std::string& caption, const std::string& childText) {
    WindowSearch search{caption, childText, nullptr};
    PumpUntil(
        [&] {
            search.found = nullptr;
            EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        30s);
    return search.found;
}

HWND ChildContaining(HWND parent, const std::string& text) {
    WindowSearch search{"", text, nullptr};
    EnumChildWindows(parent, &FindChildContaining, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Presses a button of a wizard page or message box, as a click does, once
// it shows the text and takes clicks.
bool PressWhenReady(HWND window, int id, const std::string& text) {
    const bool ready = PumpUntil(
        [&] {
            HWND button = GetDlgItem(window, id);
            return button && IsWindowEnabled(button) && IsWindowVisible(button) &&
                   ProgramDriver::WindowText(button).find(text) != std::string::npos;
        },
        30s);
    if (ready) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    }
    return ready;
}

void Press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool Checked(HWND box) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

void SetChecked(HWND box, bool on) {
    SendMessageTimeoutA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0, SMTO_ABORTIFHUNG,
                        5000, nullptr);
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    auto* texts = reinterpret_cast<std::string*>(param);
    *texts += "[" + ProgramDriver::ClassOf(child) + ":" + ProgramDriver::WindowText(child) + "]";
    return TRUE;
}

// What a window shows, for messages.
std::string ChildTexts(HWND window) {
    std::string texts;
    EnumChildWindows(window, &CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// Ends a process a failed step leaves waiting for a click.
struct EndOnExit {
    HANDLE process;
    ~EndOnExit() {
        if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 1);
        }
    }
};

// Ends the uninstaller's copy of itself, when a failed step leaves it.
struct EndUninstallerOnExit {
    ~EndUninstallerOnExit() {
        for (DWORD pid : ProcessesNamed("Au_.exe")) {
            UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
            if (process) {
                TerminateProcess(process.get(), 1);
            }
        }
    }
};

UniqueKernelHandle StartProcess(const std::string& commandLine) {
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return {};
    }
    CloseHandle(pi.hThread);
    return UniqueKernelHandle(pi.hProcess);
}

// The program the setup started runs as the logged-on user with the shell's
// token, never the setup's: the shell's own process started it. (Wine gives
// every process the same elevated token, so there the parent is what tells a
// start by the shell from one by the setup.)
void ExpectStartedByTheShell(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    BOOL found = Process32First(snapshot.get(), &entry);
    while (found && entry.th32ProcessID != pid) {
        found = Process32Next(snapshot.get(), &entry);
    }
    ASSERT_TRUE(found) << "the program ended";
    const std::vector<DWORD> shells = ProcessesNamed("explorer.exe");
    EXPECT_NE(std::find(shells.begin(), shells.end(), entry.th32ParentProcessID), shells.end())
        << "started by another process than the shell";
}

const std::string kSavedWhiteList = "2\r\nexample.com\r\nwww.example.org\r\n";

TEST(InstallerLifecycle, SilentInstallPutsEverythingInPlace) {
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey)) << "the prefix is not clean";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the prefix is not clean";

    ASSERT_EQ(RunSetup("\"" + kSetup + "\" /S"), 0u);

    const std::string dir = InstallDir();
    const std::vector<std::string> files = DistFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const std::optional<std::string> shipped = ReadFileBytes(DistDir() + f);
        const std::optional<std::string> installed = ReadFileBytes(dir + "\\" + f);
        ASSERT_TRUE(installed.has_value()) << "not installed";
        EXPECT_TRUE(shipped == installed) << "installed file differs";
    }
    EXPECT_TRUE(Exists(dir + "\\uninstall.exe"));
    EXPECT_EQ(ReadFileBytes(dir + "\\gwwhitelist.dat"), std::optional<std::string>("0\r\n"))
        << "a fresh install starts with an empty saved list";
    EXPECT_EQ(ReadFileBytes(dir + "\\gwwhitelist.dat.journal"), std::optional<std::string>(""))
        << "the save's companion is made, empty";
    EXPECT_FALSE(Exists(dir + "\\gwwhitelist.dat.new"));

    EXPECT_EQ(Lower(ShortcutTarget(Shortcut())), Lower(dir + "\\VelmoraGWLite.exe"));

    const HKEY hklm = HKEY_LOCAL_MACHINE;
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "DisplayName"), "Velmora Gatewick Lite");
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "DisplayVersion"), "3.0.2.0");
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "Publisher"), "Corvantis Inc.");
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "InstallLocation"), dir);
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "DisplayIcon"),
              "\"" + dir + "\\VelmoraGWLite.exe\",0");
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "UninstallString"), "\"" + dir + "\\uninstall.exe\"");
    EXPECT_EQ(ReadString(hklm, kUninstallKey, "QuietUninstallString"),
              "\"" + dir + "\\uninstall.exe\" /S");
    // In KiB: at least what the program files take.
    std::uint64_t bytes = 0;
    for (const std::string& f : files) {
        bytes += ReadFileBytes(DistDir() + f).value_or("").size();
    }
    const std::optional<DWORD> size = ReadDword(hklm, kUninstallKey, "EstimatedSize");
    ASSERT_TRUE(size.has_value());
    EXPECT_GE(*size, bytes / 1024);
    EXPECT_LT(*size, bytes / 1024 + 4096);

    // The defaults of a first start; the component registered by the setup
    // itself, which clears the mark that would have the program do it.
    EXPECT_EQ(ReadDword(hklm, kSettingsKey, "VGWPBFirst"), 0u);
    ExpectBridgeRegistered(dir);
    EXPECT_EQ(ReadDword(hklm, kSettingsKey, "VGWPBStatus"), 1u);
    EXPECT_EQ(ReadDword(hklm, kSettingsKey, "SoundNotification"), 1u);
    EXPECT_EQ(ReadDword(hklm, kSettingsKey, "SoundIndex"), 0u);
    EXPECT_EQ(ReadDword(hklm, kSettingsKey, "AnimTrayIcon"), 1u);
    EXPECT_FALSE(ReadDword(hklm, kSettingsKey, "GatewickRunning").has_value());
    // Not asked for: no logon entry, no program started.
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kRunKey, "VelmoraGWLite").has_value());
    EXPECT_TRUE(ProcessesNamed("VelmoraGWLite.exe").empty());
}

// What members of Users may do, judged on the descriptors the setup applies
// and, where the system keeps them, on those read back from the objects.
// The setup's exit code 0 (checked above) says that every one was applied.
TEST(InstallerLifecycle, UsersMayChangeTheSettingsAndRewriteTheWhiteListAndItsCompanionOnly) {
    const std::string dir = InstallDir();
    const bool filesKeepDacls = PlatformKeepsFileDacls();
    if (!filesKeepDacls) {
        std::printf("note: file descriptors are not kept here; the setup's own are checked\n");
    }

    // The settings key: reading and setting values, which is what the
    // program asks for when it opens the key; read back from the registry.
    const Dacl wantedKey = ScriptDacl("SETTINGS_DACL");
    const Dacl key = ReadDacl("MACHINE\\" + kSettingsKey, SE_REGISTRY_KEY);
    ASSERT_TRUE(key.read);
    SCOPED_TRACE("settings key " + key.sddl);
    EXPECT_EQ(ExplicitAces(key), wantedKey.aces);
    const ACCESS_MASK onKey = UsersRights(key, kKeyMapping);
    EXPECT_EQ(onKey & (KEY_READ | KEY_SET_VALUE),
              static_cast<ACCESS_MASK>(KEY_READ | KEY_SET_VALUE));
    EXPECT_EQ(onKey & (KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER),
              0u);
    for (const Ace& ace : wantedKey.aces) {
        EXPECT_EQ(ace.flags, 0) << ace.sid << " is passed on to subkeys";
    }

    // The folder: protected from what its parent passes on; users read and
    // run, and can add, remove or replace nothing, anywhere below either.
    const Dacl folder = filesKeepDacls ? ReadDacl(dir, SE_FILE_OBJECT) : ScriptDacl("FOLDER_DACL");
    ASSERT_TRUE(folder.read);
    SCOPED_TRACE("folder " + folder.sddl);
    EXPECT_TRUE(folder.isProtected);
    const ACCESS_MASK onFolder = UsersRights(folder, kFileMapping);
    EXPECT_TRUE(onFolder & FILE_TRAVERSE);
    EXPECT_TRUE(onFolder & FILE_LIST_DIRECTORY);
    for (const Ace& ace : folder.aces) {
        if (ace.type == ACCESS_ALLOWED_ACE_TYPE &&
            (AppliesToEveryUser(ace.sid) || ace.sid == kCreatorOwnerSid)) {
            ACCESS_MASK mask = ace.mask;
            GENERIC_MAPPING mapping = kFileMapping;
            MapGenericMask(&mask, &mapping);
            EXPECT_EQ(mask & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                              kFileChangeRights),
                      0u)
                << ace.sid << " may change something in the folder or below";
        }
    }

    // The program files: read and run, never changed, replaced or removed.
    std::vector<std::string> files = DistFiles();
    files.push_back("uninstall.exe");
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const Dacl file =
            filesKeepDacls ? ReadDacl(dir + "\\" + f, SE_FILE_OBJECT) : InheritedByFile(folder);
        ASSERT_TRUE(file.read);
        SCOPED_TRACE(file.sddl);
        const ACCESS_MASK rights = UsersRights(file, kFileMapping);
        EXPECT_EQ(rights & kFileChangeRights, 0u);
        EXPECT_EQ(rights & (FILE_READ_DATA | FILE_EXECUTE),
                  static_cast<ACCESS_MASK>(FILE_READ_DATA | FILE_EXECUTE));
    }

    // The white list and the save's companion: read and written in place,
    // never removed, run or given other rights; owned by the administrators,
    // so that no user holds an owner's right to change their rights, and
    // protected from the folder's, which let users run files.
    const std::string wantedSddl = ScriptDefine("DATA_FILE_SD");
    EXPECT_EQ(wantedSddl.rfind("O:BAD:P", 0), 0u)
        << "not owned by the administrators or not protected";
    const Dacl wanted = DaclFromSddl(wantedSddl);
    for (const char* name : {"gwwhitelist.dat", "gwwhitelist.dat.journal"}) {
        SCOPED_TRACE(name);
        Dacl data = filesKeepDacls ? ReadDacl(dir + "\\" + name, SE_FILE_OBJECT) : wanted;
        ASSERT_TRUE(data.read);
        SCOPED_TRACE(data.sddl);
        const ACCESS_MASK rights = UsersRights(data, kFileMapping);
        EXPECT_EQ(rights & (FILE_GENERIC_READ | FILE_GENERIC_WRITE),
                  static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_WRITE));
        EXPECT_EQ(rights & (DELETE | WRITE_DAC | WRITE_OWNER | FILE_EXECUTE), 0u);
    }
}

TEST(InstallerLifecycle, FirstStartFindsNothingMachineWideLeftAndExitRequestEndsIt) {
    const std::string dir = InstallDir();
    ProgramDriver program;
    ASSERT_TRUE(program.Start(dir + "\\VelmoraGWLite.exe"));
    ASSERT_TRUE(program.WaitUntilResident());

    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst"), 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "GatewickRunning"), 1u);

    // What the uninstaller sends.
    const UINT request = RegisterWindowMessageA(std::string(contract::kExitRequestMessage).c_str());
    DWORD_PTR answer = 0;
    ASSERT_NE(
        SendMessageTimeoutA(program.MainWindow(), request, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer),
        0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "GatewickRunning"), 0u);
}

TEST(InstallerLifecycle, ReinstallOverARunningCopyKeepsSettingsAndWhiteList) {
    const std::string dir = InstallDir();
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex", 3);
    WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus", 0);
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(dir + "\\gwwhitelist.dat", kSavedWhiteList));
    // What an earlier version's interrupted save left, owned by one user.
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(dir + "\\gwwhitelist.dat.new", "1\r\nleft.example\r\n"));
    ProgramDriver program;
    ASSERT_TRUE(program.Start(dir + "\\VelmoraGWLite.exe"));
    ASSERT_TRUE(program.WaitUntilResident());

    // Also asks for the program to start now and at every logon.
    ASSERT_EQ(RunSetup("\"" + kSetup + "\" /S /RUN /LOGON"), 0u);

    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode)) << "the setup left the old copy running";
    EXPECT_EQ(exitCode, 0u) << "ended otherwise than through Exit";
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex"), 3u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBStatus"), 0u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst"), 0u);
    // Registered again by the setup, for a component that may be new.
    ExpectBridgeRegistered(dir);
    EXPECT_EQ(ReadFileBytes(dir + "\\gwwhitelist.dat"), kSavedWhiteList);
    EXPECT_FALSE(Exists(dir + "\\gwwhitelist.dat.new")) << "a leftover still blocks saves";
    if (PlatformKeepsFileDacls()) {
        EXPECT_EQ(ExplicitAces(ReadDacl(dir + "\\gwwhitelist.dat", SE_FILE_OBJECT)),
                  ScriptDacl("DATA_FILE_SD").aces)
            << "the list's own rights are gone";
    }
    // The logged-on user's logon entry (that user runs the setup here).
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, "VelmoraGWLite"),
              "\"" + dir + "\\VelmoraGWLite.exe\"");

    RunningCopy started = FindRunningCopy();
    ASSERT_NE(started.window, nullptr) << "/RUN did not start the program";
    ExpectStartedByTheShell(started.window);
    EXPECT_TRUE(PumpUntil(
        [] { return ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "GatewickRunning") == 1u; }));
}

TEST(InstallerLifecycle, SilentUninstallEndsTheProgramAndRemovesWhatWasInstalled) {
    const std::string dir = InstallDir();
    RunningCopy running = FindRunningCopy();
    ASSERT_NE(running.window, nullptr) << "the previous step left no running copy";
    const std::optional<std::string> quiet =
        ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    ASSERT_TRUE(quiet.has_value());

    // The uninstaller hands over to a copy of itself and returns at once.
    RunSetup(*quiet);
    ASSERT_TRUE(WaitForUninstall()) << "the uninstaller did not finish";

    EXPECT_EQ(ExitCodeOnceEnded(running), std::optional<DWORD>(0u))
        << "the program was not ended through Exit";
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "GatewickRunning"), 0u);
    EXPECT_TRUE(ProcessesNamed("VelmoraGWLite.exe").empty());
    for (const std::string& f : DistFiles()) {
        EXPECT_FALSE(Exists(dir + "\\" + f)) << f;
    }
    EXPECT_FALSE(Exists(dir + "\\sounds"));
    EXPECT_FALSE(Exists(dir + "\\uninstall.exe"));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kRunKey, "VelmoraGWLite").has_value());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kBridgeKey)) << "the bridge is still registered";

    // Run silently, it keeps the user's data, and marks the component for
    // registration by the next installation's first start.
    EXPECT_EQ(ReadFileBytes(dir + "\\gwwhitelist.dat"), kSavedWhiteList);
    EXPECT_TRUE(Exists(dir + "\\gwwhitelist.dat.journal")) << "an unfinished save would be lost";
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex"), 3u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "VGWPBFirst"), 1u);
}

TEST(InstallerLifecycle, SilentInstallIntoAnotherFolderAndItsUninstall) {
    const std::string dir = "C:\\Tools\\Velmora GW";
    // /D= comes last and is not quoted, even with blanks.
    ASSERT_EQ(RunSetup("\"" + kSetup + "\" /S /D=" + dir), 0u);

    for (const std::string& f : DistFiles()) {
        EXPECT_TRUE(Exists(dir + "\\" + f)) << f;
    }
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), dir);
    EXPECT_EQ(Lower(ShortcutTarget(Shortcut())), Lower(dir + "\\VelmoraGWLite.exe"));
    // Kept settings are not a fresh install.
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kSettingsKey, "SoundIndex"), 3u);
    // The same rights wherever the folder is, whatever its parent passes on.
    if (PlatformKeepsFileDacls()) {
        EXPECT_TRUE(ReadDacl(dir, SE_FILE_OBJECT).isProtected);
        EXPECT_EQ(UsersRights(ReadDacl(dir + "\\VelmoraGWLite.exe", SE_FILE_OBJECT), kFileMapping) &
                      kFileChangeRights,
                  0u);
    }

    RunSetup(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString").value_or(""));
    ASSERT_TRUE(WaitForUninstall());
    EXPECT_FALSE(Exists(dir + "\\VelmoraGWLite.exe"));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_TRUE(ProcessesNamed("VelmoraGWLite.exe").empty());
}

BOOL CALLBACK FindPicture(HWND child, LPARAM param) {
    if (IsWindowVisible(child) && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        *reinterpret_cast<HWND*>(param) = child;
        return FALSE;
    }
    return TRUE;
}

// A bitmap's pixels, top-down, as 0x00RRGGBB.
std::vector<DWORD> Pixels(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    GetDIBits(dc, bitmap, 0, height, pixels.data(), &format, DIB_RGB_COLORS);
    for (DWORD& pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return pixels;
}

// Whether the side picture of a welcome or finish page, as painted on the
// screen (the bitmap itself is the setup's, out of another process's reach),
// is the product's picture in the file, pixel for pixel.
bool ShowsPicture(HWND page, const std::string& file) {
    UniqueGdiObject art(LoadImageA(nullptr, (kArtDir + file).c_str(), IMAGE_BITMAP, 0, 0,
                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    BITMAP size{};
    if (!art || !GetObjectA(art.get(), sizeof(size), &size)) {
        ADD_FAILURE() << file << " unreadable";
        return false;
    }
    const int width = size.bmWidth, height = size.bmHeight;
    HDC screen = GetDC(nullptr);
    const std::vector<DWORD> want = Pixels(screen, static_cast<HBITMAP>(art.get()), width, height);
    const bool shown = PumpUntil(
        [&] {
            HWND picture = nullptr;
            EnumChildWindows(page, &FindPicture, reinterpret_cast<LPARAM>(&picture));
            RECT box{};
            if (!picture || !GetWindowRect(picture, &box)) {
                return false;
            }
            HDC copy = CreateCompatibleDC(screen);
            UniqueGdiObject shot(CreateCompatibleBitmap(screen, width, height));
            HGDIOBJ old = SelectObject(copy, shot.get());
            BitBlt(copy, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
            SelectObject(copy, old);
            DeleteDC(copy);
            return Pixels(screen, static_cast<HBITMAP>(shot.get()), width, height) == want;
        },
        10s);
    ReleaseDC(nullptr, screen);
    return shown;
}

// The pages as a user sees them: the finish page's two options with their
// defaults, and the uninstaller's question, answered "No".
TEST(InstallerLifecycle, InteractiveInstallOptionsAndUninstallThatRemovesTheSettings) {
    const std::string dir = InstallDir();
    const std::string setupCaption = "Velmora Gatewick Lite Setup";
    UniqueKernelHandle setup = StartProcess("\"" + kSetup + "\"");
    ASSERT_TRUE(setup);
    EndOnExit endSetup{setup.get()};
    HWND wizard = WaitForWindow(setupCaption, "Next");
    ASSERT_NE(wizard, nullptr) << "no welcome page";
    EXPECT_TRUE(ShowsPicture(wizard, "wizard.bmp")) << "welcome page";
    ASSERT_TRUE(PressWhenReady(wizard, 1, "Next")) << ChildTexts(wizard);
    ASSERT_TRUE(PressWhenReady(wizard, 1, "Install")) << "no folder page: " << ChildTexts(wizard);
    ASSERT_NE(WaitForWindow(setupCaption, "when I log on"), nullptr)
        << "no finish page: " << ChildTexts(wizard);
    HWND startNow = ChildContaining(wizard, "Start Velmora Gatewick Lite now");
    HWND atLogon = ChildContaining(wizard, "Start Velmora Gatewick Lite when I log on");
    ASSERT_NE(startNow, nullptr);
    ASSERT_NE(atLogon, nullptr);
    EXPECT_TRUE(Checked(startNow));
    EXPECT_FALSE(Checked(atLogon));
    for (const char* text :
         {"chrome://extensions", "about:debugging", "ExtensionInstallForcelist", "policies.json"}) {
        EXPECT_NE(ChildContaining(wizard, text), nullptr) << text << " not on the finish page";
    }
    SetChecked(atLogon, true);
    ASSERT_TRUE(PressWhenReady(wizard, 1, "Finish"));
    ASSERT_EQ(WaitForSingleObject(setup.get(), 30000), WAIT_OBJECT_0);
    DWORD setupExit = 1;
    GetExitCodeProcess(setup.get(), &setupExit);
    EXPECT_EQ(setupExit, 0u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, "VelmoraGWLite"),
              "\"" + dir + "\\VelmoraGWLite.exe\"");
    RunningCopy running = FindRunningCopy();
    ASSERT_NE(running.window, nullptr) << "the program was not started";

    const std::string uninstallCaption = "Velmora Gatewick Lite Uninstall";
    UniqueKernelHandle uninstaller = StartProcess("\"" + dir + "\\uninstall.exe\"");
    ASSERT_TRUE(uninstaller);
    EndUninstallerOnExit endUninstaller;
    HWND confirm = WaitForWindow(uninstallCaption, "Uninstall");
    ASSERT_NE(confirm, nullptr) << "no confirmation page";
    ASSERT_TRUE(PressWhenReady(confirm, 1, "Uninstall")) << ChildTexts(confirm);
    HWND question = WaitForWindow(uninstallCaption, "Keep your settings and white list");
    ASSERT_NE(question, nullptr) << "the uninstaller did not ask";
    Press(question, IDNO);
    ASSERT_TRUE(PumpUntil([] { return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 60s));
    EXPECT_TRUE(PressWhenReady(confirm, 1, "Close")) << ChildTexts(confirm);
    ASSERT_TRUE(WaitForUninstall());

    EXPECT_EQ(ExitCodeOnceEnded(running), std::optional<DWORD>(0u));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    EXPECT_FALSE(
        KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Settings"));
    EXPECT_FALSE(Exists(dir + "\\gwwhitelist.dat"));
    EXPECT_FALSE(Exists(dir)) << "the program folder is left";
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kRunKey, "VelmoraGWLite").has_value());
}

// At 144 DPI the pages show the picture drawn for it, at its own size.
TEST(InstallerLifecycle, WelcomePageAt144DpiShowsThePictureDrawnForIt) {
    const std::string desktop = "Control Panel\\Desktop";
    const std::optional<RawValue> saved = ReadRawValue(HKEY_CURRENT_USER, desktop, "LogPixels");
    WriteDword(HKEY_CURRENT_USER, desktop, "LogPixels", 144);
    UniqueKernelHandle setup = StartProcess("\"" + kSetup + "\"");
    ASSERT_TRUE(setup);
    EndOnExit endSetup{setup.get()};
    HWND wizard = WaitForWindow("Velmora Gatewick Lite Setup", "Next");
    if (saved) {
        WriteRawValue(HKEY_CURRENT_USER, desktop, *saved);
    } else {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop.c_str(), "LogPixels");
    }
    ASSERT_NE(wizard, nullptr) << "no welcome page";
    EXPECT_TRUE(ShowsPicture(wizard, "wizard_144.bmp"));
}

}  // namespace
}  // namespace vgwl::test
