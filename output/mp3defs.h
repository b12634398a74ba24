// The ID3 genre table, the user's genre names and display set, and the
// MPEG audio frame header decoder.  Portable: no <windows.h>.
//
// All texts are Shift-JIS.  The genre arrays are changed only by the
// settings code on the user-interface thread; the lookups read them
// without a lock.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <string>

constexpr int GenreCount = 256;
constexpr int NoGenre = -1;

// Built-in names by genre number: -1 is "-None-", 0..147 the ID3v1 list,
// 148..247 empty, 248..255 the program's own.  Any other number gives an
// empty text, so a bad number never reads outside the table.
struct TGenreNameTable {
    const char* operator[](int genre) const;
};
extern const TGenreNameTable GenreNames;

// The user's names (a non-empty one replaces the built-in name everywhere)
// and the genres shown in the short lists (bit n = genre n).
extern std::array<std::string, GenreCount> UserGenreNames;
extern std::bitset<GenreCount> GenreDisplaySet;

// Substitutes for an empty album and an empty genre in name templates:
// "新しいｱﾙﾊﾞﾑ" and "新しいｼﾞｬﾝﾙ".
extern const char* const NewAlbumName;
extern const char* const NewGenreName;

// The message for a genre without a name, "%d" standing for its number;
// the language module replaces the Japanese default "未定義 [%d]".
void SetUndefinedGenreFormat(const std::string& format);
std::string UndefinedGenreText(int genre);

// Display name: empty outside 0..255; else the user name, the built-in
// name, or the undefined text.
std::string GetGenreName(int genre);
// The same without the undefined text.
std::string GetGenreNameRaw(int genre);
// Number of a displayed name (blanks at both ends and ASCII case ignored),
// or -1.
int FindGenreIndex(const std::string& name);
// A number that can take a new user name.
int FindFreeGenreIndex();
// Number of a free-form genre text in the built-in table, comparing only
// the ASCII characters 0x30..0x7F without case; -1 when none matches or
// nothing is left to compare.
int FindBuiltinGenreIndex(const std::string& name);
// The text without blanks at both ends.
std::string TrimWideSpaces(const std::string& text);

// Clears the user names and the display set (the unit's start state).
void ResetGenreSettings();

// A decoded 32-bit MPEG audio frame header.
struct TMpegFrameHeader {
    std::int32_t Version;          // 2 = MPEG-1, 1 = MPEG-2
    std::int32_t Layer;            // 1..3
    std::int32_t HasCrc;           // 1 when the protection bit is 0
    std::int32_t BitrateIndex;     // header index - 1: 0..13 when valid
    std::int32_t SampleRateIndex;  // 0..2
    std::int32_t Padding;
    std::int32_t Private;
    std::int32_t Mode;
    std::int32_t ModeExtension;
    std::int32_t Copyright;
    std::int32_t Original;
    std::int32_t Emphasis;
};

// Decodes a header whose most significant byte is the first byte of the
// frame.  False for a missing sync, layer bits 00, sample-rate index 3, a
// free-format or bad bitrate index, and MPEG 2.5.  FileSize is not used.
bool ParseMpegHeader(std::uint32_t header, std::int32_t fileSize, TMpegFrameHeader& info);
