// Benchmark (not a test): CPU seconds per minute of audio for plain,
// jitter-corrected and burst rips of a 74-minute emulated disc, beside cd-paranoia on
// the same CUE image.  The emulated drive runs in this process: its share
// (the time inside its entry point) is measured apart from the engine's,
// and it is also timed alone, answering the same reads.  cd-paranoia's
// figures are its own process's CPU time.  Then the long runs of the
// properties of the one-pass and the two-pass jitter correction (ripprop.h).
//
//   ripbench [work folder] [property cases]   (build without sanitizers)
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "extraction/DriveCmds.h"
#include "extraction/normaliz.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/ripprop.h"
#include "extraction/tests/riptest_util.h"
#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wxtest;

namespace {

emu::AspiEmulator* g_emulator = nullptr;
double g_driveCpu = 0;  // thread CPU seconds spent inside the emulated drive
std::uint32_t Send(void* srb) {
    double t0 = ThreadCpuSeconds();
    std::uint32_t st = g_emulator->Send(srb);
    g_driveCpu += ThreadCpuSeconds() - t0;
    return st;
}

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class TCountingOutput : public IRipOutput {
public:
    bool Write(const void*, std::uint32_t length) override {
        bytes += length;
        return true;
    }
    bool Close() override { return true; }
    void Discard() override {}
    std::uint64_t bytes = 0;
};

struct TRow {
    std::string what;
    double cpu;
    double drive;  // of cpu, inside the emulated drive; -1 where it does not apply
    double wall;
    std::string note;
};

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path() / "wx_ripbench";
    std::filesystem::create_directories(dir);
    const std::int32_t sectors = 74 * 60 * 75;  // 333000
    const int tracks = 10;
    const double minutes = sectors / 75.0 / 60.0;
    std::string bin = (dir / "bench.bin").string(), cue = (dir / "bench.cue").string();
    if (!std::filesystem::exists(bin) || std::filesystem::file_size(bin) != std::uintmax_t(sectors) * 2352)
        testimg::WriteBin(bin, sectors);
    {
        std::ofstream c(cue);
        c << "FILE \"bench.bin\" BINARY\n";
        for (int t = 0; t < tracks; ++t) {
            std::int32_t s = sectors / tracks * t;
            char msf[16];
            std::snprintf(msf, sizeof msf, "%02d:%02d:%02d", s / 4500, s / 75 % 60, s % 75);
            c << "  TRACK " << (t < 9 ? "0" : "") << t + 1 << " AUDIO\n    INDEX 01 " << msf << "\n";
        }
    }
    std::string err;
    std::shared_ptr<emu::Disc> disc = emu::Disc::LoadCue(cue, {}, err);
    if (!disc) {
        std::cerr << err << "\n";
        return 1;
    }
    if (!ReserveRipBuffers(RipBuffers)) return 1;

