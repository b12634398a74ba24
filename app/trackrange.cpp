#include "app/trackrange.h"

#include <cstdlib>

#include "classlib/sjis.h"
#include "settings/inifile.h"

namespace wx {

TMsf MsfOfSectors(std::int32_t sectors) {
    TMsf m;
    m.Negative = sectors < 0;
    const std::int64_t v = std::llabs(std::int64_t(sectors));
    m.Minutes = std::int32_t(v / 4500);
    m.Seconds = std::int32_t(v % 4500 / 75);
    m.Frames = std::int32_t(v % 75);
    return m;
}

std::string MinutesText(const TMsf& m) { return (m.Negative ? "-" : "") + std::to_string(m.Minutes); }

TFieldCheck CheckMsfField(TMsfField field, const std::string& text) {
    std::int32_t v = 0;
    if (!ParseInt32(text, v)) return TFieldCheck::NotNumber;
    switch (field) {
    case TMsfField::Frames: return v < 0 || v >= 75 ? TFieldCheck::OutOfRange : TFieldCheck::Ok;
    case TMsfField::Seconds: return v < 0 || v > 59 ? TFieldCheck::OutOfRange : TFieldCheck::Ok;
    case TMsfField::Minutes: return v >= 80 ? TFieldCheck::OutOfRange : TFieldCheck::Ok;
    }
    return TFieldCheck::Ok;
}

bool PositionOfFields(const std::string& minutes, const std::string& seconds, const std::string& frames,
                      std::int32_t& sectors) {
    std::int32_t m = 0, s = 0, f = 0;
    if (!ParseInt32(minutes, m) || !ParseInt32(seconds, s) || !ParseInt32(frames, f)) return false;
    const std::int64_t v = std::int64_t(f) + std::llabs(std::int64_t(m)) * 4500 + std::int64_t(s) * 75;
    const std::int64_t signedV = !minutes.empty() && minutes[0] == '-' ? -v : v;
    if (signedV < INT32_MIN || signedV > INT32_MAX) return false;
    sectors = std::int32_t(signedV);
    return true;
}

bool IsReservedDeviceName(const std::string& name) {
    // The part before the first dot, without trailing blanks, decides.
    std::string base = name.substr(0, SjisFind(name, '.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = SjisUpperCase(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

}  // namespace wx
