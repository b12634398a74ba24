// The rip thread under Wine: TExecuteAspiThread reading through the
// WNASPI32.DLL stand-in's entry point with kernel events, reporting to a
// window by posted messages, and writing a WAV file through TAcmDrv.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "extraction/Win32Aspi.h"
#include "extraction/tests/StandinSetup.h"
#include "extraction/wendrisub_win.h"
#include "extraction/tempstore.h"
#include "output/acmmgr32.h"
#include "output/riffwave.h"
#include "standins/mmcdrive/EmuConfig.h"
#include "standins/mmcdrive/EmuDeviceIo.h"

using namespace wx;
using wx::test::StandinSetup;

namespace {

class TMemorySink : public IRipOutput {
public:
    bool Write(const void* data, std::uint32_t length) override {
        auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + length);
        return true;
    }
    bool Close() override {
        ++closes;
        return true;
    }
    void Discard() override { ++discards; }
    std::vector<std::uint8_t> bytes;
    int closes = 0;
    int discards = 0;
};

struct TReport {
    std::vector<UINT> messages;
    std::vector<std::string> statuses;
    TTransferRecord result{};
    bool done = false;
};

// Pumps the thread's messages until WM_RIP_DONE (or 60 s), freeing what they
// hand over as the main window does.
TReport Pump(HWND wnd) {
    TReport rep;
    DWORD start = GetTickCount();
    while (!rep.done && GetTickCount() - start < 60000) {
        MSG m;
        if (!PeekMessageA(&m, wnd, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (m.message >= WM_RIP_PROGRESS && m.message <= WM_RIP_LEVEL) {
            rep.messages.push_back(m.message);
            if (m.message == WM_RIP_STATUS) {
                rep.statuses.push_back(reinterpret_cast<char*>(m.lParam));
                FreeStatusText(reinterpret_cast<char*>(m.lParam));
            }
            if (m.message == WM_RIP_DONE) {
                auto* r = reinterpret_cast<TTransferRecord*>(m.lParam);
                rep.result = *r;
                FreeResultBlock(r);
                rep.done = true;
            }
        } else {
            DispatchMessageA(&m);
        }
    }
    return rep;
}

class RipThreadWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        wnd = CreateWindowExA(0, "STATIC", "rip", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(wnd, nullptr);
        aspi = std::make_unique<TWin32Aspi>(nullptr);
        ASSERT_EQ(aspi->Adapters(), 1);
        // Take the unit attention of the freshly loaded disc.
        SRB_ExecSCSICmd s;
        ClearSRB(s);
        s.SRB_Cmd = SC_EXEC_SCSI_CMD;
        s.SRB_Target = 1;
        s.SRB_SenseLen = SENSE_LEN;
        s.SRB_CDBLen = 6;
        aspi->ExecSRBWait(&s, 10, false, false);
    }
    void TearDown() override {
        aspi.reset();
        DestroyWindow(wnd);
    }
    TTransferRecord Request(std::int32_t start, std::int32_t end) {
        TTransferRecord r = EmptyTransferRecord();
        r.Target = 1;
        r.StartLba = start;
        r.EndLba = end;
        r.LastReadableLba = 1799;
        r.ReadCommand = 4;
        r.SectorsPerRead = 26;
        r.TrackNumber = 2;
        r.MaxRetry = 3;
        r.NotifyWindow = wnd;
        r.SendAspiCommand = aspi->GetSendCommandProc();
        r.GetAspiSupportInfo = aspi->GetSupportInfoProc();
        r.UseAspi = true;
        r.VolumePercent = 100;
        r.ThreadPriority = 1;
        r.PlayList[0] = -1;
        return r;
    }

    StandinSetup standin{"Personality=plextor\nLatency=1\n"};
    HWND wnd = nullptr;
    std::unique_ptr<TWin32Aspi> aspi;
};

}  // namespace

