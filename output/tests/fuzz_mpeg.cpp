// libFuzzer target: the first MPEG frame header behind the ID3v2 tags of a
// file (SkipID3v2Tags, the audio span, the frame-header decoder) and the
// emphasis flag written into it, on a file made of the fuzzer's bytes.
//
// Input: byte 0 bit 0 is the emphasis to set; the rest is the file.  The
// audio start must lie within the file on a tag boundary, the span must
// hold the header it names and end before an ID3v1 block, the decoder must
// accept exactly the headers of its rule, and the emphasis write may change
// only the two emphasis bits of that header.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/binaryfile.h"
#include "output/id3tag.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Bytes;
using fuzz::Check;
using fuzz::ReadAll;

std::uint32_t BE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The decoder over one word: its answer is the rule's, its fields in range.
void CheckHeader(std::uint32_t h) {
    TMpegFrameHeader info{};
    const bool ok = ParseMpegHeader(h, 0, info);
    const std::uint32_t layer = (h >> 17) & 3, bitrate = (h >> 12) & 15, rate = (h >> 10) & 3;
    Check(ok == ((h >> 20) == 0xFFF && layer != 0 && bitrate != 0 && bitrate != 15 && rate != 3),
          "header accepted against the rule");
    if (!ok) return;
    Check(info.Version >= 1 && info.Version <= 2 && info.Layer >= 1 && info.Layer <= 3 && info.BitrateIndex >= 0 &&
              info.BitrateIndex <= 13 && info.SampleRateIndex >= 0 && info.SampleRateIndex <= 2 &&
              info.Emphasis == int(h & 3) && info.HasCrc == int(((h >> 16) & 1) ^ 1),
          "header field out of range");
}

const std::string kDir = "fuzz_mpeg_files";
const std::string kFile = kDir + "/input.mp3";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const bool made = std::filesystem::create_directories(kDir) || true;
    (void)made;
    const bool on = data[0] & 1;
    const Bytes original(data + 1, data + size);
    {
        std::ofstream f(kFile, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    }
    for (std::size_t i = 0; i + 4 <= original.size() && i < 64; ++i) CheckHeader(BE32(&original[i]));

    std::int64_t start = 0;
    {
        TBinaryFile f(kFile, TBinaryFile::fmOpenRead);
        start = SkipID3v2Tags(f);
    }
    const std::int64_t fileSize = std::int64_t(original.size());
    Check(start >= 0 && start <= fileSize, "audio start outside the file");
    Check(start == 0 || (start >= 10 && std::memcmp(original.data(), "ID3", 3) == 0), "audio start without a tag");
    tagio::TAudioSpan span;
    bool found = false;
    try {
        found = tagio::FindAudioSpan(kFile, span);
    } catch (const std::exception&) {
        Check(false, "the span of a readable file raised");
    }
    if (found) {
        Check(span.Start == start && span.Start + 4 <= span.End && span.End <= fileSize, "span outside the file");
        Check(span.Header == BE32(&original[std::size_t(span.Start)]), "span header is not the file's");
        TMpegFrameHeader info{};
        Check(ParseMpegHeader(span.Header, 0, info), "span found on a bad header");
        const bool v1 = fileSize >= 128 && std::memcmp(&original[original.size() - 128], "TAG", 3) == 0;
        Check(span.HasV1 == v1 && span.End == (v1 ? fileSize - 128 : fileSize), "span end and the ID3v1 block");
    }

    const bool set = tagio::SetEmphasisFlag(kFile, on);
    const Bytes after = ReadAll(kFile);
    Check(set == found, "emphasis written without a frame header, or refused with one");
    Check(after.size() == original.size(), "emphasis changed the size");
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (set && std::int64_t(i) == span.Start + 3) {
            Check((after[i] & 0xFC) == (original[i] & 0xFC) && (after[i] & 3) == (on ? 1 : 0), "emphasis bits");
        } else {
            Check(after[i] == original[i], "emphasis write changed another byte");
        }
    }
    return 0;
}
