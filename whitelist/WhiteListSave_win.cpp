#include "whitelist/WhiteListSave.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FilePaths.h"
#include "toolkit/Handles.h"
#include "toolkit/SystemError.h"
#include "whitelist/WhiteListJournal.h"

#include <sddl.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace vgwl {
namespace {

// A list or companion beyond this is damage, not a list: 100000 entries of
// 63 characters are 6.5 MB.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

WhiteListSaveResult Failed(DWORD error) {
    if (error == ERROR_SUCCESS) {
        error = ERROR_GEN_FAILURE;  // a call failed without saying why
    }
    return {false, error, SystemErrorText(error)};
}

// Opens for reading and writing, held without sharing: no other copy of the
// program reads a half-written list or saves at the same time.
UniqueFileHandle OpenHeld(const std::string& path, DWORD disposition, bool* created = nullptr) {
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kWhiteListFileSddl, SDDL_REVISION_1,
                                                             &descriptor, nullptr)) {
        attributes.lpSecurityDescriptor = descriptor;
    }
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &attributes,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    if (created) {
        *created = file && disposition == OPEN_ALWAYS && error != ERROR_ALREADY_EXISTS;
    }
    SetLastError(error);
    return file;
}

DWORD ReadWhole(HANDLE file, std::string& bytes) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        return GetLastError();
    }
    if (size.QuadPart > kMaxFileBytes) {
        return ERROR_FILE_TOO_LARGE;
    }
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                      nullptr)) {
            return GetLastError();
        }
        if (got == 0) {
            bytes.resize(done);  // shorter than it said: what is there
            break;
        }
        done += got;
    }
    return ERROR_SUCCESS;
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max() / 2));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

DWORD SetEndHere(HANDLE file) { return SetEndOfFile(file) ? ERROR_SUCCESS : GetLastError(); }
DWORD Flush(HANDLE file) { return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError(); }

DWORD Rewind(HANDLE file) {
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) ? ERROR_SUCCESS
                                                                        : GetLastError();
}

// The whole file becomes `bytes`, on the disk when this returns. Between
// its halves the write asks `halfway` whether to go on (tests only).
DWORD Rewrite(HANDLE file, std::string_view bytes, const std::function<DWORD()>& halfway = {}) {
    DWORD error = Rewind(file);
    if (error == ERROR_SUCCESS) {
        error = WriteAll(file, bytes.substr(0, bytes.size() / 2));
    }
    if (error == ERROR_SUCCESS && halfway) {
        error = halfway();
    }
    if (error == ERROR_SUCCESS) {
        error = WriteAll(file, bytes.substr(bytes.size() / 2));
    }
    if (error == ERROR_SUCCESS) {
        error = SetEndHere(file);
    }
    return error == ERROR_SUCCESS ? Flush(file) : error;
}

// Marks the companion done. Neither a failure here nor a stop before the
// mark reaches the disk loses anything: a complete companion only writes
// the same list again, and the next save writes its own before the list.
// So it is not flushed, which spares the save a third wait for the disk.
void Empty(HANDLE companion) {
    if (Rewind(companion) == ERROR_SUCCESS) {
        (void)SetEndHere(companion);
    }
}

// Finishes the save a complete companion holds, or empties a torn one.
WhiteListRecovery FinishPending(HANDLE companion, HANDLE list) {
    std::string journal;
    const DWORD read = ReadWhole(companion, journal);
    if (read != ERROR_SUCCESS && read != ERROR_FILE_TOO_LARGE) {
        SetLastError(read);
        return WhiteListRecovery::Failed;
    }
    if (read == ERROR_SUCCESS && journal.empty()) {
        return WhiteListRecovery::Nothing;
    }
    const std::optional<std::string_view> pending =
        read == ERROR_SUCCESS ? WhiteListFromJournal(journal) : std::nullopt;
    if (!pending) {
        // Cut short before the list was touched: the list is the old one.
        Empty(companion);
        return WhiteListRecovery::Discarded;
    }
    if (const DWORD error = Rewrite(list, *pending); error != ERROR_SUCCESS) {
        SetLastError(error);
        return WhiteListRecovery::Failed;  // the companion stays for the next reader
    }
    Empty(companion);
    return WhiteListRecovery::Finished;
}

