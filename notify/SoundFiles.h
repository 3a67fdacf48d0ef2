#pragma once
// The five notification sounds and how an index becomes a file path and a
// name. Portable: no Windows header.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vgwl {

inline constexpr int kSoundCount = 5;

extern const std::array<std::string_view, kSoundCount> SoundFiles;

[[nodiscard]] constexpr bool IsValidSoundIndex(int index) noexcept {
    return index >= 0 && index < kSoundCount;
}

// A stored index outside 0..4 can only come from a hand-edited registry
// value; it stands for the first sound, so that the box, the notification and
// the test always agree and never read past the table.
[[nodiscard]] constexpr int EffectiveSoundIndex(int stored) noexcept {
    return IsValidSoundIndex(stored) ? stored : 0;
}

// "Sound Notification 1" .. "Sound Notification 5".
std::string SoundDisplayName(int index);

// What a stored SoundIndex becomes on the window: the field and the text of
// the sound box. A value outside the five sounds stands for the first one;
// the stored value is left for the user's next choice to replace.
struct SoundChoice {
    int index;
    std::string text;
};
[[nodiscard]] SoundChoice SoundChoiceOf(int stored);

// Full path of the sound file for an index: the executable's folder, then
// "sounds\", then the file name. The folder comes from the executable's own
// full path, never from the working directory. No path for an index outside
// the table.
std::optional<std::string> SoundFilePath(std::string_view exeFullPath, int index);

}  // namespace vgwl
