#include "discinfo/xmcd.h"

#include <cstdio>

#include "discinfo/cddbtext.h"

namespace wx {

namespace {

// Index of a TTITLE/EXTT key (the leading digits after the key); false when
// it lies outside the record.
bool TrackIndex(const std::string& afterKey, std::size_t& index) {
    std::uint64_t v = 0;
    for (char c : afterKey) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v >= kCddbMaxTracks) return false;
    }
    index = static_cast<std::size_t>(v);
    return true;
}

// Appends the value of a "KEYn=value" line to the array entry n.
void AppendTrackValue(const std::string& line, std::size_t keyLength,
                      std::array<std::string, kCddbMaxTracks>& field, std::int32_t& trackCount) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return;
    std::size_t index = 0;
    if (!TrackIndex(line.substr(keyLength), index)) return;  // beyond the record: ignored
    if (static_cast<std::int32_t>(index) >= trackCount) trackCount = static_cast<std::int32_t>(index) + 1;
    field[index] += line.substr(eq + 1);
}

std::string After(const std::string& line, std::size_t from) {
    return from < line.size() ? line.substr(from) : std::string();
}

}  // namespace

void ParseXmcd(const std::vector<std::string>& lines, TCDDBDiscInfo& info, bool& discidSeen, bool utf8) {
    bool inOffsets = false;
    std::size_t offsetIndex = 0;
    for (const std::string& line : lines) {
        if (CddbStartsWith(line, "# Track frame offsets:")) {
            inOffsets = true;
        } else if (CddbStartsWith(line, "# Disc length:")) {
            inOffsets = false;
            info.DiscLength = ParseLeadingInt(CddbTrim(After(line, 14)));
        } else if (CddbStartsWith(line, "# Revision:")) {
            info.Revision = ParseLeadingInt(CddbTrim(After(line, 11)));
        } else if (CddbStartsWith(line, "# Submitted via:")) {
            info.SubmittedVia = After(line, 17);
        } else if (CddbStartsWith(line, "DISCID=")) {
            if (!info.DiscIds.empty()) info.DiscIds += ",";
            info.DiscIds += After(line, 7);
            discidSeen = true;
        } else if (CddbStartsWith(line, "DGENRE=")) {
            info.Genre = After(line, 7);
        } else if (CddbStartsWith(line, "DYEAR=")) {
            info.Year = After(line, 6);
        } else if (inOffsets) {
            const std::string rest = CddbTrimLeft(After(line, 1));
            if (!rest.empty()) {
                if (rest[0] < '0' || rest[0] > '9')
                    inOffsets = false;
                else if (offsetIndex < kCddbMaxTracks)
                    info.FrameOffsets[offsetIndex++] = ParseLeadingInt(rest);
            }
        }
        if (!discidSeen) continue;
        if (CddbStartsWith(line, "DTITLE="))
            info.Artist += After(line, 7);
        else if (CddbStartsWith(line, "PLAYORDER="))
            info.PlayOrder += After(line, 10);
        else if (CddbStartsWith(line, "TTITLE"))
            AppendTrackValue(line, 6, info.TrackTitles, info.TrackCount);
        else if (CddbStartsWith(line, "EXTD="))
            info.ExtendedData += After(line, 5);
        else if (CddbStartsWith(line, "EXTT"))
            AppendTrackValue(line, 4, info.ExtendedTrackData, info.TrackCount);
    }
    // Values split over several lines are whole now: their escapes can be
    // read.
    const bool sjis = !utf8;
    info.Artist = XmcdUnescape(info.Artist, sjis);
    info.ExtendedData = XmcdUnescape(info.ExtendedData, sjis);
    for (auto& t : info.TrackTitles) t = XmcdUnescape(t, sjis);
    for (auto& t : info.ExtendedTrackData) t = XmcdUnescape(t, sjis);
}

void SplitDiscTitle(TCDDBDiscInfo& info) {
    const auto slash = info.Artist.find('/');
    if (slash == std::string::npos) return;
    const std::string whole = info.Artist;
    info.Artist = CddbTrimRight(whole.substr(0, slash));
    info.Title = CddbTrim(whole.substr(slash + 1));
}

