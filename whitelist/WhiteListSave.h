#pragma once
// Saving the white list file so that nothing saved before is ever lost, in
// a folder where users may write the list and its companion file but create
// and delete nothing. A save writes the whole new list into the companion
// (with its length and checksum) and flushes it, rewrites the list in place
// and flushes it, then empties the companion. A stop at any point leaves the
// old list whole, or a complete companion from which the next reader
// finishes the save. Knows no window.

#include "whitelist/WhiteListFile.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

struct WhiteListSaveResult {
    bool saved = false;
    DWORD error = ERROR_SUCCESS;
    // The system's message for the error, without a trailing line break.
    std::string reason;
};

// The points between the steps of a save.
enum class WhiteListSaveStep { CompanionWritten, ListHalfWritten, ListWritten, CompanionEmptied };

// Lets tests stop a save at a step as a power cut would (with nothing
// undone), or fail it there as the system would (with that error code).
// Returns ERROR_SUCCESS to go on. The product passes none.
inline constexpr DWORD kWhiteListSaveStopped = 0x20000001;  // an application's own code
using WhiteListSaveStop = std::function<DWORD(WhiteListSaveStep)>;

// The companion file of the list at `listPath`.
[[nodiscard]] std::string WhiteListCompanionPath(const std::string& listPath);

// Saves `content` as the list at `path`. A save left unfinished is finished
// first. On any failure the list is left byte for byte as it was. Where the
// folder lets the user create the list or the companion, they are created
// with the rights the setup gives them: every user may read and write them,
// so no user's file blocks another's save.
[[nodiscard]] WhiteListSaveResult SaveWhiteListFile(const std::string& path,
                                                    std::string_view content,
                                                    const WhiteListSaveStop& stop = {});

enum class WhiteListRecovery { Nothing, Finished, Discarded, Failed };

// Before the list at `path` is read: finishes a save whose companion is
// complete, and empties a companion that a stop cut short.
WhiteListRecovery RecoverWhiteListFile(const std::string& path);

// The saved list as both readers take it, after RecoverWhiteListFile.
[[nodiscard]] std::optional<WhiteListFileContent> ReadSavedWhiteList(const std::string& path);

// The security descriptor given to the list and the companion when a save
// creates them (SDDL): users read and write; no delete, no change of rights.
inline constexpr char kWhiteListFileSddl[] = "D:(A;;0x12019f;;;BU)(A;;FA;;;SY)(A;;FA;;;BA)";

// Appends `line` (its bytes as given) to the end of the existing file at
// `path`, which is held without sharing while it is written. Throws
// FileOpenError when the file cannot be opened (it is never created) and
// when the line cannot be written in full.
void AppendWhiteListFileLine(const std::string& path, std::string_view line);

}  // namespace vgwl
