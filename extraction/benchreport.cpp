#include "extraction/benchreport.h"

#include <cstdio>

namespace wx {

std::string PlatformLine(const TOsVersion& v) {
    std::string line = "Platform is ";
    if (!v.Known) return line;
    char b[256];
    if (!v.Nt) {
        const unsigned build = v.Build & 0xFFFF;
        if (v.Minor != 0)
            std::snprintf(b, sizeof b, "Windows98 Build %u", build);
        else if (build > 1000)
            std::snprintf(b, sizeof b, "Windows95 OSR2 Build %u", build);
        else
            std::snprintf(b, sizeof b, "Windows95 Build %u", build);
    } else if (v.Major == 5) {
        std::snprintf(b, sizeof b, "Windows2000 Build %u (%s)", unsigned(v.Build), v.ServicePack.c_str());
    } else {
        std::snprintf(b, sizeof b, "WindowsNT %u.%u Build %u (%s)", unsigned(v.Major), unsigned(v.Minor),
                      unsigned(v.Build), v.ServicePack.c_str());
    }
    return line + b;
}

std::string PadRight(const std::string& text, std::size_t width) {
    if (text.size() >= width) return text;
    return text + std::string(width - text.size(), ' ');
}

std::string BenchmarkReportText(const TBenchReport& r) {
    const std::string nl = "\r\n";
    const std::string dashes(64, '-');
    std::string t = "Wendrix CD-DA Ripping Benchmark version 1.0" + nl;
    t += r.Platform + nl;
    t += "Test Date : " + r.Date + nl + nl;
    t += "Target Drive - " + r.Drive + nl;
    t += dashes + nl;
    for (const auto& [caption, value] : r.Setup) t += PadRight(caption, 26) + value + nl;
    t += nl;
    auto block = [&](const std::string& heading, const std::pair<std::string, std::string>& inner,
                     const std::pair<std::string, std::string>& outer) {
        t += heading + nl + dashes + nl;
        t += inner.first + "    " + inner.second + nl;
        t += outer.first + "    " + outer.second + nl + nl;
    };
    block(r.NormalHeading, r.NormalInner, r.NormalOuter);
    block(r.BurstHeading, r.BurstInner, r.BurstOuter);
    return t;
}

}  // namespace wx