    std::vector<TRow> rows;
    // The two-pass read keeps its passes in a rip memory block of 128 MiB
    // and spills the rest of a track to work files in the work folder.
    std::vector<std::uint8_t> cache(128u << 20);
    TTempStore store;
    TNormalizer normalizer(&store);
    TRipMethods methods;
    auto newDrive = [&](int jitter) {
        auto drive = std::make_shared<emu::MmcDrive>();
        drive->Load(disc);
        std::uint8_t tur[6] = {};
        drive->Execute(0, tur, 6, nullptr, 0, true);
        drive->faults().jitterFrames = jitter;
        return drive;
    };
    auto ripDisc = [&](const std::string& what, bool overlap, int jitter, std::string note, bool twoPass = false,
                       bool verify = false, bool burst = false, int reorder = 0) {
        emu::Unit u;
        u.target = 1;
        u.drive = newDrive(jitter);
        u.reorder = reorder;
        TTestPlatform platform;
        emu::AspiEmulator em({emu::HostAdapter{}}, {u}, [](void* ev) { static_cast<TEvent*>(ev)->Signal(); });
        g_emulator = &em;
        g_driveCpu = 0;
        TCountingOutput out;
        TRipContext ctx;
        ctx.Platform = &platform;
        ctx.Output = &out;
        ctx.Store = &store;
        ctx.Normalizer = &normalizer;
        ctx.Methods = &methods;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
        double c0 = ThreadCpuSeconds();
        auto w0 = std::chrono::steady_clock::now();
        int ok = 0;
        for (auto& t : disc->Tracks()) {
            TTransferRecord r = EmptyTransferRecord();
            r.Target = 1;
            r.StartLba = t.startLba;
            r.EndLba = t.endLba;
            r.LastReadableLba = disc->LeadOut() - 1;
            r.ReadCommand = 4;
            r.SectorsPerRead = 26;
            r.MaxRetry = 4;
            r.SendAspiCommand = &Send;
            r.UseAspi = true;
            r.VolumePercent = 100;
            r.OverlapSectors = overlap ? 4 : 0;
            r.TwoPass = twoPass;
            r.VerifyRead = verify;
            r.BurstRead = burst;
            r.RereadFailed = burst;
            r.WorkFolder = dir.string() + "/";
            TRipEngine e(r, ctx, [] { return false; });
            e.Execute();
            if (platform.result.ResultClass == rrOK) ++ok;
        }
        double cpu = ThreadCpuSeconds() - c0;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        bool exact = out.bytes == std::uint64_t(sectors) * 2352;
        if (ok != tracks) note += " (" + std::to_string(ok) + " of " + std::to_string(tracks) + " tracks OK)";
        rows.push_back({what, cpu, g_driveCpu, wall, note + (exact ? "" : " (wrong length!)")});
        g_emulator = nullptr;
    };
    // The emulated drive alone, answering the reads of a plain rip (26
    // sectors a read, READ CD-DA) with no engine behind them.
    auto driveAlone = [&](const std::string& what) {
        emu::Unit u;
        u.target = 1;
        u.drive = newDrive(0);
        emu::AspiEmulator em({emu::HostAdapter{}}, {u}, nullptr);
        std::vector<std::uint8_t> buf(26 * 2352);
        double c0 = ThreadCpuSeconds();
        auto w0 = std::chrono::steady_clock::now();
        bool good = true;
        for (std::int32_t lba = 0; lba < sectors; lba += 26) {
            std::uint8_t n = std::uint8_t(std::min<std::int32_t>(26, sectors - lba));
            SRB_ExecSCSICmd srb;
            ClearSRB(srb);
            srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
            srb.SRB_Target = 1;
            srb.SRB_Flags = SRB_DIR_IN;
            srb.SRB_SenseLen = SENSE_LEN;
            srb.SRB_BufPointer = buf.data();
            srb.SRB_BufLen = n * 2352u;
            TReadCommand c = BuildReadCommand(4, std::uint32_t(lba), n);
            std::memcpy(srb.CDBByte, c.Cdb, sizeof c.Cdb);
            srb.SRB_CDBLen = c.CdbLen;
            em.Send(&srb);
            good = good && srb.SRB_Status == SS_COMP;
        }
        double cpu = ThreadCpuSeconds() - c0;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        rows.push_back({what, cpu, cpu, wall, good ? "" : " (reads failed!)"});
    };
    auto paranoia = [&](const std::string& what, const std::string& flags) {
        std::string wav = (dir / "paranoia.wav").string();
        std::string cmd = "cd-paranoia -q " + flags + " -d " + cue + " 1- " + wav + " >/dev/null 2>&1";
        double c0 = CpuSeconds(RUSAGE_CHILDREN);
        auto w0 = std::chrono::steady_clock::now();
        int rc = std::system(cmd.c_str());
        double cpu = CpuSeconds(RUSAGE_CHILDREN) - c0;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        std::uintmax_t size = std::filesystem::exists(wav) ? std::filesystem::file_size(wav) : 0;
        rows.push_back({what, cpu, -1, wall,
                        rc == 0 && size >= std::uintmax_t(sectors) * 2352 ? "" : " (cd-paranoia failed)"});
        std::filesystem::remove(wav);
    };

