#include "standins/mmcdrive/MmcDrive.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sstream>
#include <vector>

#include "standins/mmcdrive/IniFile.h"

namespace wx::emu {

namespace {

std::uint32_t BE16(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }
std::uint32_t BE24(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2]; }
std::uint32_t BE32(const std::uint8_t* p) { return (BE16(p) << 16) | BE16(p + 2); }
void PutBE16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
void PutBE32(std::uint8_t* p, std::uint32_t v) {
    PutBE16(p, v >> 16);
    PutBE16(p + 2, v);
}
void PutAddress(std::uint8_t* p, std::int32_t lba, bool msf) {
    if (msf) {
        p[0] = 0;
        LbaToMsf(lba, p[1], p[2], p[3]);
    } else {
        PutBE32(p, std::uint32_t(lba));
    }
}
void Pad(std::uint8_t* p, const std::string& s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) p[i] = i < s.size() ? std::uint8_t(s[i]) : ' ';
}

}  // namespace

bool PersonalityByName(const std::string& name, Personality& out) {
    std::string n = Lower(name);
    Personality p;
    if (n == "generic" || n.empty()) {
    } else if (n == "atapi") {
        p.vendor = "WXEMU";
        p.product = "ATAPI CD-ROM 48X";
        p.ansiVersion = 0;
        p.readD8 = false;
        p.read10Raw = false;
        p.maxSpeed = 48;
    } else if (n == "nec") {
        p.vendor = "NEC";
        p.product = "CD-ROM DRIVE:464";
        p.readD8 = false;
        p.readD4 = true;
        p.readCd = false;
        p.read10Raw = false;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.maxSpeed = 6;
    } else if (n == "sony") {
        p.vendor = "SONY";
        p.product = "CD-ROM CDU-76S";
        p.readCd = false;
        p.read10Raw = false;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.maxSpeed = 4;
    } else if (n == "sony561") {
        p.vendor = "SONY";
        p.product = "CD-ROM CDU561";
        p.readCd = false;
        p.read10Raw = false;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.maxSpeed = 2;
    } else if (n == "toshiba") {
        p.vendor = "TOSHIBA";
        p.product = "CD-ROM XM-6201TA";
        p.readD8 = false;
        p.readCd = false;
        p.read10Density = 0x82;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.maxSpeed = 24;
    } else if (n == "pioneer") {
        p.vendor = "PIONEER";
        p.product = "CD-ROM DR-U16S";
        p.read10Raw = false;
        p.setCdSpeed = true;
        p.setCdSpeedNeedsWrite = true;
        p.maxSpeed = 16;
    } else if (n == "plextor") {
        p.vendor = "PLEXTOR";
        p.product = "CD-ROM PX-40TS";
        p.speedPage = true;
        p.maxSpeed = 40;
    } else if (n == "ricoh") {
        p.vendor = "RICOH";
        p.product = "CD-R/RW MP7060S";
        p.read10Raw = false;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.ricohSpeedPage = true;
        p.maxSpeed = 6;
    } else if (n == "ricoh1420") {
        p.vendor = "RICOH";
        p.product = "CD-R RO-1420C";
        p.d8ByteSwapped = true;
        p.read10Raw = false;
        p.readCd = false;
        p.setCdSpeed = false;
        p.speedPage = true;
        p.ricohSpeedPage = true;
        p.maxSpeed = 4;
    } else if (n == "pd") {
        p.vendor = "MATSHITA";
        p.product = "PD-2 LF-1195";
        p.pd = true;
        p.maxSpeed = 6;
    } else if (n == "cdr") {
        p.vendor = "WXEMU";
        p.product = "CD-R WRITER 8X";
        p.deviceType = 4;
        p.maxSpeed = 8;
    } else {
        return false;
    }
    out = p;
    return true;
}

