// Scratch files for the tag tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tagtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadAll(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& name, const Bytes& b) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An ID3v2 header with the given version, flags and size field.
inline Bytes V2Header(std::uint32_t size, std::uint8_t major = 3, std::uint8_t flags = 0) {
    return {'I', 'D', '3', major, 0, flags, static_cast<std::uint8_t>((size >> 21) & 0x7F),
            static_cast<std::uint8_t>((size >> 14) & 0x7F), static_cast<std::uint8_t>((size >> 7) & 0x7F),
            static_cast<std::uint8_t>(size & 0x7F)};
}

inline Bytes Frame(const std::string& id, const Bytes& data, std::uint8_t flag0 = 0, std::uint8_t flag1 = 0) {
    const auto n = static_cast<std::uint32_t>(data.size());
    Bytes b(id.begin(), id.end());
    b.insert(b.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                       static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n), flag0, flag1});
    return b + data;
}

// A tag of exactly `total` bytes (header included) holding the frames.
inline Bytes Tag(const Bytes& frames, std::uint32_t total) {
    Bytes t = V2Header(total - 10) + frames;
    t.resize(total, 0);
    return t;
}

// Stand-in for MPEG audio: a valid Layer III header, then a byte pattern.
inline Bytes Audio(std::size_t n) {
    Bytes a(n);
    for (std::size_t i = 0; i < n; ++i) a[i] = static_cast<std::uint8_t>(i * 7 + 3);
    if (n >= 4) {
        a[0] = 0xFF; a[1] = 0xFB; a[2] = 0x90; a[3] = 0x64;
    }
    return a;
}

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("wxtag_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

}  // namespace tagtest
