// Reading the CD-TEXT packs of the disc in a drive (READ TOC format 5)
// through the transport in use.  Portable: requests go through a
// TSrbExecutor.
#pragma once
#include <cstdint>
#include <vector>

#include "discinfo/cdtext.h"
#include "extraction/DriveCmds.h"

namespace wx {

// The drive is probed twice for a disc (TEST UNIT READY); then READ TOC
// format 5 with an allocation length of 0x2000.  On success packs holds
// the whole packs received (at most 0x2000 - 4 bytes).
TCdTextRead GetCDTextData(TSrbExecutor& exec, const TDriveAddress& drive, std::vector<std::uint8_t>& packs);

}  // namespace wx
