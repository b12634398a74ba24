// libFuzzer target: the drive's answers.  The fuzzer's bytes are read twice:
// once whole as the READ TOC answers and the full TOC (each in a buffer of
// exactly the bytes given, so a read past an answer is seen), and once as a
// drive that answers every command of the table-of-contents read, the drive
// scan, the device information and the mode pages from the stream.
//
// Drive stream: each answer is one status byte (bit 0 success, bit 1 check
// condition, bit 2 unit attention in the sense key), a 16-bit big-endian
// length and that many data bytes; a host adapter inquiry takes a status
// byte and six bytes (count, own id, the first four adapter-unique bytes).
// An exhausted stream fails every command.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extraction/DriveScan.h"
#include "extraction/TrackTable.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Check;

using namespace wx;

class TStreamDrive : public TSrbExecutor {
public:
    TStreamDrive(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    void Exec(SRB_ExecSCSICmd& s) override {
        if (n_ == 0) {
            s.SRB_Status = SS_ERR;
            return;
        }
        const std::uint8_t flags = Take();
        s.SRB_Status = (flags & 1) ? SS_COMP : SS_ERR;
        s.SRB_TargStat = (flags & 2) ? STATUS_CHKCOND : 0;
        s.SenseArea[2] = (flags & 4) ? 6 : 0;
        std::size_t len = std::size_t{Take()} << 8;
        len |= Take();
        len = std::min(len, n_);
        if ((s.SRB_Flags & SRB_DIR_IN) && s.SRB_BufPointer)
            std::memcpy(s.SRB_BufPointer, p_, std::min<std::size_t>(len, s.SRB_BufLen));
        p_ += len;
        n_ -= len;
    }
    bool HaInquiry(SRB_HAInquiry& ha) override {
        if (n_ < 7) return false;
        ha.SRB_Status = (Take() & 1) ? SS_COMP : SS_ERR;
        ha.HA_Count = Take();
        ha.HA_SCSI_ID = Take();
        for (int i = 0; i < 4; ++i) ha.HA_Unique[i] = Take();
        return true;
    }

private:
    std::uint8_t Take() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    const std::uint8_t* p_;
    std::size_t n_;
};

std::int32_t Frames(const TTrackRecord& r) { return r.StartMinute * 4500 + r.StartSecond * 75 + r.StartFrame; }

// A table the TOC walk accepted: 1..99 tracks whose starts ascend, each
// inside the disc, its time the LBA's, the lengths and rows as read.
void CheckToc(const TTrackTable& t) {
    Check(t.TrackCount >= 1 && t.TrackCount < LeadOutSlot, "track count outside 1..99");
    const TTrackRecord& lo = t.Slots[LeadOutSlot];
    for (int i = 1; i <= t.TrackCount; ++i) {
        const TTrackRecord& r = t.Slots[i];
        const std::int32_t next = i < t.TrackCount ? t.Slots[i + 1].StartLba : lo.StartLba;
        Check(r.StartLba >= -150 && r.StartLba < next, "track starts do not ascend within the lead-out");
        Check(r.SectorCount == next - r.StartLba && r.RangeStart == 0 && r.RangeEnd == r.SectorCount - 1,
              "track length is not the distance to the next start");
        Check(Frames(r) == r.StartLba + 150 && r.StartSecond < 60 && r.StartFrame < 75, "track time is not its LBA");
        Check(r.TrackText == std::to_string(i) + "/" + std::to_string(t.TrackCount), "track number text");
        Check(r.FileStem.empty() && !r.HasTag && r.Genre == -1, "a read left a name or a tag");
    }
    Check(Frames(lo) == lo.StartLba + 150 && lo.StartLba <= 449849, "lead-out time is not its LBA");
    Check(TrackListRows(t).size() == std::size_t(t.TrackCount), "one row per track");
}

// After the session analysis: a corrected length never runs into the next
// track or more than one sector past the lead-out, and never goes below one.
void CheckSessions(const TTrackTable& t, const TTrackTable& before) {
    for (int i = 1; i <= t.TrackCount; ++i) {
        const TTrackRecord& r = t.Slots[i];
        const TTrackRecord& o = before.Slots[i];
        Check(r.StartLba == o.StartLba && r.RangeStart == 0, "the session analysis moved a track");
        Check(r.SectorCount >= 1 && r.SectorCount <= o.SectorCount + 1, "session length outside the track");
        Check(r.RangeEnd == r.SectorCount - 1, "range end is not the length");
    }
    Check(t.TocEntries.size() <= std::size_t(MaxFullTocEntries), "too many full-TOC entries");
}

bool Printable(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20) return false;
    return true;
}

