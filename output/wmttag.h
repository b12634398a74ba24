// Tags of WMA files: the header attributes, through the attribute editor of
// the WMA writer library (WMAudioCreateInfo, loaded with the library by the
// output driver).  Like the other tag functions, these report failure by
// their result.
#pragma once
#include <string>

#include "output/tagio.h"

namespace tagio {

// "Title", "Author", "WM/AlbumTitle", "Description", "Copyright",
// "WM/Year", "WM/Track" (the track number minus 1, only when there is one)
// and "WM/Genre".  False when the library is missing, the editor cannot be
// opened, an attribute cannot be set (the file is then left as it was) or
// the attributes cannot be written.
bool WriteWMTTag(const std::string& fileName, const wx::TTrackRecord& rec);
// The same attributes back into the record; true whenever the editor opened.
bool ReadWMTTag(const std::string& fileName, wx::TTrackRecord& rec);

// The tags of a freshly ripped file, for an output that can carry them.
// MP3 output (mp3Output; not the encoder library's RIFF containers): the
// ID3 tags by writeMode when the track has tags, then the emphasis flag
// when the track is pre-emphasised and de-emphasis was not applied.  Any
// other such output (WMA): the WMA attributes when the track has tags.
// True when every write that ran succeeded.
bool WriteTagsAfterRip(const std::string& fileName, const TTrackRecord& track, bool mp3Output,
                       bool deEmphasisApplied, int writeMode);

}  // namespace tagio
