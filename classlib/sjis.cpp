#include "classlib/sjis.h"

namespace wx {

std::size_t SjisCharLength(const std::string& s, std::size_t pos) {
    if (pos >= s.size()) return 0;
    if (IsSjisLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size()) return 2;
    return 1;
}

bool IsSjisTrailPosition(const std::string& s, std::size_t pos) {
    std::size_t i = 0;
    while (i < s.size() && i < pos) {
        const std::size_t n = SjisCharLength(s, i);
        if (n == 2 && i + 1 == pos) return true;
        i += n;
    }
    return false;
}

std::string SjisCut(const std::string& s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = SjisCharLength(s, i);
        if (i + n > maxBytes) break;
        i += n;
    }
    return s.substr(0, i);
}

std::size_t SjisFind(const std::string& s, char ch, std::size_t from) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = SjisCharLength(s, i);
        if (n == 1 && i >= from && s[i] == ch) return i;
        i += n;
    }
    return std::string::npos;
}

std::string SjisFileNameOnly(const std::string& path) {
    std::size_t after = 0;
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t n = SjisCharLength(path, i);
        if (n == 1 && path[i] == '\\') after = i + 1;
        i += n;
    }
    return path.substr(after);
}

namespace {
// Start of the last character, or npos for an empty text.
std::size_t LastCharPos(const std::string& s) {
    std::size_t i = 0, last = std::string::npos;
    while (i < s.size()) {
        last = i;
        i += SjisCharLength(s, i);
    }
    return last;
}
}  // namespace

bool HasTrailingBackslash(const std::string& path) {
    const std::size_t last = LastCharPos(path);
    return last != std::string::npos && last + 1 == path.size() && path[last] == '\\';
}

std::string StripTrailingBackslash(const std::string& path) {
    return HasTrailingBackslash(path) ? path.substr(0, path.size() - 1) : path;
}

std::string IncludeTrailingBackslash(const std::string& path) {
    return HasTrailingBackslash(path) ? path : path + '\\';
}

std::string SjisUpperCase(const std::string& s) {
    std::string r = s;
    std::size_t i = 0;
    while (i < r.size()) {
        const std::size_t n = SjisCharLength(r, i);
        if (n == 1 && r[i] >= 'a' && r[i] <= 'z') r[i] = static_cast<char>(r[i] - 32);
        i += n;
    }
    return r;
}

std::string TrimSpaces(const std::string& s) {
    const std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    const std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

namespace {
constexpr char kInvalid[] = "\\*?/:\";<>|";
// Full-width counterparts in code page 932, in the order of kInvalid:
// ￥ ＊ ？ ／ ： ” ， ＜ ＞ ｜
constexpr const char* kFullWidth[] = {
    "\x81\x8F", "\x81\x96", "\x81\x48", "\x81\x5E", "\x81\x46",
    "\x81\x68", "\x81\x43", "\x81\x83", "\x81\x84", "\x81\x62",
};
// A full-width low line, for control characters, which have no full-width
// form.
constexpr char kFullWidthLowLine[] = "\x81\x51";

bool IsControlChar(char c) { return static_cast<unsigned char>(c) < 0x20; }
}  // namespace

bool IsInvalidFileChar(char c) {
    if (IsControlChar(c)) return true;
    for (const char* p = kInvalid; *p; ++p)
        if (*p == c) return true;
    return false;
}

namespace {
// A character of a file name: 2 bytes for a lead byte with a trail byte
// that can follow it, else 1.  A lead byte without one (at the end of a
// text cut short, or before a control character) is a character of its
// own, and an invalid one: it would swallow what follows it.
std::size_t FileCharLength(const std::string& s, std::size_t i, bool& invalid) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (IsSjisLeadByte(c)) {
        const auto t = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        const bool trail = (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
        invalid = !trail;
        return trail ? 2 : 1;
    }
    invalid = IsInvalidFileChar(s[i]);
    return 1;
}
}  // namespace

bool IsValidFileName(const std::string& name) {
    std::size_t i = 0;
    while (i < name.size()) {
        bool invalid = false;
        i += FileCharLength(name, i, invalid);
        if (invalid) return false;
    }
    return true;
}

std::string ReplaceInvalidFileChars(const std::string& text, bool fullWidth) {
    std::string r;
    r.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool invalid = false;
        const std::size_t n = FileCharLength(text, i, invalid);
        if (invalid) {
            if (fullWidth) {
                const std::size_t k = std::string(kInvalid).find(text[i]);
                r += k == std::string::npos ? kFullWidthLowLine : kFullWidth[k];
            } else {
                r += '_';
            }
        } else {
            r.append(text, i, n);
        }
        i += n;
    }
    return r;
}

}  // namespace wx
