// What the fuzz targets share: a check that ends the run on a broken
// invariant (libFuzzer keeps the input that broke it), and whole-file reads
// and writes for the parsers that work on files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

inline Bytes ReadAll(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& name, const std::uint8_t* p, std::size_t n) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
}

}  // namespace fuzz
