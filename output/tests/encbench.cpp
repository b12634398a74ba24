// Encoder benchmark, run by hand (docs/encbench.md): one encode of a WAV
// file through one path, timed from outside by encbench.sh.
//
//   encbench gogo   IN.wav OUT.mp3          TAcmDrv -> TGogoTea
//   encbench tvq    IN.wav OUT.vqf          TAcmDrv -> TTVQEnc
//   encbench tvq-direct IN.wav OUT.vqf      the TwinVQ library and file writer
//                                           called directly, no component
//   encbench pipe   IN.wav OUT.mp3 ENCODER OPTIONS
//                                           TAcmDrv -> external encoder's
//                                           standard input
//   encbench pipe-floor IN.wav OUT.mp3 ENCODER OPTIONS
//                                           the encoder fed through a pipe
//                                           by the plainest loop, no driver
//
// The driver paths write from a thread of their own in blocks of 61,152
// bytes (26 sectors, as a rip does) while the main thread handles the
// components' messages, as the program's user-interface thread does.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "output/acmmgr32.h"
#include "output/bstream.h"
#include "output/gogotea.h"
#include "output/tests/enctest_util.h"
#include "output/tvqdefs.h"
#include "output/tvqenc.h"

namespace {

constexpr std::uint32_t kBlock = 61152;

std::vector<std::uint8_t> g_pcm;

// The sample data of a 44,100 Hz 16-bit stereo WAV file, read in one
// piece (as little work as the encoder alone spends on reading it).
bool ReadWave(const char* name) {
    FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    std::vector<std::uint8_t> head(12 + 8);
    std::uint32_t at = 12;
    bool found = false;
    while (std::fseek(f, long(at), SEEK_SET) == 0 && std::fread(head.data(), 1, 8, f) == 8) {
        std::uint32_t size;
        std::memcpy(&size, &head[4], 4);
        if (std::memcmp(head.data(), "data", 4) == 0) {
            g_pcm.resize(size);
            g_pcm.resize(std::fread(g_pcm.data(), 1, size, f));
            found = true;
            break;
        }
        at += 8 + size + (size & 1);
    }
    std::fclose(f);
    return found;
}

WAVEFORMATEX Cd() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 176400;
    return f;
}

struct TWriterJob {
    TAcmDrv* Driver;
    bool Ok = false;
    HANDLE Done = nullptr;
};

DWORD WINAPI Writer(LPVOID arg) {
    auto* job = static_cast<TWriterJob*>(arg);
    bool ok = true;
    for (std::size_t at = 0; ok && at < g_pcm.size(); at += kBlock)
        ok = job->Driver->Write(g_pcm.data() + at, std::uint32_t(std::min<std::size_t>(kBlock, g_pcm.size() - at)));
    job->Ok = job->Driver->Close() && ok;
    SetEvent(job->Done);
    return 0;
}

// Runs the writer thread while this thread handles messages.
bool RunDriver(TAcmDrv& drv) {
    TWriterJob job{&drv};
    job.Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = CreateThread(nullptr, 0, Writer, &job, 0, nullptr);
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &job.Done, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    CloseHandle(job.Done);
    if (!job.Ok) std::fprintf(stderr, "encbench: %s\n", drv.ErrorText().c_str());
    return job.Ok;
}

bool Gogo(const std::string& out) {
    wx::TGogoTea gogo(nullptr);
    TAcmDrv drv;
    drv.GogoEncoder = &gogo;
    // As "-b 128 -m j -q 7 --lowpass -1": no psycho-acoustics, no low-pass.
    TGogoEncodeParams p{};
    p.CpuFeatures = 1;
    p.VBRLevel = 5;
    p.Priority = 3;
    p.ChannelMode = gcJointStereo;
    p.BitRate = 128000;
    const WAVEFORMATEX cd = Cd();
    if (!drv.Setup(&cd, &p, admGogo, false) || !drv.Open(out)) {
        std::fprintf(stderr, "encbench: %s\n", drv.ErrorText().c_str());
        return false;
    }
    return RunDriver(drv);
}

bool TwinVq(const std::string& out) {
    wx::TTVQEnc tvq(nullptr);
    TAcmDrv drv;
    drv.TwinVqEncoder = &tvq;
    TTwinVQEncodeParams p{44, 2, nullptr, 96, 16};
    const WAVEFORMATEX cd = Cd();
    if (!drv.Setup(&cd, &p, admTwinVq, false) || !drv.Open(out)) {
        std::fprintf(stderr, "encbench: %s\n", drv.ErrorText().c_str());
        return false;
    }
    return RunDriver(drv);
}

