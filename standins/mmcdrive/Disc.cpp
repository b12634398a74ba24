#include "standins/mmcdrive/Disc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "standins/mmcdrive/IniFile.h"

namespace fs = std::filesystem;

namespace wx::emu {

std::uint16_t Crc16(const std::uint8_t* p, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= std::uint16_t(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? std::uint16_t((crc << 1) ^ 0x1021) : std::uint16_t(crc << 1);
    }
    return crc;
}

void LbaToMsf(std::int32_t lba, std::uint8_t& m, std::uint8_t& s, std::uint8_t& f) {
    std::int32_t a = lba + 150;
    if (a < 0) a = 0;
    m = std::uint8_t(std::min<std::int32_t>(a / 4500, 255));
    s = std::uint8_t((a / 75) % 60);
    f = std::uint8_t(a % 75);
}

namespace {

// Splits a CUE line into words; a quoted string is one word.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') w += line[i++];
            ++i;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
        }
        out.push_back(w);
    }
    return out;
}

bool ParseMsf(const std::string& s, std::int32_t& frames) {
    int m, sec, f;
    char c1, c2;
    std::istringstream in(s);
    if (!(in >> m >> c1 >> sec >> c2 >> f) || c1 != ':' || c2 != ':' || m < 0 || sec < 0 || sec > 59 || f < 0 ||
        f > 74)
        return false;
    frames = m * 4500 + sec * 75 + f;
    return true;
}

