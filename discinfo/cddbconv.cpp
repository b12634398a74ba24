#include "discinfo/cddbconv.h"

#include "discinfo/cddbtext.h"

namespace wx {

std::u16string DecodeUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < n) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        char32_t min;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        int got = 0;
        while (got < extra && i + 1 + got < n && (byte(i + 1 + got) & 0xC0) == 0x80) {
            cp = (cp << 6) | (byte(i + 1 + got) & 0x3F);
            ++got;
        }
        if (got < extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\xFFFD';
            i += 1 + got;
            continue;
        }
        i += 1 + extra;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string CddbUtf8ToSjis(const std::string& text) {
    std::string out;
    for (char16_t u : DecodeUtf8(text)) {
        if (u == u'?') {
            out += '?';
            continue;
        }
        const std::string s = u < 0x80 ? std::string(1, static_cast<char>(u)) : UcsUnitToSystem(u);
        out += s.empty() ? std::string("?") : s;
    }
    return out;
}

std::string CddbReceivedText(const std::string& text, bool level6, std::size_t maxBytes) {
    return CutSjis(level6 ? CddbUtf8ToSjis(text) : text, maxBytes);
}

}  // namespace wx