void ApplyPersonalityKeys(const IniFile& ini, const std::string& s, Personality& p) {
    if (ini.Has(s, "Personality")) PersonalityByName(ini.Get(s, "Personality"), p);
    p.vendor = ini.Get(s, "Vendor", p.vendor);
    p.product = ini.Get(s, "Product", p.product);
    p.revision = ini.Get(s, "Revision", p.revision);
    p.vendorSpecific = ini.Get(s, "VendorSpecific", p.vendorSpecific);
    p.deviceType = std::uint8_t(ini.GetInt(s, "DeviceType", p.deviceType));
    p.ansiVersion = std::uint8_t(ini.GetInt(s, "AnsiVersion", p.ansiVersion));
    p.pd = ini.GetBool(s, "PD", p.pd);
    p.readD8 = ini.GetBool(s, "ReadD8", p.readD8);
    p.d8ByteSwapped = ini.GetBool(s, "D8ByteSwapped", p.d8ByteSwapped);
    p.readD4 = ini.GetBool(s, "ReadD4", p.readD4);
    p.readCd = ini.GetBool(s, "ReadCD", p.readCd);
    p.read10Raw = ini.GetBool(s, "Read10Raw", p.read10Raw);
    p.read10Density = std::uint8_t(ini.GetInt(s, "Read10Density", p.read10Density));
    p.setCdSpeed = ini.GetBool(s, "SetCDSpeed", p.setCdSpeed);
    p.setCdSpeedNeedsWrite = ini.GetBool(s, "SetCDSpeedNeedsWrite", p.setCdSpeedNeedsWrite);
    p.speedPage = ini.GetBool(s, "SpeedPage", p.speedPage);
    p.ricohSpeedPage = ini.GetBool(s, "RicohSpeedPage", p.ricohSpeedPage);
    p.bcdFullToc = ini.GetBool(s, "BcdFullToc", p.bcdFullToc);
    p.maxSpeed = int(ini.GetInt(s, "MaxSpeed", p.maxSpeed));
    if (p.maxSpeed < 1) p.maxSpeed = 1;
}

bool ParseMediumErrors(const std::string& text, std::map<std::int32_t, int>& out) {
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = Trim(item);
        if (item.empty()) continue;
        long tries = 1, from, to;
        auto colon = item.find(':');
        if (colon != std::string::npos) {
            if (!ParseNumber(item.substr(colon + 1), tries) || tries < 0) return false;
            item = item.substr(0, colon);
        }
        auto dash = item.find('-', 1);
        if (dash != std::string::npos) {
            if (!ParseNumber(item.substr(0, dash), from) || !ParseNumber(item.substr(dash + 1), to) || to < from ||
                to - from > 1000000)
                return false;
        } else {
            if (!ParseNumber(item, from)) return false;
            to = from;
        }
        for (long l = from; l <= to; ++l) out[std::int32_t(l)] = tries == 0 ? -1 : int(tries);
    }
    return true;
}

void ApplyFaultKeys(const IniFile& ini, const std::string& s, Faults& f) {
    if (ini.Has(s, "MediumErrors")) ParseMediumErrors(ini.Get(s, "MediumErrors"), f.mediumErrors);
    f.jitterFrames = int(ini.GetInt(s, "JitterFrames", f.jitterFrames));
    f.offsetFrames = int(ini.GetInt(s, "OffsetFrames", f.offsetFrames));
    f.bogusCheckCondition = ini.GetBool(s, "BogusCheckCondition", f.bogusCheckCondition);
    f.seed = unsigned(ini.GetInt(s, "Seed", long(f.seed)));
}