std::string Upper(std::string s) {
    for (auto& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct CueTrack {
    int number = 0;
    int file = -1;
    bool audio = true;
    int sectorSize = SECTOR_RAW;
    std::uint8_t control = 0;
    std::int32_t pregap = 0, postgap = 0;
    std::int32_t index0 = -1, index1 = -1;
    std::string text[kCdTextFieldCount];
};

int TextField(const std::string& keyword) {
    static const char* names[] = {"TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER", "MESSAGE"};
    for (int i = 0; i < kCdTextFieldCount; ++i)
        if (keyword == names[i]) return i;
    return -1;
}

}  // namespace

std::unique_ptr<Disc> Disc::LoadCue(const std::string& cuePath, const std::vector<int>& sessionStarts,
                                    std::string& error) {
    std::ifstream in(cuePath, std::ios::binary);
    if (!in) {
        error = "cannot open " + cuePath;
        return nullptr;
    }
    fs::path dir = fs::path(cuePath).parent_path();
    auto disc = std::unique_ptr<Disc>(new Disc);
    std::vector<CueTrack> tracks;
    std::string cdTextFile;
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        error = cuePath + ":" + std::to_string(lineNo) + ": " + what;
        return nullptr;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto w = Words(line);
        if (w.empty()) continue;
        std::string key = Upper(w[0]);
        if (key == "REM" || key == "CATALOG" || key == "ISRC" || key == "SONGWRITER_ID") continue;
        if (key == "FILE") {
            if (w.size() < 3) return fail("FILE needs a name and a type");
            ImageFile f;
            f.path = (dir / w[1]).string();
            std::string type = Upper(w[2]);
            std::error_code ec;
            auto size = fs::file_size(f.path, ec);
            if (ec) return fail("cannot read " + f.path);
            f.size = std::int64_t(size);
            f.stream = std::make_unique<std::ifstream>(f.path, std::ios::binary);
            if (!*f.stream) return fail("cannot open " + f.path);
            if (type == "MOTOROLA") {
                f.bigEndian = true;
            } else if (type == "WAVE") {
                // Find the "data" chunk of the RIFF file.
                std::uint8_t hdr[12];
                f.stream->read(reinterpret_cast<char*>(hdr), 12);
                if (!*f.stream || std::memcmp(hdr, "RIFF", 4) != 0 || std::memcmp(hdr + 8, "WAVE", 4) != 0)
                    return fail("not a RIFF WAVE file: " + f.path);
                std::int64_t pos = 12;
                bool found = false;
                while (pos + 8 <= f.size) {
                    std::uint8_t ch[8];
                    f.stream->seekg(pos);
                    f.stream->read(reinterpret_cast<char*>(ch), 8);
                    if (!*f.stream) break;
                    std::uint32_t len = ch[4] | (ch[5] << 8) | (ch[6] << 16) | (std::uint32_t(ch[7]) << 24);
                    if (std::memcmp(ch, "data", 4) == 0) {
                        f.dataOffset = pos + 8;
                        f.size = std::min<std::int64_t>(len, f.size - f.dataOffset);
                        found = true;
                        break;
                    }
                    pos += 8 + len + (len & 1);
                }
                if (!found) return fail("no data chunk in " + f.path);
                f.stream->clear();
            } else if (type != "BINARY") {
                return fail("unsupported file type " + type);
            }
            disc->files_.push_back(std::move(f));
        } else if (key == "TRACK") {
            if (disc->files_.empty()) return fail("TRACK before FILE");
            if (w.size() < 3) return fail("TRACK needs a number and a type");
            CueTrack t;
            long n;
            if (!ParseNumber(w[1], n) || n < 1 || n > 99) return fail("bad track number");
            if (!tracks.empty() && n != tracks.back().number + 1) return fail("track numbers must ascend by one");
            t.number = int(n);
            t.file = int(disc->files_.size()) - 1;
            std::string type = Upper(w[2]);
            if (type == "AUDIO") {
                t.audio = true;
            } else if (type == "MODE1/2352" || type == "MODE2/2352") {
                t.audio = false;
                t.control = CTL_DATA;
            } else if (type == "MODE1/2048") {
                t.audio = false;
                t.control = CTL_DATA;
                t.sectorSize = 2048;
            } else {
                return fail("unsupported track type " + type);
            }
            tracks.push_back(t);
        } else if (key == "FLAGS") {
            if (tracks.empty()) return fail("FLAGS outside a track");
            for (std::size_t i = 1; i < w.size(); ++i) {
                std::string f = Upper(w[i]);
                if (f == "PRE") tracks.back().control |= CTL_PREEMPHASIS;
                else if (f == "DCP") tracks.back().control |= CTL_COPY_PERMITTED;
                else if (f == "4CH") tracks.back().control |= CTL_FOUR_CHANNEL;
            }
        } else if (key == "PREGAP" || key == "POSTGAP") {
            if (tracks.empty() || w.size() < 2) return fail(key + " outside a track");
            std::int32_t v;
            if (!ParseMsf(w[1], v)) return fail("bad time " + w[1]);
            (key == "PREGAP" ? tracks.back().pregap : tracks.back().postgap) = v;
        } else if (key == "INDEX") {
            if (tracks.empty() || w.size() < 3) return fail("INDEX outside a track");
            long n;
            std::int32_t v;
            if (!ParseNumber(w[1], n) || !ParseMsf(w[2], v)) return fail("bad INDEX");
            if (tracks.back().file != int(disc->files_.size()) - 1) {
                // A track that continues into a new FILE: its index points
                // into that file.
                tracks.back().file = int(disc->files_.size()) - 1;
            }
            if (n == 0) tracks.back().index0 = v;
            else if (n == 1) tracks.back().index1 = v;
        } else if (key == "CDTEXTFILE") {
            if (w.size() < 2) return fail("CDTEXTFILE needs a name");
            cdTextFile = (dir / w[1]).string();
        } else if (int f = TextField(key); f >= 0) {
            if (w.size() < 2) continue;
            if (tracks.empty()) disc->discText_[f] = w[1];
            else tracks.back().text[f] = w[1];
        } else {
            return fail("unknown keyword " + w[0]);
        }
    }
    if (tracks.empty()) {
        error = cuePath + ": no tracks";
        return nullptr;
    }
    for (auto& t : tracks)
        if (t.index1 < 0) {
            error = cuePath + ": track " + std::to_string(t.number) + " has no INDEX 01";
            return nullptr;
        }

    // Lay the tracks out on the disc.
    std::int32_t lba = 0;
    int session = 1;
    SessionInfo cur;
    cur.number = 1;
    cur.firstTrack = tracks.front().number;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        CueTrack& t = tracks[i];
        ImageFile& file = disc->files_[t.file];
        if (i > 0 && std::find(sessionStarts.begin(), sessionStarts.end(), t.number) != sessionStarts.end()) {
            cur.lastTrack = tracks[i - 1].number;
            cur.leadOutLba = lba;
            disc->sessions_.push_back(cur);
            std::int32_t gap = session == 1 ? FIRST_SESSION_GAP : LATER_SESSION_GAP;
            disc->extents_.push_back({Extent::Unreadable, lba, gap, -1, 0, SECTOR_RAW, false, false});
            lba += gap;
            ++session;
            cur = SessionInfo{};
            cur.number = session;
            cur.firstTrack = t.number;
        }
        if (t.pregap > 0) {
            disc->extents_.push_back({Extent::Silence, lba, t.pregap, -1, 0, SECTOR_RAW, t.audio, false});
            lba += t.pregap;
        }
        // The part of the file that belongs to this track: from its first
        // index up to the next track's first index in the same file, or to
        // the end of the file.
        std::int32_t from = t.index0 >= 0 ? t.index0 : t.index1;
        std::int64_t fileSectors = (file.size) / t.sectorSize;
        std::int32_t to = std::int32_t(fileSectors);
        if (i + 1 < tracks.size() && tracks[i + 1].file == t.file) {
            const CueTrack& n = tracks[i + 1];
            to = n.index0 >= 0 ? n.index0 : n.index1;
        }
        if (from > to || t.index1 > to || t.index1 < from) {
            error = cuePath + ": track " + std::to_string(t.number) + " lies outside its file";
            return nullptr;
        }
        TrackInfo info;
        info.number = t.number;
        info.session = session;
        info.control = t.control;
        info.audio = t.audio;
        for (int f = 0; f < kCdTextFieldCount; ++f) info.text[f] = t.text[f];
        info.startLba = lba + (t.index1 - from);
        if (to > from)
            disc->extents_.push_back({Extent::File, lba, to - from, t.file,
                                      file.dataOffset + std::int64_t(from) * t.sectorSize, t.sectorSize, t.audio,
                                      file.bigEndian});
        lba += to - from;
        if (t.postgap > 0) {
            disc->extents_.push_back({Extent::Silence, lba, t.postgap, -1, 0, SECTOR_RAW, t.audio, false});
            lba += t.postgap;
        }
        disc->tracks_.push_back(info);
    }
    cur.lastTrack = tracks.back().number;
    cur.leadOutLba = lba;
    disc->sessions_.push_back(cur);
    for (std::size_t i = 0; i < disc->tracks_.size(); ++i) {
        auto& t = disc->tracks_[i];
        if (i + 1 < disc->tracks_.size() && disc->tracks_[i + 1].session == t.session) {
            // Up to the next track's start (its pregap belongs to it on the
            // disc, but a drive counts it toward this track).
            t.endLba = disc->tracks_[i + 1].startLba;
        } else {
            t.endLba = disc->sessions_[t.session - 1].leadOutLba;
        }
        if (t.endLba <= t.startLba) {
            error = cuePath + ": track " + std::to_string(t.number) + " is empty";
            return nullptr;
        }
    }

    if (!cdTextFile.empty()) {
        std::ifstream ct(cdTextFile, std::ios::binary);
        if (!ct) {
            error = "cannot open " + cdTextFile;
            return nullptr;
        }
        std::vector<std::uint8_t> raw((std::istreambuf_iterator<char>(ct)), std::istreambuf_iterator<char>());
        std::size_t skip = (raw.size() % 18 == 4 || raw.size() % 18 == 5) ? 4 : 0;  // optional size header
        std::size_t n = (raw.size() - skip) / 18 * 18;
        disc->cdText_.assign(raw.begin() + std::ptrdiff_t(skip), raw.begin() + std::ptrdiff_t(skip + n));
        disc->cdTextFromFile_ = true;
    } else {
        disc->BuildCdText();
    }
    return disc;
}

