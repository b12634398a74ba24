// Settings of the GOGO encoder component and the order in which they are
// handed to the library (MPGE_setConfigure calls).  Portable: no
// <windows.h>; the component (gogotea.h) makes the calls.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace wx {

enum class TEmphasis { _NO_EMPH, _5015MS_EMPH, _CCITT_EMPH };
enum class TUseUnit { _USE_MMX, _USE_3DNOW, _USE_KNI, _USE_EX_3DNOW, _USE_SPC1, _USE_SPC2 };
enum class TEncodeFormat { _FORMAT_OF_MP3, _FORMAT_OF_RIFF_WAVE, _FORMAT_OF_RIFF_RMP };
enum class TEncodeMode { _FILE, _MEMORY };
enum class TEncodeType { _MONO, _STEREO, _JOINT, _MSSTEREO, _DUALCHANNEL };

// A set of TUseUnit elements.
class TUseUnits {
public:
    TUseUnits() = default;
    TUseUnits(std::initializer_list<TUseUnit> units) {
        for (auto u : units) Include(u);
    }
    bool Has(TUseUnit u) const { return bits_ & Bit(u); }
    void Include(TUseUnit u) { bits_ |= Bit(u); }
    void Exclude(TUseUnit u) { bits_ &= ~Bit(u); }
    bool operator==(const TUseUnits&) const = default;

private:
    static unsigned Bit(TUseUnit u) { return 1u << static_cast<unsigned>(u); }
    unsigned bits_ = 0;
};

// CPU feature bits reported by MPGE_getUnitStates.
constexpr uint32_t kGogoUnitMMX = 0x2, kGogoUnit3DNow = 0x4, kGogoUnitSSE = 0x8, kGogoUnitExt3DNow = 0x20;

// Setting identifiers of MPGE_setConfigure.
enum : uint32_t {
    kGogoSetInput = 1, kGogoSetOutput = 2, kGogoSetMode = 3, kGogoSetBitrate = 4,
    kGogoSetOutFrequency = 6, kGogoSetPsy = 8, kGogoSetLpf = 9, kGogoSetUseMMX = 10,
    kGogoSetUse3DNow = 11, kGogoSetUseKNI = 12, kGogoSetUseExt3DNow = 13, kGogoSetUseSPC1 = 14,
    kGogoSetUseSPC2 = 15, kGogoSetEmphasis = 17, kGogoSetVbrLevel = 18, kGogoSetProcessors = 19,
    kGogoSetFormat = 26, kGogoSetChunk = 27, kGogoSetVbrRange = 30, kGogoSetFilter = 31,
    kGogoSetMsSetting = 32,
};
// MPGE_getConfigure identifier of the total frame count.
constexpr uint32_t kGogoGetFrameCount = 15;

struct TGogoRange {
    bool Enabled = false;
    int Low = 0;
    int High = 0;
};

// Everything Prepare passes to the library.  Addresses are passed through
// unchanged (the memory-mode input record, the file names, the chunks).
struct TGogoConfigInput {
    TEncodeMode EncodeMode = TEncodeMode::_FILE;
    uintptr_t MemoryInputRecord = 0;  // memory mode
    uintptr_t SourceFileName = 0;     // file mode, zero-terminated
    uintptr_t DestinationFileName = 0;
    bool UsePsyAnalize = false;
    int BitRate = 128;
    bool UseLPF = false;
    bool UseVBR = false;
    int VBRLevel = 5;
    TUseUnits Optimization;
    uint32_t UnitStates = 0;
    TEmphasis Emphasis = TEmphasis::_NO_EMPH;
    TEncodeType EncodeType = TEncodeType::_JOINT;
    int Processors = 1;
    bool ForceSameRate = false;
    uint32_t VersionCode = 0;
    TGogoRange ExtFilter, VBRBitrate, MSSetting;  // MSSetting: Low = Threshold, High = Power
    TEncodeFormat EncodeFormat = TEncodeFormat::_FORMAT_OF_MP3;
    struct Chunk {
        uintptr_t Size;
        uintptr_t Data;
    };
    std::vector<Chunk> Chunks;
};

struct TGogoSetCall {
    uint32_t Id;
    uintptr_t Param1;
    uintptr_t Param2;
    bool operator==(const TGogoSetCall&) const = default;
};

// Drops from `units` every element the processor lacks (per UnitStates).
TUseUnits SupportedUnits(TUseUnits units, uint32_t unitStates);

// The MPGE_setConfigure calls of Prepare, in order.
std::vector<TGogoSetCall> BuildGogoConfigure(const TGogoConfigInput& in);

}  // namespace wx
