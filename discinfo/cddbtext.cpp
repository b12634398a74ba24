#include "discinfo/cddbtext.h"

#include <cstring>

namespace wx {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::int32_t ParseLeadingInt(const std::string& text) {
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::int32_t>(v);
}

std::string StripLineEnd(const std::string& text) {
    std::size_t n = text.size();
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) --n;
    return text.substr(0, n);
}

std::string BlanksToPlus(const std::string& text) {
    std::string s = text;
    for (char& c : s)
        if (c == ' ') c = '+';
    return s;
}

std::string CddbTrimLeft(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

std::string CddbTrimRight(const std::string& text) {
    std::size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1])) --n;
    return text.substr(0, n);
}

std::string CddbTrim(const std::string& text) { return CddbTrimLeft(CddbTrimRight(text)); }

std::string EncodeBase64(const std::string& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                                static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool CddbStartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace wx
