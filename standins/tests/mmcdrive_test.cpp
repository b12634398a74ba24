// The emulated drive: CUE layout, the MMC and vendor commands, personalities
// and injected faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "standins/mmcdrive/Disc.h"
#include "standins/mmcdrive/EmuConfig.h"
#include "standins/mmcdrive/MmcDrive.h"
#include "standins/tests/TestImage.h"

using namespace wx::emu;
using namespace wx::testimg;

namespace {

std::uint32_t GetBE(const std::vector<std::uint8_t>& a, std::size_t at) {
    return std::uint32_t(a.at(at) << 24 | a.at(at + 1) << 16 | a.at(at + 2) << 8 | a.at(at + 3));
}

const char* kCue =
    "REM test disc\n"
    "TITLE \"Test Album\"\n"
    "PERFORMER \"Test Artist\"\n"
    "FILE \"t.bin\" BINARY\n"
    "  TRACK 01 AUDIO\n"
    "    FLAGS DCP\n"
    "    TITLE \"First\"\n"
    "    PERFORMER \"A\"\n"
    "    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n"
    "    FLAGS PRE\n"
    "    TITLE \"Second song with a long title over packs\"\n"
    "    INDEX 00 00:04:00\n"
    "    INDEX 01 00:06:00\n"
    "  TRACK 03 AUDIO\n"
    "    PREGAP 00:01:00\n"
    "    TITLE \"Third\"\n"
    "    INDEX 01 00:10:00\n";

struct Fixture : ::testing::Test {
    TempDir dir;
    std::shared_ptr<Disc> disc;

    void SetUp() override {
        WriteBin(dir.File("t.bin"), 1200);
        WriteText(dir.File("t.cue"), kCue);
        std::string err;
        disc = Disc::LoadCue(dir.File("t.cue"), {}, err);
        ASSERT_TRUE(disc) << err;
    }

    std::vector<std::uint8_t> Run(MmcDrive& d, std::vector<std::uint8_t> cdb, std::uint32_t len, ExecResult* res,
                                  int lun = 0) {
        std::vector<std::uint8_t> buf(len + 64, 0xEE);
        cdb.resize(cdb.size() < 6 ? 6 : cdb.size());
        *res = d.Execute(lun, cdb.data(), int(cdb.size()), buf.data(), len, true);
        // Nothing is ever written past the given length.
        for (std::size_t i = len; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xEE) << "overrun at " << i;
        buf.resize(res->transferred);
        return buf;
    }

    // A drive with the disc, past its first unit attention.
    std::unique_ptr<MmcDrive> Ready(const std::string& personality = "generic") {
        Personality p;
        EXPECT_TRUE(PersonalityByName(personality, p));
        auto d = std::make_unique<MmcDrive>(p);
        d->Load(disc);
        ExecResult r;
        Run(*d, {0, 0, 0, 0, 0, 0}, 0, &r, p.pd ? 1 : 0);
        EXPECT_EQ(r.key(), 6);
        return d;
    }

