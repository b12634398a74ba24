// The benchmark window's text report (put on the clipboard): its lines from
// the window's captions and values, the platform line from the system's
// version fields, and the padding of the caption column.
// Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace wx {

// The version fields the platform line is made of (OSVERSIONINFO).
struct TOsVersion {
    bool Known = false;          // the version query answered
    bool Nt = false;             // the NT platform; else Windows 9x
    std::uint32_t Major = 0, Minor = 0, Build = 0;
    std::string ServicePack;     // the service-pack text (NT)
};
// "Platform is " and the system: Windows95, Windows95 OSR2 (build above
// 1000), Windows98 (minor version not 0), Windows2000 (major 5) or
// WindowsNT major.minor; nothing after "Platform is " when not Known.
std::string PlatformLine(const TOsVersion& v);

// Text followed by blanks up to `width` bytes; a longer text unchanged.
std::string PadRight(const std::string& text, std::size_t width);

struct TBenchReport {
    std::string Platform;  // PlatformLine
    std::string Date;      // date and time in the system's short form
    std::string Drive;     // the selected drive's text
    // Caption and value: reading method, frames, API, size, inner area,
    // outer area.
    std::vector<std::pair<std::string, std::string>> Setup;
    // Heading, then its two caption and value pairs: normal reads, burst
    // reads.
    std::string NormalHeading, BurstHeading;
    std::pair<std::string, std::string> NormalInner, NormalOuter, BurstInner, BurstOuter;
};
// The report, lines ended by CR LF.
std::string BenchmarkReportText(const TBenchReport& r);

}  // namespace wx
