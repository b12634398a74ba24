// libFuzzer target: the ID3v2 reader and writer, the ID3v1 and emphasis
// code and the merged tag reading, on files made of the fuzzer's bytes.
//
// Input: byte 0 picks what is written (bit 0 ID3v2 fields, bit 1 ID3v1,
// bit 2 emphasis, bit 3 a long comment that makes the tag grow, bit 4 the
// TwinVQ chunks instead, bit 5 both ID3 kinds through the combined writer
// first); the rest is the file.  After every write the file must still hold
// the old content behind the new tag, every frame of the old tag that is not
// ours must be there as it was, the fields must read back, a failed write
// must leave the file byte-identical, and no temporary file may be left
// behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "output/binaryfile.h"
#include "output/chunkbank.h"
#include "output/id3tag.h"
#include "output/tagio.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Bytes;
using fuzz::Check;
using fuzz::ReadAll;
using fuzz::WriteAll;

bool OnBoundary(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) i += wx::SjisCharLength(text, i);
    return i == text.size();
}

// Frames of a tag other than the ones the writer sets, in order.
struct TOldFrame {
    std::string Id;
    std::uint8_t Flags[2];
    Bytes Data;
    bool operator==(const TOldFrame& o) const {
        return Id == o.Id && Flags[0] == o.Flags[0] && Flags[1] == o.Flags[1] && Data == o.Data;
    }
};

std::vector<TOldFrame> OthersOf(const TID3TagV2& tag, int& comments) {
    static const char* const ours[] = {"TIT2", "TALB", "TPE1", "TYER", "TDRC", "TCOP", "TRCK", "TCON", "COMM"};
    std::vector<TOldFrame> out;
    comments = 0;
    for (int i = 0; i < tag.FrameCount(); ++i) {
        const TID3v2Frame& f = tag.Frame(i);
        bool mine = false;
        for (const char* id : ours) mine = mine || f.IdText() == id;
        if (f.IdText() == "COMM") ++comments;
        if (!mine) out.push_back({f.IdText(), {f.Flags[0], f.Flags[1]}, f.Data});
    }
    return out;
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
    std::vector<TOldFrame> oldOthers;
    int oldComments = 0;
    bool oldValid = false;
    {
        TID3TagV2 tag(kFile, true);
        oldLength = tag.TagLength();
        oldValid = tag.Valid();
        oldOthers = OthersOf(tag, oldComments);
        Check(oldLength <= original.size(), "tag length beyond the file");
        Check(tag.Valid() == (oldLength > 0), "valid without a length");
        for (int i = 0; i < tag.FrameCount(); ++i) {
            bool u;
            std::string t;
            tag.GetFrameTextAt(i, u, t);
            std::string d;
            tag.GetCommentAt(i, u, d, t);
            Check(tag.Frame(i).Data.size() == tag.Frame(i).Size, "frame size and data disagree");
        }
        bool u;
        std::string d, t;
        tag.GetComment(u, d, t);
    }
    // What a new tag must keep: every frame that is not ours, as it was.
    auto checkKept = [&]() {
        TID3TagV2 tag(kFile, true);
        Check(tag.Valid(), "written tag not valid");
        if (!oldValid) return;
        int comments = 0;
        Check(OthersOf(tag, comments) == oldOthers, "a frame of the old tag was lost or changed");
        Check(comments == oldComments || comments == oldComments + 1, "comment frames lost or doubled");
    };
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

    if (mode & 32) {
        // Both kinds at once, as after a rip or an edit: all or nothing.
        const std::int64_t oldAudio = [&] {
            TBinaryFile f(kFile, TBinaryFile::fmOpenRead);
            return SkipID3v2Tags(f);
        }();
        if (tagio::WriteTagV1V2(kFile, rec, 2, hasV1, hasV2)) {
            checkKept();
            TID3TagV2 tag(kFile, true);
            const Bytes after = ReadAll(kFile);
            // The old content from its audio start is behind the new tag, up
            // to where the ID3v1 block went.
            tagio::TAudioSpan span;
            Check(tagio::FindAudioSpan(kFile, span), "audio not found after both tags were written");
            Check(span.HasV1, "ID3v1 block missing");
            const std::size_t audio = static_cast<std::size_t>(span.End - span.Start);
            Check(static_cast<std::size_t>(span.Start) >= tag.TagLength(), "audio inside the tag");
            Check(original.size() - static_cast<std::size_t>(oldAudio) >= audio &&
                      std::equal(after.begin() + span.Start, after.begin() + span.End, original.begin() + oldAudio),
                  "audio changed by the combined write");
        } else {
            Check(ReadAll(kFile) == original, "failed combined write changed the file");
        }
        NoLeftovers();
        return 0;
    }

    if (mode & 1) {
        if (tagio::WriteTagV2(kFile, rec)) {
            checkKept();
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
