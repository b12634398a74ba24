#include "extraction/ripplan.h"

#include <cstdio>

#include "classlib/sjis.h"

namespace wx {

bool IsRippableRange(const TTrackRecord& t) {
    if (!t.IsAudio) return false;
    const std::int64_t start = std::int64_t(t.StartLba) + t.RangeStart;
    const std::int64_t end = std::int64_t(t.StartLba) + t.RangeEnd + 1;
    return start >= 0 && end > start;
}

std::int32_t RangeSectors(const TTrackRecord& t) { return t.RangeEnd - t.RangeStart + 1; }

std::string OutputExtension(const TConfigStore& c) {
    if (c.IsUseGogoRMP()) return ".rmp";
    if (c.IsUseMP3() && !c.IsUseGogoWAVE()) return ".mp3";
    if (c.IsUseWMT()) return ".wma";
    if (c.IsUseVQF()) return ".vqf";
    return ".wav";
}

bool IsUseEmph(const TConfigStore& c, const TTrackRecord& t) {
    if (!t.PreEmphasis || !c.UseDeEmph.Checked) return false;
    if (c.IsUseMP3()) return !c.MP3DeEmph.Checked;
    return true;
}

std::string EmphasisSuffix(const TConfigStore& c, const TTrackRecord& t) {
    if (!t.PreEmphasis) return "";
    return IsUseEmph(c, t) ? "_DeEMPH" : "_EMPH";
}

std::pair<int, int> FindSameName(const std::vector<std::string>& names) {
    std::vector<std::string> folded;
    folded.reserve(names.size());
    for (const std::string& n : names) folded.push_back(SjisUpperCase(n));
    for (std::size_t i = 1; i < folded.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (folded[i] == folded[j]) return {int(j), int(i)};
    return {-1, -1};
}

TOutputName BuildOutputName(const TConfigStore& c, const std::string& folder, const TTrackRecord& t) {
    TOutputName n;
    const std::string base = StripTrailingBackslash(folder) + "\\" + TrimSpaces(t.FileStem) + EmphasisSuffix(c, t);
    n.Tagged = c.IsUseMP3() || c.IsUseWMT();
    if (c.IsUseL3Enc()) {
        n.Final = base + ".mp3";
        n.Written = IncludeTrailingBackslash(c.WEdit1.Text) + "wendri_pass0.wav";
        n.Tagged = true;
    } else {
        n.Final = n.Written = base + OutputExtension(c);
    }
    return n;
}

TCellCheck CheckCells(const TTrackTable& table, int rows, const TRowSelected& selected) {
    TCellCheck r;
    bool counted = false;
    for (int i = 1; i <= table.TrackCount && i <= rows && i < LeadOutSlot; ++i) {
        const TTrackRecord& t = table.Slots[i];
        if (!t.IsAudio || t.RangeStart >= t.RangeEnd || !selected(i - 1)) continue;
        if (t.FileStem.empty()) {
            r.MissingNameTrack = i;
            return r;
        }
        counted = true;
    }
    r.Ok = counted;
    return r;
}

std::int64_t GetAllTrackFrames(const TTrackTable& table, int rows, const TRowSelected& selected) {
    std::int64_t sum = 0;
    for (int i = 1; i <= table.TrackCount && i <= rows && i < LeadOutSlot; ++i) {
        const TTrackRecord& t = table.Slots[i];
        if (selected(i - 1) && IsRippableRange(t)) sum += RangeSectors(t);
    }
    return sum;
}

int GetRemainTrack(int rows, int current, const TRowSelected& selected) {
    int n = 0;
    for (int row = 0; row < rows; ++row)
        if (row + 1 >= current && selected(row)) ++n;
    return n;
}

namespace {
// The file part of a path: what follows the last backslash, slash or colon
// (whole characters only).
std::string FilePart(const std::string& s) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); i += SjisCharLength(s, i)) {
        const char c = s[i];
        if (c == '\\' || c == '/' || c == ':') start = i + 1;
    }
    return s.substr(start);
}
}  // namespace

std::string StemFromTypedName(const std::string& name) { return SjisCut(FilePart(TrimSpaces(name)), 255); }

std::string NumberedStem(const std::string& base, int track) {
    char num[16];
    std::snprintf(num, sizeof num, "_%.02d", track);
    return SjisCut(base, 255 - 3) + num;
}

std::string BaseNameFromText(const std::string& text) {
    std::string f = FilePart(TrimSpaces(text));
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < f.size(); i += SjisCharLength(f, i))
        if (f[i] == '.') dot = i;
    if (dot != std::string::npos) f.erase(dot);
    return f;
}

std::vector<int> ApplyNameList(const std::vector<std::string>& lines, TTrackTable& table,
                               const std::function<void(const std::string&)>& invalid) {
    std::vector<int> changed;
    int track = 1;
    for (std::string line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!IsValidFileName(line)) {
            if (invalid) invalid(line);
            continue;
        }
        if (track > table.TrackCount || track >= LeadOutSlot) continue;
        if (table.Slots[track].IsAudio) {
            table.Slots[track].FileStem = SjisCut(line, 255);
            changed.push_back(track);
        }
        ++track;
    }
    return changed;
}

std::string MakeTempFileName(const std::string& folder, const std::string& ext,
                             const std::function<bool(const std::string&)>& exists) {
    const std::string dir = StripTrailingBackslash(folder);
    for (int n = 1; n <= 999; ++n) {
        std::string name = dir + "\\TMP" + std::to_string(n) + ext;
        if (!exists(name)) return name;
    }
    return "";
}

