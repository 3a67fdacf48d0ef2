#pragma once
// The reaction to one blocked popup, and the sound test: the chosen sound
// played to its end, then the blink. Knows no window: it is handed the sound
// player, the blink and the program's path, and told the switches' states
// at the moment a message arrives.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace vgwl {

class NotificationReaction {
public:
    using SoundPlayer = std::function<BOOL(const char* path, HMODULE module, DWORD flags)>;
    using Blink = std::function<void()>;

    // A file name, played to its end before the call returns; without
    // SND_NODEFAULT, so a file that cannot be played gives the system's sound.
    static constexpr DWORD kPlayFlags = 0x20000;  // SND_FILENAME | SND_SYNC

    NotificationReaction(std::string programPath, SoundPlayer play, Blink blink)
        : programPath_(std::move(programPath)), play_(std::move(play)), blink_(std::move(blink)) {}

    // One blocked popup: the sound when it is switched on and its file is
    // there, then the blink when it is switched on. Keeps no state between
    // calls: every message gets the whole reaction.
    void React(bool soundOn, int soundIndex, bool blinkOn) const;

    // The test button: plays the sound of the index whatever the sound
    // switch says. False when its file is missing.
    [[nodiscard]] bool PlayTest(int soundIndex) const;

    // The sound file of an index, if it is there. An index outside the
    // table stands for the first sound.
    [[nodiscard]] std::optional<std::string> ExistingSoundFile(int soundIndex) const;

private:
    std::string programPath_;
    SoundPlayer play_;
    Blink blink_;
};

}  // namespace vgwl