WhiteListSaveResult Stopped() { return {false, kWhiteListSaveStopped, {}}; }

}  // namespace

std::string WhiteListCompanionPath(const std::string& listPath) {
    return ExtractFilePath(listPath) + kWhiteListCompanionFileName;
}

WhiteListRecovery RecoverWhiteListFile(const std::string& path) {
    UniqueFileHandle companion = OpenHeld(WhiteListCompanionPath(path), OPEN_EXISTING);
    if (!companion) {
        // None (the usual case), or held by a save running right now.
        return WhiteListRecovery::Nothing;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(companion.get(), &size) && size.QuadPart == 0) {
        return WhiteListRecovery::Nothing;
    }
    // A stop before the list was first created leaves a companion only.
    UniqueFileHandle list = OpenHeld(path, OPEN_ALWAYS);
    if (!list) {
        return WhiteListRecovery::Failed;
    }
    return FinishPending(companion.get(), list.get());
}

WhiteListSaveResult SaveWhiteListFile(const std::string& path, std::string_view content,
                                      const WhiteListSaveStop& stop) {
    const auto hook = [&stop](WhiteListSaveStep step) {
        return stop ? stop(step) : static_cast<DWORD>(ERROR_SUCCESS);
    };
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        // A read-only list is one the user or an administrator chose to keep
        // as it is, whatever rights the account has.
        return Failed(ERROR_ACCESS_DENIED);
    }
    bool createdList = false;
    UniqueFileHandle list = OpenHeld(path, OPEN_ALWAYS, &createdList);
    if (!list) {
        return Failed(GetLastError());
    }
    // A list this save made and could not fill goes again: the folder is
    // left as it was.
    const auto fail = [&](DWORD error) {
        if (createdList) {
            list.reset();
            (void)DeleteFileA(path.c_str());
        }
        return Failed(error);
    };
    UniqueFileHandle companion = OpenHeld(WhiteListCompanionPath(path), OPEN_ALWAYS);
    if (!companion) {
        return fail(GetLastError());
    }
    if (FinishPending(companion.get(), list.get()) == WhiteListRecovery::Failed) {
        return fail(GetLastError());
    }
    std::string old;
    if (const DWORD error = ReadWhole(list.get(), old); error != ERROR_SUCCESS) {
        return fail(error);
    }

    DWORD error = Rewrite(companion.get(), WhiteListJournalBytes(content));
    if (error == ERROR_SUCCESS) {
        error = hook(WhiteListSaveStep::CompanionWritten);
    }
    if (error == kWhiteListSaveStopped) {
        return Stopped();
    }
    if (error != ERROR_SUCCESS) {
        Empty(companion.get());  // whatever it holds, the list stays the old one
        return fail(error);
    }
    error = Rewrite(list.get(), content, [&] { return hook(WhiteListSaveStep::ListHalfWritten); });
    if (error == kWhiteListSaveStopped) {
        return Stopped();
    }
    if (error != ERROR_SUCCESS) {
        // The old bytes go back. Should even that fail, the complete
        // companion stays, and the next reader finishes this save rather
        // than read a half-written list.
        if (Rewrite(list.get(), old) == ERROR_SUCCESS) {
            Empty(companion.get());
            return fail(error);
        }
        return Failed(error);
    }
    if (hook(WhiteListSaveStep::ListWritten) != ERROR_SUCCESS) {
        return Stopped();
    }
    Empty(companion.get());
    if (hook(WhiteListSaveStep::CompanionEmptied) != ERROR_SUCCESS) {
        return Stopped();
    }
    return {true, ERROR_SUCCESS, {}};
}

std::optional<WhiteListFileContent> ReadSavedWhiteList(const std::string& path) {
    (void)RecoverWhiteListFile(path);  // whatever it did, the list is read as it now is
    return ReadWhiteListFile(path);
}

void AppendWhiteListFileLine(const std::string& path, std::string_view line) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw FileOpenError("Cannot open file \"" + path + "\". " +
                            SystemErrorText(GetLastError()));
    }
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END) ||
        line.size() > std::numeric_limits<DWORD>::max() ||
        !WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        throw FileOpenError("Cannot write file \"" + path + "\". " +
                            SystemErrorText(GetLastError()));
    }
}

}  // namespace vgwl
