// The rip engine against the emulated MMC drive behind its ASPI front:
// whole discs ripped track by track and compared with the image, with
// cd-paranoia's reading of the same CUE sheet, under injected jitter and
// injected medium errors.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "extraction/tests/emudisc_util.h"
#include "extraction/ClassDrv.h"
#include "standins/mmcdrive/EmuDeviceIo.h"
#include "tests/runtool.h"

using namespace wx;
using namespace wxtest;

namespace {

struct TTrack {
    std::int32_t start, end;
};

class EmulatedRip : public ::testing::Test, protected TEmulatedDisc {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        // Five tracks; track 4 ends in 400 sectors of silence (the image's
        // zero tail starts inside it).  Silence inside track 3 (sectors
        // 3000..3100) and at the end of track 4 (4800..5000).
        std::string err;
        ASSERT_TRUE(LoadPattern(6000, {{3000, 3100}, {4800, 5000}},
                                "TITLE \"Demo\"\nFILE \"demo.bin\" BINARY\n"
                                "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                "  TRACK 02 AUDIO\n    INDEX 01 00:13:37\n"
                                "  TRACK 03 AUDIO\n    FLAGS PRE\n    INDEX 01 00:30:00\n"
                                "  TRACK 04 AUDIO\n    INDEX 01 00:50:00\n"
                                "  TRACK 05 AUDIO\n    INDEX 01 01:06:50\n",
                                err))
            << err;
        for (auto& t : disc->Tracks()) tracks.push_back({t.startLba, t.endLba});
        ASSERT_EQ(tracks.size(), 5u);
        ctx.Platform = &platform;
    }
    void TearDown() override { Unplug(); }
    std::vector<std::uint8_t> Rip(const TTransferRecord& r) {
        TMemoryOutput out;
        ctx.Output = &out;
        TRipEngine e(r, ctx, [] { return false; });
        e.Execute();
        // Ended once: finished, or given up when the rip failed.
        EXPECT_EQ(out.closes, platform.result.ResultClass == rrNG ? 0 : 1);
        EXPECT_EQ(out.discards, platform.result.ResultClass == rrNG ? 1 : 0);
        return out.bytes;
    }

    std::vector<TTrack> tracks;
    TTestPlatform platform;
    TRipContext ctx;
};

}  // namespace

TEST_F(EmulatedRip, PlainRipOfEveryTrackIsTheImage) {
    for (int kind : {4, 8, 1}) {
        for (int t = 1; t <= 5; ++t) {
            if (kind != 4 && t != 1 && t != 5) continue;
            TTransferRecord r = Request(t);
            r.ReadCommand = std::uint8_t(kind);
            std::vector<std::uint8_t> got = Rip(r);
            std::int64_t len = std::int64_t(tracks[t - 1].end - tracks[t - 1].start) * 2352;
            ASSERT_EQ(std::int64_t(got.size()), len) << "kind " << kind << " track " << t;
            EXPECT_TRUE(got == Image(std::int64_t(tracks[t - 1].start) * 2352, len)) << "kind " << kind << " track " << t;
            EXPECT_EQ(platform.result.ResultClass, rrOK);
            EXPECT_EQ(platform.result.ScsiErrors, 0);
        }
    }
    EXPECT_EQ(platform.result.NullAreas, 0);
}

TEST_F(EmulatedRip, NullAreasAndTrimmingOnTheDisc) {
    TTransferRecord r = Request(3);
    std::vector<std::uint8_t> got = Rip(r);
    EXPECT_EQ(platform.result.NullAreas, 1);  // 100 silent sectors inside track 3
    // Track 4's silent tail is trimmed to just after its last sound.
    r = Request(4);
    r.SkipTrailSilence = true;
    got = Rip(r);
    EXPECT_EQ(std::int64_t(got.size()), std::int64_t(4800 - tracks[3].start) * 2352);
    EXPECT_EQ(platform.result.NullAreas, 0);
}

