#include "settings/SettingsStore.h"

#include "notify/SoundFiles.h"

namespace vgwl {

SoundChoice SoundChoiceOf(std::int32_t stored) {
    return {EffectiveSoundIndex(stored), SoundDisplayName(stored)};
}

std::string RunEntryData(std::string_view programPath) {
    if (programPath.size() >= 2 && programPath.front() == '"' && programPath.back() == '"') {
        return std::string(programPath);
    }
    std::string data;
    data.reserve(programPath.size() + 2);
    data += '"';
    data += programPath;
    data += '"';
    return data;
}

}  // namespace vgwl
