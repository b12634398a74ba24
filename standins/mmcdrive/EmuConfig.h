// Builds the emulated adapters and drives from the stand-in's INI file.
// Portable.
//
//   [ASPI]     Adapters=1  Log=requests.log
//   [Adapter0] ScsiId=7  MaxTargets=8  AlignmentMask=1
//   [Drive0]   Adapter=0  Target=1  Image=demo.cue  Personality=plextor
//              Latency=0  ReadLatency=0  Hang=0x28,reset  HangCount=0
//              Reorder=4  ReorderHold=20 (reads end out of order, in batches)
//              (and any personality or fault key: Vendor, Product, AnsiVersion,
//              BcdFullToc, MediumErrors, JitterFrames, OffsetFrames, ...)
//
// A disc image may have a sidecar file, the image path with ".ini" appended,
// for what a CUE sheet cannot say: [Disc] SessionStarts=3 (tracks opening a
// new session), CdTextLanguage; [Drive] and [Faults] with the keys above.
// The drive's own section wins over the sidecar.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/mmcdrive/IniFile.h"

namespace wx::emu {

struct EmuSetup {
    std::vector<HostAdapter> adapters;
    std::vector<Unit> units;
    std::string logPath;
};

// Loads a CUE image and its sidecar; nullptr and error on failure.
std::shared_ptr<Disc> LoadDiscImage(const std::string& cuePath, IniFile& sidecar, std::string& error);

// Paths in the file are taken relative to baseDir.  Drives whose image
// cannot be loaded come up without a disc; the reason is added to errors.
EmuSetup BuildSetup(const IniFile& ini, const std::string& baseDir, std::vector<std::string>& errors);

// The default when no configuration file exists: one drive on adapter 0,
// target 1, with the given image.
EmuSetup DefaultSetup(const std::string& imagePath, std::vector<std::string>& errors);

}  // namespace wx::emu
