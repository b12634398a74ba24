// Small text routines of the CDDB client: line ends, URL blanks, Base64,
// and leading numbers.  Portable: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace wx {

// Client name and version sent in every hello and submission.
inline constexpr char kCddbClientName[] = "Wendrix(JP)";
inline constexpr char kCddbClientVersion[] = "R3.22";

// Value of the leading run of ASCII digits; 0 when the text is empty or does
// not start with a digit.  No sign; a run too long for 32 bits wraps.
std::int32_t ParseLeadingInt(const std::string& text);

// The text without every trailing CR and LF.
std::string StripLineEnd(const std::string& text);

// Each blank replaced by "+" (for the query string of HTTP requests).
std::string BlanksToPlus(const std::string& text);

// Blanks (and tabs) removed at both ends / at the start / at the end.
std::string CddbTrim(const std::string& text);
std::string CddbTrimLeft(const std::string& text);
std::string CddbTrimRight(const std::string& text);

// Standard Base64 with "=" padding, as one unbroken line (it goes into a
// single header line).
std::string EncodeBase64(const std::string& bytes);

bool CddbStartsWith(const std::string& text, const char* prefix);

}  // namespace wx
