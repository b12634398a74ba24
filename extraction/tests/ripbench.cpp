// Benchmark (not a test): CPU seconds per minute of audio for plain and
// jitter-corrected rips of a 74-minute emulated disc, beside cd-paranoia on
// the same CUE image.  Our figures include the emulated drive, which runs
// in this process; cd-paranoia's are its own process's CPU time.
//
//   ripbench [work folder]     (build without sanitizers for real figures)
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "extraction/normaliz.h"
#include "extraction/ripmethods.h"
#include "extraction/tests/riptest_util.h"
#include "standins/mmcdrive/AspiEmulator.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wxtest;

namespace {

emu::AspiEmulator* g_emulator = nullptr;
std::uint32_t Send(void* srb) { return g_emulator->Send(srb); }

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
    std::uint64_t bytes = 0;
};

struct TRow {
    std::string what;
    double cpu;
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
    auto ripDisc = [&](const std::string& what, bool overlap, int jitter, const std::string& note, bool twoPass = false,
                       bool verify = false) {
        auto drive = std::make_shared<emu::MmcDrive>();
        drive->Load(disc);
        std::uint8_t tur[6] = {};
        drive->Execute(0, tur, 6, nullptr, 0, true);
        drive->faults().jitterFrames = jitter;
        emu::Unit u;
        u.target = 1;
        u.drive = drive;
        TTestPlatform platform;
        emu::AspiEmulator em({emu::HostAdapter{}}, {u}, [](void* ev) { static_cast<TEvent*>(ev)->Signal(); });
        g_emulator = &em;
        TCountingOutput out;
        TRipContext ctx;
        ctx.Platform = &platform;
        ctx.Output = &out;
        ctx.Store = &store;
        ctx.Normalizer = &normalizer;
        ctx.Methods = &methods;
        ctx.RipCache = cache.data();
        ctx.RipCacheSize = std::uint32_t(cache.size());
        double c0 = CpuSeconds(RUSAGE_SELF);
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
            r.WorkFolder = dir.string() + "/";
            TRipEngine e(r, ctx, [] { return false; });
            e.Execute();
            if (platform.result.ResultClass == rrOK) ++ok;
        }
        double cpu = CpuSeconds(RUSAGE_SELF) - c0;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        rows.push_back({what, cpu, wall, note + (ok == tracks ? "" : " (tracks failed!)")});
        g_emulator = nullptr;
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
        rows.push_back({what, cpu, wall,
                        rc == 0 && size >= std::uintmax_t(sectors) * 2352 ? "" : " (cd-paranoia failed)"});
        std::filesystem::remove(wav);
    };

    ripDisc("plain read (READ CD-DA, 26 sectors a read)", false, 0, "");
    ripDisc("one-pass jitter correction, drive without jitter", true, 0, "");
    ripDisc("one-pass jitter correction, injected jitter +-20 frames", true, 20, "");
    ripDisc("two-pass jitter correction, injected jitter +-20 frames", false, 20, "", true, false);
    ripDisc("two-pass jitter correction with verify (two runs), injected jitter +-20 frames", false, 20, "", true, true);
    paranoia("cd-paranoia -Z (no verification)", "-Z");
    paranoia("cd-paranoia (full paranoia)", "");

    std::printf("| rip of a %.0f-minute disc | CPU s | CPU s per minute of audio | wall s |\n", minutes);
    std::printf("|---|---:|---:|---:|\n");
    for (auto& r : rows)
        std::printf("| %s%s | %.2f | %.3f | %.2f |\n", r.what.c_str(), r.note.c_str(), r.cpu, r.cpu / minutes, r.wall);
    return 0;
}
