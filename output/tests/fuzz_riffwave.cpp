// libFuzzer target: the RIFF WAV reader on files made of the fuzzer's
// bytes.  Whatever it accepts must lie inside the file, and reading the
// file back must deliver exactly the data chunk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "output/riffwave.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Check;

class TMemorySource : public wx::IByteSource {
public:
    TMemorySource(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    std::uint64_t Size() override { return n_; }
    bool ReadAt(std::uint64_t pos, void* buf, std::uint32_t len) override {
        if (pos > n_ || len > n_ - pos) return false;
        std::memcpy(buf, d_ + pos, len);
        return true;
    }

private:
    const std::uint8_t* d_;
    std::size_t n_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemorySource src(data, size);
    wx::TWaveLayout layout;
    wx::TWaveError e = wx::ParseRiffWave(src, layout);
    if (e == wx::TWaveError::None) {
        Check(layout.DataOffset >= 20 && layout.DataOffset <= size, "data chunk starts inside the file");
        Check(layout.DataSize <= size - layout.DataOffset, "data chunk ends inside the file");
    }
    static const std::string path = "fuzz_riffwave_" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    wx::TRiffWaveReader r;
    wx::TWaveError fe = r.Open(path, false);
    Check(fe == e, "file and memory parse alike");
    if (fe == wx::TWaveError::None) {
        std::vector<std::uint8_t> got;
        std::uint8_t buf[4096];
        for (std::uint32_t n; (n = r.Read(buf, sizeof buf)) > 0;) got.insert(got.end(), buf, buf + n);
        Check(got.size() == layout.DataSize, "the whole data chunk is delivered");
        Check(got.empty() || std::memcmp(got.data(), data + layout.DataOffset, got.size()) == 0, "the data chunk as it is");
        Check(r.Read(buf, sizeof buf) == 0, "nothing past the data chunk");
        bool cd = r.Format().IsCdAudio();
        r.Close();
        Check((r.Open(path, true) == wx::TWaveError::None) == cd, "only CD audio when asked");
    }
    std::remove(path.c_str());
    return 0;
}