    static std::vector<std::uint8_t> ReadCdb(std::uint8_t op, std::int32_t lba, int count, int kindByte = 0) {
        std::vector<std::uint8_t> c(op == 0xD4 || op == 0x28 ? 10 : 12, 0);
        c[0] = op;
        c[2] = std::uint8_t(lba >> 24);
        c[3] = std::uint8_t(lba >> 16);
        c[4] = std::uint8_t(lba >> 8);
        c[5] = std::uint8_t(lba);
        if (op == 0xD8) {
            c[9] = std::uint8_t(count);
            c[10] = std::uint8_t(kindByte);
        } else if (op == 0xBE) {
            c[8] = std::uint8_t(count);
            c[9] = 0x10;
        } else {
            c[7] = std::uint8_t(count >> 8);
            c[8] = std::uint8_t(count);
        }
        return c;
    }
};

using CueLayout = Fixture;
using Commands = Fixture;
using FaultInjection = Fixture;

TEST_F(CueLayout, TracksIndexesPregapsAndFlags) {
    ASSERT_EQ(disc->Tracks().size(), 3u);
    const auto& t = disc->Tracks();
    EXPECT_EQ(t[0].startLba, 0);
    EXPECT_EQ(t[1].startLba, 450);    // INDEX 01 at 6 s, INDEX 00 at 4 s
    EXPECT_EQ(t[2].startLba, 825);    // one second of PREGAP not in the file
    EXPECT_EQ(disc->LeadOut(), 1275);
    EXPECT_EQ(t[0].control, CTL_COPY_PERMITTED);
    EXPECT_EQ(t[1].control, CTL_PREEMPHASIS);
    EXPECT_EQ(t[0].text[kTitle], "First");
    EXPECT_EQ(disc->DiscText(kPerformer), "Test Artist");

    std::uint8_t raw[2352];
    // The PREGAP reads as silence; the file's sectors resume after it.
    ASSERT_EQ(disc->ReadRaw(760, raw), ReadStatus::Ok);
    EXPECT_EQ(std::count(raw, raw + 2352, 0), 2352);
    ASSERT_EQ(disc->ReadRaw(825, raw), ReadStatus::Ok);
    EXPECT_TRUE(MatchesImage(raw, 2352, 750LL * 2352));
    ASSERT_EQ(disc->ReadRaw(449, raw), ReadStatus::Ok);
    EXPECT_TRUE(MatchesImage(raw, 2352, 449LL * 2352));
    EXPECT_EQ(disc->ReadRaw(1275, raw), ReadStatus::OutOfRange);
    EXPECT_EQ(disc->ReadRaw(-1, raw), ReadStatus::OutOfRange);
}

TEST_F(CueLayout, BrokenSheetsAreRefusedWithAReason) {
    struct Case {
        const char* text;
        const char* what;
    } cases[] = {
        {"FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "missing.bin"},
        {"FILE \"t.bin\" BINARY\n  TRACK 01 AUDIO\n", "no INDEX 01"},
        {"TRACK 01 AUDIO\n", "TRACK before FILE"},
        {"FILE \"t.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:99:00\n", "bad INDEX"},
        {"FILE \"t.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n", "ascend"},
        {"FILE \"t.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 40:00:00\n", "outside its file"},
        {"FILE \"t.bin\" BINARY\n  TRACK 01 VIDEO\n", "unsupported track type"},
        {"", "no tracks"},
    };
    for (auto& c : cases) {
        WriteText(dir.File("bad.cue"), c.text);
        std::string err;
        EXPECT_EQ(Disc::LoadCue(dir.File("bad.cue"), {}, err), nullptr) << c.text;
        EXPECT_NE(err.find(c.what), std::string::npos) << err;
    }
}

TEST_F(CueLayout, SessionsDataTracksAndWaveFiles) {
    WriteBin(dir.File("a.bin"), 300);
    {
        std::ofstream iso(dir.File("d.iso"), std::ios::binary);
        std::vector<char> s(2048, 'D');
        for (int i = 0; i < 100; ++i) iso.write(s.data(), 2048);
    }
    WriteText(dir.File("m.cue"),
              "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
              "FILE \"d.iso\" BINARY\n TRACK 02 MODE1/2048\n  INDEX 01 00:00:00\n");
    std::string err;
    auto m = Disc::LoadCue(dir.File("m.cue"), {2}, err);
    ASSERT_TRUE(m) << err;
    ASSERT_EQ(m->Sessions().size(), 2u);
    EXPECT_EQ(m->Sessions()[0].leadOutLba, 300);
    EXPECT_EQ(m->Tracks()[1].startLba, 300 + FIRST_SESSION_GAP);
    EXPECT_EQ(m->Tracks()[1].session, 2);
    EXPECT_EQ(m->Tracks()[1].control & CTL_DATA, CTL_DATA);
    EXPECT_EQ(m->LeadOut(), 300 + FIRST_SESSION_GAP + 100);
    std::uint8_t raw[2352];
    EXPECT_EQ(m->ReadRaw(5000, raw), ReadStatus::Unreadable);  // between the sessions
    std::uint8_t user[2048];
    ASSERT_EQ(m->ReadUser(300 + FIRST_SESSION_GAP, user), ReadStatus::Ok);
    EXPECT_EQ(user[0], 'D');

    // A WAVE file: the samples after its RIFF header.
    std::vector<std::uint8_t> pcm(2352 * 10);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = std::uint8_t(i * 7);
    {
        std::ofstream w(dir.File("w.wav"), std::ios::binary);
        auto le32 = [&](std::uint32_t v) { for (int k = 0; k < 4; ++k) w.put(char(v >> (8 * k))); };
        w << "RIFF";
        le32(std::uint32_t(36 + pcm.size()));
        w << "WAVEfmt ";
        le32(16);
        const std::uint8_t fmt[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
        w.write(reinterpret_cast<const char*>(fmt), 16);
        w << "data";
        le32(std::uint32_t(pcm.size()));
        w.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(pcm.size()));
    }
    WriteText(dir.File("w.cue"), "FILE \"w.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    auto w = Disc::LoadCue(dir.File("w.cue"), {}, err);
    ASSERT_TRUE(w) << err;
    EXPECT_EQ(w->LeadOut(), 10);
    ASSERT_EQ(w->ReadRaw(3, raw), ReadStatus::Ok);
    EXPECT_EQ(0, std::memcmp(raw, pcm.data() + 3 * 2352, 2352));
}

TEST_F(Commands, TestUnitReadyNoDiscAndUnitAttentionOnce) {
    MmcDrive d;
    ExecResult r;
    Run(d, {0x00}, 0, &r);
    EXPECT_EQ(r.key(), 2);
    EXPECT_EQ(r.asc(), 0x3A);
    d.Load(disc);
    Run(d, {0x00}, 0, &r);
    EXPECT_EQ(r.key(), 6);
    EXPECT_EQ(r.asc(), 0x28);
    Run(d, {0x00}, 0, &r);
    EXPECT_TRUE(r.good());
    // REQUEST SENSE reports nothing pending now.
    auto s = Run(d, {0x03, 0, 0, 0, 18, 0}, 18, &r);
    ASSERT_EQ(s.size(), 18u);
    EXPECT_EQ(s[2] & 0x0F, 0);
    d.Load(nullptr);
    Run(d, {0x00}, 0, &r);
    EXPECT_EQ(r.asc(), 0x3A);
}

TEST_F(Commands, InquiryPersonalitiesAndPdUnits) {
    struct Case {
        const char* name;
        const char* vendor;
        std::uint8_t ansi;
        std::uint8_t type;
    } cases[] = {{"atapi", "WXEMU", 0, 5}, {"nec", "NEC", 2, 5},         {"sony561", "SONY", 2, 5},
                 {"toshiba", "TOSHIBA", 2, 5}, {"pioneer", "PIONEER", 2, 5}, {"plextor", "PLEXTOR", 2, 5},
                 {"ricoh1420", "RICOH", 2, 5}, {"cdr", "WXEMU", 2, 4}};
    for (auto& c : cases) {
        auto d = Ready(c.name);
        ExecResult r;
        auto a = Run(*d, {0x12, 0, 0, 0, 56, 0}, 56, &r);
        ASSERT_EQ(a.size(), 56u) << c.name;
        EXPECT_EQ(a[0], c.type);
        EXPECT_EQ(a[2] & 7, c.ansi);
        EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 8 + std::strlen(c.vendor)), c.vendor);
        // A short allocation is honoured.
        auto s = Run(*d, {0x12, 0, 0, 0, 32, 0}, 36, &r);
        EXPECT_EQ(s.size(), 32u);
    }
    auto pd = Ready("pd");
    ExecResult r;
    EXPECT_EQ(Run(*pd, {0x12, 0, 0, 0, 36, 0}, 36, &r, 0)[0], 7);
    EXPECT_EQ(Run(*pd, {0x12, 0, 0, 0, 36, 0}, 36, &r, 1)[0], 5);
    auto plain = Ready("generic");
    EXPECT_EQ(Run(*plain, {0x12, 0, 0, 0, 36, 0}, 36, &r, 1)[0], 0x7F);
}

TEST_F(Commands, ReadTocLbaMsfStartTrackAndAllocation) {
    auto d = Ready();
    ExecResult r;
    auto a = Run(*d, {0x43, 0, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 3840, &r);
    ASSERT_TRUE(r.good());
    ASSERT_EQ(a.size(), 4u + 4 * 8);
    EXPECT_EQ((a[0] << 8 | a[1]), int(a.size() - 2));
    EXPECT_EQ(a[2], 1);
    EXPECT_EQ(a[3], 3);
    EXPECT_EQ(a[4 + 8 + 2], 2);
    EXPECT_EQ(a[4 + 8 + 1], 0x11);  // ADR 1, pre-emphasis
    EXPECT_EQ(GetBE(a, 4 + 8 + 4), 450u);
    EXPECT_EQ(a[4 + 24 + 2], 0xAA);
    EXPECT_EQ(GetBE(a, 4 + 24 + 4), 1275u);
    auto m = Run(*d, {0x43, 2, 0, 0, 0, 0, 2, 0x0F, 0x00, 0}, 3840, &r);
    ASSERT_EQ(m.size(), 4u + 3 * 8);
    EXPECT_EQ(m[4 + 2], 2);
    EXPECT_EQ(m[4 + 5], 0);  // 450 + 150 = 600 = 00:08:00
    EXPECT_EQ(m[4 + 6], 8);
    EXPECT_EQ(m[4 + 7], 0);
    auto lo = Run(*d, {0x43, 0, 0, 0, 0, 0, 0xAA, 0x0F, 0x00, 0}, 3840, &r);
    EXPECT_EQ(lo.size(), 12u);
    Run(*d, {0x43, 0, 0, 0, 0, 0, 4, 0x0F, 0x00, 0}, 3840, &r);
    EXPECT_EQ(r.key(), 5);
    // The allocation length bounds the answer, whatever the buffer.
    auto cut = Run(*d, {0x43, 0, 0, 0, 0, 0, 1, 0x00, 12, 0}, 3840, &r);
    EXPECT_EQ(cut.size(), 12u);
    EXPECT_EQ((cut[0] << 8 | cut[1]), 34);
}

TEST_F(Commands, SessionAndFullTocInBinaryAndBcd) {
    WriteBin(dir.File("a.bin"), 1500);
    WriteText(dir.File("m.cue"),
              "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:04:00\n"
              " TRACK 03 AUDIO\n  INDEX 01 00:10:00\n TRACK 12 AUDIO\n");
    std::string err;
    // Track numbers must ascend by one: the sheet above is refused.
    EXPECT_FALSE(Disc::LoadCue(dir.File("m.cue"), {3}, err));
    WriteText(dir.File("m.cue"),
              "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:04:00\n"
              " TRACK 03 AUDIO\n  INDEX 01 00:10:00\n");
    std::shared_ptr<Disc> m = Disc::LoadCue(dir.File("m.cue"), {3}, err);
    ASSERT_TRUE(m) << err;
    for (bool bcd : {false, true}) {
        Personality p;
        p.bcdFullToc = bcd;
        MmcDrive d(p);
        d.Load(m);
        ExecResult r;
        Run(d, {0x00}, 0, &r);
        auto s = Run(d, {0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0x40}, 12, &r);
        ASSERT_EQ(s.size(), 12u);
        EXPECT_EQ(s[3], 2);                           // last session
        EXPECT_EQ(s[6], 3);                           // its first track
        EXPECT_EQ(GetBE(s, 8), 750u + FIRST_SESSION_GAP);
        auto f = Run(d, {0x43, 0, 0, 0, 0, 0, 0, 0x08, 0x00, 0x80}, 2048, &r);
        ASSERT_TRUE(r.good());
        std::size_t n = ((f[0] << 8 | f[1]) - 2) / 11;
        EXPECT_EQ(n, 3u + 2 + 3 + 1);
        EXPECT_EQ(f.size(), 4 + n * 11);
        // Session 2's lead-out (A2) and track 3's start, binary or BCD.
        bool sawA2 = false, saw3 = false;
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint8_t* e = &f[4 + 11 * k];
            std::int32_t expect3 = 750 + FIRST_SESSION_GAP + 150;
            if (e[0] == 2 && e[3] == 0xA2) {
                sawA2 = true;
                std::int32_t lo = 1500 + FIRST_SESSION_GAP + 150;
                EXPECT_EQ(e[8], bcd ? ToBcd(lo / 4500) : lo / 4500);
                EXPECT_EQ(e[9], bcd ? ToBcd(lo / 75 % 60) : lo / 75 % 60);
            }
            if (e[3] == (bcd ? 0x03 : 3) && e[0] == 2) {
                saw3 = true;
                EXPECT_EQ(e[10], bcd ? ToBcd(expect3 % 75) : expect3 % 75);
                EXPECT_EQ(e[9], bcd ? ToBcd(expect3 / 75 % 60) : expect3 / 75 % 60);
            }
        }
        EXPECT_TRUE(sawA2 && saw3);
        // The plain TOC lists every track and the outermost lead-out.
        auto t = Run(d, {0x43, 0, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 3840, &r);
        EXPECT_EQ(t.size(), 4u + 4 * 8);
        EXPECT_EQ(GetBE(t, 4 + 24 + 4), 1500u + FIRST_SESSION_GAP);
    }
}

TEST_F(Commands, CdTextPacksCarryValidCrcsAndTheSheetTexts) {
    auto d = Ready();
    ExecResult r;
    auto a = Run(*d, {0x43, 0, 5, 0, 0, 0, 0, 0x20, 0x00, 0}, 0x4000, &r);
    ASSERT_TRUE(r.good());
    std::size_t len = (a[0] << 8 | a[1]) - 2;
    ASSERT_EQ(len % 18, 0u);
    ASSERT_EQ(a.size(), len + 4);
    std::string titles;
    int sizeInfo = 0;
    for (std::size_t p = 4; p < a.size(); p += 18) {
        const std::uint8_t* k = &a[p];
        std::uint16_t crc = Crc16(k, 16);
        EXPECT_EQ(std::uint16_t(~crc), std::uint16_t(k[16] << 8 | k[17]));
        EXPECT_EQ(k[2], (p - 4) / 18);  // sequence numbers
        if (k[0] == 0x80)
            for (int i = 4; i < 16; ++i) titles += k[i] ? char(k[i]) : '|';
        if (k[0] == 0x8F) {
            ++sizeInfo;
            if (k[1] == 0) {
                EXPECT_EQ(k[5], 1);  // first track
                EXPECT_EQ(k[6], 3);  // last track
            }
            if (k[1] == 2) {
                EXPECT_EQ(k[8], 0x09);
            }
        }
    }
    EXPECT_EQ(sizeInfo, 3);
    EXPECT_EQ(titles.substr(0, titles.find("Third") + 6),
              "Test Album|First|Second song with a long title over packs|Third|");
    // A disc without texts has no CD-TEXT.
    WriteText(dir.File("plain.cue"), "FILE \"t.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    std::string err;
    std::shared_ptr<Disc> plain = Disc::LoadCue(dir.File("plain.cue"), {}, err);
    d->Load(plain);
    Run(*d, {0x00}, 0, &r);
    Run(*d, {0x43, 0, 5, 0, 0, 0, 0, 0x20, 0x00, 0}, 0x4000, &r);
    EXPECT_EQ(r.key(), 5);
}

TEST_F(Commands, VendorReadCommandsByPersonality) {
    struct Case {
        const char* personality;
        std::uint8_t op;
        int kindByte;
        bool accepted;
        int perSector;
        bool swapped;
    } cases[] = {
        {"plextor", 0xD8, 0, true, 2352, false},   {"sony561", 0xD8, 2, true, 2448, false},
        {"nec", 0xD4, 0, true, 2352, false},       {"nec", 0xD8, 0, false, 0, false},
        {"ricoh1420", 0xD8, 0, true, 2352, true},  {"atapi", 0xBE, 0, true, 2352, false},
        {"atapi", 0xD8, 0, false, 0, false},       {"toshiba", 0xD8, 0, false, 0, false},
        {"generic", 0xBE, 0, true, 2352, false},   {"pioneer", 0xD8, 0, true, 2352, false},
    };
    for (auto& c : cases) {
        auto d = Ready(c.personality);
        ExecResult r;
        auto data = Run(*d, ReadCdb(c.op, 500, 3, c.kindByte), 3 * 2448, &r);
        EXPECT_EQ(r.good(), c.accepted) << c.personality << " " << int(c.op);
        if (!c.accepted) {
            EXPECT_EQ(r.key(), 5);
            continue;
        }
        ASSERT_EQ(data.size(), std::size_t(3 * c.perSector));
        for (int s = 0; s < 3; ++s) {
            std::vector<std::uint8_t> sec(data.begin() + s * c.perSector, data.begin() + s * c.perSector + 2352);
            if (c.swapped)
                for (std::size_t i = 0; i + 1 < sec.size(); i += 2) std::swap(sec[i], sec[i + 1]);
            EXPECT_TRUE(MatchesImage(sec.data(), 2352, (500LL + s) * 2352)) << c.personality << " sector " << s;
        }
        if (c.perSector == 2448) {
            // Q channel in bit 6 of the sub-channel bytes: ADR 1, track 2.
            std::uint8_t q[12] = {};
            for (int k = 0; k < 96; ++k) q[k / 8] |= ((data[2352 + k] >> 6) & 1) << (7 - k % 8);
            EXPECT_EQ(q[0] & 0x0F, 1);
            EXPECT_EQ(q[1], 0x02);
            EXPECT_EQ(std::uint16_t(~Crc16(q, 10)), std::uint16_t(q[10] << 8 | q[11]));
        }
    }
}

TEST_F(Commands, Read10NeedsTheRawBlockLengthAndTheDrivesDensity) {
    auto d = Ready("toshiba");
    ExecResult r;
    Run(*d, ReadCdb(0x28, 100, 2), 2 * 2352, &r);
    EXPECT_EQ(r.key(), 5);  // audio at 2048-byte blocks
    // Block descriptor: density 0x82, block length 2352 (the kind-2 list).
    std::vector<std::uint8_t> list = {0, 0, 0, 8, 0x82, 0, 0, 0, 0, 0, 0x09, 0x30};
    EXPECT_TRUE(d->Execute(0, std::vector<std::uint8_t>{0x15, 0, 0, 0, 12, 0}.data(), 6, list.data(), 12, false)
                    .good());
    EXPECT_EQ(d->blockLength(), 2352u);
    auto data = Run(*d, ReadCdb(0x28, 100, 2), 2 * 2352, &r);
    ASSERT_TRUE(r.good());
    EXPECT_TRUE(MatchesImage(data.data(), data.size(), 100LL * 2352));
    // Density 0 (the kind-7 list) is not what this drive reads audio with.
    list[4] = 0;
    d->Execute(0, std::vector<std::uint8_t>{0x15, 0, 0, 0, 12, 0}.data(), 6, list.data(), 12, false);
    Run(*d, ReadCdb(0x28, 100, 2), 2 * 2352, &r);
    EXPECT_EQ(r.key(), 5);
    // MODE SENSE reports the block descriptor that was set.
    auto ms = Run(*d, {0x1A, 0, 0, 0, 12, 0}, 12, &r);
    ASSERT_EQ(ms.size(), 12u);
    EXPECT_EQ(ms[3], 8);
    EXPECT_EQ(ms[10], 0x09);
    EXPECT_EQ(ms[11], 0x30);
    // A bad block length and a short parameter list are refused.
    list[11] = 0x31;
    EXPECT_EQ(d->Execute(0, std::vector<std::uint8_t>{0x15, 0, 0, 0, 12, 0}.data(), 6, list.data(), 12, false).key(),
              5);
    EXPECT_EQ(d->Execute(0, std::vector<std::uint8_t>{0x15, 0, 0, 0, 12, 0}.data(), 6, list.data(), 8, false).key(),
              5);
}

TEST_F(Commands, SpeedBySetCdSpeedAndByTheVendorPage) {
    auto plex = Ready("plextor");
    ExecResult r;
    Run(*plex, {0xBB, 0, 0x05, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_TRUE(r.good());
    EXPECT_EQ(plex->speedKBs(), 1440);
    Run(*plex, {0xBB, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(plex->speedKBs(), 40 * 176);

    auto pio = Ready("pioneer");  // wants the write speed too
    Run(*pio, {0xBB, 0, 0x05, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(r.key(), 5);
    Run(*pio, {0xBB, 0, 0x05, 0xA0, 0x05, 0xA0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_TRUE(r.good());

    auto ricoh = Ready("ricoh");
    Run(*ricoh, {0xBB, 0, 0x05, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(r.asc(), 0x20);  // no SET CD SPEED at all
    std::vector<std::uint8_t> page = {0, 0, 0, 0, 0x31, 2, 0, 4 << 4};
    auto cdb = std::vector<std::uint8_t>{0x15, 0, 0, 0, 8, 0};
    EXPECT_TRUE(ricoh->Execute(0, cdb.data(), 6, page.data(), 8, false).good());
    EXPECT_EQ(ricoh->speedKBs(), 4 * 176);
    auto sense = Run(*ricoh, {0x1A, 0, 0x31, 0, 16, 0}, 16, &r);
    ASSERT_EQ(sense.size(), 16u);
    EXPECT_EQ(sense[15], 4 << 4);
    page[7] = 8 << 4;  // beyond this drive's top speed
    EXPECT_EQ(ricoh->Execute(0, cdb.data(), 6, page.data(), 8, false).key(), 5);

    auto toshiba = Ready("toshiba");
    page = {0, 0, 0, 0, 0x31, 2, 8, 0};
    EXPECT_TRUE(toshiba->Execute(0, cdb.data(), 6, page.data(), 8, false).good());
    EXPECT_EQ(Run(*toshiba, {0x1A, 0, 0x31, 0, 16, 0}, 16, &r)[14], 8);
    auto atapi = Ready("atapi");
    Run(*atapi, {0x1A, 0, 0x31, 0, 16, 0}, 16, &r);
    EXPECT_EQ(r.key(), 5);
}

TEST_F(Commands, PlayPauseResumeAndSubChannel) {
    auto d = Ready();
    std::int64_t now = 1000;
    d->SetClock([&] { return now; });
    ExecResult r;
    auto sub = [&] { return Run(*d, {0x42, 2, 0x40, 1, 0, 0, 0, 0, 16, 0}, 16, &r); };
    EXPECT_EQ(sub()[1], 0x15);
    // PLAY AUDIO(12) of track 2.
    Run(*d, {0xA5, 0, 0, 0, 0x01, 0xC2, 0, 0, 0x01, 0x77, 0, 0}, 0, &r);
    ASSERT_TRUE(r.good());
    now += 2000;  // 150 sectors later
    auto a = sub();
    EXPECT_EQ(a[1], 0x11);
    EXPECT_EQ(a[6], 2);
    EXPECT_EQ(a[9] * 4500 + a[10] * 75 + a[11] - 150, 450 + 150);
    Run(*d, {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_TRUE(r.good());
    now += 5000;
    a = sub();
    EXPECT_EQ(a[1], 0x12);
    EXPECT_EQ(a[9] * 4500 + a[10] * 75 + a[11] - 150, 600);
    Run(*d, {0x4B, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0, &r);
    EXPECT_TRUE(r.good());
    now += 60000;  // past the end
    EXPECT_EQ(sub()[1], 0x13);
    EXPECT_EQ(sub()[1], 0x15);
    // PAUSE with nothing playing is a sequence error.
    Run(*d, {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(r.asc(), 0x2C);
    // PLAY of the lead-out is refused.
    Run(*d, {0xA5, 0, 0, 0, 0x04, 0xFB, 0, 0, 0, 10, 0, 0}, 0, &r);
    EXPECT_EQ(r.key(), 5);
}

TEST_F(Commands, SeekRezeroRangesAndUnknownOpcodes) {
    auto d = Ready();
    ExecResult r;
    Run(*d, {0x01}, 0, &r);
    EXPECT_TRUE(r.good());
    Run(*d, {0x2B, 0, 0, 0, 0x01, 0x00, 0, 0, 0, 0}, 0, &r);
    EXPECT_TRUE(r.good());
    Run(*d, {0x2B, 0, 0, 0, 0x04, 0xFB, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(r.asc(), 0x21);
    Run(*d, ReadCdb(0xBE, 1274, 2), 2 * 2352, &r);
    EXPECT_EQ(r.asc(), 0x21);
    Run(*d, {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, &r);
    EXPECT_EQ(r.asc(), 0x20);
    // A block shorter than its operation needs.
    EXPECT_EQ(d->Execute(0, std::vector<std::uint8_t>{0x43, 0, 0, 0, 0, 0}.data(), 6, nullptr, 0, true).key(), 5);
    // A buffer smaller than the answer gets only what fits.
    auto small = Run(*d, ReadCdb(0xBE, 10, 2), 1000, &r);
    EXPECT_EQ(small.size(), 1000u);
}

TEST_F(FaultInjection, MediumErrorsFailTheFirstTriesThenRead) {
    auto d = Ready();
    ASSERT_TRUE(ParseMediumErrors("101:2, 300-302:1", d->faults().mediumErrors));
    ExecResult r;
    for (int i = 0; i < 2; ++i) {
        Run(*d, ReadCdb(0xBE, 100, 4), 4 * 2352, &r);
        EXPECT_EQ(r.key(), 3);
        EXPECT_EQ(r.asc(), 0x11);
        EXPECT_EQ(std::int32_t(r.sense[3] << 24 | r.sense[4] << 16 | r.sense[5] << 8 | r.sense[6]), 101);
        EXPECT_TRUE(r.sense[0] & 0x80);
    }
    auto ok = Run(*d, ReadCdb(0xBE, 100, 4), 4 * 2352, &r);
    EXPECT_TRUE(r.good());
    EXPECT_TRUE(MatchesImage(ok.data(), ok.size(), 100LL * 2352));
    Run(*d, ReadCdb(0xD8, 302, 1), 2352, &r);
    EXPECT_EQ(r.key(), 3);
    Run(*d, ReadCdb(0xD8, 302, 1), 2352, &r);
    EXPECT_TRUE(r.good());
    std::map<std::int32_t, int> m;
    EXPECT_FALSE(ParseMediumErrors("12x", m));
    EXPECT_FALSE(ParseMediumErrors("20-10", m));
    ASSERT_TRUE(ParseMediumErrors("7:0", m));
    d->faults().mediumErrors = m;  // 0: fails always
    for (int i = 0; i < 5; ++i) {
        Run(*d, ReadCdb(0xBE, 7, 1), 2352, &r);
        EXPECT_EQ(r.key(), 3);
    }
}

TEST_F(FaultInjection, OffsetAndJitterMoveTheDataByWholeFrames) {
    auto d = Ready();
    d->faults().offsetFrames = 30;
    ExecResult r;
    auto a = Run(*d, ReadCdb(0xBE, 200, 2), 2 * 2352, &r);
    EXPECT_TRUE(MatchesImage(a.data(), a.size(), 200LL * 2352 + 30 * 4));
    d->faults().offsetFrames = -7;
    a = Run(*d, ReadCdb(0xBE, 200, 2), 2 * 2352, &r);
    EXPECT_TRUE(MatchesImage(a.data(), a.size(), 200LL * 2352 - 7 * 4));

    d->faults().offsetFrames = 0;
    d->faults().jitterFrames = 5;
    std::set<int> shifts;
    for (int i = 0; i < 60; ++i) {
        a = Run(*d, ReadCdb(0xBE, 200, 1), 2352, &r);
        int found = 99;
        for (int s = -5; s <= 5; ++s)
            if (MatchesImage(a.data(), a.size(), 200LL * 2352 + s * 4)) found = s;
        ASSERT_NE(found, 99) << "read " << i << " is not a whole-frame shift within the jitter";
        shifts.insert(found);
    }
    EXPECT_GT(shifts.size(), 3u);
    // At the disc's start the frames before sector 0 read as silence.
    d->faults().jitterFrames = 0;
    d->faults().offsetFrames = -10;
    a = Run(*d, ReadCdb(0xBE, 0, 1), 2352, &r);
    EXPECT_EQ(std::count(a.begin(), a.begin() + 40, 0), 40);
    EXPECT_TRUE(MatchesImage(a.data() + 40, 2352 - 40, 0));
}

// The jitter follows the seed, also when the seed is set after the disc
// was loaded; a shift function replaces the random jitter.
TEST_F(FaultInjection, JitterFollowsTheSeedAndTheShiftFunction) {
    auto shiftsOf = [&](unsigned seed, bool seedBeforeLoad) {
        auto d = Ready();
        if (seedBeforeLoad) {
            d->faults().seed = seed;
            d->Load(disc);
            std::uint8_t tur[6] = {};
            d->Execute(0, tur, 6, nullptr, 0, true);
        }
        d->faults().jitterFrames = 20;
        d->faults().seed = seed;
        std::vector<int> v;
        ExecResult r;
        for (int i = 0; i < 20; ++i) {
            auto a = Run(*d, ReadCdb(0xBE, 200, 1), 2352, &r);
            int found = 99;
            for (int s = -20; s <= 20; ++s)
                if (MatchesImage(a.data(), a.size(), 200LL * 2352 + s * 4)) found = s;
            v.push_back(found);
        }
        return v;
    };
    EXPECT_EQ(shiftsOf(7, false), shiftsOf(7, true));
    EXPECT_NE(shiftsOf(7, false), shiftsOf(1, false));
    EXPECT_NE(shiftsOf(7, false), shiftsOf(8, false));

    auto d = Ready();
    d->faults().jitterFrames = 20;
    d->faults().shiftOf = [](std::int32_t lba, std::int32_t count) { return lba == 300 ? -3 : count; };
    ExecResult r;
    auto a = Run(*d, ReadCdb(0xBE, 300, 1), 2352, &r);
    EXPECT_TRUE(MatchesImage(a.data(), a.size(), 300LL * 2352 - 3 * 4));
    a = Run(*d, ReadCdb(0xBE, 200, 2), 2 * 2352, &r);
    EXPECT_TRUE(MatchesImage(a.data(), a.size(), 200LL * 2352 + 2 * 4));
}

TEST_F(FaultInjection, BogusCheckConditionCarriesDataAndNoSenseKey) {
    auto d = Ready();
    d->faults().bogusCheckCondition = true;
    ExecResult r;
    auto a = Run(*d, ReadCdb(0xBE, 20, 1), 2352, &r);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.key(), 0);
    EXPECT_TRUE(MatchesImage(a.data(), a.size(), 20LL * 2352));
}

TEST(EmuConfigTest, DrivesFromIniAndSidecarWithOverrides) {
    TempDir dir;
    WriteBin(dir.File("s.bin"), 600);
    WriteText(dir.File("s.cue"),
              "FILE \"s.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:04:00\n");
    WriteText(dir.File("s.cue.ini"), "[Disc]\nSessionStarts=2\n[Drive]\nPersonality=sony\nBcdFullToc=Yes\n"
                                     "[Faults]\nMediumErrors=5:3\n");
    IniFile ini;
    ini.Parse("[ASPI]\nAdapters=2\nLog=req.log\n[Adapter1]\nScsiId=5\nMaxTargets=16\nAlignmentMask=0x000F\n"
              "[Drive0]\nAdapter=1\nTarget=3\nImage=s.cue\nVendor=OTHER\nLatency=20\nHang=0x43,reset\nHangCount=2\n"
              "[Drive1]\nAdapter=0\nTarget=2\nImage=nowhere.cue\n");
    std::vector<std::string> errors;
    EmuSetup s = BuildSetup(ini, dir.path().string(), errors);
    ASSERT_EQ(s.adapters.size(), 2u);
    EXPECT_EQ(s.adapters[1].scsiId, 5);
    EXPECT_EQ(s.adapters[1].maxTargets, 16);
    EXPECT_EQ(s.adapters[1].alignmentMask, 15);
    EXPECT_EQ(s.logPath, dir.File("req.log"));
    ASSERT_EQ(s.units.size(), 2u);
    const Unit& u = s.units[0];
    EXPECT_EQ(u.adapter, 1);
    EXPECT_EQ(u.target, 3);
    EXPECT_EQ(u.drive->personality().vendor, "OTHER");     // the drive's section wins
    EXPECT_EQ(u.drive->personality().product, "CD-ROM CDU-76S");
    EXPECT_TRUE(u.drive->personality().bcdFullToc);
    ASSERT_TRUE(u.drive->disc());
    EXPECT_EQ(u.drive->disc()->Sessions().size(), 2u);
    EXPECT_EQ(u.drive->faults().mediumErrors.at(5), 3);
    EXPECT_EQ(u.latencyMs, 20);
    EXPECT_EQ(u.hangOpcodes.count(0x43), 1u);
    EXPECT_EQ(u.hangOpcodes.count(0x100), 1u);
    EXPECT_EQ(u.hangCount, 2);
    // The drive whose image is missing has no disc; the reason is kept.
    EXPECT_EQ(s.units[1].drive->disc(), nullptr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("nowhere.cue"), std::string::npos);
}

}  // namespace

namespace {

// Random and mangled sheets: refused or loaded, never a crash.
TEST(CueRobustness, MangledSheetsNeverCrash) {
    TempDir dir;
    WriteBin(dir.File("t.bin"), 50);
    std::mt19937 rng(7);
    const std::string base = kCue;
    for (int i = 0; i < 400; ++i) {
        std::string text = base;
        int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text[at] = char(rng() % 256); break;
            case 1: text.erase(at, rng() % 12); break;
            case 2: text.insert(at, std::string(1 + rng() % 4, "0123456789:\" \n"[rng() % 14])); break;
            case 3: text.insert(at, "INDEX 01 99:59:74\n"); break;
            }
            if (text.empty()) text = "FILE";
        }
        WriteText(dir.File("t.cue"), text);
        std::string err;
        auto d = Disc::LoadCue(dir.File("t.cue"), {2}, err);
        if (!d) {
            EXPECT_FALSE(err.empty());
            continue;
        }
        // Whatever loaded answers its own commands within bounds.
        MmcDrive drive;
        drive.Load(std::shared_ptr<Disc>(std::move(d)));
        std::vector<std::uint8_t> buf(4096);
        std::uint8_t tur[6] = {};
        drive.Execute(0, tur, 6, buf.data(), 0, true);
        for (std::uint8_t fmt : {0, 1, 2, 5}) {
            std::uint8_t cdb[10] = {0x43, 0, fmt, 0, 0, 0, 1, 0x10, 0x00, 0};
            auto r = drive.Execute(0, cdb, 10, buf.data(), std::uint32_t(buf.size()), true);
            EXPECT_LE(r.transferred, buf.size());
        }
        std::uint8_t rd[12] = {0xBE, 0, 0, 0, 0, 0, 0, 0, 1, 0x10, 0, 0};
        drive.Execute(0, rd, 12, buf.data(), 2352, true);
    }
}

}  // namespace
