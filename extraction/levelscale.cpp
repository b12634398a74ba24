#include "extraction/levelscale.h"

#include <cmath>
#include <cstdlib>

namespace wx {

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

void TLevelScale::SetMax(std::int32_t v) {
    v = v < 0 ? -v : v;
    Max = v < 2 ? 2 : v;
    Recompute();
}

void TLevelScale::SetBandWidth(std::int32_t v) {
    v = v < 0 ? -v : v;
    BandWidth = v < 1 ? 1 : v;
    Recompute();
}

void TLevelScale::Recompute() {
    MaxF = Max;
    MaxDb = 10.0 * std::log10(double(Max));
    Range = double(BandWidth) / MaxDb * MaxDb;
    FloorDb = MaxDb - BandWidth;
}

int TLevelScale::BarLength(std::int32_t value, int length) const {
    double a = std::fabs(double(value));
    if (a > MaxF) a = MaxF;
    const double r = a / MaxF;
    int d = 0;
    if (Log) {
        const double r2 = r * r;
        const double e = r2 > 0 ? 10.0 * std::log10(r2) + MaxDb : 0.0;
        d = (r2 <= 0 || e <= FloorDb) ? 0 : RoundEven((e - FloorDb) * length / Range);
    } else {
        d = r > 0 ? RoundEven(r * length) : 0;
    }
    if (d < 0) d = 0;
    if (d > length) d = length;
    return d;
}

std::vector<TLevelScale::TStep> TLevelScale::Steps(int controlLength) const {
    std::vector<TStep> out;
    for (int n = 3; Range > n; ++n)
        out.push_back({n, RoundEven((Range - n) * 100.0 / Range * (controlLength - 2) / 100.0)});
    return out;
}

void TLevelScale::Zones(int controlLength, int& greenEnd, int& yellowEnd) const {
    greenEnd = yellowEnd = controlLength - 2;
    bool greenSet = false, yellowSet = false;
    for (const TStep& s : Steps(controlLength)) {
        if (Log) {
            if (s.Db == 3) yellowEnd = s.Pos;
            if (s.Db == 6) greenEnd = s.Pos;
        } else {
            if (!greenSet && s.Db >= BandWidth / 3) {
                greenEnd = s.Pos;
                greenSet = true;
            }
            if (!greenSet && !yellowSet && s.Db >= BandWidth / 6) {
                yellowEnd = s.Pos;
                yellowSet = true;
            }
        }
    }
}

void DecayPeakStep(int& peakPos, int& decayStep, int barLength) {
    if (peakPos <= 0) return;
    peakPos -= RoundEven(double(decayStep) * decayStep);
    ++decayStep;
    if (peakPos < 0 || peakPos < barLength) peakPos = 0;
}

}  // namespace wx
