// Shift-JIS text helpers used by every subsystem.  Portable: no <windows.h>.
//
// Every walk over a text starts at its first byte and steps over whole
// characters, so a trail byte is never taken for an ASCII character.  The
// lead-byte test is the fixed Shift-JIS rule, independent of the code page
// the program happens to run under.
#pragma once
#include <cstddef>
#include <string>

namespace wx {

// 0x81..0x9F and 0xE0..0xFC start a double-byte character.
inline bool IsSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes taken by the character that begins at pos: 2 for a lead byte
// followed by another byte, else 1 (a lead byte at the very end stands
// alone).  0 when pos is at or past the end.
std::size_t SjisCharLength(const std::string& s, std::size_t pos);

// True when byte index pos is the second byte of a double-byte character.
bool IsSjisTrailPosition(const std::string& s, std::size_t pos);

// The longest prefix of at most maxBytes bytes that ends on a character
// boundary.
std::string SjisCut(const std::string& s, std::size_t maxBytes);

// Position of the first single-byte character ch (searching whole
// characters only), or std::string::npos.
std::size_t SjisFind(const std::string& s, char ch, std::size_t from = 0);

// Whether the last character (not the last byte) is a backslash.
bool HasTrailingBackslash(const std::string& path);
// The path without one trailing backslash.
std::string StripTrailingBackslash(const std::string& path);
// The path with exactly one more backslash unless it already ends in one.
std::string IncludeTrailingBackslash(const std::string& path);
// What follows the last backslash character (the whole path without one).
std::string SjisFileNameOnly(const std::string& path);

// ASCII letters a..z upper-cased; the second byte of a double-byte
// character is left as it is (0x83 0x61 stays 0x83 0x61).
std::string SjisUpperCase(const std::string& s);

// Blanks (0x20) removed at both ends.  A blank can never be a trail byte.
std::string TrimSpaces(const std::string& s);

// The characters that file names may not hold: the ten  \ * ? / : " ; < > |
// and the control characters (below 0x20: line breaks, tabs).
bool IsInvalidFileChar(char c);
// True when none of them occurs (as a whole character), nor a lead byte
// without a trail byte after it (it would join with what follows).
bool IsValidFileName(const std::string& name);
// Each of them replaced by "_", or with fullWidth by the full-width
// counterpart of the ten (the semicolon becomes a full-width comma) and a
// full-width low line for a control character or a lone lead byte.
std::string ReplaceInvalidFileChars(const std::string& text, bool fullWidth);

}  // namespace wx
