#include "discinfo/cddbtext.h"

#include <cstring>

#include "classlib/sjis.h"

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

std::string CddbQueryValue(const std::string& text) {
    static constexpr char kKept[] = "-._~!$'()*,:@/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            s += '+';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   (c != 0 && std::strchr(kKept, c))) {
            s += ch;
        } else {
            s += '%';
            s += kHex[c >> 4];
            s += kHex[c & 15];
        }
    }
    return s;
}

bool IsCddbWord(const std::string& text) {
    if (text.empty()) return false;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7F) return false;
    }
    return true;
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

namespace wx {

std::string XmcdEscape(const std::string& value, bool sjis) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (sjis && SjisCharLength(value, i) == 2) {
            out += value[i];
            out += value[++i];
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c != '\r') {
            out += value[i];
        }
    }
    return out;
}

std::string XmcdUnescape(const std::string& value, bool sjis) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (sjis && SjisCharLength(value, i) == 2) {
            out += value[i];
            out += value[++i];
        } else if (value[i] == '\\' && i + 1 < value.size() &&
                   (value[i + 1] == 'n' || value[i + 1] == 't' || value[i + 1] == '\\')) {
            const char e = value[++i];
            out += e == 'n' ? '\n' : e == 't' ? '\t' : '\\';
        } else {
            out += value[i];
        }
    }
    return out;
}

std::vector<std::string> EncodeQuotedPrintable(const std::string& line) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t mark = 1;
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\t' || (c >= 32 && c <= 60) || (c >= 62 && c <= 126)) {
            out += ch;
        } else {
            out += '=';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        if (out.size() - mark > 70) {
            mark = out.size();
            out += "=\n";
        }
    }
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (;;) {
        const auto lf = out.find('\n', at);
        if (lf == std::string::npos) {
            lines.push_back(out.substr(at));
            break;
        }
        lines.push_back(out.substr(at, lf - at));
        at = lf + 1;
    }
    return lines;
}

std::string ScrambleProxyPassword(const std::string& password) {
    std::string out;
    for (char ch : password) {
        const auto b = static_cast<unsigned char>(~static_cast<unsigned char>(ch));
        if (b <= 32 || b == '&' || b == '+' || b == '=') {
            out += '&';
            out += static_cast<char>(b + 65);
        } else if (b >= 192) {
            out += '+';
            out += static_cast<char>(b - 129);
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string UnscrambleProxyPassword(const std::string& scrambled) {
    std::string out;
    for (std::size_t i = 0; i < scrambled.size() && out.size() < 256; ++i) {
        unsigned char b = static_cast<unsigned char>(scrambled[i]);
        // A "&" or "+" with nothing after it stands for nothing: the text
        // ends there.
        if ((b == '&' || b == '+') && i + 1 >= scrambled.size()) break;
        if (b == '&')
            b = static_cast<unsigned char>(static_cast<unsigned char>(scrambled[++i]) - 65);
        else if (b == '+')
            b = static_cast<unsigned char>(static_cast<unsigned char>(scrambled[++i]) - 127);
        out += static_cast<char>(~b);
    }
    return out;
}

std::string StoredProxyPassword(const std::string& password) {
    if (password.empty()) return {};
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "=";
    for (char ch : ScrambleProxyPassword(password)) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '&' ||
                           c == '+';
        if (plain) {
            out += ch;
        } else {
            out += '=';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string ReadStoredProxyPassword(const std::string& stored) {
    // The old form never holds "=": a leading one marks the new form.
    if (stored.empty() || stored[0] != '=') return UnscrambleProxyPassword(stored);
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string scrambled;
    for (std::size_t i = 1; i < stored.size(); ++i) {
        if (stored[i] != '=') {
            scrambled += stored[i];
        } else if (i + 2 < stored.size() && digit(stored[i + 1]) >= 0 && digit(stored[i + 2]) >= 0) {
            scrambled += static_cast<char>(digit(stored[i + 1]) * 16 + digit(stored[i + 2]));
            i += 2;
        } else {
            break;  // a cut escape: the text ends there
        }
    }
    return UnscrambleProxyPassword(scrambled);
}

}  // namespace wx
