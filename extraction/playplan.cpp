#include "extraction/playplan.h"

#include <algorithm>
#include <cstdio>

namespace wx {

namespace {

int Count(const TTrackTable& table) { return std::min(table.TrackCount, LeadOutSlot - 1); }

std::string Clock(const char* pattern, int track, std::int32_t sectors, bool withTrack) {
    const int minutes = int(sectors / 4500);
    const int seconds = int((sectors % 4500) / 75);
    char text[64];
    if (withTrack)
        std::snprintf(text, sizeof text, pattern, track, minutes, seconds);
    else
        std::snprintf(text, sizeof text, pattern, minutes, seconds);
    return text;
}

constexpr std::int32_t TenSeconds = 750;
constexpr std::int32_t FiveSeconds = 375;

}  // namespace

bool FillDigitalPlayRange(const TTrackTable& table, int track, std::int32_t sectorsPerRead, TTransferRecord& r) {
    const int n = Count(table);
    if (track < 1 || track > n) return false;
    const std::int32_t leadOut = table.Slots[LeadOutSlot].StartLba;
    // The end is the first sector not played, as in a rip: the last audio
    // track plays to its last sector.
    std::int32_t end = -1;
    for (int t = n; t >= 1 && end < 0; --t)
        if (table.Slots[t].IsAudio) end = std::min(table.Slots[t].StartLba + table.Slots[t].SectorCount, leadOut);
    if (end < 0) return false;
    const TTrackRecord& first = table.Slots[track];
    r.StartLba = first.StartLba + first.RangeStart;
    r.EndLba = end;
    r.LastReadableLba = leadOut - 1;
    if (!table.Slots[n].IsAudio && n >= 2) {
        // A data track at the end: the play stops a read block before the
        // end of the audio, so that no read reaches into it.
        const TTrackRecord& audio = table.Slots[n - 1];
        r.LastReadableLba = r.EndLba = audio.StartLba + audio.SectorCount - sectorsPerRead;
    }
    for (int i = 0; i < n && i < PlayListSize - 1; ++i) {
        r.PlayList[i] = table.Slots[i + 1].StartLba;
        r.PlayAudioFlags[i] = table.Slots[i + 1].IsAudio;
    }
    const int last = std::min(n, PlayListSize - 1);
    r.PlayList[last] = -1;
    r.PlayAudioFlags[last] = 0;
    return true;
}

TPlayTime PlayPositionText(const TTrackTable& table, std::int32_t position, int mode) {
    TPlayTime p;
    const std::int32_t pos = std::max<std::int32_t>(position, 0);
    const int t = GetTrackNum(table, pos);
    if (t < 1) return p;
    p.Shown = true;
    p.Track = t;
    p.Lba = pos;
    const TTrackRecord& tr = table.Slots[t];
    const std::int32_t rel = pos - tr.StartLba;
    if (mode == 1) {
        p.Text = Clock("[%.02d] <%.02d:%.02d>", t, std::max<std::int32_t>(0, tr.SectorCount - rel), true);
    } else if (mode == 2) {
        const std::int32_t left = std::max<std::int32_t>(0, table.Slots[LeadOutSlot].StartLba - position);
        p.Text = Clock("[--] <%.02d:%.02d>", 0, left, false);
    } else {
        p.Text = Clock("[%.02d] %.02d:%.02d", t, rel, true);
    }
    return p;
}

TPanelMove SkipForward(const TTrackTable& table, std::int32_t playLba) {
    TPanelMove m;
    const std::int32_t to = playLba + TenSeconds;
    if (table.Slots[LeadOutSlot].StartLba < to) {
        m.Kind = TPanelMove::Stop;
        return m;
    }
    const int t = GetTrackNum(table, to);
    if (t >= 1 && table.Slots[t].IsAudio) {
        m.Kind = TPanelMove::Seek;
        m.Lba = to;
    }
    return m;
}

TPanelMove SkipBack(const TTrackTable& table, std::int32_t playLba) {
    TPanelMove m;
    if (Count(table) < 1) return m;
    std::int32_t to = playLba - TenSeconds;
    if (to < 0) to = table.Slots[1].StartLba;
    const int t = GetTrackNum(table, to);
    if (t >= 1 && table.Slots[t].IsAudio) {
        m.Kind = TPanelMove::Seek;
        m.Lba = to;
    }
    return m;
}

TPanelMove NextTrack(const TTrackTable& table, int playTrack) {
    TPanelMove m;
    const int n = Count(table);
    if (n < 1) return m;
    int t = std::clamp(playTrack, 1, n);
    for (int step = 0; step < n; ++step) {
        t = t >= n ? 1 : t + 1;
        if (table.Slots[t].IsAudio) break;
    }
    m.Kind = TPanelMove::Seek;
    m.Lba = table.Slots[t].StartLba;
    return m;
}

TPanelMove PrevTrack(const TTrackTable& table, int playTrack, std::int32_t playLba) {
    TPanelMove m;
    const int n = Count(table);
    if (n < 1) return m;
    int t = std::clamp(playTrack, 1, n);
    if (playLba - table.Slots[t].StartLba <= FiveSeconds) {
        for (int step = 0; step < n; ++step) {
            t = t <= 1 ? n : t - 1;
            if (table.Slots[t].IsAudio) break;
        }
    }
    m.Kind = TPanelMove::Seek;
    m.Lba = table.Slots[t].StartLba;
    return m;
}

bool TakeLevel(TLevelRing& ring, bool nt, std::uint32_t& left, std::uint32_t& right) {
    const int threshold = nt ? 12 : 3;
    if ((ring.WriteIndex - ring.ReadIndex + 16) % 16 == 0) return false;
    bool shown = false;
    if (ring.DelayCounter > threshold) {
        left = ring.Left[ring.ReadIndex];
        right = ring.Right[ring.ReadIndex];
        ring.ReadIndex = (ring.ReadIndex + 1) % 16;
        shown = right < 0xA000;
    }
    ring.DelayCounter = std::min(16, ring.DelayCounter + 1);
    return shown;
}

}  // namespace wx