MmcDrive::MmcDrive(Personality p) : p_(std::move(p)), rng_(1) {
    speedKBs_ = p_.maxSpeed * 176;
    nowMs_ = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

void MmcDrive::Load(std::shared_ptr<Disc> disc) {
    disc_ = std::move(disc);
    unitAttention_ = true;
    uaAsc_ = 0x28;
    play_ = PlayState::None;
    rng_.seed(faults_.seed);
    seededWith_ = faults_.seed;
}

void MmcDrive::Reset() {
    unitAttention_ = true;
    uaAsc_ = 0x29;
    play_ = PlayState::None;
    blockLength_ = 2048;
    density_ = 0;
}

ExecResult MmcDrive::Check(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::int32_t info) {
    ExecResult r;
    r.status = 2;
    r.sense[0] = 0x70;
    if (info >= 0) {
        r.sense[0] |= 0x80;
        PutBE32(&r.sense[3], std::uint32_t(info));
    }
    r.sense[2] = key;
    r.sense[7] = 10;
    r.sense[12] = asc;
    r.sense[13] = ascq;
    lastSense_ = r;
    return r;
}

ExecResult MmcDrive::Good(std::uint32_t transferred) {
    ExecResult r;
    r.transferred = transferred;
    r.sense[0] = 0x70;
    r.sense[7] = 10;
    lastSense_ = ExecResult{};
    if (faults_.bogusCheckCondition) r.status = 2;  // sense key stays NO SENSE
    return r;
}

std::uint32_t MmcDrive::Copy(std::uint8_t* data, std::uint32_t dataLen, const std::uint8_t* src, std::size_t n) {
    std::uint32_t k = std::uint32_t(std::min<std::size_t>(n, dataLen));
    if (k && data) std::memcpy(data, src, k);
    return k;
}

PlayState MmcDrive::playState() {
    PlayPosition();
    return play_;
}

std::int32_t MmcDrive::PlayPosition() {
    if (play_ == PlayState::Playing) {
        std::int64_t pos = playStart_ + (nowMs_() - playT0_) * FRAMES_PER_SECOND / 1000;
        if (pos >= playEnd_) {
            play_ = PlayState::Completed;
            playPos_ = playEnd_;
        } else {
            playPos_ = std::int32_t(pos);
        }
    }
    return playPos_;
}

ExecResult MmcDrive::Execute(int lun, const std::uint8_t* cdb, int cdbLen, std::uint8_t* data,
                             std::uint32_t dataLen, bool dataIn) {
    const std::uint8_t op = cdb[0];
    const int need = op < 0x20 ? 6 : (op < 0x60 || op == 0xD4) ? 10 : 12;
    if (cdbLen < need) return Check(5, 0x20, 0);  // invalid command operation code
    if (op == 0x12) return Inquiry(lun, cdb, data, dataLen);
    if (op == 0x03) {  // REQUEST SENSE
        ExecResult s = lastSense_;
        ExecResult r = Good(Copy(data, std::min<std::uint32_t>(dataLen, cdb[4]), s.sense.data(), s.sense.size()));
        lastSense_ = ExecResult{};
        return r;
    }
    // The optical unit of a PD drive answers nothing but INQUIRY.
    if (p_.pd && lun == 0) return Check(5, 0x25, 0);  // logical unit not supported
    if (lun != (p_.pd ? 1 : 0)) return Check(5, 0x25, 0);
    if (!disc_ && op != 0x15 && op != 0x1A && op != 0xBB && op != 0x1B && op != 0x1E)
        return Check(2, 0x3A, 0);  // medium not present
    if (unitAttention_) {
        unitAttention_ = false;
        return Check(6, uaAsc_, 0);
    }
    switch (op) {
    case 0x00:  // TEST UNIT READY
        return Good(0);
    case 0x01:  // REZERO UNIT
        play_ = PlayState::None;
        return Good(0);
    case 0x1B:  // START STOP UNIT
    case 0x4E:  // STOP PLAY/SCAN
        play_ = PlayState::None;
        return Good(0);
    case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
        return Good(0);
    case 0x15:
        if (dataIn) return Check(5, 0x24, 0);
        return ModeSelect(cdb, data, dataLen);
    case 0x1A:
        return ModeSense(cdb, data, dataLen);
    case 0x25: {  // READ CAPACITY
        std::uint8_t a[8];
        PutBE32(a, std::uint32_t(disc_->LeadOut() - 1));
        PutBE32(a + 4, 2048);
        return Good(Copy(data, dataLen, a, 8));
    }
    case 0x2B: {  // SEEK(10)
        std::int32_t lba = std::int32_t(BE32(cdb + 2));
        if (lba < 0 || lba >= disc_->LeadOut()) return Check(5, 0x21, 0);
        play_ = PlayState::None;
        return Good(0);
    }
    case 0x28:
        return Read10(cdb, data, dataLen);
    case 0x42:
        return ReadSubChannel(cdb, data, dataLen);
    case 0x43:
        return ReadToc(cdb, data, dataLen);
    case 0x45:  // PLAY AUDIO(10)
        return Play(std::int32_t(BE32(cdb + 2)), std::int32_t(BE16(cdb + 7)));
    case 0xA5:  // PLAY AUDIO(12)
        return Play(std::int32_t(BE32(cdb + 2)), std::int32_t(BE32(cdb + 6)));
    case 0x47: {  // PLAY AUDIO MSF
        std::int32_t s = cdb[3] * 4500 + cdb[4] * 75 + cdb[5] - 150;
        std::int32_t e = cdb[6] * 4500 + cdb[7] * 75 + cdb[8] - 150;
        return Play(s, e - s);
    }
    case 0x4B:
        return PauseResume(cdb);
    case 0xBB:
        return SetCdSpeed(cdb);
    case 0xBE: {  // READ CD
        if (!p_.readCd) break;
        int type = (cdb[1] >> 2) & 7;
        if (type > 1) return Check(5, 0x64, 0);
        std::uint8_t flags = cdb[9];
        if ((flags & 0xF8) != 0x10 && (flags & 0xF8) != 0xF8) return Check(5, 0x24, 0);
        int sub = cdb[10] & 7;
        int subBytes = sub == 1 ? 96 : sub == 2 ? 16 : sub == 4 ? 96 : 0;
        return ReadAudio(std::int32_t(BE32(cdb + 2)), std::int32_t(BE24(cdb + 6)), subBytes, false, type == 0, data,
                         dataLen);
    }
    case 0xD8: {  // vendor READ CD-DA
        if (!p_.readD8) break;
        int sub = cdb[10];
        if (sub > 3) return Check(5, 0x24, 0);
        int subBytes = sub == 1 ? 16 : sub == 2 ? 96 : 0;
        if (sub == 3) return Check(5, 0x24, 0);
        return ReadAudio(std::int32_t(BE32(cdb + 2)), std::int32_t(BE32(cdb + 6)), subBytes, p_.d8ByteSwapped,
                         false, data, dataLen);
    }
    case 0xD4:  // vendor READ CD-DA (10-byte)
        if (!p_.readD4) break;
        return ReadAudio(std::int32_t(BE32(cdb + 2)), std::int32_t(BE16(cdb + 7)), 0, false, false, data, dataLen);
    default:
        break;
    }
    return Check(5, 0x20, 0);  // invalid command operation code
}

ExecResult MmcDrive::Inquiry(int lun, const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen) {
    if (cdb[1] & 1) return Check(5, 0x24, 0);  // no vital product data pages
    std::uint8_t a[56] = {};
    int want = p_.pd ? 1 : 0;
    if (p_.pd && lun == 0) {
        a[0] = 0x07;
    } else if (lun != want) {
        a[0] = 0x7F;  // no unit here
    } else {
        a[0] = p_.deviceType & 0x1F;
    }
    a[1] = 0x80;
    a[2] = p_.ansiVersion & 7;
    a[3] = 0x02;
    a[4] = sizeof(a) - 5;
    a[7] = 0x10;
    Pad(a + 8, p_.vendor, 8);
    Pad(a + 16, p_.product, 16);
    Pad(a + 32, p_.revision, 4);
    Pad(a + 36, p_.vendorSpecific, 20);
    return Good(Copy(data, std::min<std::uint32_t>(dataLen, cdb[4]), a, sizeof(a)));
}

ExecResult MmcDrive::ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen) {
    const bool msf = cdb[1] & 2;
    int format = cdb[2] & 0x0F;
    if (format == 0 && (cdb[9] & 0xC0)) format = cdb[9] >> 6;  // the older way of asking
    const std::uint32_t alloc = BE16(cdb + 7);
    const Disc& d = *disc_;
    std::vector<std::uint8_t> a(4, 0);
    auto desc = [&](std::uint8_t adrCtl, std::uint8_t track, std::int32_t lba) {
        std::uint8_t e[8] = {0, adrCtl, track, 0};
        PutAddress(e + 4, lba, msf);
        a.insert(a.end(), e, e + 8);
    };
    if (format == 0) {
        int start = cdb[6];
        if (start > d.LastTrack() && start != 0xAA) return Check(5, 0x24, 0);
        a[2] = std::uint8_t(d.FirstTrack());
        a[3] = std::uint8_t(d.LastTrack());
        for (auto& t : d.Tracks())
            if (t.number >= start) desc(std::uint8_t(0x10 | t.control), std::uint8_t(t.number), t.startLba);
        std::uint8_t ctl = d.Tracks().back().control & CTL_DATA;
        desc(std::uint8_t(0x10 | ctl), 0xAA, d.LeadOut());
    } else if (format == 1) {
        a[2] = 1;
        a[3] = std::uint8_t(d.Sessions().size());
        const TrackInfo* t = d.TrackByNumber(d.Sessions().back().firstTrack);
        desc(std::uint8_t(0x10 | t->control), std::uint8_t(t->number), t->startLba);
    } else if (format == 2) {
        const bool bcd = p_.bcdFullToc;
        auto num = [&](int v) { return bcd ? ToBcd(v) : std::uint8_t(v); };
        a[2] = 1;
        a[3] = std::uint8_t(d.Sessions().size());
        int firstSession = std::max<int>(1, cdb[6]);
        for (auto& s : d.Sessions()) {
            if (s.number < firstSession) continue;
            auto point = [&](std::uint8_t adrCtl, std::uint8_t pt, std::uint8_t pm, std::uint8_t ps,
                             std::uint8_t pf) {
                std::uint8_t e[11] = {std::uint8_t(s.number), adrCtl, 0, pt, 0, 0, 0, 0, pm, ps, pf};
                a.insert(a.end(), e, e + 11);
            };
            std::uint8_t firstCtl = d.TrackByNumber(s.firstTrack)->control;
            std::uint8_t lastCtl = d.TrackByNumber(s.lastTrack)->control;
            point(std::uint8_t(0x10 | firstCtl), 0xA0, num(s.firstTrack), firstCtl & CTL_DATA ? 0x00 : 0x00, 0);
            point(std::uint8_t(0x10 | lastCtl), 0xA1, num(s.lastTrack), 0, 0);
            std::uint8_t m, sec, f;
            LbaToMsf(s.leadOutLba, m, sec, f);
            point(std::uint8_t(0x10 | (lastCtl & CTL_DATA)), 0xA2, num(m), num(sec), num(f));
            for (auto& t : d.Tracks()) {
                if (t.session != s.number) continue;
                LbaToMsf(t.startLba, m, sec, f);
                point(std::uint8_t(0x10 | t.control), num(t.number), num(m), num(sec), num(f));
            }
        }
    } else if (format == 5) {
        const auto& packs = d.CdTextPacks();
        if (packs.empty()) return Check(5, 0x24, 0);
        a.insert(a.end(), packs.begin(), packs.end());
    } else {
        return Check(5, 0x24, 0);
    }
    PutBE16(a.data(), std::uint32_t(a.size() - 2));
    return Good(Copy(data, std::min(dataLen, alloc), a.data(), a.size()));
}

