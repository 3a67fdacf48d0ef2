// Blocked-popup notification, the sound box and the sound test.
#include "ui/Settings.h"

#include "notify/SoundFiles.h"
#include "toolkit/Application.h"
#include "ui/Unit1.h"

#include <mmsystem.h>

#include <optional>
#include <string>

namespace vgwl {

namespace {

// A file name, played to its end before the call returns; without
// SND_NODEFAULT, so a file that cannot be played gives the system's sound.
constexpr DWORD kPlayFlags = SND_FILENAME | SND_SYNC;
static_assert(kPlayFlags == 0x20000);

// The sound file of the current choice, if it is there. An index outside the
// table stands for the first sound.
std::optional<std::string> ExistingSoundFile(const std::string& programPath, int soundIndex) {
    std::optional<std::string> path = SoundFilePath(programPath, EffectiveSoundIndex(soundIndex));
    if (!path) {
        return std::nullopt;
    }
    const DWORD attributes = GetFileAttributesA(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return path;
}

}  // namespace

LRESULT TVMGWLPreferences::PopupBlockedMessage(WPARAM, LPARAM) {
    // Every message is one blocked popup, whoever sent it and whatever its
    // record holds; the record is never read. The sender waits for the
    // answer, so the sound plays to its end and the blink follows it.
    if (RzCheckBox4->Checked()) {
        if (const auto path = ExistingSoundFile(services_.programPath, SoundIndex)) {
            (void)services_.playSound(path->c_str(), nullptr, kPlayFlags);
        }
    }
    if (RzCheckBox3->Checked()) {
        AnimateTrayIcon();
    }
    return 0;
}

void TVMGWLPreferences::RzButtonEdit1ButtonClick() {
    if (selectSound_) {
        (void)selectSound_->ShowModal();  // the dialog stores the choice itself
    }
}

void TVMGWLPreferences::RzButtonEdit1KeyPress(char& key) {
    // The box only shows the choice: no typed character reaches it, control
    // characters for Backspace, cut and paste included.
    key = 0;
}

void TVMGWLPreferences::RzBitBtn1Click() {
    if (RzButtonEdit1->Text().empty()) {
        return;
    }
    // The test plays whether or not the sound switch is on.
    if (const auto path = ExistingSoundFile(services_.programPath, SoundIndex)) {
        (void)services_.playSound(path->c_str(), nullptr, kPlayFlags);
    } else {
        Application().MessageDialog(MessageDialogType::Error, "Sound file missing", Handle());
    }
}

}  // namespace vgwl