TEST_F(RipThreadWine, RipsThroughTheAspiLibraryWithEvents) {
    for (bool poll : {false, true}) {
        for (bool overlap : {false, true}) {
            TMemorySink sink;
            TRipContext ctx;
            ctx.Output = &sink;
            TTransferRecord r = Request(600, 1200);
            r.PollStatus = poll;
            r.OverlapSectors = overlap ? 4 : 0;
            auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
            TReport rep = Pump(wnd);
            ASSERT_TRUE(rep.done);
            EXPECT_EQ(t->WaitFor(10000), DWORD(WAIT_OBJECT_0));
            EXPECT_TRUE(t->FatalError().empty());
            EXPECT_EQ(rep.result.ResultClass, rrOK);
            EXPECT_EQ(rep.result.ScsiErrors, 0);
            ASSERT_EQ(sink.bytes.size(), 600u * 2352);
            EXPECT_TRUE(testimg::MatchesImage(sink.bytes.data(), sink.bytes.size(), 600 * 2352)) << poll << overlap;
            EXPECT_EQ(sink.closes, 1);
            EXPECT_EQ(rep.messages.back(), WM_RIP_DONE);
            ASSERT_GE(rep.statuses.size(), 3u);
            EXPECT_EQ(rep.statuses.back(), std::string("\xc4\xd7\xaf\xb8") + "2\x82\xcc" + MsgReadDone);
        }
    }
}

