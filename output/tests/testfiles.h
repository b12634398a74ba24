// Scratch files for the output tests: a fresh folder per test program under
// the system's temporary folder, removed at the end.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wx::test {

class TScratchDir {
public:
    explicit TScratchDir(const std::string& name) {
        dir_ = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(Pid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& file) const { return (dir_ / file).string(); }

private:
    static long Pid();
    std::filesystem::path dir_;
};

inline std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::vector<unsigned char>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace wx::test

#ifdef _WIN32
#include <process.h>
inline long wx::test::TScratchDir::Pid() { return _getpid(); }
#else
#include <unistd.h>
inline long wx::test::TScratchDir::Pid() { return getpid(); }
#endif