// What the component does for one file, in one thread and without a ring:
// the same library calls and the same file writer.
bool TwinVqDirect(const std::string& out) {
    using namespace wx;
    if (!LoadTvqDll()) return false;
    TTvqHeaderInfo header{};
    Tvq.GetVersionID(0, header.VersionID);
    header.ChannelMode = 1;
    header.BitRate = 96;
    header.SampleRate = 44;
    std::int32_t nCan = 16;
    TTvqIndex index{};
    if (Tvq.EncInitialize(&header, &nCan, &index, 0) != 0) return false;
    PBitFile f = BitFileOpen(out, "wb");
    if (!f) return false;
    TTvqBitInfo bits;
    UpdateBitInfo(bits, Tvq.EncGetConfInfo, Tvq.EncGetVectorInfo, Tvq.EncUpdateVectorInfo);
    const int frameSize = Tvq.EncGetFrameSize();
    const int channels = Tvq.EncGetNumChannels();
    const TTvqCommon common{header.ChannelMode, header.BitRate, header.SampleRate, header.SecurityLevel};
    const std::vector<unsigned char> chunks = BuildTwinVQChunks(common, TTvqTagTexts{});
    WriteTwinVQHeader(f, chunks.data(), int(chunks.size()));
    const std::size_t samples = std::size_t(frameSize) * std::size_t(channels);
    std::vector<float> frame(samples);
    std::vector<std::int16_t> pcm(samples);
    std::size_t at = 0;
    for (;;) {
        const std::size_t bytes = std::min(samples * 2, g_pcm.size() - at);
        std::memset(pcm.data(), 0, samples * 2);
        std::memcpy(pcm.data(), g_pcm.data() + at, bytes);
        at += bytes;
        PcmToFloatFrame(int(bytes / 2), pcm.data(), frame.data(), channels, frameSize);
        Tvq.EncodeFrame(frame.data(), &index);
        WriteTwinVQFrame(index, bits, f);
        if (bytes == 0) break;  // the frame of silence after the data
    }
    Tvq.EncTerminate(&index);
    const bool ok = BitFileClose(f);
    UnloadTvqDll();
    return ok;
}

bool Pipe(const std::string& out, const std::string& encoder, const std::string& options) {
    TAcmDrv drv;
    TPipeEncodeParams p{encoder.c_str(), options.c_str()};
    const WAVEFORMATEX cd = Cd();
    if (!drv.Setup(&cd, &p, admPipe, false) || !drv.Open(out)) {
        std::fprintf(stderr, "encbench: %s\n", drv.ErrorText().c_str());
        return false;
    }
    return RunDriver(drv);
}

// The least any program can do to feed an encoder through a pipe: the
// file's PCM in 256 KiB writes into a 1 MiB pipe, nothing else.  What the
// encoder then takes longer than with the file is the cost of the pipe.
bool PipeFloor(const std::string& out, const std::string& encoder, const std::string& options) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0x100000)) return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readEnd;
    si.hStdOutput = si.hStdError = nul;
    std::string line = "\"" + encoder + "\" " + options + " \"" + out + "\"";
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(readEnd);
    CloseHandle(nul);
    bool ok = true;
    for (std::size_t at = 0; ok && at < g_pcm.size(); at += 0x40000) {
        DWORD done = 0;
        const DWORD n = DWORD(std::min<std::size_t>(0x40000, g_pcm.size() - at));
        ok = WriteFile(writeEnd, g_pcm.data() + at, n, &done, nullptr) && done == n;
    }
    CloseHandle(writeEnd);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return ok && code == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: encbench gogo|tvq|tvq-direct|pipe|pipe-floor IN.wav OUT [ENCODER OPTIONS]\n");
        return 2;
    }
    const std::string mode = argv[1];
    SetDllDirectoryA(wx::test::StandinDir().c_str());
    if (!ReadWave(argv[2])) {
        std::fprintf(stderr, "encbench: cannot read %s\n", argv[2]);
        return 2;
    }
    bool ok = false;
    if (mode == "gogo") ok = Gogo(argv[3]);
    else if (mode == "tvq") ok = TwinVq(argv[3]);
    else if (mode == "tvq-direct") ok = TwinVqDirect(argv[3]);
    else if (mode == "pipe" && argc >= 6) ok = Pipe(argv[3], argv[4], argv[5]);
    else if (mode == "pipe-floor" && argc >= 6) ok = PipeFloor(argv[3], argv[4], argv[5]);
    else return 2;
    return ok ? 0 : 1;
}
