#include "extraction/TrackTable.h"

#include <algorithm>
#include <cstdio>

#include "classlib/sjis.h"

namespace wx {

namespace {

const char kAri[] = "\x82\xA0\x82\xE8";    // あり
const char kNashi[] = "\x82\xC8\x82\xB5";  // なし
const char kKyoka[] = "\x8B\x96\x89\xC2";  // 許可
const char kKinshi[] = "\x8B\xD6\x8E\x7E";  // 禁止

// Bytes of an answer that the drive actually returned: its length field
// plus the two bytes of that field, never more than the buffer.
std::size_t AnswerBytes(const std::uint8_t* a, std::size_t bufferBytes) {
    if (bufferBytes < 4) return 0;
    return std::min<std::size_t>(GetBE16(a) + 2u, bufferBytes);
}

std::uint8_t FromBcd(std::uint8_t v) { return std::uint8_t((v >> 4) * 10 + (v & 0x0F)); }

// Addresses a disc can have: 00:00:00 to 99:59:74 as time.
constexpr std::int32_t kFirstLba = -150;
constexpr std::int32_t kLastLba = 99 * 4500 + 59 * 75 + 74 - 150;

void FillSlot(TTrackRecord& r, const std::uint8_t* dl, const std::uint8_t* dm) {
    std::uint8_t ctl = dl[1] & 0x0F;
    r = TTrackRecord{};
    r.StartLba = std::int32_t(GetBE32(dl + 4));
    // The time of the MSF answer is taken when it is the LBA's own; a time
    // that is not (a drive answering in another notation, a broken answer)
    // is made from the LBA, which is what the rip reads by.
    if (dm && (dm[6] >= 60 || dm[7] >= 75 || dm[5] * 4500 + dm[6] * 75 + dm[7] != std::int64_t{r.StartLba} + 150))
        dm = nullptr;
    if (dm) {
        r.StartMinute = dm[5];
        r.StartSecond = dm[6];
        r.StartFrame = dm[7];
    } else {
        const std::int64_t a = std::max<std::int64_t>(std::int64_t{r.StartLba} + 150, 0);
        r.StartMinute = std::uint8_t(std::min<std::int64_t>(a / 4500, 255));
        r.StartSecond = std::uint8_t(a / 75 % 60);
        r.StartFrame = std::uint8_t(a % 75);
    }
    r.IsAudio = (ctl & 0x04) == 0;
    r.PreEmphasis = (ctl & 0x01) != 0;
    r.CopyPermitted = (ctl & 0x02) != 0;
}

bool Check(const std::vector<TFullTocEntry>& entries, const TSessionRecord* sessions, const TTrackTable& t) {
    int slot = 1;
    bool mismatch = false;
    for (int s = t.FirstSession; s <= t.LastSession && s < 256; ++s) {
        for (int tr = sessions[s].FirstTrack; tr <= sessions[s].LastTrack; ++tr) {
            const TFullTocEntry* found = nullptr;
            for (auto& e : entries)
                if (e.Session == s && e.Point == tr && (e.AdrControl >> 4) == 1) {
                    found = &e;
                    break;
                }
            if (slot >= LeadOutSlot || !found) {
                mismatch = true;
                break;
            }
            const TTrackRecord& r = t.Slots[slot];
            if (found->PMin != r.StartMinute || found->PSec != r.StartSecond || found->PFrame != r.StartFrame) {
                mismatch = true;
                break;
            }
            ++slot;
        }
    }
    return !mismatch;
}

}  // namespace

bool ParseToc(const std::uint8_t* lba, std::size_t lbaBytes, const std::uint8_t* msf, std::size_t msfBytes,
              TTrackTable& table) {
    table.TrackCount = 0;
    table.PreEmphasisSeen = false;
    const std::size_t nl = AnswerBytes(lba, lbaBytes);
    const std::size_t nm = msf ? AnswerBytes(msf, msfBytes) : 0;
    if (nl < 4) return false;
    const std::size_t descL = (nl - 4) / 8;
    const std::size_t descM = nm >= 4 ? (nm - 4) / 8 : 0;
    int slot = 0;
    bool leadOut = false;
    for (std::size_t k = 0; k < descL; ++k) {
        const std::uint8_t* dl = lba + 4 + 8 * k;
        const std::uint8_t* dm = k < descM ? msf + 4 + 8 * k : nullptr;
        if (dm && dm[2] != dl[2]) dm = nullptr;  // the two answers disagree here
        if (dl[2] == 0xAA) {
            FillSlot(table.Slots[LeadOutSlot], dl, dm);
            leadOut = true;
            break;
        }
        if (slot >= LeadOutSlot - 1) continue;  // more than 99 tracks: only the lead-out is wanted now
        ++slot;
        FillSlot(table.Slots[slot], dl, dm);
    }
    if (!leadOut || slot == 0) return false;
    // Track starts ascend on a disc and the lead-out comes after them; an
    // answer that says otherwise is not a table of contents.
    for (int t = 1; t <= slot; ++t) {
        const std::int32_t next = t < slot ? table.Slots[t + 1].StartLba : table.Slots[LeadOutSlot].StartLba;
        if (table.Slots[t].StartLba < kFirstLba || table.Slots[t].StartLba >= next || next > kLastLba) return false;
    }
    table.TrackCount = slot;
    for (int t = 1; t <= slot; ++t) {
        TTrackRecord& r = table.Slots[t];
        r.TrackText = SjisCut(std::to_string(t) + "/" + std::to_string(slot), 10);
        std::int32_t next = t < slot ? table.Slots[t + 1].StartLba : table.Slots[LeadOutSlot].StartLba;
        r.SectorCount = next - r.StartLba;
        r.RangeStart = 0;
        r.RangeEnd = r.SectorCount - 1;
        if (r.PreEmphasis) table.PreEmphasisSeen = true;
    }
    if (table.Slots[LeadOutSlot].PreEmphasis) table.PreEmphasisSeen = true;
    return true;
}

void ParseFullToc(const std::uint8_t* a, std::size_t bytes, TTrackTable& t) {
    t.TocEntries.clear();
    for (auto& s : t.Sessions) s = TSessionRecord{};
    const std::size_t n = AnswerBytes(a, bytes);
    if (n < 4) return;
    t.FirstSession = a[2];
    t.LastSession = a[3];
    std::size_t count = (GetBE16(a) >= 2 ? (GetBE16(a) - 2) / 11 : 0);
    count = std::min<std::size_t>({count, std::size_t(MaxFullTocEntries), (n - 4) / 11});
    for (std::size_t c = 0; c < count; ++c) {
        const std::uint8_t* d = a + 4 + 11 * c;
        TFullTocEntry e;
        e.Session = d[0];
        e.AdrControl = d[1];
        e.Point = d[3];
        e.PMin = d[8];
        e.PSec = d[9];
        e.PFrame = d[10];
        t.TocEntries.push_back(e);
        TSessionRecord& s = t.Sessions[d[0]];
        if (e.Point == 0xA0) s.FirstTrack = e.PMin;
        else if (e.Point == 0xA1) s.LastTrack = e.PMin;
        else if (e.Point == 0xA2) {
            s.LeadOutMin = e.PMin;
            s.LeadOutSec = e.PSec;
            s.LeadOutFrame = e.PFrame;
        }
    }
}

void AnalizingSession(TTrackTable& t) {
    if (t.FirstSession == t.LastSession || t.TocEntries.empty()) return;
    std::vector<TFullTocEntry> entries = t.TocEntries;
    TSessionRecord sessions[256];
    std::copy(std::begin(t.Sessions), std::end(t.Sessions), sessions);
    if (!Check(entries, sessions, t)) {
        // The drive may answer in binary-coded decimal.
        for (auto& e : entries) {
            if ((e.Point >= 1 && e.Point <= 159) || (e.Point >= 0xA0 && e.Point <= 0xAF)) {
                e.PMin = FromBcd(e.PMin);
                e.PSec = FromBcd(e.PSec);
                e.PFrame = FromBcd(e.PFrame);
            }
            if (e.Point < 160) e.Point = FromBcd(std::uint8_t(e.Point));
        }
        for (auto& s : sessions) {
            s.FirstTrack = FromBcd(std::uint8_t(s.FirstTrack));
            s.LastTrack = FromBcd(std::uint8_t(s.LastTrack));
            s.LeadOutMin = FromBcd(s.LeadOutMin);
            s.LeadOutSec = FromBcd(s.LeadOutSec);
            s.LeadOutFrame = FromBcd(s.LeadOutFrame);
        }
        if (!Check(entries, sessions, t)) return;
    }
    t.TocEntries = entries;
    std::copy(std::begin(sessions), std::end(sessions), t.Sessions);
    int e = 1;
    for (int s = t.FirstSession; s <= t.LastSession && s < 256; ++s) {
        e += int(sessions[s].LastTrack) - int(sessions[s].FirstTrack);
        if (e < 1 || e > t.TrackCount) break;
        TTrackRecord& r = t.Slots[e];
        std::int32_t leadOut = sessions[s].LeadOutMin * 4500 + sessions[s].LeadOutSec * 75 + sessions[s].LeadOutFrame;
        std::int32_t start = r.StartMinute * 4500 + r.StartSecond * 75 + r.StartFrame;
        // The session's lead-out may end its last track early, never inside
        // the next track, past the disc's lead-out or before the track starts.
        const std::int32_t next = e < t.TrackCount ? t.Slots[e + 1].StartLba : t.Slots[LeadOutSlot].StartLba;
        const std::int32_t length = leadOut - start + 1;
        if (length >= 1 && length <= next - r.StartLba + 1) {
            r.SectorCount = length;
            r.RangeEnd = r.SectorCount - 1;
        }
        ++e;
    }
}

bool TTocReader::DiscPresent(const TDriveAddress& d) {
    // Two TEST UNIT READY in a row; a unit attention on the first (a disc
    // was just changed) does not count against the disc.  ASPI reports the
    // check condition as status 4, the class driver as status 1 with the
    // target status: both are the same answer of the drive.
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0, {0, 0, 0, 0, 0, 0}, 6);
    exec_.Exec(s);
    bool first = CommandSucceeded(s, d.IgnoreTargetStat);
    bool attention = (s.SRB_Status == SS_COMP || s.SRB_Status == SS_ERR) && s.SRB_TargStat == STATUS_CHKCOND &&
                     (s.SenseArea[2] & 0x0F) == 6;
    if (!first && !attention) return false;
    return cmds_.IsDeviceIn(d);
}

