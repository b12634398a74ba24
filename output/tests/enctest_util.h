// Helpers of the encoder component tests (Windows): the stand-in libraries'
// folders, message pumping, test PCM and small readers of the outputs.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "classlib/win.h"

namespace wx::test {

// The folder of the running test program.
inline std::string ExeDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

// Folder of the complete stand-in libraries, and of those lacking an entry point.
inline std::string StandinDir() { return ExeDir() + "\\..\\..\\standins\\bin"; }
inline std::string IncompleteStandinDir() { return StandinDir() + "\\incomplete"; }

// Handles the test thread's messages until done() or the timeout.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

// 16-bit stereo PCM: a tone on each channel, `frames` sample pairs.
inline std::vector<int16_t> Tone(size_t frames, double left = 440.0, double right = 660.0) {
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        pcm[2 * i] = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265358979 * left * double(i) / 44100.0));
        pcm[2 * i + 1] = static_cast<int16_t>(9000 * std::sin(2 * 3.14159265358979 * right * double(i) / 44100.0));
    }
    return pcm;
}

inline std::vector<unsigned char> WaveFile(const std::vector<int16_t>& pcm) {
    const uint32_t data = static_cast<uint32_t>(pcm.size() * 2);
    std::vector<unsigned char> w(44 + data);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&w[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&w[at], &v, 2); };
    std::memcpy(&w[0], "RIFF", 4);
    put32(4, 36 + data);
    std::memcpy(&w[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 44100 * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(&w[36], "data", 4);
    put32(40, data);
    if (data) std::memcpy(&w[44], pcm.data(), data);
    return w;
}

// Walks MPEG-1 Layer III frames at 44,100 Hz from `at` to `end`; the number
// of frames, or -1 when something else is found on the way.
inline int CountMp3Frames(const std::vector<unsigned char>& b, size_t at, size_t end) {
    static const int kRates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    int frames = 0;
    while (at + 4 <= end) {
        if (b[at] != 0xFF || (b[at + 1] & 0xFE) != 0xFA) return -1;  // sync, MPEG-1, Layer III
        const int rate = kRates[b[at + 2] >> 4];
        if (rate == 0 || ((b[at + 2] >> 2) & 3) != 0) return -1;  // 44,100 Hz
        const size_t len = 144000u * rate / 44100 + ((b[at + 2] >> 1) & 1);
        if (at + len > end) return -1;
        at += len;
        ++frames;
    }
    return at == end ? frames : -1;
}

inline uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
inline uint16_t Le16(const std::vector<unsigned char>& b, size_t at) {
    uint16_t v;
    std::memcpy(&v, &b[at], 2);
    return v;
}

// A RIFF file's chunks: identifier, data offset and size.
struct RiffChunk {
    std::string Id;
    size_t At;
    uint32_t Size;
};
inline std::vector<RiffChunk> RiffChunks(const std::vector<unsigned char>& b, size_t from, size_t end) {
    std::vector<RiffChunk> out;
    while (from + 8 <= end) {
        RiffChunk c{std::string(b.begin() + from, b.begin() + from + 4), from + 8, Le32(b, from + 4)};
        out.push_back(c);
        from += 8 + c.Size + (c.Size & 1);
    }
    return out;
}

// Where the tests leave their encoded files: WX_ENC_OUT when set (the
// outside checkers read them there), else the working folder.
inline std::string OutputPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    if (GetEnvironmentVariableA("WX_ENC_OUT", dir, MAX_PATH) > 0) return std::string(dir) + "\\" + name;
    return name;
}

}  // namespace wx::test