TDiscInfoSet ParseMatchLine(const std::string& line) {
    // "category discid title": the id is the 8 characters after the first
    // blank, the title the rest from the 9th character on (its blank kept).
    TDiscInfoSet set;
    const auto blank = line.find(' ');
    const std::size_t restStart = blank == std::string::npos ? 0 : blank + 1;
    if (blank != std::string::npos) set.Category = line.substr(0, blank);
    const std::string rest = line.substr(restStart);
    set.DiscId = rest.substr(0, 8);
    set.Title = After(rest, 8);
    return set;
}

namespace {

void AddValueLines(std::vector<std::string>& out, const std::string& key, const std::string& rawValue, bool mail,
                   TCddbTextConverter toUtf8, bool escaped = false) {
    std::string value = toUtf8 ? toUtf8(rawValue) : rawValue;
    if (escaped) value = XmcdEscape(value, toUtf8 == nullptr);
    const std::size_t piece = 75 - key.size();
    if (!mail || value.size() <= piece) {
        out.push_back(key + "=" + value);
        return;
    }
    for (std::size_t i = 0; i < value.size(); i += piece) out.push_back(key + "=" + value.substr(i, piece));
}

}  // namespace

std::vector<std::string> BuildSubmitLines(const TCDDBDiscInfo& info, bool mail, TCddbTextConverter toUtf8) {
    std::vector<std::string> out;
    const int count = info.TrackCount < 0 ? 0 : (info.TrackCount > kCddbMaxTracks ? kCddbMaxTracks : info.TrackCount);
    out.push_back("# xmcd CD database file");
    out.push_back("#");
    out.push_back("# Track frame offsets:");
    for (int i = 0; i < count; ++i) out.push_back("#\t" + std::to_string(info.FrameOffsets[i]));
    out.push_back("#");
    out.push_back("# Disc length: " + std::to_string(info.DiscLength) + " seconds");
    out.push_back("#");
    out.push_back("# Revision: " + std::to_string(info.Revision));
    out.push_back(std::string("# Submitted via: ") + kCddbClientName + " " + kCddbClientVersion);
    out.push_back("#");
    AddValueLines(out, "DISCID", info.DiscIds, mail, toUtf8);
    std::string dtitle;
    if (!info.Artist.empty() && !info.Title.empty())
        dtitle = info.Artist + " / " + info.Title;
    else
        dtitle = info.Artist.empty() ? info.Title : info.Artist;
    AddValueLines(out, "DTITLE", dtitle, mail, toUtf8, true);
    if (!info.Year.empty()) AddValueLines(out, "DYEAR", info.Year, mail, toUtf8);
    if (!info.Genre.empty()) AddValueLines(out, "DGENRE", info.Genre, mail, toUtf8);
    for (int i = 0; i < count; ++i) AddValueLines(out, "TTITLE" + std::to_string(i), info.TrackTitles[i], mail, toUtf8, true);
    AddValueLines(out, "EXTD", info.ExtendedData, mail, toUtf8, true);
    for (int i = 0; i < count; ++i)
        AddValueLines(out, "EXTT" + std::to_string(i), info.ExtendedTrackData[i], mail, toUtf8, true);
    out.push_back("PLAYORDER=");
    return out;
}

std::vector<std::string> BuildHttpSubmitHeaders(const TCDDBDiscInfo& info, const std::string& userEmail, bool utf8,
                                                const std::vector<std::string>& body) {
    std::size_t length = 0;
    for (const std::string& l : body) length += l.size() + 1;
    std::vector<std::string> out;
    out.push_back("Category: " + info.Category);
    out.push_back("Discid: " + info.DiscIds);
    out.push_back("User-Email: " + userEmail);
    out.push_back("Submit-Mode: submit");
    out.push_back(utf8 ? "Charset: UTF-8" : "Charset: ISO-8859-1");
    out.push_back(std::string("X-Cddbd-Note: Send by Wendrix - Questions: ") + kCddbContactMail);
    out.push_back("Content-Length: " + std::to_string(length));
    out.push_back("");
    return out;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    for (const std::string& l : lines) {
        if (std::fwrite(l.data(), 1, l.size(), f) != l.size() || std::fwrite("\r\n", 1, 2, f) != 2) {
            ok = false;
            break;
        }
    }
    // The flush is asked for on its own: a close that writes the buffered
    // rest may not report that it failed (a full disk).
    if (ok && std::fflush(f) != 0) ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

}  // namespace wx