void CheckDevices(const TDeviceTable& d) {
    Check(d.DeviceCount >= 0 && d.DeviceCount <= MaxDeviceEntries, "device count outside the table");
    Check(d.DriveList.size() >= std::size_t(d.DeviceCount), "an entry without a list item");
    Check(d.Selected == (d.DriveList.empty() ? -1 : 0), "selection");
    for (int i = 0; i < d.DeviceCount; ++i) {
        const TDeviceEntry& e = d.Devices[i];
        Check(e.DriveMaker <= 10 && e.DriveType <= dtPD && (e.Lun == 0 || e.Lun == 1), "entry field out of range");
        Check(e.DeviceName.size() == 32 && Printable(e.DeviceName), "device name");
        Check(e.Adapter >= 0 && e.Adapter < 256 && e.Target >= 0 && e.Target < 256, "address");
        Check(ReadCommandListIndex(e.DriveMaker) >= 0 && ReadCommandListIndex(e.DriveMaker) < 10, "list index");
        Check(BuildReadCommand(e.DriveMaker, 0, 1).BytesPerSector != 0, "no read command for the guess");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    {
        // The answers alone: LBA and MSF halves, then the whole as a full TOC.
        const std::size_t half = (size - 1) / 2;
        std::vector<std::uint8_t> lba(data + 1, data + 1 + half), msf(data + 1 + half, data + size);
        std::vector<std::uint8_t> full(data + 1, data + size);
        static TTrackTable t;
        if (ParseToc(lba.data(), lba.size(), (data[0] & 1) ? msf.data() : nullptr, msf.size(), t)) {
            CheckToc(t);
            ParseFullToc(full.data(), full.size(), t);
            static TTrackTable before;
            before = t;
            AnalizingSession(t);
            CheckSessions(t, before);
        } else {
            Check(t.TrackCount == 0 && !t.PreEmphasisSeen, "a refused TOC left tracks");
        }
    }

    const TDriveAddress d{0, 1, 0, (data[0] & 4) != 0};
    TStreamDrive drive(data + 1, size - 1);
    {
        static TTrackTable t;
        TTocReader reader(drive);
        if (reader.dispTrack(t, d)) {
            Check(t.TrackCount >= 1 && t.TrackCount < LeadOutSlot, "track count outside 1..99");
            for (int i = 1; i <= t.TrackCount; ++i) {
                const TTrackRecord& r = t.Slots[i];
                const std::int32_t next = i < t.TrackCount ? t.Slots[i + 1].StartLba : t.Slots[LeadOutSlot].StartLba;
                Check(r.SectorCount >= 1 && r.StartLba + r.SectorCount <= next + 1, "track outside the disc");
            }
        } else {
            Check(t.TrackCount == 0, "no disc, but tracks");
        }
    }
    {
        static TDeviceTable table;
        TDriveScanner scanner(drive);
        scanner.SCSIDevSearch(table, false);
        CheckDevices(table);
    }
    {
        TInquiryInfo info;
        if (ReadDeviceInfo(drive, d, info)) {
            Check(info.Vendor.size() == 8 && info.Product.size() == 16 && info.Revision.size() == 4 &&
                      info.VendorSpecific.size() == 20,
                  "inquiry text lengths");
            Check(Printable(info.Vendor + info.Product + info.Revision + info.VendorSpecific), "inquiry text");
            Check(info.DeviceType < 32 && info.AnsiVersion < 8 && info.Qualifier < 8, "inquiry fields");
        }
    }
    {
        TDriveCommands cmds(drive);
        const std::string vendor = cmds.GetVenderName(d);
        Check(vendor.empty() || (vendor.size() == 24 && Printable(vendor)), "vendor text");
        const int spin = cmds.GetSpinMode(d);
        Check(spin >= -1 && spin <= 255, "speed byte");
        const int playing = cmds.IsPlaying(d);
        Check(playing >= -1 && playing <= 255, "playing track");
        if (cmds.GetMode(d)) cmds.RestoreMode(d);
        cmds.SetSpinMode(d, data[0] >> 4);
        const int kind = GuessReadCommandKind(vendor, data[0] & 7, data[0] & 8, data[0] & 16, data[0] >> 7);
        Check(kind >= 0 && kind <= 10, "read command guess");
    }
    return 0;
}
