// libFuzzer target: the file-name and folder-name templates over any
// template and any tag texts, and the file-name stem the callers make of an
// expansion (invalid characters replaced, cut to 255 bytes).
//
// Input: byte 0 the track number, byte 1 bit 0 full-width replacement; the
// rest five texts separated by NUL bytes: template, title, artist, album,
// genre (missing ones empty).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "classlib/sjis.h"
#include "settings/nametemplate.h"

namespace {

using namespace wx;

void Check(bool ok) {
    if (!ok) std::abort();
}

constexpr std::size_t kMaxStem = 255;

// No byte below 0x20 anywhere (they are never a trail byte of a valid
// double-byte character) and none of the ten invalid characters as a
// character of its own; the text does not end in the middle of a character.
bool ValidName(const std::string& name, bool allowBackslash) {
    for (unsigned char c : name)
        if (c < 0x20) return false;
    std::size_t i = 0;
    while (i < name.size()) {
        const std::size_t n = SjisCharLength(name, i);
        if (n == 1 && IsInvalidFileChar(name[i]) && !(allowBackslash && name[i] == '\\')) return false;
        if (n == 1 && IsSjisLeadByte(static_cast<unsigned char>(name[i]))) return false;
        i += n;
    }
    return IsValidFileName(name) || allowBackslash;
}

// Backslashes that stand as characters of their own.
int Separators(const std::string& s) {
    int count = 0;
    for (std::size_t i = 0; i < s.size(); i += SjisCharLength(s, i))
        if (s[i] == '\\' && SjisCharLength(s, i) == 1) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) return 0;
    const int track = bytes[0];
    const bool fullWidth = (bytes[1] & 1) != 0;
    std::vector<std::string> f(5);
    std::size_t k = 0;
    for (std::size_t i = 2; i < size; ++i) {
        if (bytes[i] == 0 && k + 1 < f.size()) {
            ++k;
            continue;
        }
        f[k] += static_cast<char>(bytes[i]);
    }
    const std::string& tmpl = f[0];

    const std::string kept = "kept";
    std::string out = kept;
    if (!ExpandFileNameTemplate(tmpl, track, f[1], f[2], f[3], f[4], out)) {
        Check(out == kept);  // a bad code leaves the caller's text alone
    } else {
        if (tmpl.find('%') == std::string::npos) Check(out == tmpl);
        const std::string stem = SjisCut(ReplaceInvalidFileChars(out, fullWidth), kMaxStem);
        Check(stem.size() <= kMaxStem);
        Check(ValidName(stem, false));
        Check(ReplaceInvalidFileChars(stem, fullWidth) == stem);
    }

    std::string folder = kept;
    if (!ExpandFolderNameTemplate(tmpl, f[2], f[3], f[4], fullWidth, folder)) {
        Check(folder == kept);
    } else if (ValidName(tmpl, true)) {
        // A template of valid characters gives a path of valid names, and
        // only the template's own separators make folders.
        Check(ValidName(folder, true));
        Check(Separators(folder) == Separators(tmpl));
    }
    return 0;
}