ExecResult MmcDrive::ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen) {
    const int page = cdb[2] & 0x3F;
    const bool dbd = cdb[1] & 0x08;
    std::vector<std::uint8_t> a = {0, 0, 0, std::uint8_t(dbd ? 0 : 8)};
    if (!dbd) {
        std::uint8_t bd[8] = {density_, 0, 0, 0, 0};
        bd[5] = std::uint8_t(blockLength_ >> 16);
        bd[6] = std::uint8_t(blockLength_ >> 8);
        bd[7] = std::uint8_t(blockLength_);
        a.insert(a.end(), bd, bd + 8);
    }
    if (page == 0x31 || (page == 0x3F && p_.speedPage)) {
        if (!p_.speedPage) return Check(5, 0x24, 0);
        std::uint8_t pg[4] = {0x31, 2, speedPage_[0], speedPage_[1]};
        a.insert(a.end(), pg, pg + 4);
    } else if (page != 0 && page != 0x3F) {
        return Check(5, 0x24, 0);
    }
    a[0] = std::uint8_t(a.size() - 1);
    return Good(Copy(data, std::min<std::uint32_t>(dataLen, cdb[4]), a.data(), a.size()));
}

ExecResult MmcDrive::ModeSelect(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t dataLen) {
    const std::uint32_t len = cdb[4];
    if (len > dataLen || (len > 0 && !data)) return Check(5, 0x1A, 0);  // parameter list length error
    if (len < 4) return len == 0 ? Good(0) : Check(5, 0x1A, 0);
    const std::uint32_t bdLen = data[3];
    if (bdLen != 0 && bdLen != 8) return Check(5, 0x26, 0);
    if (4 + bdLen > len) return Check(5, 0x1A, 0);
    std::uint8_t newDensity = density_;
    std::uint32_t newBlock = blockLength_;
    if (bdLen == 8) {
        newDensity = data[4];
        newBlock = (std::uint32_t(data[9]) << 16) | (std::uint32_t(data[10]) << 8) | data[11];
        if (newBlock != 2048 && newBlock != 2352) return Check(5, 0x26, 0);
        if (newDensity != 0 && newDensity != 0x82 && newDensity != 0x81) return Check(5, 0x26, 0);
    }
    std::uint32_t at = 4 + bdLen;
    std::uint8_t page[2] = {speedPage_[0], speedPage_[1]};
    bool speedChanged = false;
    while (at + 2 <= len) {
        std::uint8_t code = data[at] & 0x3F, plen = data[at + 1];
        if (at + 2 + plen > len) return Check(5, 0x1A, 0);
        if (code != 0x31 || !p_.speedPage || plen < 2) return Check(5, 0x26, 0);
        page[0] = data[at + 2];
        page[1] = data[at + 3];
        speedChanged = true;
        at += 2 + plen;
    }
    if (speedChanged) {
        int n = p_.ricohSpeedPage ? page[1] >> 4 : page[0];
        if (n == 0xFF) n = p_.maxSpeed;
        if (n < 1 || n > p_.maxSpeed) return Check(5, 0x26, 0);
        speedPage_[0] = page[0];
        speedPage_[1] = page[1];
        speedKBs_ = n * 176;
    }
    density_ = newDensity;
    blockLength_ = newBlock;
    return Good(0);
}

