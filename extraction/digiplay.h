// Digital play: the rip thread's body for a request with DigitalPlay set.
// It reads the play range from the disc, aligned as the plain read loop
// aligns overlapped reads, and feeds the request's wave-out thread with the
// LBA of every piece; it follows the seeks the wave-out thread receives,
// skips data tracks, and ends when the range has been played out, the
// wave-out thread stops, a read times out or the thread is asked to abort.
//
// Portable: no <windows.h>.
#pragma once
#include "extraction/wendrisub.h"

namespace wx {

// Plays the engine's request; finishes it (WM_RIP_DONE) on every path.
void PlayDigital(TRipEngine& e);

}  // namespace wx
