// The RIFF WAV reader: the chunks of real files (ours and sox's), the PCM
// it delivers, and every way a file can be refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "output/riffwave.h"
#include "output/tests/wavbuild.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wavbuild;

namespace {

Bytes Pcm(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(i * 7 + 3);
    return b;
}

TWaveError OpenBytes(const Bytes& file, bool cdOnly = true) {
    wx::testimg::TempDir dir;
    Save(dir.File("t.wav"), file);
    TRiffWaveReader r;
    return r.Open(dir.File("t.wav"), cdOnly);
}

}  // namespace

TEST(RiffWaveReader, DeliversTheDataChunk) {
    wx::testimg::TempDir dir;
    const Bytes pcm = Pcm(10000);
    // Other chunks before and after the data, one of odd size with its pad.
    Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'});
    Save(dir.File("a.wav"), Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), list, Chunk("data", pcm), Chunk("junk", Pcm(3))}));
    TRiffWaveReader r;
    ASSERT_EQ(r.Open(dir.File("a.wav")), TWaveError::None);
    EXPECT_TRUE(r.Format().IsCdAudio());
    EXPECT_EQ(r.Format().AvgBytesPerSec, 176400u);
    EXPECT_EQ(r.Format().BlockAlign, 4);
    ASSERT_EQ(r.DataSize(), pcm.size());
    Bytes got(4096), all;
    for (std::uint32_t n; (n = r.Read(got.data(), 4096)) > 0;) all.insert(all.end(), got.begin(), got.begin() + n);
    EXPECT_EQ(all, pcm);  // nothing of the chunk after it
    EXPECT_EQ(r.Position(), pcm.size());
    ASSERT_TRUE(r.SetPosition(9000));
    EXPECT_EQ(r.Read(got.data(), 4096), 1000u);
    EXPECT_EQ(got[0], pcm[9000]);
    // A form size beyond the file is bounded by the file.
    Bytes bigForm = Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", pcm)}, 1 << 30);
    EXPECT_EQ(OpenBytes(bigForm), TWaveError::None);
}

// sox is a Linux program: checked by the host build only.
#if !defined(_WIN32)
TEST(RiffWaveReader, ReadsWhatSoxWrites) {
    wx::testimg::TempDir dir;
    const std::string wav = dir.File("s.wav"), raw = dir.File("s.raw");
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 -e signed-integer " + wav + " synth 0.5 sine 440 >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("sox " + wav + " -t raw " + raw + " >/dev/null 2>&1").c_str()), 0);
    std::ifstream in(raw, std::ios::binary);
    Bytes want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TRiffWaveReader r;
    ASSERT_EQ(r.Open(wav), TWaveError::None);
    Bytes got(want.size() + 100);
    EXPECT_EQ(r.Read(got.data(), std::uint32_t(got.size())), want.size());
    got.resize(want.size());
    EXPECT_EQ(got, want);
    // sox's mono and 22,050 Hz files are WAV files, but not CD audio.
    for (const char* opts : {"-r 44100 -c 1 -b 16", "-r 22050 -c 2 -b 16", "-r 44100 -c 2 -b 8 -e unsigned-integer"}) {
        std::string other = dir.File("o.wav");
        ASSERT_EQ(std::system(("sox -n " + std::string(opts) + " " + other + " synth 0.1 sine 440 >/dev/null 2>&1").c_str()), 0);
        EXPECT_EQ(r.Open(other), TWaveError::NotCdAudio) << opts;
        EXPECT_FALSE(r.IsOpen());
        EXPECT_EQ(r.Open(other, false), TWaveError::None) << opts;
    }
}

#endif

TEST(RiffWaveReader, RefusesOtherFormatsAndBrokenFiles) {
    const Bytes pcm = Pcm(400);
    auto with = [&](const Bytes& fmt) { return Wave({Chunk("fmt ", fmt), Chunk("data", pcm)}); };
    EXPECT_EQ(OpenBytes(with(Fmt(1, 1, 44100, 16))), TWaveError::NotCdAudio);
    EXPECT_EQ(OpenBytes(with(Fmt(1, 2, 48000, 16))), TWaveError::NotCdAudio);
    EXPECT_EQ(OpenBytes(with(Fmt(1, 2, 44100, 24))), TWaveError::NotCdAudio);
    EXPECT_EQ(OpenBytes(with(Fmt(3, 2, 44100, 16))), TWaveError::NotCdAudio);   // float
    EXPECT_EQ(OpenBytes(with(Fmt(0xFFFE, 2, 44100, 16))), TWaveError::NotCdAudio);

    Bytes shortFmt = Fmt(1, 2, 44100, 16);
    shortFmt.resize(14);
    EXPECT_EQ(OpenBytes(with(shortFmt)), TWaveError::BrokenChunk);
    // A data chunk that claims more than the file holds.
    EXPECT_EQ(OpenBytes(Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", pcm, 100000)})),
              TWaveError::BrokenChunk);
    // A chunk before the data that runs past the form.
    EXPECT_EQ(OpenBytes(Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("LIST", Pcm(10), 0xFFFFFFF0u),
                              Chunk("data", pcm)})),
              TWaveError::BrokenChunk);
    // The data chunk outside the form's size.
    EXPECT_EQ(OpenBytes(Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", pcm)}, 4 + 24)),
              TWaveError::NoData);
    EXPECT_EQ(OpenBytes(Wave({Chunk("data", pcm)})), TWaveError::NoFormat);
    EXPECT_EQ(OpenBytes(Wave({Chunk("fmt ", Fmt(1, 2, 44100, 16))})), TWaveError::NoData);
    Bytes rifx = with(Fmt(1, 2, 44100, 16));
    rifx[3] = 'X';
    EXPECT_EQ(OpenBytes(rifx), TWaveError::NotRiffWave);
    EXPECT_EQ(OpenBytes(Bytes{}), TWaveError::NotRiffWave);
    EXPECT_EQ(OpenBytes(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'}), TWaveError::NotRiffWave);
    TRiffWaveReader r;
    EXPECT_EQ(r.Open("/nonexistent/x.wav"), TWaveError::CannotOpen);
    EXPECT_EQ(r.Read(nullptr, 10), 0u);
}
