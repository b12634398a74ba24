// The rules of the test-playback bar that need no window: the slider's
// share of the file, the time text, the external player's states and which
// player a file goes to.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>

namespace wendrix {

// The slider's position as a percentage of its maximum; a maximum of 0 or
// less (a file under a second, an unknown length) gives 0.
int SliderPercent(int position, int maximum);
// "%.2d:%.2d": minutes and seconds of a position in milliseconds.
std::string PlayTimeText(std::uint32_t ms);
// The media player's mode number of an external player's state answer:
// 0 stopped gives 1, 1 playing gives 2, 3 paused gives 5, anything else 0.
int ExternalPlayerMode(std::intptr_t state);
// A file plays in the media player when the settings say so or it is a WAV
// file (".WAV", any case); otherwise in the external player.
bool PlaysInMediaPlayer(const std::string& path, bool useMediaPlayer);

// External player commands (lParam of WM_USER).
constexpr int PlayerAddByte = 100;
constexpr int PlayerClear = 101;
constexpr int PlayerPlay = 102;
constexpr int PlayerState = 104;
constexpr int PlayerPosition = 105;  // wParam 0: position in ms; 1: length in s
constexpr int PlayerSeek = 106;

}  // namespace wendrix