TEST_F(RipThreadWine, InjectedMediumErrorEndsTheTrack) {
    aspi.reset();  // unloads the library, which reads its set-up when loaded
    StandinSetup faulty("Personality=plextor\nMediumErrors=700:0\n");
    aspi = std::make_unique<TWin32Aspi>(nullptr);
    TMemorySink sink;
    TRipContext ctx;
    ctx.Output = &sink;
    auto t = std::make_unique<TExecuteAspiThread>(Request(600, 1200), ctx);
    TReport rep = Pump(wnd);
    ASSERT_TRUE(rep.done);
    // The unit attention of the new disc and four failures of sector 700.
    EXPECT_EQ(rep.result.ResultClass, rrNG);
    EXPECT_EQ(rep.result.RetryCount, 4);
    EXPECT_EQ(rep.result.LastSrb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(sink.discards, 1);  // the incomplete output is given up
    EXPECT_LE(sink.bytes.size(), 100u * 2352);
}

TEST_F(RipThreadWine, WritesAWaveFileThroughTheOutputDriver) {
    TAcmDrv drv;
    WAVEFORMATEX cd{};
    cd.wFormatTag = WAVE_FORMAT_PCM;
    cd.nChannels = 2;
    cd.nSamplesPerSec = 44100;
    cd.wBitsPerSample = 16;
    cd.nBlockAlign = 4;
    cd.nAvgBytesPerSec = 44100 * 4;
    std::string file = standin.dir.File("track.wav");
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    ASSERT_TRUE(drv.Open(file));
    std::vector<std::uint8_t> cache(1 << 20);
    TRipContext ctx;
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    TTransferRecord r = Request(0, 600);
    r.OutputDriver = &drv;
    r.UseWriteThread = true;
    auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
    TReport rep = Pump(wnd);
    ASSERT_TRUE(rep.done);
    t->WaitFor(10000);
    EXPECT_EQ(rep.result.ResultClass, rrOK);
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(wav.size(), 44u + 600u * 2352);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_TRUE(testimg::MatchesImage(wav.data() + 44, 600u * 2352, 0));
}

TEST_F(RipThreadWine, TwoPassWithVerifyThroughTheProgramsStore) {
    TAcmDrv drv;
    WAVEFORMATEX cd{};
    cd.wFormatTag = WAVE_FORMAT_PCM;
    cd.nChannels = 2;
    cd.nSamplesPerSec = 44100;
    cd.wBitsPerSample = 16;
    cd.nBlockAlign = 4;
    cd.nAvgBytesPerSec = 44100 * 4;
    std::string file = standin.dir.File("twopass.wav");
    ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
    ASSERT_TRUE(drv.Open(file));
    // A rip memory block of 210 sectors: the store spills to its files.
    std::vector<std::uint8_t> cache(210 * 2352);
    TRipContext ctx;
    ctx.RipCache = cache.data();
    ctx.RipCacheSize = std::uint32_t(cache.size());
    TTransferRecord r = Request(100, 900);
    r.OutputDriver = &drv;
    r.TwoPass = true;
    r.VerifyRead = true;
    r.WorkFolder = standin.dir.path().string() + "\\";
    auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
    TReport rep = Pump(wnd);
    ASSERT_TRUE(rep.done);
    t->WaitFor(10000);
    EXPECT_EQ(rep.result.ResultClass, rrOK);
    TRiffWaveReader wav;
    ASSERT_EQ(wav.Open(file), TWaveError::None);
    std::vector<std::uint8_t> pcm(800 * 2352 + 100);
    ASSERT_EQ(wav.Read(pcm.data(), std::uint32_t(pcm.size())), 800u * 2352);
    EXPECT_TRUE(testimg::MatchesImage(pcm.data(), 800u * 2352, 100 * 2352));
    for (auto& e : std::filesystem::directory_iterator(standin.dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind("wendri_", 0), std::string::npos) << e.path().string();
    EXPECT_FALSE(TempStore.IsOpen());

    // Normalized: the two-stage mode through the program's store and
    // normalizer, to half of full scale.
    TAcmDrv drv2;
    std::string file2 = standin.dir.File("normalized.wav");
    ASSERT_TRUE(drv2.Setup(&cd, &cd, admAcmWave, false));
    ASSERT_TRUE(drv2.Open(file2));
    r = Request(100, 500);
    r.OutputDriver = &drv2;
    r.Normalize = true;
    r.NormalizeTarget = 5000;
    r.WorkFolder = standin.dir.path().string() + "\\";
    t = std::make_unique<TExecuteAspiThread>(r, ctx);
    rep = Pump(wnd);
    ASSERT_TRUE(rep.done);
    t->WaitFor(10000);
    EXPECT_EQ(rep.result.ResultClass, rrOK);
    ASSERT_EQ(wav.Open(file2), TWaveError::None);
    std::vector<std::uint8_t> scaled(400 * 2352);
    ASSERT_EQ(wav.Read(scaled.data(), std::uint32_t(scaled.size())), scaled.size());
    std::uint32_t peaks = PeakLevels(scaled.data(), std::uint32_t(scaled.size()));
    EXPECT_NEAR(double(std::max(peaks & 0xFFFF, peaks >> 16)), 16383.0, 4.0);
    EXPECT_FALSE(TempStore.IsOpen());
}

// One kernel event serves every request of the rip: a SEEK that the
// library completes inside the call leaves it signalled, and the wait for
// the read that follows (completed later by the library's worker) must
// not end on that stale signal.  Polled and by event, with and without
// overlap; then the class driver with no device open, which fails at once.
TEST_F(RipThreadWine, TheEnginesWaitOverMixedCompletions) {
    aspi.reset();
    StandinSetup mixed("Personality=plextor\nReadLatency=40\n");
    aspi = std::make_unique<TWin32Aspi>(nullptr);
    SRB_ExecSCSICmd s;
    ClearSRB(s);
    s.SRB_Cmd = SC_EXEC_SCSI_CMD;
    s.SRB_Target = 1;
    s.SRB_SenseLen = SENSE_LEN;
    s.SRB_CDBLen = 6;
    aspi->ExecSRBWait(&s, 10, false, false);  // the unit attention of the new disc
    for (bool overlap : {false, true}) {
        TMemorySink sink;
        TRipContext ctx;
        ctx.Output = &sink;
        TTransferRecord r = Request(300, 300 + 26 * 6);
        r.SeekEachRead = true;
        r.OverlapSectors = overlap ? 4 : 0;
        mixed.ClearLog();
        auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
        TReport rep = Pump(wnd);
        ASSERT_TRUE(rep.done);
        t->WaitFor(10000);
        EXPECT_EQ(std::count(rep.messages.begin(), rep.messages.end(), UINT(WM_RIP_TIMEOUT)), 0);
        EXPECT_EQ(rep.result.ResultClass, rrOK) << overlap;
        EXPECT_EQ(rep.result.ScsiErrors, 0);
        ASSERT_EQ(sink.bytes.size(), 26u * 6 * 2352);
        EXPECT_TRUE(testimg::MatchesImage(sink.bytes.data(), sink.bytes.size(), 300 * 2352)) << overlap;
        // Both kinds of completion were there, each on the event.
        auto seeks = mixed.Find({"cdb=2b", "event=1", "status=1"});
        auto reads = mixed.Find({"cdb=d8", "event=1", "status=1"});
        EXPECT_GE(seeks.size(), overlap ? 7u : 6u);
        EXPECT_EQ(seeks.size(), reads.size());
    }

    TMemorySink sink;
    TRipContext ctx;
    ctx.Output = &sink;
    TTransferRecord r = Request(300, 400);
    r.UseAspi = false;
    r.SendAspiCommand = nullptr;
    DWORD t0 = GetTickCount();
    auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
    TReport rep = Pump(wnd);
    ASSERT_TRUE(rep.done);
    t->WaitFor(10000);
    EXPECT_EQ(rep.result.ResultClass, rrNG);
    EXPECT_EQ(rep.result.LastSrb.SRB_Status, SS_ERR);  // never left pending
    EXPECT_LT(GetTickCount() - t0, 5000u);
    EXPECT_EQ(sink.discards, 1);
}

// The burst read on kernel events: through the library, whose reads end out
// of order, and through the pass-through transport's overlapped requests
// (on the emulated device layer); then the benchmark's burst timing.
TEST_F(RipThreadWine, BurstReadAndBenchmarkOnKernelEvents) {
    aspi.reset();
    StandinSetup reordered("Personality=plextor\nReorder=4\n");
    aspi = std::make_unique<TWin32Aspi>(nullptr);
    SRB_ExecSCSICmd s;
    ClearSRB(s);
    s.SRB_Cmd = SC_EXEC_SCSI_CMD;
    s.SRB_Target = 1;
    s.SRB_SenseLen = SENSE_LEN;
    s.SRB_CDBLen = 6;
    aspi->ExecSRBWait(&s, 10, false, false);  // the unit attention of the new disc
    std::vector<std::uint8_t> cache(400 * 2352);  // ranges of 389 sectors
    auto rip = [&](const TTransferRecord& r, TMemorySink& sink) {
        TRipContext ctx;
        ctx.Output = &sink;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
        auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
        TReport rep = Pump(wnd);
        EXPECT_TRUE(rep.done);
        t->WaitFor(10000);
        return rep.result;
    };
    TTransferRecord r = Request(100, 700);
    r.BurstRead = true;
    r.RereadFailed = true;
    TMemorySink viaAspi;
    TTransferRecord res = rip(r, viaAspi);
    EXPECT_EQ(res.ResultClass, rrOK);
    ASSERT_EQ(viaAspi.bytes.size(), 600u * 2352);
    EXPECT_TRUE(testimg::MatchesImage(viaAspi.bytes.data(), viaAspi.bytes.size(), 100 * 2352));

    emu::IniFile sidecar;
    std::string err;
    auto disc = emu::LoadDiscImage(reordered.dir.File("disc.cue"), sidecar, err);
    ASSERT_TRUE(disc) << err;
    emu::EmuDeviceIo io;
    emu::EmuLetter letter;
    letter.letter = 'E';
    letter.drive = std::make_shared<emu::MmcDrive>();
    letter.drive->Load(disc);
    letter.drive->Execute(0, s.CDBByte, 6, nullptr, 0, true);
    io.letters.push_back(letter);
    SetDeviceIo(&io);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    TClassDrvDevice d;
    ClassDrvGetDevice(0, d);
    r.UseAspi = false;
    r.SendAspiCommand = nullptr;
    r.PortNumber = d.PortNumber;
    r.Adapter = d.PathId;
    r.Target = d.TargetId;
    r.Lun = d.Lun;
    TMemorySink viaPassThrough;
    cache.assign(700 * 2352, 0);  // one range: no pause between ranges
    res = rip(r, viaPassThrough);
    SetDeviceIo(nullptr);
    ClassDrvResetForTest();
    EXPECT_EQ(res.ResultClass, rrOK);
    EXPECT_TRUE(viaPassThrough.bytes == viaAspi.bytes);
    int overlapped = 0;
    for (const auto& c : io.calls) overlapped += c.op == "control" && c.overlapped;
    EXPECT_GE(overlapped, 600 / 26);

    r = Request(0, 1725);
    r.BenchmarkBytes = 26 * 2352 * 20;
    TMemorySink none;
    res = rip(r, none);
    EXPECT_EQ(res.ResultClass, rrOK);
    EXPECT_EQ(res.BenchReads, 20);
    EXPECT_EQ(res.BenchOuterLba, 1725 - 520);
    EXPECT_GE(res.BenchInnerBurstMs, 0);
    EXPECT_GE(res.BenchOuterBurstMs, 0);
    EXPECT_TRUE(none.bytes.empty());
}

TEST(RipThreadPriority, Scale) {
    EXPECT_EQ(RipThreadPriority(0), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(RipThreadPriority(1), THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(RipThreadPriority(2), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(RipThreadPriority(-1), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(RipThreadPriority(-2), THREAD_PRIORITY_LOWEST);
}

namespace {
std::string ProgramDir() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}
}  // namespace

// After the rip into the work file, the external encoder makes the output
// file from it; a missing encoder is a failed track, not a good one.
TEST_F(RipThreadWine, ExternalEncoderOnTheWorkFile) {
    for (bool present : {true, false}) {
        TAcmDrv drv;
        WAVEFORMATEX cd{};
        cd.wFormatTag = WAVE_FORMAT_PCM;
        cd.nChannels = 2;
        cd.nSamplesPerSec = 44100;
        cd.wBitsPerSample = 16;
        cd.nBlockAlign = 4;
        cd.nAvgBytesPerSec = 44100 * 4;
        std::string work = standin.dir.File("") ;
        if (work.back() != '\\' && work.back() != '/') work += "\\";
        ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
        ASSERT_TRUE(drv.Open(work + "wendri_pass0.wav"));
        TTransferRecord r = Request(0, 300);
        r.OutputDriver = &drv;
        r.UseExternalEncoder = true;
        r.WorkFolder = work;
        r.EncoderProgram = ProgramDir() + (present ? "testenc.exe" : "missing-encoder.exe");
        r.EncoderOptions = "-v";
        r.OutputFileName = standin.dir.File(present ? "out.mp3" : "none.mp3");
        TRipContext ctx;
        auto t = std::make_unique<TExecuteAspiThread>(r, ctx);
        TReport rep = Pump(wnd);
        ASSERT_TRUE(rep.done);
        t->WaitFor(10000);
        // The work file is gone either way.
        EXPECT_EQ(GetFileAttributesA((work + "wendri_pass0.wav").c_str()), INVALID_FILE_ATTRIBUTES);
        if (present) {
            EXPECT_EQ(rep.result.ResultClass, rrOK);
            std::ifstream in(r.OutputFileName, std::ios::binary);
            std::vector<std::uint8_t> out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ASSERT_EQ(out.size(), 44u + 300u * 2352);  // the test encoder copies its source
            EXPECT_TRUE(testimg::MatchesImage(out.data() + 44, 300u * 2352, 0));
            EXPECT_NE(std::find(rep.statuses.begin(), rep.statuses.end(),
                                std::string("\xc4\xd7\xaf\xb8") + "2\x82\xcc" + MsgExternalEncoding),
                      rep.statuses.end());
        } else {
            EXPECT_EQ(rep.result.ResultClass, rrNG);
            EXPECT_EQ(GetFileAttributesA(r.OutputFileName.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
}
