#pragma once
// Helpers shared by the Windows tests.

#include "component/Contract.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vgwl::test {

// The registry names the front end, the component and the bridge share, as
// the registry helpers below take them.
inline const std::string kSettings(contract::kSettingsKey);
inline const std::string kBlockingOn(contract::kValueBlockingOn);
inline const std::string kPopupCount(contract::kValuePopupCount);
inline const std::string kSerial(contract::kValueWhiteListSerial);

// Folder that holds the program as installed (dist\), with trailing backslash.
std::string DistDir();

struct ProcessResult {
    bool finished = false;  // false: timed out and was ended
    DWORD exitCode = 0;
    std::string output;  // standard output and standard error together
};

// Runs a command line, pumping this thread's messages while it waits, so that
// a child may send messages to windows of the test. Ends the child when the
// timeout passes.
ProcessResult RunProcess(const std::string& commandLine,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60),
                         const std::string& workingDir = {});

// Pumps messages until the predicate holds or the timeout passes. The
// default is long because a loaded machine can take seconds over what is
// quick on a quiet one; a wait that succeeds ends at once.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Closes a window (WM_CLOSE, posted) if the guarded scope has not ended in
// time, and if that does not end it either, posts WM_QUIT to the window's
// thread, which ends any modal loop: a loop that never ends fails its test
// instead of hanging it until the test runner's timeout.
class ModalWatchdog {
public:
    explicit ModalWatchdog(HWND window,
                           std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~ModalWatchdog();
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;
    bool Fired() const { return fired_; }

private:
    std::mutex mutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// Deletes a registry key and everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string& path);

// Reads a DWORD value, or nothing when the key or value is missing or of
// another type.
std::optional<DWORD> ReadDword(HKEY root, const std::string& path, const std::string& name);

// A registry value as stored: its type and its exact bytes.
struct RawValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// Reads a value through the raw API, or nothing when the key or the value is
// missing; the bytes are exactly those the registry returned.
std::optional<RawValue> ReadRawValue(HKEY root, const std::string& path, const std::string& name);

// Writes a value with its type and bytes as given, creating the key; a
// failure fails the calling test.
void WriteRawValue(HKEY root, const std::string& path, const RawValue& value);

// Another process that holds a file open without sharing it, as a virus
// scanner or an editor may: nobody else can open, replace or delete the file
// while it lives. The file is created when missing.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    // True once the other process holds the file.
    bool Held() const noexcept { return held_; }

private:
    HANDLE process_ = nullptr;
    HANDLE release_ = nullptr;
    bool held_ = false;
};

// The other process's side of HeldFile: holds `path` until told to let go
// (or for a minute at most). Returns the process's exit code.
int HoldFileOpen(const char* path);

// Reads a whole file as bytes; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Writes a whole file; a failure fails the calling test.
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A scratch folder for the white list file and the companion its saves
// write; both are removed, read-only or not, when it is made and at its end.
class ListFolder {
public:
    explicit ListFolder(const std::string& name);
    ~ListFolder();
    ListFolder(const ListFolder&) = delete;
    ListFolder& operator=(const ListFolder&) = delete;
    std::string ListFile() const { return path + "gwwhitelist.dat"; }
    std::string Companion() const { return path + "gwwhitelist.dat.journal"; }

    std::string path;  // with a trailing backslash
};

// Writes a DWORD value, creating the key.
void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value);

}  // namespace vgwl::test