void Disc::BuildCdText() {
    if (cdTextFromFile_) return;
    cdText_.clear();
    std::vector<std::array<std::uint8_t, 18>> packs;
    int packCount[16] = {};
    int first = FirstTrack(), last = LastTrack();
    for (int f = 0; f < kCdTextFieldCount; ++f) {
        bool any = !discText_[f].empty();
        for (auto& t : tracks_) any = any || !t.text[f].empty();
        if (!any) continue;
        // The text stream: disc, then each track, each ended by a zero.
        std::vector<std::uint8_t> stream;
        std::vector<std::pair<int, int>> owner;  // track, position in its string
        auto add = [&](int track, const std::string& s) {
            for (std::size_t i = 0; i <= s.size(); ++i) {
                stream.push_back(i < s.size() ? std::uint8_t(s[i]) : 0);
                owner.push_back({track, int(i)});
            }
        };
        add(0, discText_[f]);
        for (auto& t : tracks_) add(t.number, t.text[f]);
        for (std::size_t at = 0; at < stream.size(); at += 12) {
            std::array<std::uint8_t, 18> p{};
            p[0] = std::uint8_t(0x80 + f);
            p[1] = std::uint8_t(owner[at].first);
            p[3] = std::uint8_t(std::min(owner[at].second, 15));
            for (std::size_t k = 0; k < 12 && at + k < stream.size(); ++k) p[4 + k] = stream[at + k];
            packs.push_back(p);
            ++packCount[f];
        }
    }
    if (packs.empty()) return;
    packCount[15] = 3;
    std::uint8_t info[36] = {};
    info[0] = 0x00;  // ISO-8859-1
    info[1] = std::uint8_t(first);
    info[2] = std::uint8_t(last);
    for (int i = 0; i < 16; ++i) info[4 + i] = std::uint8_t(packCount[i]);
    info[20] = std::uint8_t(packs.size() + 3 - 1);  // last sequence number of block 0
    info[28] = cdTextLanguage;
    for (int k = 0; k < 3; ++k) {
        std::array<std::uint8_t, 18> p{};
        p[0] = 0x8F;
        p[1] = std::uint8_t(k);
        std::memcpy(p.data() + 4, info + 12 * k, 12);
        packs.push_back(p);
    }
    for (std::size_t i = 0; i < packs.size(); ++i) {
        auto& p = packs[i];
        p[2] = std::uint8_t(i);
        std::uint16_t crc = std::uint16_t(~Crc16(p.data(), 16));
        p[16] = std::uint8_t(crc >> 8);
        p[17] = std::uint8_t(crc);
        cdText_.insert(cdText_.end(), p.begin(), p.end());
    }
}