int GetTrackNum(const TTrackTable& table, std::int32_t lba) {
    if (table.TrackCount <= 0 || lba < 0) return -1;
    const int last = table.TrackCount < LeadOutSlot ? table.TrackCount : LeadOutSlot - 1;
    for (int t = last; t >= 1; --t)
        if (table.Slots[t].StartLba <= lba) return t;
    return -1;
}

std::uint32_t MediaIdentity(const TTrackTable& table) {
    const int count = table.TrackCount < LeadOutSlot ? table.TrackCount : LeadOutSlot - 1;
    bool audio = false;
    for (int t = 1; t <= count; ++t) audio = audio || table.Slots[t].IsAudio;
    if (count <= 0 || !audio) return 0;
    auto frames = [](const TTrackRecord& r) {
        return std::uint32_t(r.StartMinute) * 4500 + std::uint32_t(r.StartSecond) * 75 + r.StartFrame;
    };
    std::uint32_t id = 0;
    for (int t = 1; t <= count; ++t) {
        const TTrackRecord& r = table.Slots[t];
        id += (std::uint32_t(r.StartMinute) << 16) | (std::uint32_t(r.StartSecond) << 8) | r.StartFrame;
    }
    if (count < 3) id += frames(table.Slots[LeadOutSlot]) - frames(table.Slots[1]);
    return id;
}

int ChooseVolumeDrive(const std::vector<int>& cdDrives, int driveIndex) {
    if (cdDrives.empty()) return -1;
    for (int d : cdDrives)
        if (d == driveIndex) return d;
    return cdDrives.front();
}

void SplitMsf(std::int64_t sectors, int& m, int& s, int& f) {
    if (sectors < 0) sectors = 0;
    m = int(sectors / 4500);
    s = int(sectors % 4500 / 75);
    f = int(sectors % 75);
}

TBenchFigures BenchmarkFigures(std::int32_t reads, std::int32_t sectorsPerRead, std::int32_t innerLba,
                               std::int32_t outerLba, const std::int32_t ms[4], const std::int32_t errors[4]) {
    TBenchFigures b;
    b.Sectors = std::uint32_t(reads) * std::uint32_t(sectorsPerRead);
    b.Bytes = b.Sectors * 2352u;
    for (int i = 0; i < 4; ++i) {
        b.Rate[i] = BenchRate(b.Bytes, ms[i]);
        b.Errors[i] = errors[i];
    }
    b.InnerFirst = innerLba;
    b.InnerLast = innerLba + std::int32_t(b.Sectors) - 1;
    b.OuterFirst = outerLba;
    b.OuterLast = outerLba + std::int32_t(b.Sectors) - 1;
    return b;
}

int SelectNextTrackRow(const TTrackListState& s, int& current) {
    const int n = static_cast<int>(s.Audio.size());
    if (n == 0) return -1;
    auto selected = [&](int i) { return i < static_cast<int>(s.Selected.size()) && s.Selected[i]; };
    if (s.Focused >= 0 && s.Focused < n && s.Focused != current) current = s.Focused;
    if (current < 0 || current >= n) {
        int first = -1;
        for (int i = 0; i < n && first < 0; ++i)
            if (selected(i)) first = i;
        if (first < 0) first = s.Focused;
        current = -1;
        if (first >= 0)
            for (int i = first; i < n; ++i)
                if (selected(i) && s.Audio[i]) current = i;
    }
    if (current == -1) {
        current = 0;
    } else {
        int i = current + 1;
        while (i < n && !s.Audio[i]) ++i;
        if (i >= n) {
            i = n - 1;
            while (i > 0 && !s.Audio[i]) --i;
        }
        current = i;
    }
    return current;
}

void TLevelRing::Clear() { *this = TLevelRing(); }

void TLevelRing::Put(std::uint32_t left, std::uint32_t right, bool nt) {
    if (left == 0xFFFE && right == 0xFFFE) {
        WriteIndex = 1;
        ReadIndex = 0;
        Left[0] = Right[0] = 0;
    } else if (left == 0xFFFD && right == 0xFFFD) {
        DelayCounter = 0;
    } else if (ReadIndex == (WriteIndex + 1) % 16) {
        ReadIndex = (ReadIndex + (nt ? 1 : 5)) % 16;
    }
    Left[WriteIndex] = left;
    Right[WriteIndex] = right;
    WriteIndex = (WriteIndex + 1) % 16;
}

int SpeedRestoreValue(bool bySetCdSpeed, int savedSpeed) {
    if (bySetCdSpeed) return -1;
    if (savedSpeed < 0) return NoSpeedRestore;
    return 0xFF00 + (savedSpeed & 0xFF);
}

std::uint32_t ElapsedSeconds(std::uint32_t startTick, std::uint32_t nowTick) {
    return ((nowTick - startTick + 1) & 0x7FFFFFFFu) / 1000;
}

double SpeedRatio(std::uint32_t audioSeconds, std::uint32_t elapsedSeconds) {
    return double(audioSeconds) / double(elapsedSeconds == 0 ? 1 : elapsedSeconds);
}

double BenchRate(std::uint32_t bytes, std::int32_t ms) {
    if (ms < 1) return -1.0;
    return double(bytes) / (double(ms) / 1000.0);
}

}  // namespace wx
