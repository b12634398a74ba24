#include "discinfo/discid.h"

#include <cstdio>

namespace wx {

int CDDBDigitSum(std::int32_t n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(n));
    int sum = 0;
    for (const char* p = buf; *p; ++p)
        if (*p >= '0' && *p <= '9') sum += *p - '0';
    return sum;
}

std::uint32_t CddbDiscId(const std::vector<std::int32_t>& trackStartFrames, std::int32_t leadOutFrame) {
    const std::size_t n = trackStartFrames.size();
    if (n == 0) return 0;
    // Seconds of minute:second, as minute * 60 + second of the MSF.
    auto seconds = [](std::int32_t frame) { return frame / 75; };
    std::uint32_t checksum = 0;
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t s = seconds(trackStartFrames[i]);
        const std::int32_t next = i + 1 < n ? seconds(trackStartFrames[i + 1]) : seconds(leadOutFrame);
        checksum += static_cast<std::uint32_t>(CDDBDigitSum(s));
        total += static_cast<std::uint32_t>(next) - static_cast<std::uint32_t>(s);
    }
    // Each part keeps to its own bits: a total beyond 16 bits (a lead-out
    // before the first track, a table no disc has) or more than 255 tracks
    // never spill into the part beside it.
    return ((checksum % 255u) << 24) | ((total & 0xFFFFu) << 8) | static_cast<std::uint32_t>(n & 0xFFu);
}

std::string CddbDiscIdText(std::uint32_t id) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(id));
    return buf;
}

}  // namespace wx