// Tracks 3 and 4 are left out: where the sector a block is aligned on is
// silent, every shift matches it, so a drive's jitter cannot be seen there
// and a seam just before the sound resumes may be off by the jitter.
TEST_F(EmulatedRip, OnePassJitterCorrectionUnderInjectedJitter) {
    drive->faults().jitterFrames = 40;
    drive->faults().seed = 7;
    int differentFromImage = 0;
    for (int t : {1, 2, 5}) {
        // Plain reads of a jittering drive do not give the image back ...
        TTransferRecord plain = Request(t);
        std::vector<std::uint8_t> bad = Rip(plain);
        std::int64_t len = std::int64_t(tracks[t - 1].end - tracks[t - 1].start) * 2352;
        if (bad != Image(std::int64_t(tracks[t - 1].start) * 2352, len)) ++differentFromImage;

        // ... the corrected reads do: one unbroken run of the image, placed
        // where the first read of the track happened to land.
        TTransferRecord r = Request(t);
        r.OverlapSectors = 4;
        std::vector<std::uint8_t> got = Rip(r);
        ASSERT_GT(got.size(), 4096u);
        int s0 = StartShift(got, tracks[t - 1].start, 40);
        ASSERT_LE(std::abs(s0), 40) << "track " << t << " does not start on the image";
        EXPECT_EQ(std::int64_t(got.size()), len) << "track " << t;
        std::vector<std::uint8_t> want = Image(std::int64_t(tracks[t - 1].start) * 2352 + 4 * s0, std::int64_t(got.size()));
        auto mm = std::mismatch(got.begin(), got.end(), want.begin());
        EXPECT_GT(platform.result.JitterCorrections, 0);
        if (t == 5 && platform.result.ResultClass != rrOK) {
            // The disc's last track: when the last read landed earlier than
            // the first, the frames before the lead-out that it could not
            // deliver are missing, and the rip says so.
            EXPECT_EQ(platform.result.ResultClass, rrS1);
            EXPECT_GT(mm.first - got.begin(), std::ptrdiff_t(len - 2 * 40 * 4)) << "track " << t;
            continue;
        }
        EXPECT_TRUE(mm.first == got.end()) << "track " << t << " has a gap or a repeated frame at byte "
                                           << (mm.first - got.begin()) << " of " << got.size() << " s0 " << s0;
        EXPECT_EQ(platform.result.ResultClass, rrOK) << "track " << t;
    }
    EXPECT_EQ(differentFromImage, 3);
}

TEST_F(EmulatedRip, ConstantOffsetIsCarriedThrough) {
    drive->faults().offsetFrames = 30;
    TTransferRecord r = Request(2);
    r.OverlapSectors = 4;
    std::vector<std::uint8_t> got = Rip(r);
    std::int64_t len = std::int64_t(tracks[1].end - tracks[1].start) * 2352;
    EXPECT_TRUE(got == Image(std::int64_t(tracks[1].start) * 2352 + 120, len));
    EXPECT_EQ(platform.result.JitterCorrections, 0);  // the same offset throughout
}

