// Builds RIFF WAVE files byte by byte for the reader's tests: any format
// fields, chunks in any order, sizes that may lie.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace wavbuild {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
// A chunk with its header; `size` overrides the true size; odd bodies get
// their pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, std::int64_t size = -1) {
    Bytes b(id, id + 4);
    Put32(b, size >= 0 ? std::uint32_t(size) : std::uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}
inline Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    Bytes f;
    Put16(f, tag);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * channels * bits / 8);
    Put16(f, channels * bits / 8);
    Put16(f, bits);
    return f;
}
// "RIFF" + size + "WAVE" + the chunks; `riffSize` overrides the size.
inline Bytes Wave(const std::vector<Bytes>& chunks, std::int64_t riffSize = -1) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b{'R', 'I', 'F', 'F'};
    Put32(b, riffSize >= 0 ? std::uint32_t(riffSize) : std::uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
inline Bytes CdWave(const Bytes& pcm) { return Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", pcm)}); }
inline void Save(const std::string& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace wavbuild
