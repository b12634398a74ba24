// Helpers of the output driver's tests: a test signal and a RIFF reader.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace wavtools {

using Bytes = std::vector<std::uint8_t>;

// 44,100 Hz 16-bit stereo: a 440 Hz tone left, 1 kHz right, with a slow
// level change so that no two seconds are alike.
inline Bytes TestSignal(std::uint32_t frames, std::uint32_t seed = 0) {
    Bytes out(std::size_t(frames) * 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = double(i + seed) / 44100.0;
        const double level = 9000 + 6000 * std::sin(t * 0.7);
        const auto l = std::int16_t(std::lround(level * std::sin(2 * 3.14159265358979323846 * 440 * t)));
        const auto r = std::int16_t(std::lround(level * std::sin(2 * 3.14159265358979323846 * 1000 * t + 0.3)));
        out[4 * i + 0] = std::uint8_t(l);
        out[4 * i + 1] = std::uint8_t(std::uint16_t(l) >> 8);
        out[4 * i + 2] = std::uint8_t(r);
        out[4 * i + 3] = std::uint8_t(std::uint16_t(r) >> 8);
    }
    return out;
}

inline Bytes ReadFile(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
inline std::uint16_t Le16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// The chunks of a RIFF WAVE file by id; empty when the file is not one or
// a chunk runs past its end.  Sizes must agree with the file's length.
struct Riff {
    bool Valid = false;
    std::vector<std::string> Order;
    std::map<std::string, Bytes> Chunks;
};

inline Riff ParseRiff(const Bytes& file) {
    Riff r;
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) || std::memcmp(file.data() + 8, "WAVE", 4)) return r;
    if (Le32(file, 4) + 8 != file.size()) return r;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string id(reinterpret_cast<const char*>(&file[at]), 4);
        const std::uint32_t size = Le32(file, at + 4);
        if (size > file.size() - at - 8) return r;
        r.Order.push_back(id);
        r.Chunks[id] = Bytes(file.begin() + std::ptrdiff_t(at + 8), file.begin() + std::ptrdiff_t(at + 8 + size));
        at += 8 + size + (size & 1);
    }
    r.Valid = at == file.size();
    return r;
}

}  // namespace wavtools