TEST_F(EmulatedRip, InjectedMediumErrorsGiveTheirResultClasses) {
    // Track 2: one sector fails 3 times (within MaxRetry 4), another twice.
    drive->faults().mediumErrors = {{tracks[1].start + 100, 3}, {tracks[1].start + 700, 2}};
    TTransferRecord r = Request(2);
    std::vector<std::uint8_t> got = Rip(r);
    std::int64_t len = std::int64_t(tracks[1].end - tracks[1].start) * 2352;
    EXPECT_TRUE(got == Image(std::int64_t(tracks[1].start) * 2352, len));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(platform.result.ScsiErrors, 5);
    EXPECT_EQ(platform.result.RetryCount, 0);

    // Track 3: a sector that fails 5 times in a row ends the track as NG.
    drive->faults().mediumErrors = {{tracks[2].start + 300, 5}};
    r = Request(3);
    got = Rip(r);
    EXPECT_EQ(platform.result.ResultClass, rrNG);
    EXPECT_EQ(platform.result.RetryCount, 5);
    EXPECT_EQ(platform.result.ScsiErrors, 5);
    EXPECT_EQ(platform.result.LastSrb.SRB_Status, SS_ERR);
    EXPECT_EQ(platform.result.LastSrb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(platform.result.LastSrb.SenseArea[2] & 0x0F, 3);  // medium error
    EXPECT_EQ(platform.result.LastSrb.SenseArea[12], 0x11);
    // Everything before the failing read was written, nothing after it.
    EXPECT_EQ(got.size() % 2352, 0u);
    EXPECT_LE(std::int64_t(got.size()), std::int64_t(300) * 2352);
    EXPECT_TRUE(got == Image(std::int64_t(tracks[2].start) * 2352, std::int64_t(got.size())));

    // Track 5 with verify and overlap: an unreadable sector that recovers.
    drive->faults().mediumErrors = {{tracks[4].start + 50, 1}};
    drive->faults().jitterFrames = 10;
    r = Request(5);
    r.OverlapSectors = 4;
    r.VerifyRead = true;
    got = Rip(r);
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_GE(platform.result.ScsiErrors, 1);
    int s0 = StartShift(got, tracks[4].start, 10);
    ASSERT_LE(std::abs(s0), 10);
    EXPECT_TRUE(got == Image(std::int64_t(tracks[4].start) * 2352 + 4 * s0, std::int64_t(got.size())));
}

// cd-paranoia is a Linux program: checked by the host build only.
#if !defined(_WIN32)
TEST_F(EmulatedRip, SameBytesAsCdParanoia) {
    if (!HaveTool("cd-paranoia"))
        GTEST_FAIL() << "cd-paranoia is missing: run scripts/setup";
    for (int t = 1; t <= 5; ++t) {
        std::string wav = dir.File("t" + std::to_string(t) + ".wav");
        RunTool("cd-paranoia -q -d " + dir.File("demo.cue") + " -w " + std::to_string(t) + " " + wav);
        std::ifstream in(wav, std::ios::binary);
        std::vector<std::uint8_t> theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(theirs.size(), 44u) << "cd-paranoia read nothing of track " << t;
        theirs.erase(theirs.begin(), theirs.begin() + 44);
        TTransferRecord r = Request(t);
        r.OverlapSectors = 4;
        std::vector<std::uint8_t> ours = Rip(r);
        EXPECT_EQ(ours.size(), theirs.size()) << "track " << t;
        EXPECT_TRUE(ours == theirs) << "track " << t;
    }
}
#endif

#if !defined(_WIN32)
// The demo disc (made with sox by standins/demo/make-demo-disc): every
// track ripped plainly is the image, byte for byte, and what cd-paranoia
// reads from the same sheet; under injected jitter the one-pass correction
// gives one unbroken run of the image.
TEST(DemoDiscRip, EveryTrackIsTheImageAndCdParanoiasReading) {
    ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
    testimg::TempDir dir;
    const char* src = std::getenv("WX_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    std::string out = RunTool(std::string(src) + "/standins/demo/make-demo-disc " + dir.File("demo"));
    std::string cue = dir.File("demo/demo.cue");
    emu::Personality plextor;
    ASSERT_TRUE(emu::PersonalityByName("plextor", plextor));

    for (int jitter : {0, 12}) {
        TEmulatedDisc rig;
        std::string err;
        ASSERT_TRUE(rig.Load(cue, dir.File("demo/demo.bin"), err, plextor)) << err << out;
        const emu::Disc* disc = rig.disc.get();
        ASSERT_EQ(disc->Tracks().size(), 4u);
        rig.drive->faults().jitterFrames = jitter;
        rig.drive->faults().seed = 3;
        for (const auto& t : disc->Tracks()) {
            TTestPlatform platform;
            TMemoryOutput sink;
            TRipContext ctx;
            ctx.Platform = &platform;
            ctx.Output = &sink;
            TTransferRecord r = rig.Request(t.number);
            r.MaxRetry = 3;
            r.OverlapSectors = jitter ? 4 : 0;
            TRipEngine e(r, ctx, [] { return false; });
            e.Execute();
            const std::int64_t begin = std::int64_t(t.startLba) * 2352;
            const std::int64_t len = std::int64_t(t.endLba - t.startLba) * 2352;
            ASSERT_EQ(std::int64_t(sink.bytes.size()), len) << "track " << t.number;
            // The disc's last track may miss the frames before the lead-out
            // that a last read landing early could not deliver: then S1.
            const bool lastTrack = t.endLba == disc->LeadOut();
            if (jitter && lastTrack && platform.result.ResultClass == rrS1) sink.bytes.resize(std::size_t(len - 2 * jitter * 4));
            else ASSERT_EQ(platform.result.ResultClass, rrOK) << "track " << t.number;
            if (jitter == 0) {
                ASSERT_EQ(std::int64_t(sink.bytes.size()), len);
                EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), rig.image.begin() + begin))
                    << "track " << t.number;
                std::string wav = dir.File("t" + std::to_string(t.number) + ".wav");
                RunTool("cd-paranoia -q -d " + cue + " -w " + std::to_string(t.number) + " " + wav);
                std::ifstream w(wav, std::ios::binary);
                std::vector<std::uint8_t> theirs((std::istreambuf_iterator<char>(w)), std::istreambuf_iterator<char>());
                ASSERT_GT(theirs.size(), 44u);
                theirs.erase(theirs.begin(), theirs.begin() + 44);
                EXPECT_TRUE(sink.bytes == theirs) << "track " << t.number;
            } else {
                // Where the first read landed decides the whole track; the
                // disc reads as silence outside the image.
                const int s0 = rig.StartShift(sink.bytes, t.startLba, jitter);
                ASSERT_LE(std::abs(s0), jitter) << "track " << t.number;
                EXPECT_TRUE(sink.bytes == rig.Image(begin + 4 * s0, std::int64_t(sink.bytes.size())))
                    << "track " << t.number << " has a seam off the image";
            }
        }
    }
}
#endif

