#include "output/gogoconfig.h"

#include <utility>

namespace wx {

TUseUnits SupportedUnits(TUseUnits units, uint32_t unitStates) {
    const std::pair<TUseUnit, uint32_t> needs[] = {
        {TUseUnit::_USE_MMX, kGogoUnitMMX},
        {TUseUnit::_USE_3DNOW, kGogoUnit3DNow},
        {TUseUnit::_USE_KNI, kGogoUnitSSE},
        {TUseUnit::_USE_EX_3DNOW, kGogoUnitExt3DNow},
    };
    for (const auto& [unit, bit] : needs)
        if (!(unitStates & bit)) units.Exclude(unit);
    return units;
}

std::vector<TGogoSetCall> BuildGogoConfigure(const TGogoConfigInput& in) {
    std::vector<TGogoSetCall> calls;
    auto set = [&](uint32_t id, uintptr_t p1, uintptr_t p2 = 0) { calls.push_back({id, p1, p2}); };

    if (in.EncodeMode == TEncodeMode::_MEMORY)
        set(kGogoSetInput, 2, in.MemoryInputRecord);
    else
        set(kGogoSetInput, 0, in.SourceFileName);
    set(kGogoSetOutput, 0, in.DestinationFileName);

    set(kGogoSetPsy, in.UsePsyAnalize ? 1 : 0);
    set(kGogoSetBitrate, static_cast<uintptr_t>(in.BitRate));
    set(kGogoSetLpf, in.UseLPF ? 1 : 0);
    if (in.UseVBR) set(kGogoSetVbrLevel, static_cast<uintptr_t>(in.VBRLevel));

    const TUseUnits units = SupportedUnits(in.Optimization, in.UnitStates);
    const TUseUnit order[] = {TUseUnit::_USE_MMX,      TUseUnit::_USE_3DNOW, TUseUnit::_USE_KNI,
                              TUseUnit::_USE_EX_3DNOW, TUseUnit::_USE_SPC1,  TUseUnit::_USE_SPC2};
    for (int i = 0; i < 6; ++i) set(kGogoSetUseMMX + static_cast<uint32_t>(i), units.Has(order[i]) ? 1 : 0);

    static const uintptr_t kEmphasis[] = {0, 1, 3};
    set(kGogoSetEmphasis, kEmphasis[static_cast<int>(in.Emphasis)]);
    set(kGogoSetMode, static_cast<uintptr_t>(in.EncodeType));

    set(kGogoSetProcessors, static_cast<uintptr_t>(in.Processors));
    if (in.ForceSameRate) set(kGogoSetOutFrequency, 44100);

    if (in.VersionCode >= 560) {
        if (in.ExtFilter.Enabled)
            set(kGogoSetFilter, static_cast<uintptr_t>(in.ExtFilter.Low), static_cast<uintptr_t>(in.ExtFilter.High));
        if (in.VBRBitrate.Enabled && in.UseVBR)
            set(kGogoSetVbrRange, static_cast<uintptr_t>(in.VBRBitrate.Low), static_cast<uintptr_t>(in.VBRBitrate.High));
        if (in.MSSetting.Enabled)
            set(kGogoSetMsSetting, static_cast<uintptr_t>(in.MSSetting.Low), static_cast<uintptr_t>(in.MSSetting.High));
    }
    if (in.VersionCode >= 550) {
        if (in.EncodeFormat == TEncodeFormat::_FORMAT_OF_MP3) {
            set(kGogoSetFormat, 0);
        } else {
            set(kGogoSetFormat, in.EncodeFormat == TEncodeFormat::_FORMAT_OF_RIFF_WAVE ? 1 : 2);
            for (const auto& c : in.Chunks) set(kGogoSetChunk, c.Size, c.Data);
        }
    }
    return calls;
}

}  // namespace wx
