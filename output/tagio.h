// Tag reading and writing on output files: ID3v1, ID3v2, the emphasis flag
// of an MP3 file, WMA attributes and TwinVQ header chunks.  The main
// window's tag methods forward here.  Portable: no <windows.h>.
//
// Every function opens the file, does its work and closes it again, and
// reports failure by its result: no exception leaves these functions, so a
// read-only, locked or broken file never breaks the caller (the rip
// completion among them).  Readers open files read only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "extraction/TrackTable.h"

namespace tagio {

// The tag fields of a track record (Title, Artist, Album, Year, Comment,
// Copyright, TrackText, Genre, HasTag, PreEmphasis) are what these
// functions read and write; the readers observe the record's lengths (255
// bytes, 10 for Year and TrackText).  Genre -1 means no genre.
using TTagFields = wx::TTrackRecord;
using wx::TTrackRecord;

constexpr std::size_t MaxTextBytes = 255;
constexpr std::size_t MaxShortTextBytes = 10;

// Empties the texts and sets Genre to -1 (HasTag and PreEmphasis stay).
void ClearTagFields(TTrackRecord& rec);

// ID3v1: the last 128 bytes of an MP3 file.
using TID3v1Block = std::uint8_t[128];
void TrackBufToID3Tag(const TTrackRecord& rec, TID3v1Block& block);
void ID3TagToTrackInfo(const TID3v1Block& block, TTrackRecord& rec);

bool WriteTag(const std::string& fileName, const TTrackRecord& rec);
bool ReadTag(const std::string& fileName, TTrackRecord& rec);
bool WriteTagV2(const std::string& fileName, const TTrackRecord& rec);
bool ReadTagV2(const std::string& fileName, TTrackRecord& rec);

// Tag kinds by ID3TagWriteMode (0 ID3v1, 1 ID3v2, 2 both) plus the forced
// ones.  True when every kind asked for was written (and when none was
// asked for); a false result leaves the file as it was.
bool WriteTagV1V2(const std::string& fileName, const TTrackRecord& rec, int writeMode, bool forceV1, bool forceV2);
// Both kinds, merged; false when neither is present.
bool ReadTagV1V2(const std::string& fileName, bool& hasV1, TTrackRecord& rec, bool& hasV2);

// Marks (01) or clears (00) the emphasis bits of the first MPEG frame
// header.  False when the file is not an MP3 file or cannot be written.
bool SetEmphasisFlag(const std::string& fileName, bool on);

// Genre number of a "TCON" text: "(17)", "(17)Rock", "Rock" and "17" give
// 17; a number past the table counts as none, so "(300)Rock" gives 17.
// Always within -1..255.
int ParseGenreText(const std::string& text);
// Track number text to a zero-based number: "4/12" gives 3, "" and "4a" -1.
int ParseTrackNumber(const std::string& text);

// TwinVQ header chunks ("NAME", "AUTH", "ALBM", "(c) ", "COMT", "YEAR").
// Writing builds a new file beside the old one and swaps the two; the file
// is left as it was when that fails.
bool WriteVQFTag(const std::string& fileName, const TTrackRecord& rec);
bool ReadVQFTag(const std::string& fileName, TTrackRecord& rec);
// A free temporary name in the folder: "CNK" and a hexadecimal number
// (1, 2, 3 ...) with the extension ".TMP"; empty when none is free.
std::string MakeChunkTempFileName(const std::string& folder);

// The first MPEG audio frame header of an MP3 file: where the audio
// starts (after an ID3v2 tag) and ends (before an ID3v1 block).
struct TAudioSpan {
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::uint32_t Header = 0;  // first four bytes at Start, big-endian
    bool HasV1 = false;
};
// False when the file is too short or does not start with an MPEG frame
// header after its ID3v2 tags.  Raises EFileStreamError on I/O errors.
bool FindAudioSpan(const std::string& fileName, TAudioSpan& span);

}  // namespace tagio