// Without ASPI the rip goes through the class driver's open device: the
// request's entry point is never called.
namespace {
std::uint32_t NeverCalled(void*) {
    ADD_FAILURE() << "the ASPI entry point was called without ASPI";
    return SS_ERR;
}
}  // namespace

TEST_F(EmulatedRip, PassThroughTransportWithoutAspi) {
    emu::EmuDeviceIo io;
    emu::EmuLetter d;
    d.letter = 'E';
    d.drive = drive;
    d.port = 2;
    d.path = 0;
    d.target = 3;
    io.letters.push_back(d);
    SetDeviceIo(&io);
    ClassDrvResetForTest();
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    TClassDrvDevice dev;
    ASSERT_TRUE(ClassDrvGetDevice(0, dev));
    TTransferRecord r = Request(2);
    r.UseAspi = false;
    r.SendAspiCommand = &NeverCalled;
    r.PortNumber = dev.PortNumber;
    r.Adapter = dev.PathId;
    r.Target = dev.TargetId;
    r.Lun = dev.Lun;
    r.OverlapSectors = 4;
    std::vector<std::uint8_t> got = Rip(r);
    std::int64_t len = std::int64_t(tracks[1].end - tracks[1].start) * 2352;
    EXPECT_TRUE(got == Image(std::int64_t(tracks[1].start) * 2352, len));
    EXPECT_EQ(platform.result.ResultClass, rrOK);
    EXPECT_EQ(ClassDrvOpenIndex(), -1);  // closed at the end of the rip
    EXPECT_EQ(io.openHandles(), 0);
    ClassDrvResetForTest();
    SetDeviceIo(nullptr);
}