ExecResult MmcDrive::SetCdSpeed(const std::uint8_t* cdb) {
    if (!p_.setCdSpeed) return Check(5, 0x20, 0);
    std::uint32_t read = BE16(cdb + 2), write = BE16(cdb + 4);
    if (p_.setCdSpeedNeedsWrite && write == 0) return Check(5, 0x24, 0);
    int max = p_.maxSpeed * 176;
    if (read == 0xFFFF) speedKBs_ = max;
    else speedKBs_ = std::clamp<int>(int(read), 176, max);
    return Good(0);
}

void MmcDrive::SubQ(std::int32_t lba, std::uint8_t q[12]) const {
    const TrackInfo* t = disc_->TrackAt(lba);
    std::memset(q, 0, 12);
    std::uint8_t ctl = t ? t->control : 0;
    q[0] = std::uint8_t((ctl << 4) | 1);
    q[1] = ToBcd(t ? t->number : 0);
    std::int32_t rel = t ? lba - t->startLba : 0;
    q[2] = rel < 0 ? 0 : 1;
    if (rel < 0) rel = -rel;
    q[3] = ToBcd(rel / 4500 % 100);
    q[4] = ToBcd(rel / 75 % 60);
    q[5] = ToBcd(rel % 75);
    std::uint8_t m, s, f;
    LbaToMsf(lba, m, s, f);
    q[7] = ToBcd(m % 100);
    q[8] = ToBcd(s);
    q[9] = ToBcd(f);
    std::uint16_t crc = std::uint16_t(~Crc16(q, 10));
    q[10] = std::uint8_t(crc >> 8);
    q[11] = std::uint8_t(crc);
}

