// Stand-in for GOGO.DLL, the MP3 encoder library the program loads at run
// time.  It offers the nine MPGE_ entry points with the calls, order and
// results the encoder component relies on, and encodes with the LAME library
// so that the output is a real MPEG-1 Layer III stream (plain, RIFF WAVE with
// format tag 0x55, or RIFF RMP3), which tags, header parsers and players can
// be tested against.
//
// A few extra exports (Standin*) let tests steer the library: the version it
// reports, the CPU units it claims, a frame that fails, and a trace of the
// settings it received.
#include <windows.h>

#include <lame.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define GOGO_API extern "C" __declspec(dllexport) uint32_t __stdcall
#define STANDIN_API extern "C" __declspec(dllexport)

namespace {

// Result codes.  0 is success; processFrame answers 1 after the last frame.
constexpr uint32_t kOk = 0;
constexpr uint32_t kLastFrame = 1;
constexpr uint32_t kInternal = 2;
constexpr uint32_t kBadParameter = 3;
constexpr uint32_t kNoInput = 4;
constexpr uint32_t kWriteError = 5;
constexpr uint32_t kBadBitrate = 6;
constexpr uint32_t kNotReady = 7;

// Setting identifiers understood here.
enum : uintptr_t {
    kSetInput = 1, kSetOutput = 2, kSetMode = 3, kSetBitrate = 4,
    kSetOutFrequency = 6, kSetPsy = 8, kSetLpf = 9,
    kSetUnitFirst = 10, kSetUnitLast = 15, kSetEmphasis = 17,
    kSetVbrLevel = 18, kSetProcessors = 19, kSetFormat = 26, kSetChunk = 27,
    kSetVbrRange = 30, kSetFilter = 31, kSetMsSetting = 32,
};
constexpr uint32_t kGetFrameCount = 15;

// Memory-mode input record given with setting 1, parameter 1 = 2.
typedef int(__cdecl* ReadCallback)(void* buffer, unsigned long count);
struct MemoryInput {
    ReadCallback read;
    uint32_t totalSize;     // 0xFFFFFFFF: unknown
    uint32_t bitsPerSample;
    uint32_t frequency;
    uint32_t channels;
};

constexpr int kSamplesPerFrame = 1152;

struct Config {
    int inputKind = -1;  // 0 file, 2 memory
    std::string inputFile;
    MemoryInput memory{};
    std::string outputFile;
    int mode = 2;  // joint stereo
    int bitrate = 128;
    int outFrequency = 0;
    bool psy = false;
    bool lpf = false;
    int emphasis = 0;
    bool vbr = false;
    int vbrLevel = 5;
    int vbrMin = 0, vbrMax = 0;
    int format = 0;  // 0 MP3, 1 RIFF WAVE, 2 RIFF RMP3
    std::vector<std::vector<unsigned char>> chunks;
};

struct Encoder {
    Config cfg;
    bool initialized = false;
    bool ready = false;     // detectConfigure succeeded
    bool finished = false;  // last frame written
    lame_global_flags* gf = nullptr;
    FILE* in = nullptr;
    uint32_t inRemaining = 0;  // file mode: PCM bytes left in the data chunk
    int inChannels = 2;
    int inFrequency = 44100;
    unsigned long totalSamples = 0;  // per channel, 0 when unknown
    FILE* out = nullptr;
    bool writeFailed = false;
    long dataStart = 0;    // RIFF: offset of the MP3 data
    uint64_t mp3Bytes = 0;
    uint64_t samplesIn = 0;
    long factOffset = -1;
    uint32_t frameNo = 0;
    std::vector<unsigned char> mp3buf;
};

Encoder g;
uint32_t g_version = 560;
uint32_t g_units = 0x2 | 0x4 | 0x8 | 0x20;
uint32_t g_failFrame = 0, g_failCode = 0;
uint32_t g_failInitialize = 0;
std::string g_trace;
uint16_t g_fpuControlWord = 0;  // the floating-point state the first frame ran under
uint32_t g_fpuMxcsr = 0;

void RecordFpuState() {
    __asm__ __volatile__("fnstcw %0" : "=m"(g_fpuControlWord));
#if defined(__x86_64__) || defined(__SSE__)
    __asm__ __volatile__("stmxcsr %0" : "=m"(g_fpuMxcsr));
#endif
}

void Trace(const std::string& line) { g_trace += line + "\n"; }

void Put32(unsigned char* p, uint32_t v) {
    p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}
void Put16(unsigned char* p, uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }

void WriteOut(const void* data, size_t n) {
    if (!g.out || n == 0 || g.writeFailed) return;
    if (std::fwrite(data, 1, n, g.out) != n) g.writeFailed = true;
}

void WriteChunkHeader(const char* id, uint32_t size) {
    unsigned char h[8];
    std::memcpy(h, id, 4);
    Put32(h + 4, size);
    WriteOut(h, 8);
}

void ReleaseAll() {
    if (g.gf) lame_close(g.gf);
    g.gf = nullptr;
    if (g.in) std::fclose(g.in);
    g.in = nullptr;
    if (g.out) std::fclose(g.out);
    g.out = nullptr;
    g.ready = g.finished = false;
}

// Reads a 16-bit PCM RIFF WAVE header; leaves the file at the sample data.
bool OpenWaveInput(const std::string& name) {
    g.in = std::fopen(name.c_str(), "rb");
    if (!g.in) return false;
    unsigned char head[12];
    if (std::fread(head, 1, 12, g.in) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    bool haveFmt = false;
    for (;;) {
        unsigned char ch[8];
        if (std::fread(ch, 1, 8, g.in) != 8) return false;
        uint32_t size = ch[4] | ch[5] << 8 | ch[6] << 16 | uint32_t(ch[7]) << 24;
        if (std::memcmp(ch, "fmt ", 4) == 0) {
            unsigned char f[16];
            if (size < 16 || std::fread(f, 1, 16, g.in) != 16) return false;
            int tag = f[0] | f[1] << 8;
            g.inChannels = f[2] | f[3] << 8;
            g.inFrequency = f[4] | f[5] << 8 | f[6] << 16 | f[7] << 24;
            int bits = f[14] | f[15] << 8;
            if (tag != 1 || bits != 16 || g.inChannels < 1 || g.inChannels > 2) return false;
            if (std::fseek(g.in, long(size - 16 + (size & 1)), SEEK_CUR) != 0) return false;
            haveFmt = true;
        } else if (std::memcmp(ch, "data", 4) == 0) {
            if (!haveFmt) return false;
            g.inRemaining = size;
            g.totalSamples = size / (2u * g.inChannels);
            return true;
        } else if (std::fseek(g.in, long(size + (size & 1)), SEEK_CUR) != 0) {
            return false;
        }
    }
}

bool LegalBitrate(int kbps) {
    static const int rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    for (int r : rates)
        if (r == kbps) return true;
    return false;
}

void WriteRiffStart() {
    const Config& c = g.cfg;
    int channels = c.mode == 0 ? 1 : 2;
    int rate = lame_get_out_samplerate(g.gf);
    WriteOut("RIFF\0\0\0\0", 8);
    if (c.format == 1) {
        WriteOut("WAVE", 4);
        // MPEG Layer III wave format: the common part, then ID, flags,
        // block size, frames per block and codec delay.
        unsigned char fmt[30] = {};
        Put16(fmt + 0, 0x55);
        Put16(fmt + 2, channels);
        Put32(fmt + 4, rate);
        Put32(fmt + 8, c.bitrate * 1000 / 8);
        Put16(fmt + 12, 1);
        Put16(fmt + 14, 0);
        Put16(fmt + 16, 12);
        Put16(fmt + 18, 1);
        Put32(fmt + 20, 2);
        Put16(fmt + 24, 144 * c.bitrate * 1000 / rate);
        Put16(fmt + 26, 1);
        Put16(fmt + 28, 1393);
        WriteChunkHeader("fmt ", 30);
        WriteOut(fmt, 30);
        g.factOffset = std::ftell(g.out);
        WriteChunkHeader("fact", 4);
        WriteOut("\0\0\0\0", 4);
    } else {
        WriteOut("RMP3", 4);
    }
    WriteOut("data\0\0\0\0", 8);
    g.dataStart = std::ftell(g.out);
}

// Completes the RIFF file: pads the data, appends the INFO list built from
// the chunk blocks (four-character code, then the data), fixes the sizes.
void WriteRiffEnd() {
    if (g.mp3Bytes & 1) WriteOut("", 1);
    std::vector<unsigned char> info;
    for (const auto& blk : g.cfg.chunks) {
        if (blk.size() < 4) continue;
        uint32_t n = uint32_t(blk.size() - 4);
        unsigned char h[8];
        std::memcpy(h, blk.data(), 4);
        Put32(h + 4, n);
        info.insert(info.end(), h, h + 8);
        info.insert(info.end(), blk.begin() + 4, blk.end());
        if (n & 1) info.push_back(0);
    }
    if (!info.empty()) {
        WriteChunkHeader("LIST", uint32_t(info.size() + 4));
        WriteOut("INFO", 4);
        WriteOut(info.data(), info.size());
    }
    long end = std::ftell(g.out);
    unsigned char v[4];
    Put32(v, uint32_t(end - 8));
    std::fseek(g.out, 4, SEEK_SET);
    WriteOut(v, 4);
    Put32(v, uint32_t(g.mp3Bytes));
    std::fseek(g.out, g.dataStart - 4, SEEK_SET);
    WriteOut(v, 4);
    if (g.factOffset >= 0) {
        Put32(v, uint32_t(g.samplesIn));
        std::fseek(g.out, g.factOffset + 8, SEEK_SET);
        WriteOut(v, 4);
    }
    std::fseek(g.out, 0, SEEK_END);
}

void Finish() {
    if (!g.out) return;
    int n = lame_encode_flush(g.gf, g.mp3buf.data(), int(g.mp3buf.size()));
    if (n > 0) {
        WriteOut(g.mp3buf.data(), size_t(n));
        g.mp3Bytes += unsigned(n);
    }
    if (g.cfg.format == 0) {
        // The first frame was reserved for the information frame that tells
        // players the exact length.
        size_t t = lame_get_lametag_frame(g.gf, g.mp3buf.data(), g.mp3buf.size());
        if (t > 0 && t <= g.mp3buf.size() && std::fseek(g.out, 0, SEEK_SET) == 0) {
            WriteOut(g.mp3buf.data(), t);
            std::fseek(g.out, 0, SEEK_END);
        }
    } else {
        WriteRiffEnd();
    }
    g.finished = true;
}

}  // namespace

GOGO_API MPGE_initializeWork() {
    Trace("init");
    if (g_failInitialize) return g_failInitialize;
    ReleaseAll();
    g.cfg = Config{};
    g.initialized = true;
    return kOk;
}

GOGO_API MPGE_setConfigure(uintptr_t id, uintptr_t p1, uintptr_t p2) {
    Config& c = g.cfg;
    char line[96];
    std::snprintf(line, sizeof line, "set %u %llu %llu", unsigned(id),
                  (unsigned long long)p1,
                  (unsigned long long)((id == kSetInput || id == kSetOutput || id == kSetChunk) ? (p2 != 0) : p2));
    std::string text = line;
    if (!g.initialized || g.ready) return kNotReady;
    switch (id) {
    case kSetInput:
        c.inputKind = int(p1);
        if (p1 == 2 && p2) {
            c.memory = *reinterpret_cast<const MemoryInput*>(p2);
        } else if (p1 == 0 && p2) {
            c.inputFile = reinterpret_cast<const char*>(p2);
        } else {
            c.inputKind = -1;
            Trace(text);
            return kBadParameter;
        }
        break;
    case kSetOutput:
        if (p1 != 0 || !p2) {
            Trace(text);
            return kBadParameter;
        }
        c.outputFile = reinterpret_cast<const char*>(p2);
        break;
    case kSetMode: c.mode = int(p1); break;
    case kSetBitrate: c.bitrate = int(p1); break;
    case kSetOutFrequency: c.outFrequency = int(p1); break;
    case kSetPsy: c.psy = p1 != 0; break;
    case kSetLpf: c.lpf = p1 != 0; break;
    case kSetEmphasis: c.emphasis = int(p1); break;
    case kSetVbrLevel: c.vbr = true; c.vbrLevel = int(p1); break;
    case kSetVbrRange: c.vbrMin = int(p1); c.vbrMax = int(p2); break;
    case kSetFormat: c.format = int(p1); break;
    case kSetChunk:
        if (p1 >= 4 && p2) {
            const auto* b = reinterpret_cast<const unsigned char*>(p2);
            c.chunks.emplace_back(b, b + p1);
            text += " " + std::string(reinterpret_cast<const char*>(b), 4);
        }
        break;
    default:
        // CPU units, processors, filter range and mid/side settings are
        // accepted and have no effect on this encoder.
        break;
    }
    Trace(text);
    return kOk;
}

GOGO_API MPGE_detectConfigure() {
    Trace("detect");
    Config& c = g.cfg;
    if (!g.initialized || g.ready) return kNotReady;
    if (c.outputFile.empty()) return kBadParameter;
    if (c.inputKind == 2) {
        if (!c.memory.read || c.memory.bitsPerSample != 16 || c.memory.channels < 1 ||
            c.memory.channels > 2 || c.memory.frequency == 0)
            return kBadParameter;
        g.inChannels = int(c.memory.channels);
        g.inFrequency = int(c.memory.frequency);
        g.totalSamples = c.memory.totalSize == 0xFFFFFFFFu ? 0 : c.memory.totalSize / (2u * c.memory.channels);
    } else if (c.inputKind == 0) {
        if (!OpenWaveInput(c.inputFile)) {
            ReleaseAll();
            return kNoInput;
        }
    } else {
        return kNoInput;
    }
    if (!c.vbr && !LegalBitrate(c.bitrate)) {
        ReleaseAll();
        return kBadBitrate;
    }
    if (c.format < 0 || c.format > 2 || c.mode < 0 || c.mode > 4 || c.vbrLevel < 0 || c.vbrLevel > 9) {
        ReleaseAll();
        return kBadParameter;
    }

    g.gf = lame_init();
    if (!g.gf) {
        ReleaseAll();
        return kInternal;
    }
    lame_set_num_channels(g.gf, g.inChannels);
    lame_set_in_samplerate(g.gf, g.inFrequency);
    if (c.outFrequency > 0) lame_set_out_samplerate(g.gf, c.outFrequency);
    if (g.totalSamples) lame_set_num_samples(g.gf, g.totalSamples);
    static const MPEG_mode modes[] = {MONO, STEREO, JOINT_STEREO, JOINT_STEREO, STEREO};
    lame_set_mode(g.gf, modes[c.mode]);
    if (c.mode == 3) lame_set_force_ms(g.gf, 1);
    lame_set_brate(g.gf, c.bitrate);
    lame_set_quality(g.gf, c.psy ? 2 : 7);
    if (!c.lpf) lame_set_lowpassfreq(g.gf, -1);
    lame_set_emphasis(g.gf, c.emphasis);
    if (c.vbr) {
        lame_set_VBR(g.gf, vbr_default);
        lame_set_VBR_q(g.gf, c.vbrLevel);
        if (c.vbrMin > 0) lame_set_VBR_min_bitrate_kbps(g.gf, c.vbrMin);
        if (c.vbrMax > 0) lame_set_VBR_max_bitrate_kbps(g.gf, c.vbrMax);
    }
    lame_set_bWriteVbrTag(g.gf, c.format == 0 ? 1 : 0);
    if (lame_init_params(g.gf) < 0) {
        ReleaseAll();
        return kBadParameter;
    }
    g.out = std::fopen(c.outputFile.c_str(), "wb");
    if (!g.out) {
        ReleaseAll();
        return kWriteError;
    }
    g.mp3buf.assign(2 * kSamplesPerFrame * 5 / 4 + 7200 + 2880, 0);
    g.writeFailed = false;
    g.mp3Bytes = g.samplesIn = 0;
    g.factOffset = -1;
    g.frameNo = 0;
    if (c.format != 0) WriteRiffStart();
    g.ready = true;
    return g.writeFailed ? kWriteError : kOk;
}

GOGO_API MPGE_getConfigure(uintptr_t id, void* value) {
    if (id != kGetFrameCount || !value) return kBadParameter;
    uint32_t frames = 0;
    if (g.ready && g.totalSamples) {
        int f = lame_get_totalframes(g.gf);
        frames = f > 0 ? uint32_t(f) : 0;
    }
    std::memcpy(value, &frames, 4);
    return kOk;
}

GOGO_API MPGE_processFrame() {
    if (!g.ready) return kNotReady;
    if (g.finished) return kLastFrame;
    if (++g.frameNo == 1) RecordFpuState();
    if (g_failFrame && g.frameNo == g_failFrame) return g_failCode;

    const size_t frameBytes = size_t(kSamplesPerFrame) * g.inChannels * 2;
    std::vector<short> pcm(frameBytes / 2, 0);
    size_t got = 0;
    bool end = false;
    if (g.cfg.inputKind == 2) {
        int r = g.cfg.memory.read(pcm.data(), (unsigned long)frameBytes);
        if (r == 0) got = frameBytes;
        else end = true;
    } else {
        size_t want = frameBytes < g.inRemaining ? frameBytes : g.inRemaining;
        got = want ? std::fread(pcm.data(), 1, want, g.in) : 0;
        g.inRemaining -= uint32_t(got);
        if (got < frameBytes) end = true;
    }
    int samples = int(got / (2 * g.inChannels));
    if (samples > 0) {
        g.samplesIn += unsigned(samples);
        int n = g.inChannels == 2
                    ? lame_encode_buffer_interleaved(g.gf, pcm.data(), samples, g.mp3buf.data(), int(g.mp3buf.size()))
                    : lame_encode_buffer(g.gf, pcm.data(), pcm.data(), samples, g.mp3buf.data(), int(g.mp3buf.size()));
        if (n < 0) return kInternal;
        WriteOut(g.mp3buf.data(), size_t(n));
        g.mp3Bytes += unsigned(n);
    }
    if (end) Finish();
    if (g.writeFailed) return kWriteError;
    return end ? kLastFrame : kOk;
}

GOGO_API MPGE_closeCoder() {
    Trace("close");
    // An encoding ended early still leaves a file whose sizes add up.
    if (g.ready && !g.finished && g.out) Finish();
    if (g.in) std::fclose(g.in);
    g.in = nullptr;
    if (g.out) std::fclose(g.out);
    g.out = nullptr;
    return kOk;
}

GOGO_API MPGE_endCoder() {
    Trace("end");
    ReleaseAll();
    g.initialized = false;
    return kOk;
}

GOGO_API MPGE_getUnitStates(uint32_t* units) {
    if (!units) return kBadParameter;
    *units = g_units;
    return kOk;
}

#ifndef WX_GOGO_WITHOUT_VERSION
GOGO_API MPGE_getVersion(uint32_t* code, char* text) {
    if (!code || !text) return kBadParameter;
    *code = g_version;
    std::snprintf(text, 512, "stand-in MP3 encoder %u.%02x (LAME %s)", g_version >> 8, g_version & 0xFF,
                  get_lame_version());
    return kOk;
}
#endif

// ---- test controls ----
STANDIN_API void __cdecl StandinSetVersion(uint32_t code) { g_version = code; }
STANDIN_API void __cdecl StandinSetUnitStates(uint32_t units) { g_units = units; }
STANDIN_API void __cdecl StandinFailFrame(uint32_t frame, uint32_t code) {
    g_failFrame = frame;
    g_failCode = code;
}
STANDIN_API void __cdecl StandinFailInitialize(uint32_t code) { g_failInitialize = code; }
STANDIN_API int __cdecl StandinTrace(char* buffer, int size) {
    int n = int(g_trace.size());
    if (buffer && size > 0) {
        int c = n < size - 1 ? n : size - 1;
        std::memcpy(buffer, g_trace.data(), size_t(c));
        buffer[c] = 0;
    }
    return n;
}
STANDIN_API void __cdecl StandinClearTrace() { g_trace.clear(); }
STANDIN_API void __cdecl StandinFpuState(uint16_t* controlWord, uint32_t* mxcsr) {
    *controlWord = g_fpuControlWord;
    *mxcsr = g_fpuMxcsr;
}
