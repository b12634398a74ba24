// Small text routines of the CDDB client: line ends, URL query values,
// Base64, and leading numbers.  Portable: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wx {

// Client name and version sent in every hello and submission.
inline constexpr char kCddbClientName[] = "Wendrix(JP)";
inline constexpr char kCddbClientVersion[] = "R3.22";

// Value of the leading run of ASCII digits; 0 when the text is empty or does
// not start with a digit.  No sign; a run too long for 32 bits wraps.
std::int32_t ParseLeadingInt(const std::string& text);

// The text without every trailing CR and LF.
std::string StripLineEnd(const std::string& text);

// A value of the query string of an HTTP request: each blank becomes "+",
// letters, digits and "-._~!$'()*,:@/" stay, every other byte is written as
// "%XX", so that no value can end itself or start another ("&", "#", "%",
// "+", "=", control bytes).
std::string CddbQueryValue(const std::string& text);

// A word the server gave that goes back into a request (a category or a
// disc id): not empty, and no blank, control byte or DEL, which would split
// the command or end the request line.
bool IsCddbWord(const std::string& text);

// Blanks (and tabs) removed at both ends / at the start / at the end.
std::string CddbTrim(const std::string& text);
std::string CddbTrimLeft(const std::string& text);
std::string CddbTrimRight(const std::string& text);

// Standard Base64 with "=" padding, as one unbroken line (it goes into a
// single header line).
std::string EncodeBase64(const std::string& bytes);

bool CddbStartsWith(const std::string& text, const char* prefix);

}  // namespace wx

namespace wx {

// xmcd value escapes: a line break as "\n", a tab as "\t", a backslash as
// "\\".  In Shift-JIS text (sjis true) the trail byte of a double-byte
// character is never taken for a backslash; UTF-8 text is escaped byte by
// byte.
std::string XmcdEscape(const std::string& value, bool sjis);
std::string XmcdUnescape(const std::string& value, bool sjis);

// One line of a mail submission as quoted-printable: TAB and the bytes
// 32..60 and 62..126 as they are, every other byte as "=XX"; a soft break
// ("=" at the end of a line) once a line would pass 71 characters.  The
// physical lines, without line ends.
std::vector<std::string> EncodeQuotedPrintable(const std::string& line);

// The proxy password as the settings file keeps it.  Scrambling inverts
// every byte and escapes the results that an INI value cannot hold ("&"
// and "+" forms).  The stored form survives the profile functions under
// any code page: a leading "=" (which the old form
// never holds), then the scrambled text with every byte other than letters,
// digits, "&" and "+" written as "=XX".  The old form is still read.
std::string ScrambleProxyPassword(const std::string& password);
std::string UnscrambleProxyPassword(const std::string& scrambled);
std::string StoredProxyPassword(const std::string& password);
std::string ReadStoredProxyPassword(const std::string& stored);

}  // namespace wx