ExecResult MmcDrive::ReadAudio(std::int32_t lba, std::int32_t count, int subBytes, bool swapped, bool anyType,
                               std::uint8_t* data, std::uint32_t dataLen) {
    const Disc& d = *disc_;
    if (count < 0 || lba < 0 || std::int64_t(lba) + count > d.LeadOut()) return Check(5, 0x21, 0);
    if (count == 0) return Good(0);
    for (std::int32_t l = lba; l < lba + count; ++l) {
        ReadStatus st = d.Probe(l);
        if (st == ReadStatus::Unreadable) return Check(3, 0x11, 0, l);
        if (!anyType && !d.IsAudio(l)) return Check(5, 0x64, 0, l);  // illegal mode for this track
    }
    // Injected medium errors: every faulty sector in the range uses up one
    // of its failing tries.
    std::int32_t failAt = -1;
    for (auto it = faults_.mediumErrors.lower_bound(lba); it != faults_.mediumErrors.end() && it->first < lba + count;
         ++it) {
        if (it->second == 0) continue;
        if (it->second > 0) --it->second;
        if (failAt < 0) failAt = it->first;
    }
    if (failAt >= 0) return Check(3, 0x11, 0x05, failAt);
    play_ = PlayState::None;

    const std::size_t per = SECTOR_RAW + std::size_t(subBytes);
    std::vector<std::uint8_t> out(per * std::size_t(count), 0);
    // Audio is read as a stream so that offset and jitter can move it by
    // whole stereo frames across sector borders.
    int shift = faults_.offsetFrames;
    // A seed set after the disc was loaded counts from the next read on.
    if (faults_.seed != seededWith_) {
        rng_.seed(faults_.seed);
        seededWith_ = faults_.seed;
    }
    if (faults_.shiftOf) {
        shift += faults_.shiftOf(lba, count);
    } else if (faults_.jitterFrames > 0) {
        std::uniform_int_distribution<int> dist(-faults_.jitterFrames, faults_.jitterFrames);
        shift += dist(rng_);
    }
    const std::int64_t begin = std::int64_t(lba) * SECTOR_RAW + std::int64_t(shift) * 4;
    std::vector<std::uint8_t> stream(std::size_t(count) * SECTOR_RAW, 0);
    std::int64_t firstSector = begin >= 0 ? begin / SECTOR_RAW : (begin - SECTOR_RAW + 1) / SECTOR_RAW;
    std::int64_t lastByte = begin + std::int64_t(stream.size());
    std::uint8_t raw[SECTOR_RAW];
    for (std::int64_t s = firstSector; s * SECTOR_RAW < lastByte; ++s) {
        if (s < 0 || s >= d.LeadOut() || d.ReadRaw(std::int32_t(s), raw) != ReadStatus::Ok) continue;
        if (shift != 0 && !d.IsAudio(std::int32_t(s))) continue;
        std::int64_t from = std::max<std::int64_t>(begin, s * SECTOR_RAW);
        std::int64_t to = std::min<std::int64_t>(lastByte, (s + 1) * SECTOR_RAW);
        std::memcpy(stream.data() + (from - begin), raw + (from - s * SECTOR_RAW), std::size_t(to - from));
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t* o = out.data() + per * std::size_t(i);
        std::memcpy(o, stream.data() + std::size_t(i) * SECTOR_RAW, SECTOR_RAW);
        if (swapped)
            for (int k = 0; k + 1 < SECTOR_RAW; k += 2) std::swap(o[k], o[k + 1]);
        if (subBytes == 16) {
            SubQ(lba + i, o + SECTOR_RAW);
        } else if (subBytes == 96) {
            // Raw P-W: the Q channel is bit 6 of each byte.
            std::uint8_t q[12];
            SubQ(lba + i, q);
            for (int k = 0; k < 96; ++k) o[SECTOR_RAW + k] = (q[k / 8] >> (7 - k % 8) & 1) ? 0x40 : 0;
        }
    }
    return Good(Copy(data, dataLen, out.data(), out.size()));
}

