// The rules of the track-range dialog that need no window: a rip range
// position from minutes, seconds and frames and back, the checks of each
// field, and the names the file-name test refuses outright.
// Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>

namespace wx {

// Minutes, seconds and frames of a sector count from the track start
// (4500 sectors a minute, 75 a second), each as a magnitude; a position
// before the start is negative as a whole, shown with a minus on the
// minutes ("-0" for less than a minute before the start).
struct TMsf {
    bool Negative = false;
    std::int32_t Minutes = 0, Seconds = 0, Frames = 0;
};
TMsf MsfOfSectors(std::int32_t sectors);
// The minutes field's text: the minutes with the minus of a negative
// position.
std::string MinutesText(const TMsf& m);

// A field's check on leaving it: a whole number in range, not a number, or
// out of range (frames 0..74, seconds 0..59, minutes below 80).
enum class TFieldCheck { Ok, NotNumber, OutOfRange };
enum class TMsfField { Minutes, Seconds, Frames };
TFieldCheck CheckMsfField(TMsfField field, const std::string& text);

// The position the three fields give: frames + |minutes| x 4500 +
// seconds x 75, negative when the minutes text begins with a minus ("-0"
// included), so that every position MsfOfSectors shows gives itself back.
// false when a field is not a number.
bool PositionOfFields(const std::string& minutes, const std::string& seconds, const std::string& frames,
                      std::int32_t& sectors);

// A name of a device rather than a file (CON, PRN, AUX, NUL, COM1..COM9,
// LPT1..LPT9, CONIN$, CONOUT$), with or without an extension, in any case.
bool IsReservedDeviceName(const std::string& name);

}  // namespace wx
