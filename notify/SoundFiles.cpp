#include "notify/SoundFiles.h"

#include "toolkit/FilePaths.h"

namespace vgwl {

const std::array<std::string_view, kSoundCount> SoundFiles = {
    "sound1.wav", "sound2.wav", "sound3.wav", "sound4.wav", "sound5.wav",
};

std::string SoundDisplayName(int index) {
    return "Sound Notification " + std::to_string(EffectiveSoundIndex(index) + 1);
}

SoundChoice SoundChoiceOf(int stored) {
    return {EffectiveSoundIndex(stored), SoundDisplayName(stored)};
}

std::optional<std::string> SoundFilePath(std::string_view exeFullPath, int index) {
    if (!IsValidSoundIndex(index)) {
        return std::nullopt;
    }
    std::string path = ExtractFilePath(exeFullPath);
    path += "sounds\\";
    path += SoundFiles[static_cast<std::size_t>(index)];
    return path;
}

}  // namespace vgwl