int TTocReader::GetSessionCount(const TDriveAddress& d) {
    TAspiBuffer buf(12);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 12, {0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0x40}, 10);
    exec_.Exec(s);
    if (!CommandSucceeded(s, d.IgnoreTargetStat)) return -1;
    return buf[3];
}

bool TTocReader::GetSessionInfo(const TDriveAddress& d, TTrackTable& table) {
    table.TocEntries.clear();
    TAspiBuffer buf(2048);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, SRB_DIR_IN, buf.data(), 2048, {0x43, 0, 0, 0, 0, 0, 0, 0x08, 0x00, 0x80}, 10);
    exec_.Exec(s);
    if (!CommandSucceeded(s, d.IgnoreTargetStat)) return false;
    ParseFullToc(buf.data(), 2048, table);
    return true;
}

bool TTocReader::dispTrack(TTrackTable& table, const TDriveAddress& d) {
    table.TrackCount = 0;
    table.PreEmphasisSeen = false;
    table.LastSelectedRow = -1;
    bool read = false;
    if (DiscPresent(d)) {
        for (auto& r : table.Slots) r = TTrackRecord{};
        TAspiBuffer lba(3840), msf(3840);
        SRB_ExecSCSICmd s;
        BuildExecSRB(s, d, SRB_DIR_IN, lba.data(), 3840, {0x43, 0, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 10);
        exec_.Exec(s);
        if (CommandSucceeded(s, d.IgnoreTargetStat)) {
            BuildExecSRB(s, d, SRB_DIR_IN, msf.data(), 3840, {0x43, 2, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 10);
            exec_.Exec(s);
            if (CommandSucceeded(s, d.IgnoreTargetStat))
                read = ParseToc(lba.data(), 3840, msf.data(), 3840, table);
        }
    }
    if (!read) {
        table.TrackCount = 0;
        table.PreEmphasisSeen = false;
        return false;
    }
    table.FirstSession = table.LastSession = 1;
    if (GetSessionCount(d) > 1 && GetSessionInfo(d, table)) AnalizingSession(table);
    return true;
}

bool SameDisc(const TTrackTable& a, const TTrackTable& b) {
    if (a.TrackCount <= 0 || a.TrackCount != b.TrackCount || a.TrackCount >= LeadOutSlot) return false;
    for (int i = 1; i <= a.TrackCount; ++i) {
        const TTrackRecord &x = a.Slots[i], &y = b.Slots[i];
        if (x.StartLba != y.StartLba || x.SectorCount != y.SectorCount || x.IsAudio != y.IsAudio ||
            x.StartMinute != y.StartMinute || x.StartSecond != y.StartSecond || x.StartFrame != y.StartFrame)
            return false;
    }
    return a.Slots[LeadOutSlot].StartLba == b.Slots[LeadOutSlot].StartLba;
}

bool KeepSameDiscFields(const TTrackTable& before, TTrackTable& after) {
    if (!SameDisc(before, after)) return false;
    for (int i = 1; i <= after.TrackCount; ++i) {
        const TTrackRecord& o = before.Slots[i];
        TTrackRecord& n = after.Slots[i];
        n.FileStem = o.FileStem;
        n.RangeStart = o.RangeStart;
        n.RangeEnd = o.RangeEnd;
        n.PreEmphasis = o.PreEmphasis;
        n.HasTag = o.HasTag;
        n.Title = o.Title;
        n.Artist = o.Artist;
        n.Album = o.Album;
        n.Year = o.Year;
        n.Genre = o.Genre;
        n.Comment = o.Comment;
        n.Copyright = o.Copyright;
        n.TrackText = o.TrackText;
    }
    return true;
}

std::string SectorsToText(std::int32_t sectors) {
    if (sectors < 0) sectors = 0;
    char b[32];
    std::snprintf(b, sizeof b, "%.2d:%.2d:%.2d", int(sectors / 4500), int(sectors % 4500 / 75), int(sectors % 75));
    return b;
}

std::vector<TTrackRow> TrackListRows(const TTrackTable& t) {
    std::vector<TTrackRow> rows;
    for (int i = 1; i <= t.TrackCount && i < LeadOutSlot; ++i) {
        const TTrackRecord& r = t.Slots[i];
        TTrackRow row;
        row.Cells[0] = std::to_string(i);
        row.Cells[1] = SectorsToText(r.RangeStart);
        row.Cells[2] = SectorsToText(r.RangeEnd);
        row.Cells[3] = r.PreEmphasis ? kAri : kNashi;
        row.Cells[4] = r.CopyPermitted ? kKyoka : kKinshi;
        row.Cells[5] = r.FileStem;
        row.Cells[6] = r.IsAudio ? (r.HasTag ? kAri : kNashi) : "";
        row.ImageIndex = r.IsAudio ? 2 : 3;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace wx
