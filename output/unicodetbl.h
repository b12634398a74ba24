// UCS-2 (UTF-16) and UTF-8 text to Shift-JIS.  Portable: no <windows.h>.
//
// Each UTF-16 unit goes first through the system's conversion when one is
// installed (SetSystemUnitConverter; the Windows build installs the ANSI
// code page's), and through the program's own table when the system answers
// "?" or none is installed.  A unit that neither maps becomes "?".
#pragma once
#include <cstdint>
#include <string>

namespace unicodetbl_data {
// RowIndex[high byte] is the offset of that row in SjisCodes, or 0xFFFF.
extern const std::uint16_t RowIndex[256];
// 93 rows of 256 entries: the Shift-JIS code (a byte below 0x100), 0 = none.
extern const std::uint16_t SjisCodes[93 * 256];
}  // namespace unicodetbl_data

constexpr int UnicodeTableRows = 93;

// One UTF-16 unit converted by the system; the result is the ANSI bytes,
// "?" when the system has no mapping.
using TSystemUnitConverter = std::string (*)(char16_t unit);
void SetSystemUnitConverter(TSystemUnitConverter converter);
TSystemUnitConverter GetSystemUnitConverter();

// One UCS-2 code through the table; 0 when not mapped.
std::uint16_t UcsToSjisChar(std::uint16_t code);

// A zero-terminated UTF-16 text (null gives an empty result).
std::string UcsToSjis(const char16_t* text);
std::string UcsToSjis(const std::u16string& text);

// A UTF-8 text.  Malformed sequences decode to U+FFFD, which becomes "?".
std::string Utf8ToSjis(const std::string& text);

// UTF-8 decoded to UTF-16 units (code points above U+FFFF as surrogate
// pairs); exposed for the tests and for callers that need the units.
std::u16string Utf8ToUtf16(const std::string& text);