ExecResult MmcDrive::Read10(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen) {
    std::int32_t lba = std::int32_t(BE32(cdb + 2));
    std::int32_t count = std::int32_t(BE16(cdb + 7));
    const Disc& d = *disc_;
    if (lba < 0 || std::int64_t(lba) + count > d.LeadOut()) return Check(5, 0x21, 0);
    if (count == 0) return Good(0);
    bool audio = d.IsAudio(lba);
    if (blockLength_ == 2352) {
        if (audio && (!p_.read10Raw || density_ != p_.read10Density)) return Check(5, 0x64, 0, lba);
        return ReadAudio(lba, count, 0, false, true, data, dataLen);
    }
    std::vector<std::uint8_t> out(std::size_t(count) * 2048);
    for (std::int32_t i = 0; i < count; ++i) {
        if (d.IsAudio(lba + i)) return Check(5, 0x64, 0, lba + i);
        if (d.ReadUser(lba + i, out.data() + std::size_t(i) * 2048) != ReadStatus::Ok)
            return Check(3, 0x11, 0, lba + i);
    }
    return Good(Copy(data, dataLen, out.data(), out.size()));
}

ExecResult MmcDrive::Play(std::int32_t start, std::int32_t count) {
    if (count == 0) return Good(0);
    if (count < 0 || start < 0 || std::int64_t(start) + count > disc_->LeadOut()) return Check(5, 0x21, 0);
    if (!disc_->IsAudio(start)) return Check(5, 0x64, 0);
    play_ = PlayState::Playing;
    playStart_ = start;
    playEnd_ = start + count;
    playPos_ = start;
    playT0_ = nowMs_();
    return Good(0);
}

