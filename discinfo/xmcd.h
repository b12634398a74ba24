// The CDDB disc record, the xmcd reader and the two submission writers.
// Portable: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wx {

// Indexes of the track arrays run 0..100: a record describes at most 101
// tracks.
inline constexpr int kCddbMaxTracks = 101;

// One disc as read from a server or as it will be submitted.  Strings are
// Shift-JIS, or UTF-8 as received from a level-6 server.
struct TCDDBDiscInfo {
    std::string Artist;  // the whole DTITLE while reading, then the part before "/"
    std::string Title;
    std::string ExtendedData;  // EXTD
    std::int32_t DiscLength = 0;  // seconds
    std::array<std::string, kCddbMaxTracks> TrackTitles;
    std::array<std::string, kCddbMaxTracks> ExtendedTrackData;
    std::array<std::int32_t, kCddbMaxTracks> FrameOffsets{};
    std::string DiscIds;  // DISCID values joined by ","
    std::int32_t Revision = 0;
    std::int32_t TrackCount = 0;
    std::string Category;
    std::string SubmittedVia;
    std::string PlayOrder;
    std::string Year;   // DYEAR
    std::string Genre;  // DGENRE

    bool operator==(const TCDDBDiscInfo&) const = default;
};

// One match line of a 210 or 211 query reply.
struct TDiscInfoSet {
    std::string Category;
    std::string DiscId;
    std::string Title;
};

// Reads the lines (without line ends) of an xmcd record into info.
// discidSeen is the caller's DISCID-seen switch: record lines before the
// first DISCID line are ignored.  The escapes \n, \t and \\ of the text
// values are decoded (utf8: the values are UTF-8, else Shift-JIS).
void ParseXmcd(const std::vector<std::string>& lines, TCDDBDiscInfo& info, bool& discidSeen, bool utf8 = false);

// Splits the DTITLE held in Artist at its first "/" into artist and title.
void SplitDiscTitle(TCDDBDiscInfo& info);

// A match line "category discid title" of a 210/211 reply.
TDiscInfoSet ParseMatchLine(const std::string& line);

// Converts a Shift-JIS (system code page) text for a UTF-8 submission.
using TCddbTextConverter = std::string (*)(const std::string&);

// The xmcd lines of a submission.  mail: KEY=value lines longer than 76
// bytes are cut into several lines of the same key; otherwise each value is
// one line.  Line breaks, tabs and backslashes in the text values are
// written as the escapes \n, \t and \\.  toUtf8, when given, converts every value first.
std::vector<std::string> BuildSubmitLines(const TCDDBDiscInfo& info, bool mail, TCddbTextConverter toUtf8);

// The header lines (and the empty line) of an HTTP submission ahead of the
// given body lines.
std::vector<std::string> BuildHttpSubmitHeaders(const TCDDBDiscInfo& info, const std::string& userEmail,
                                                bool utf8, const std::vector<std::string>& body);

// Contact address put into the note header of every submission.
inline constexpr char kCddbContactMail[] = "wendrix-support@wendrix.example";

// Writes lines as a text file (CR LF line ends); false when the file cannot
// be created or written, and a file that failed half-way is removed.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace wx
