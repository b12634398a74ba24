#include "output/unicodetbl.h"

#include <atomic>

namespace {
std::atomic<TSystemUnitConverter> g_systemConverter{nullptr};

void AppendUnit(std::string& out, char16_t unit) {
    if (unit == u'?') {
        out += '?';
        return;
    }
    if (const TSystemUnitConverter sys = g_systemConverter.load()) {
        const std::string r = sys(unit);
        if (!r.empty() && r != "?") {
            out += r;
            return;
        }
    }
    const std::uint16_t code = UcsToSjisChar(static_cast<std::uint16_t>(unit));
    if (code == 0) {
        out += '?';
    } else if (code > 0xFF) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    } else {
        out += static_cast<char>(code);
    }
}
}  // namespace

void SetSystemUnitConverter(TSystemUnitConverter converter) { g_systemConverter.store(converter); }
TSystemUnitConverter GetSystemUnitConverter() { return g_systemConverter.load(); }

std::uint16_t UcsToSjisChar(std::uint16_t code) {
    const std::uint16_t row = unicodetbl_data::RowIndex[code >> 8];
    if (row == 0xFFFF) return 0;
    return unicodetbl_data::SjisCodes[row + (code & 0xFF)];
}

std::string UcsToSjis(const char16_t* text) {
    std::string out;
    if (!text) return out;
    for (; *text; ++text) AppendUnit(out, *text);
    return out;
}

std::string UcsToSjis(const std::u16string& text) {
    std::string out;
    for (char16_t u : text) {
        if (u == 0) break;
        AppendUnit(out, u);
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        char32_t cp;
        std::size_t len;
        char32_t min;
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F, len = 2, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F, len = 3, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07, len = 4, min = 0x10000;
        } else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k < len && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // Skip the lead byte and the continuation bytes that were valid.
            out += u'\xFFFD';
            i += k;
            continue;
        }
        i += len;
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
    }
    return out;
}

std::string Utf8ToSjis(const std::string& text) {
    if (text.empty()) return std::string();
    return UcsToSjis(Utf8ToUtf16(text));
}