const Disc::Extent* Disc::ExtentAt(std::int32_t lba) const {
    for (auto& e : extents_)
        if (lba >= e.lba && lba < e.lba + e.count) return &e;
    return nullptr;
}

const TrackInfo* Disc::TrackAt(std::int32_t lba) const {
    const TrackInfo* found = nullptr;
    for (auto& t : tracks_)
        if (lba >= t.startLba && lba < t.endLba) found = &t;
    if (!found) {
        // A pregap sector belongs to the track that follows it.
        for (auto& t : tracks_)
            if (lba < t.startLba) return ExtentAt(lba) && ExtentAt(lba)->kind != Extent::Unreadable ? &t : nullptr;
    }
    return found;
}

const TrackInfo* Disc::TrackByNumber(int number) const {
    for (auto& t : tracks_)
        if (t.number == number) return &t;
    return nullptr;
}

bool Disc::IsAudio(std::int32_t lba) const {
    const Extent* e = ExtentAt(lba);
    return e && e->kind != Extent::Unreadable && e->audio;
}

ReadStatus Disc::Probe(std::int32_t lba) const {
    if (lba < 0 || lba >= LeadOut()) return ReadStatus::OutOfRange;
    const Extent* e = ExtentAt(lba);
    return !e || e->kind == Extent::Unreadable ? ReadStatus::Unreadable : ReadStatus::Ok;
}

ReadStatus Disc::ReadRaw(std::int32_t lba, std::uint8_t* out) const {
    if (lba < 0 || lba >= LeadOut()) return ReadStatus::OutOfRange;
    const Extent* e = ExtentAt(lba);
    if (!e || e->kind == Extent::Unreadable) return ReadStatus::Unreadable;
    std::memset(out, 0, SECTOR_RAW);
    std::uint8_t* user = out;
    if (!e->audio) {
        // Sync pattern and header of a mode 1 sector.
        std::memset(out + 1, 0xFF, 10);
        std::uint8_t m, s, f;
        LbaToMsf(lba, m, s, f);
        out[12] = ToBcd(m);
        out[13] = ToBcd(s);
        out[14] = ToBcd(f);
        out[15] = 1;
        user = out + 16;
    }
    if (e->kind == Extent::Silence) return ReadStatus::Ok;
    std::lock_guard<std::mutex> lock(fileLock_);
    ImageFile& file = files_[e->file];
    if (e->sectorSize == SECTOR_RAW) {
        file.stream->clear();
        file.stream->seekg(e->fileOffset + std::int64_t(lba - e->lba) * SECTOR_RAW);
        file.stream->read(reinterpret_cast<char*>(out), SECTOR_RAW);
        if (e->bigEndian && e->audio)
            for (int i = 0; i + 1 < SECTOR_RAW; i += 2) std::swap(out[i], out[i + 1]);
    } else {
        file.stream->clear();
        file.stream->seekg(e->fileOffset + std::int64_t(lba - e->lba) * e->sectorSize);
        file.stream->read(reinterpret_cast<char*>(user), e->sectorSize);
    }
    return ReadStatus::Ok;
}

ReadStatus Disc::ReadUser(std::int32_t lba, std::uint8_t* out) const {
    std::uint8_t raw[SECTOR_RAW];
    ReadStatus st = ReadRaw(lba, raw);
    if (st != ReadStatus::Ok) return st;
    std::memcpy(out, raw + 16, 2048);
    return st;
}

}  // namespace wx::emu
