#include "whitelist/WhiteListSave.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <limits>

namespace vgwl {
namespace {

WhiteListSaveResult Failed(DWORD error) {
    if (error == ERROR_SUCCESS) {
        error = ERROR_GEN_FAILURE;  // a call failed without saying why
    }
    return {false, error, SystemErrorText(error)};
}

// Writes the whole content and forces it to the disk: the replace that
// follows must never put a half-written file in the old one's place.
DWORD WriteWholeFile(const std::string& path, std::string_view content) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return GetLastError();
    }
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(
            std::min<std::size_t>(content.size(), std::numeric_limits<DWORD>::max() / 2));
        DWORD written = 0;
        if (!WriteFile(file.get(), content.data(), chunk, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        content.remove_prefix(written);
    }
    if (!FlushFileBuffers(file.get())) {
        return GetLastError();
    }
    // A close that fails can mean the data did not reach the disk.
    if (!CloseHandle(file.release())) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

}  // namespace

std::string SystemErrorText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer) {
        text.assign(buffer, length);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "Error " + std::to_string(error) + ".";
    }
    return text;
}

namespace {

// Puts the written temporary file in the place of the existing one. The old
// file is moved aside under a backup name rather than dropped: a replace
// that fails half way can then always give it back.
DWORD ReplaceExisting(const std::string& path, const std::string& temp) {
    const std::string backup = path + ".old";
    for (int attempt = 0;; ++attempt) {
        if (ReplaceFileA(path.c_str(), temp.c_str(), backup.c_str(),
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            (void)DeleteFileA(backup.c_str());
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old file went to the backup name and the new one could not
            // follow into its place: the old one goes back.
            (void)MoveFileExA(backup.c_str(), path.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            return error;
        }
        // Otherwise the old file kept its name, so a file under the backup
        // name is a leftover of an interrupted save, which a system may
        // refuse to replace: it goes, and the replace is tried once more.
        if (attempt > 0 || GetFileAttributesA(backup.c_str()) == INVALID_FILE_ATTRIBUTES ||
            !DeleteFileA(backup.c_str())) {
            return error;
        }
    }
}

}  // namespace

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

WhiteListSaveResult SaveWhiteListFile(const std::string& path, std::string_view content) {
    const std::string temp = path + ".new";
    DWORD error = WriteWholeFile(temp, content);
    if (error == ERROR_SUCCESS) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            error = MoveFileExA(temp.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                        ? ERROR_SUCCESS
                        : GetLastError();
        } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            // A read-only file is one the user or the installer chose to keep
            // as it is; it is not replaced behind their back.
            error = ERROR_ACCESS_DENIED;
        } else {
            error = ReplaceExisting(path, temp);
        }
        if (error == ERROR_SUCCESS) {
            return {true, ERROR_SUCCESS, {}};
        }
    }
    // The old file is as it was: only the temporary one goes.
    (void)DeleteFileA(temp.c_str());
    return Failed(error);
}

}  // namespace vgwl
