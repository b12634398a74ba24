// libFuzzer target: the ID3v2 reader and writer, the ID3v1 and emphasis
// code and the merged tag reading, on files made of the fuzzer's bytes.
//
// Input: byte 0 picks what is written (bit 0 ID3v2 fields, bit 1 ID3v1,
// bit 2 emphasis, bit 3 a long comment that makes the tag grow, bit 4 the
// TwinVQ chunks instead); the rest is the file.  After every write the file must still hold the old content
// behind the new tag, the fields must read back, and no temporary file may
// be left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "output/chunkbank.h"
#include "output/id3tag.h"
#include "output/tagio.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

Bytes ReadAll(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& name, const std::uint8_t* p, std::size_t n) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
}

bool OnBoundary(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) i += wx::SjisCharLength(text, i);
    return i == text.size();
}

const std::string kDir = "fuzz_files";
const std::string kFile = kDir + "/input.mp3";

void NoLeftovers() {
    for (const auto& e : std::filesystem::directory_iterator(kDir))
        Check(e.path().filename() == "input.mp3", "temporary file left behind");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const bool made = std::filesystem::create_directories(kDir) || true;
    (void)made;
    const std::uint8_t mode = data[0];
    WriteAll(kFile, data + 1, size - 1);
    const Bytes original(data + 1, data + size);

    if (mode & 16) {
        // TwinVQ: read, rewrite, and the bytes behind "DATA" stay.
        wx::TTrackRecord got;
        if (tagio::ReadVQFTag(kFile, got))
            Check(got.Title.size() <= 255 && OnBoundary(got.Title), "chunk text too long");
        wx::TTrackRecord rec;
        rec.Title = (mode & 8) ? std::string(300, 't') : std::string();
        rec.Comment = "c";
        rec.Year = (mode & 2) ? "" : "2001";
        if (tagio::WriteVQFTag(kFile, rec)) {
            wx::TChunkBank bank;
            Check(bank.LoadFromFile(kFile), "rewritten file does not load");
            Check(bank.GetChunkString("COMT") == "c", "chunk not written");
            const Bytes after = ReadAll(kFile);
            const std::size_t tail = original.size() - (16 + (std::size_t{original[12]} << 24 | std::size_t{original[13]} << 16 |
                                                                std::size_t{original[14]} << 8 | original[15]));
            Check(after.size() >= tail && std::equal(after.end() - static_cast<std::ptrdiff_t>(tail), after.end(),
                                                     original.end() - static_cast<std::ptrdiff_t>(tail)),
                  "audio behind DATA changed");
        } else {
            Check(ReadAll(kFile) == original, "failed chunk rewrite changed the file");
        }
        NoLeftovers();
        return 0;
    }

    // Reading: every getter on every frame.
    std::uint32_t oldLength = 0;
    {
        TID3TagV2 tag(kFile, true);
        oldLength = tag.TagLength();
        Check(oldLength <= original.size(), "tag length beyond the file");
        Check(tag.Valid() == (oldLength > 0), "valid without a length");
        for (int i = 0; i < tag.FrameCount(); ++i) {
            bool u;
            std::string t;
            tag.GetFrameTextAt(i, u, t);
            Check(tag.Frame(i).Data.size() == tag.Frame(i).Size, "frame size and data disagree");
        }
        bool u;
        std::string d, t;
        tag.GetComment(u, d, t);
    }
    wx::TTrackRecord got;
    bool hasV1, hasV2;
    tagio::ReadTagV1V2(kFile, hasV1, got, hasV2);
    Check(got.Title.size() <= 255 && got.Year.size() <= 10 && got.TrackText.size() <= 10, "field too long");
    Check(OnBoundary(got.Title) && OnBoundary(got.Year), "field cut inside a character");
    Check(got.Genre >= -1 && got.Genre <= 255, "genre outside the table");

    wx::TTrackRecord rec;
    rec.Title = "\x83\x65\x83\x58\x83\x67";
    rec.Artist = std::string(40, 'a');
    rec.Album = "Album";
    rec.Year = "2001";
    rec.Comment = (mode & 8) ? std::string(3000, 'c') : "c";
    rec.TrackText = "1/2";
    rec.Genre = 17;

    if (mode & 1) {
        if (tagio::WriteTagV2(kFile, rec)) {
            const Bytes after = ReadAll(kFile);
            TID3TagV2 tag(kFile, true);
            Check(tag.Valid(), "written tag not valid");
            Check(after.size() - tag.TagLength() == original.size() - oldLength, "audio length changed");
            Check(std::equal(after.begin() + tag.TagLength(), after.end(), original.begin() + oldLength),
                  "audio changed");
            wx::TTrackRecord back;
            Check(tagio::ReadTagV2(kFile, back), "written tag not read");
            Check(back.Title == rec.Title && back.Comment == wx::SjisCut(rec.Comment, 255) && back.Genre == 17,
                  "fields differ");
        } else {
            Check(ReadAll(kFile) == original, "failed write changed the file");
        }
        NoLeftovers();
    }
    const Bytes beforeV1 = ReadAll(kFile);
    if (mode & 2) {
        if (tagio::WriteTag(kFile, rec)) {
            wx::TTrackRecord back;
            Check(tagio::ReadTag(kFile, back), "ID3v1 not read back");
            Check(back.Title == rec.Title && back.Genre == 17, "ID3v1 fields differ");
            Check(ReadAll(kFile).size() <= beforeV1.size() + 128, "ID3v1 grew the file too much");
        } else {
            Check(ReadAll(kFile) == beforeV1, "failed ID3v1 write changed the file");
        }
    }
    if (mode & 4) {
        const Bytes before = ReadAll(kFile);
        if (tagio::SetEmphasisFlag(kFile, true)) {
            Check(ReadAll(kFile).size() == before.size(), "emphasis changed the size");
        } else {
            Check(ReadAll(kFile) == before, "failed emphasis write changed the file");
        }
    }
    return 0;
}
