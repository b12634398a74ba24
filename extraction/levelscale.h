// The arithmetic of the level meter: the decibel figures of its Max and
// BandWidth, the scale steps and colour zones, the bar length of a level and
// the fall of the peak marker.  Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <vector>

namespace wx {

struct TLevelScale {
    // Max is kept at 2 or more and BandWidth at 1 or more: a Max of 0 or 1
    // would divide by zero or by log10(1) = 0.
    std::int32_t Max = 32768;
    std::int32_t BandWidth = 45;
    bool Log = true;
    double MaxF = 32768, MaxDb = 0, Range = 45, FloorDb = 0;

    TLevelScale() { Recompute(); }
    void SetMax(std::int32_t v);
    void SetBandWidth(std::int32_t v);
    void Recompute();

    // Bar length in pixels (0..length) for a sample peak of any sign.
    int BarLength(std::int32_t value, int length) const;

    struct TStep {
        int Db;   // n of "-n dB"
        int Pos;  // pixels from the empty end of the scale
    };
    // Scale steps n = 3, 4, ... while Range > n, over a control of
    // controlLength pixels.
    std::vector<TStep> Steps(int controlLength) const;
    // Zone boundaries in pixels from the empty end: green up to GreenEnd,
    // yellow up to YellowEnd, red beyond.
    void Zones(int controlLength, int& greenEnd, int& yellowEnd) const;
};

// One tick of the peak marker: it falls by step^2 pixels, the step grows,
// and it vanishes (0) when it would go below the bar.
void DecayPeakStep(int& peakPos, int& decayStep, int barLength);

// Round half to even, as the meter's arithmetic rounds.
int RoundEven(double v);

}  // namespace wx