    driveAlone("emulated drive alone, the reads of the plain rip");
    ripDisc("plain read (READ CD-DA, 26 sectors a read)", false, 0, "");
    ripDisc("one-pass jitter correction, drive without jitter", true, 0, "");
    ripDisc("one-pass jitter correction, injected jitter +-20 frames", true, 20, "");
    ripDisc("two-pass jitter correction, injected jitter +-20 frames", false, 20, "", true, false);
    ripDisc("two-pass jitter correction with verify (two runs), injected jitter +-20 frames", false, 20, "", true, true);
    ripDisc("burst read (4 requests of 26 sectors in flight)", false, 0, "", false, false, true);
    ripDisc("burst read with verify (two runs)", false, 0, "", false, true, true);
    ripDisc("burst read, the drive ends the reads out of order (4 at a time)", false, 0, "", false, false, true, 4);
    paranoia("cd-paranoia -Z (no verification)", "-Z");
    paranoia("cd-paranoia (full paranoia)", "");

    std::printf("| rip of a %.0f-minute disc | CPU s | of which emulated drive | engine CPU s | "
                "engine CPU s per minute of audio | wall s |\n",
                minutes);
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (auto& r : rows) {
        if (r.drive < 0) {
            std::printf("| %s%s | %.2f | - | - | - | %.2f |\n", r.what.c_str(), r.note.c_str(), r.cpu, r.wall);
        } else {
            double engine = r.cpu - r.drive;
            std::printf("| %s%s | %.2f | %.2f | %.2f | %.4f | %.2f |\n", r.what.c_str(), r.note.c_str(), r.cpu,
                        r.drive, engine, engine / minutes, r.wall);
        }
    }

    // The long runs of the properties, of the one-pass and the two-pass read.
    const int cases = argc > 2 ? std::atoi(argv[2]) : 3000;
    for (TRipKind kind : {TRipKind::OnePass, TRipKind::TwoPass}) {
        if (cases <= 0) break;
        const bool twoPass = kind == TRipKind::TwoPass;
        TPropertyRig rig(20000, 20261209);
        std::mt19937 g(twoPass ? 8 : 7);
        struct TCount {
            int cases = 0, ok = 0, s1 = 0, ng = 0, lengthWrong = 0, okBroken = 0, unbrokenS1 = 0;
        } count[int(TJitterPattern::Count)];
        auto w0 = std::chrono::steady_clock::now();
        for (int i = 0; i < cases; ++i) {
            TCaseResult c = rig.RunCase(g, 3000, kind);
            TCount& n = count[int(c.pattern)];
            ++n.cases;
            n.ok += c.resultClass == rrOK;
            // S2: a verified two-pass rip that wrote its second run.
            n.s1 += c.resultClass == rrS1 || c.resultClass == rrS2;
            n.ng += c.resultClass == rrNG;
            n.lengthWrong += !c.lengthExact;
            n.okBroken += c.resultClass == rrOK && !c.unbroken;
            n.unbrokenS1 += (c.resultClass == rrS1 || c.resultClass == rrS2) && c.unbroken;
            if ((c.resultClass == rrOK && !c.unbroken) || !c.lengthExact ||
                (c.pattern == TJitterPattern::None && !c.isImage))
                std::printf("PROPERTY BROKEN: %s\n", c.Describe().c_str());
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        std::printf("\n%s: %d cases in %.0f s (ranges of 3 to 3,000 sectors of a 20,000-sector disc of noise, "
                    "5 to 55 sectors a read, one in five with verify)\n\n",
                    twoPass ? "two-pass" : "one-pass", cases, wall);
        std::printf("| jitter | cases | OK | %s | NG | length not exact | OK but not an unbroken run | "
                    "%s though unbroken |\n|---|---:|---:|---:|---:|---:|---:|---:|\n",
                    twoPass ? "S1 or S2" : "S1", twoPass ? "S1 or S2" : "S1");
        for (int p = 0; p < int(TJitterPattern::Count); ++p) {
            const TCount& n = count[p];
            std::printf("| %s | %d | %d | %d | %d | %d | %d | %d |\n", PatternName(TJitterPattern(p)), n.cases, n.ok,
                        n.s1, n.ng, n.lengthWrong, n.okBroken, n.unbrokenS1);
        }
    }
    return 0;
}
