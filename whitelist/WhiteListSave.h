#pragma once
// Saving the white list file so that nothing saved before is ever lost: the
// new content is written in full beside the file and then put in its place
// in one step. Knows no window.

#include <windows.h>

#include <string>
#include <string_view>

namespace vgwl {

struct WhiteListSaveResult {
    bool saved = false;
    DWORD error = ERROR_SUCCESS;
    // The system's message for the error, without a trailing line break.
    std::string reason;
};

// Writes `content` to `path` + ".new", flushes it to the disk, then replaces
// `path` with it: with ReplaceFileA when `path` exists, which keeps the old
// file's security settings, else by moving it into place. On any failure the
// file at `path` is left byte for byte as it was and the temporary file is
// removed.
[[nodiscard]] WhiteListSaveResult SaveWhiteListFile(const std::string& path,
                                                    std::string_view content);

// Appends `line` (its bytes as given) to the end of the existing file at
// `path`, which is held without sharing while it is written. Throws
// FileOpenError when the file cannot be opened (it is never created) and
// when the line cannot be written in full.
void AppendWhiteListFileLine(const std::string& path, std::string_view line);

// The system's message for a Win32 error code, in the ANSI code page.
[[nodiscard]] std::string SystemErrorText(DWORD error);

}  // namespace vgwl
