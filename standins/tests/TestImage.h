// Builds small disc images for tests: a BIN file whose every 16-bit sample
// is a known function of its byte position, and a CUE sheet beside it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace wx::testimg {

// The sample at byte position pos (even) of the image file.
inline std::uint16_t SampleAt(std::int64_t pos) {
    std::uint64_t k = std::uint64_t(pos / 2);
    return std::uint16_t((k * 2654435761u) >> 13);
}

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("wxemu_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes `sectors` raw sectors of the pattern (bytes 0x00 from sector
// `zeroFrom` on, when given).
inline void WriteBin(const std::string& path, std::int32_t sectors, std::int32_t zeroFrom = -1) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> buf(2352);
    for (std::int32_t s = 0; s < sectors; ++s) {
        for (int i = 0; i < 2352; i += 2) {
            std::uint16_t v = (zeroFrom >= 0 && s >= zeroFrom) ? 0 : SampleAt(std::int64_t(s) * 2352 + i);
            buf[i] = char(v & 0xFF);
            buf[i + 1] = char(v >> 8);
        }
        out.write(buf.data(), 2352);
    }
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// True when `data` holds image bytes from file position pos on.
inline bool MatchesImage(const std::uint8_t* data, std::size_t n, std::int64_t pos) {
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        std::uint16_t v = std::uint16_t(data[i] | (data[i + 1] << 8));
        if (v != SampleAt(pos + std::int64_t(i))) return false;
    }
    return true;
}

}  // namespace wx::testimg
