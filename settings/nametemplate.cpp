#include "settings/nametemplate.h"

#include "classlib/sjis.h"
#include "output/mp3defs.h"

namespace {

std::string Padded(int number, int digits) {
    std::string s = std::to_string(number < 0 ? -number : number);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<std::size_t>(digits) - s.size(), '0');
    return number < 0 ? "-" + s : s;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// One walk for both kinds; fileCodes enables %T, %N and %.dN.
bool Expand(const std::string& tmpl, bool fileCodes, int track, const std::string& title, const std::string& artist,
            const std::string& album, const std::string& genre, std::string& out) {
    std::string r;
    std::size_t i = 0;
    while (i < tmpl.size()) {
        const char c = tmpl[i++];
        if (!fileCodes && wx::IsSjisLeadByte(static_cast<unsigned char>(c))) {
            // A folder template's double-byte character is copied whole; a
            // lead byte without its trail byte would join with the next
            // text's first byte and could make its second byte a "\".
            const auto t = i < tmpl.size() ? static_cast<unsigned char>(tmpl[i]) : 0;
            if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) return false;
            r += c;
            r += tmpl[i++];
            continue;
        }
        if (c != '%') {
            r += c;
            continue;
        }
        if (i >= tmpl.size()) return false;  // "%" at the very end
        const char code = Upper(tmpl[i++]);
        switch (code) {
        case '%': r += '%'; break;
        case 'R': r += artist; break;
        case 'L': r += album; break;
        case 'G': r += genre; break;
        case 'T':
            if (!fileCodes) return false;
            r += title;
            break;
        case 'N':
            if (!fileCodes) return false;
            r += std::to_string(track);
            break;
        case '.': {
            if (!fileCodes) return false;
            int digits = 0;
            while (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9') {
                if (digits < MaxTemplatePrecision) digits = digits * 10 + (tmpl[i] - '0');
                if (digits > MaxTemplatePrecision) digits = MaxTemplatePrecision;
                ++i;
            }
            if (i < tmpl.size()) {
                if (Upper(tmpl[i]) != 'N') return false;
                ++i;
            }
            r += Padded(track, digits);
            break;
        }
        default: return false;
        }
    }
    out = r;
    return true;
}

}  // namespace

bool ExpandFileNameTemplate(const std::string& tmpl, int track, const std::string& title, const std::string& artist,
                            const std::string& album, const std::string& genre, std::string& out) {
    return Expand(tmpl, true, track, title, artist, album.empty() ? NewAlbumName : album,
                  genre.empty() ? NewGenreName : genre, out);
}

bool ExpandFolderNameTemplate(const std::string& tmpl, const std::string& artist, const std::string& album,
                              const std::string& genre, bool fullWidth, std::string& out) {
    return Expand(tmpl, false, 0, std::string(), wx::ReplaceInvalidFileChars(artist, fullWidth),
                  wx::ReplaceInvalidFileChars(album.empty() ? NewAlbumName : album, fullWidth),
                  wx::ReplaceInvalidFileChars(genre.empty() ? NewGenreName : genre, fullWidth), out);
}