ExecResult MmcDrive::PauseResume(const std::uint8_t* cdb) {
    PlayPosition();
    bool resume = cdb[8] & 1;
    if (resume) {
        if (play_ != PlayState::Paused) return Check(5, 0x2C, 0);  // command sequence error
        play_ = PlayState::Playing;
        playStart_ = playPos_;
        playT0_ = nowMs_();
        return Good(0);
    }
    if (play_ == PlayState::Playing) {
        play_ = PlayState::Paused;
        return Good(0);
    }
    if (play_ == PlayState::Paused) return Good(0);
    return Check(5, 0x2C, 0);
}

ExecResult MmcDrive::ReadSubChannel(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLen) {
    const bool msf = cdb[1] & 2;
    const bool subQ = cdb[2] & 0x40;
    const int format = cdb[3];
    const std::uint32_t alloc = BE16(cdb + 7);
    std::int32_t pos = PlayPosition();
    std::uint8_t status = 0x15;
    switch (play_) {
    case PlayState::Playing: status = 0x11; break;
    case PlayState::Paused: status = 0x12; break;
    case PlayState::Completed: status = 0x13; play_ = PlayState::None; break;
    case PlayState::None: status = 0x15; break;
    }
    std::uint8_t a[16] = {0, status, 0, 0};
    std::size_t n = 4;
    if (subQ) {
        if (format != 1) return Check(5, 0x24, 0);
        const TrackInfo* t = disc_->TrackAt(pos);
        a[3] = 12;
        a[4] = 1;
        a[5] = std::uint8_t((t ? t->control : 0) << 4 | 1);
        a[6] = std::uint8_t(t ? t->number : 0);
        a[7] = 1;
        PutAddress(a + 8, pos, msf);
        std::int32_t rel = t ? pos - t->startLba : 0;
        if (msf) {
            a[12] = 0;
            a[13] = std::uint8_t(rel / 4500);
            a[14] = std::uint8_t(rel / 75 % 60);
            a[15] = std::uint8_t(rel % 75);
        } else {
            PutBE32(a + 12, std::uint32_t(rel));
        }
        n = 16;
    }
    return Good(Copy(data, std::min(dataLen, alloc), a, n));
}

}  // namespace wx::emu
