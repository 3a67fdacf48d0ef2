#include "notify/NotificationReaction.h"

#include "notify/SoundFiles.h"

#include <mmsystem.h>

namespace vgwl {

static_assert(NotificationReaction::kPlayFlags == (SND_FILENAME | SND_SYNC));

std::optional<std::string> NotificationReaction::ExistingSoundFile(int soundIndex) const {
    std::optional<std::string> path = SoundFilePath(programPath_, EffectiveSoundIndex(soundIndex));
    if (!path) {
        return std::nullopt;
    }
    const DWORD attributes = GetFileAttributesA(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return path;
}

void NotificationReaction::React(bool soundOn, int soundIndex, bool blinkOn) const {
    // The sender waits for the answer, so the sound plays to its end and the
    // blink follows it; a missing file is silent.
    if (soundOn) {
        if (const auto path = ExistingSoundFile(soundIndex)) {
            (void)play_(path->c_str(), nullptr, kPlayFlags);
        }
    }
    if (blinkOn) {
        blink_();
    }
}

bool NotificationReaction::PlayTest(int soundIndex) const {
    const auto path = ExistingSoundFile(soundIndex);
    if (!path) {
        return false;
    }
    (void)play_(path->c_str(), nullptr, kPlayFlags);
    return true;
}

}  // namespace vgwl
