// libFuzzer target: the TwinVQ header chunks as the tag writer reads them
// back and rewrites them, and the WMA attribute values taken apart.
//
// Input: byte 0 bit 0 set: the rest is a list of WMA attributes, each a
// name index byte, a type byte, a 16-bit big-endian length and the value;
// the record's fields must keep their lengths, end on a character boundary,
// hold a track number of digits and a genre of the table.  Bit 0 clear:
// the rest is the file.  A loaded chunk list must lie within the file and
// hold "COMM"; the texts read back must keep their lengths; a rewrite must
// read back as written and keep the audio behind "DATA"; a failed rewrite
// must leave the file as it was; no temporary file may stay behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "output/chunkbank.h"
#include "output/tagio.h"
#include "output/wmtattr.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Bytes;
using fuzz::Check;
using fuzz::ReadAll;

bool OnBoundary(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) i += wx::SjisCharLength(text, i);
    return i == text.size();
}

void CheckFields(const wx::TTrackRecord& r) {
    for (const std::string* s : {&r.Title, &r.Artist, &r.Album, &r.Comment, &r.Copyright})
        Check(s->size() <= 255 && OnBoundary(*s), "text too long or cut inside a character");
    Check(r.Year.size() <= 10 && OnBoundary(r.Year) && r.TrackText.size() <= 11, "short text too long");
    Check(r.TrackText.find_first_not_of("0123456789") == std::string::npos, "track number not digits");
    Check(r.Genre >= -1 && r.Genre <= 255, "genre outside the table");
}

void Attributes(const std::uint8_t* p, std::size_t n) {
    static const char* const names[] = {"Title",    "Author",   "Description", "WM/AlbumTitle",
                                        "Copyright", "WM/Year", "WM/Track",    "WM/Genre"};
    struct TAttr {
        std::uint32_t Type;
        Bytes Value;
    };
    TAttr attrs[8];
    bool present[8] = {};
    while (n >= 4) {
        const int k = p[0] & 7;
        const std::size_t len = std::min<std::size_t>(std::size_t{p[2]} << 8 | p[3], n - 4);
        attrs[k] = {p[1] & 0x81u, Bytes(p + 4, p + 4 + len)};
        present[k] = true;
        p += 4 + len;
        n -= 4 + len;
    }
    wx::TTrackRecord rec;
    tagio::WmaAttributesToRecord(
        [&](const char* name, std::uint32_t& type, Bytes& value) {
            for (int k = 0; k < 8; ++k)
                if (present[k] && std::strcmp(name, names[k]) == 0) {
                    type = attrs[k].Type;
                    value = attrs[k].Value;
                    return true;
                }
            return false;
        },
        rec);
    CheckFields(rec);
}

const std::string kDir = "fuzz_vqf_files";
const std::string kFile = kDir + "/input.vqf";

void NoLeftovers() {
    for (const auto& e : std::filesystem::directory_iterator(kDir))
        Check(e.path().filename() == "input.vqf", "temporary file left behind");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (data[0] & 1) {
        Attributes(data + 1, size - 1);
        return 0;
    }
    static const bool made = std::filesystem::create_directories(kDir) || true;
    (void)made;
    const Bytes original(data + 1, data + size);
    {
        std::ofstream f(kFile, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    }
    wx::TChunkBank bank;
    const bool loaded = bank.LoadFromFile(kFile);
    if (loaded) {
        std::size_t total = 16 + 4;
        bool comm = false;
        for (const auto& c : bank.Chunks()) {
            Check(c.Id.size() == 4, "chunk id not four characters");
            comm = comm || c.Id == "COMM";
            total += 8 + c.Data.size();
        }
        Check(comm && total <= original.size(), "chunks outside the file or no COMM");
    } else {
        Check(bank.Chunks().empty(), "a refused file left chunks");
    }
    wx::TTrackRecord got;
    const bool read = tagio::ReadVQFTag(kFile, got);
    Check(read == loaded, "the tag reader and the chunk list disagree");
    if (read) CheckFields(got);

    wx::TTrackRecord rec;
    rec.Title = (data[0] & 2) ? std::string(300, 't') : std::string("\x83\x65\x83\x58\x83\x67");
    rec.Artist = (data[0] & 4) ? "" : "artist";
    rec.Comment = "c";
    rec.Year = (data[0] & 8) ? "" : "2001";
    if (tagio::WriteVQFTag(kFile, rec)) {
        wx::TTrackRecord back;
        Check(tagio::ReadVQFTag(kFile, back), "rewritten file does not read");
        Check(back.Title == wx::SjisCut(rec.Title, 255) && back.Artist == rec.Artist && back.Comment == "c" &&
                  back.Year == rec.Year,
              "fields do not read back as written");
        const std::size_t dataAt = 16 + (std::size_t{original[12]} << 24 | std::size_t{original[13]} << 16 |
                                         std::size_t{original[14]} << 8 | original[15]);
        const std::size_t tail = original.size() - dataAt;
        const Bytes after = ReadAll(kFile);
        Check(after.size() >= tail && std::equal(after.end() - std::ptrdiff_t(tail), after.end(),
                                                 original.end() - std::ptrdiff_t(tail)),
              "audio behind DATA changed");
    } else {
        Check(ReadAll(kFile) == original, "failed rewrite changed the file");
    }
    NoLeftovers();
    return 0;
}
