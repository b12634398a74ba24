// The CDDB disc identifier of a table of contents.  Portable: no <windows.h>.
//
// Positions are absolute frames (75 per second) with the 2-second lead-in
// included, that is LBA + 150, as the table of contents gives them as MSF.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace wx {

// Sum of the decimal digits of the number as printed with "%d".
int CDDBDigitSum(std::int32_t n);

// Identifier of a disc whose tracks start at the given frames, the lead-out
// at leadOutFrame.  Only whole seconds count (the frame part is ignored).
// 0 with no tracks.
std::uint32_t CddbDiscId(const std::vector<std::int32_t>& trackStartFrames, std::int32_t leadOutFrame);

// The identifier as sent and submitted: lower-case hex without leading zeros.
std::string CddbDiscIdText(std::uint32_t id);

// Disc length in seconds as the query sends it: lead-out frame / 75.
inline std::int32_t CddbDiscSeconds(std::int32_t leadOutFrame) { return leadOutFrame / 75; }

}  // namespace wx
