// Command-line driver of the tag I/O module for the outside-checker test.
// Texts travel as hexadecimal Shift-JIS bytes so that no console or
// command-line conversion touches them.
//
//   tagtool write FILE MODE TITLE ARTIST ALBUM YEAR COMMENT COPYRIGHT TRACK GENRE
//   tagtool read FILE
//   tagtool retitle FILE MODE TITLE ARTIST COMMENT   (read, change, write back
//                                                     forcing the kinds found)
//   tagtool emphasis FILE on|off
//   tagtool write-vqf FILE TITLE ARTIST ALBUM YEAR COMMENT COPYRIGHT
//   tagtool read-vqf FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "output/tagio.h"

namespace {

std::string FromHex(const char* h) {
    std::string s;
    for (std::size_t i = 0; h[i] && h[i + 1]; i += 2) {
        const char byte[3] = {h[i], h[i + 1], 0};
        s.push_back(static_cast<char>(std::strtoul(byte, nullptr, 16)));
    }
    return s;
}

std::string ToHex(const std::string& s) {
    std::string h;
    char buf[3];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof(buf), "%02x", c);
        h += buf;
    }
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 12 && std::strcmp(argv[1], "write") == 0) {
        wx::TTrackRecord r;
        r.Title = FromHex(argv[4]);
        r.Artist = FromHex(argv[5]);
        r.Album = FromHex(argv[6]);
        r.Year = FromHex(argv[7]);
        r.Comment = FromHex(argv[8]);
        r.Copyright = FromHex(argv[9]);
        r.TrackText = FromHex(argv[10]);
        r.Genre = std::atoi(argv[11]);
        r.HasTag = true;
        return tagio::WriteTagV1V2(argv[2], r, std::atoi(argv[3]), false, false) ? 0 : 1;
    }
    if (argc == 7 && std::strcmp(argv[1], "retitle") == 0) {
        wx::TTrackRecord r;
        bool v1 = false, v2 = false;
        tagio::ReadTagV1V2(argv[2], v1, r, v2);
        r.Title = FromHex(argv[4]);
        r.Artist = FromHex(argv[5]);
        r.Comment = FromHex(argv[6]);
        r.HasTag = true;
        return tagio::WriteTagV1V2(argv[2], r, std::atoi(argv[3]), v1, v2) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
        wx::TTrackRecord r;
        bool v1 = false, v2 = false;
        const bool ok = tagio::ReadTagV1V2(argv[2], v1, r, v2);
        std::printf("v1=%d\nv2=%d\nTitle=%s\nArtist=%s\nAlbum=%s\nYear=%s\nComment=%s\nCopyright=%s\nTrack=%s\nGenre=%d\n",
                    v1, v2, ToHex(r.Title).c_str(), ToHex(r.Artist).c_str(), ToHex(r.Album).c_str(),
                    ToHex(r.Year).c_str(), ToHex(r.Comment).c_str(), ToHex(r.Copyright).c_str(),
                    ToHex(r.TrackText).c_str(), r.Genre);
        return ok ? 0 : 1;
    }
    if (argc == 9 && std::strcmp(argv[1], "write-vqf") == 0) {
        wx::TTrackRecord r;
        r.Title = FromHex(argv[3]);
        r.Artist = FromHex(argv[4]);
        r.Album = FromHex(argv[5]);
        r.Year = FromHex(argv[6]);
        r.Comment = FromHex(argv[7]);
        r.Copyright = FromHex(argv[8]);
        return tagio::WriteVQFTag(argv[2], r) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "read-vqf") == 0) {
        wx::TTrackRecord r;
        const bool ok = tagio::ReadVQFTag(argv[2], r);
        std::printf("Title=%s\nArtist=%s\nAlbum=%s\nYear=%s\nComment=%s\nCopyright=%s\n", ToHex(r.Title).c_str(),
                    ToHex(r.Artist).c_str(), ToHex(r.Album).c_str(), ToHex(r.Year).c_str(), ToHex(r.Comment).c_str(),
                    ToHex(r.Copyright).c_str());
        return ok ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "emphasis") == 0)
        return tagio::SetEmphasisFlag(argv[2], std::strcmp(argv[3], "on") == 0) ? 0 : 1;
    std::fprintf(stderr, "usage: tagtool write|read|emphasis ...\n");
    return 2;
}
