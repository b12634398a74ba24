// Read and write access to the ID3v2 tag at the start of a file.
// Portable: no <windows.h>.
//
// New tags are written as ID3v2.3 with Shift-JIS text under encoding byte 0.
// An ID3v2.4 tag is written back as ID3v2.4 (sizes in 7-bit groups, every
// frame it held kept as it was), so no frame of another program is lost or
// converted.  A tag that still fits is rewritten in place; otherwise the
// whole file is copied through a temporary file behind a larger tag (1024
// bytes of padding, so later edits fit in place).
//
// Only a tag that can be read frame by frame exactly as it stands counts as
// a tag: version 2.3 or 2.4, no header flags (unsynchronisation, extended
// header, footer), every frame with a proper id and within the tag, nothing
// but zero bytes between and after the frames.  Any other tag, and one that
// claims to run past the end of the file, counts as no tag: it is never
// rewritten, and a write puts a new tag in front of it, leaving it whole.
// A tag of the right version and header whose frames break off part-way (a
// frame size past the tag, a frame id that is none, bytes that are no
// frame) is damaged: the frames before the fault can be read, and a write
// takes them into the new tag in front.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/binaryfile.h"

// One frame as read or as it will be written.
struct TID3v2Frame {
    char Id[4] = {0, 0, 0, 0};
    std::uint32_t Size = 0;            // data bytes (written big-endian)
    std::uint8_t Flags[2] = {0, 0};    // as read; 0, 0 for frames made here
    std::vector<std::uint8_t> Data;    // Size bytes

    std::string IdText() const { return std::string(Id, 4); }
};

class TID3TagV2 {
public:
    // Opens the file (read and write, other writers denied; or read only)
    // and reads the tag.  A file that cannot be opened raises
    // EFileStreamError.
    explicit TID3TagV2(const std::string& fileName, bool readOnly = false);
    ~TID3TagV2();
    TID3TagV2(const TID3TagV2&) = delete;
    TID3TagV2& operator=(const TID3TagV2&) = delete;

    bool Valid() const { return valid_; }
    // Not valid, but the frames before the fault were read (see above).
    bool Damaged() const { return damaged_; }
    // Major version of the tag read (3 or 4); 3 without a valid tag.  Tags
    // are written in this version.
    int Version() const { return version_; }
    // Whole tag with its 10-byte header; 0 without a valid tag.  This is
    // where the audio of an MP3 file begins.
    std::uint32_t TagLength() const { return tagLength_; }
    const std::string& FileName() const { return fileName_; }
    const std::uint8_t* Header() const { return header_; }

    int FrameCount() const { return static_cast<int>(frames_.size()); }
    const TID3v2Frame& Frame(int index) const { return frames_.at(static_cast<std::size_t>(index)); }
    // First frame with that id (case ignored), -1 when none.
    int IndexOfFrame(const std::string& id) const;

    // Whether the frame's data can be read as it stands (not compressed,
    // encrypted, grouped or unsynchronised, and not empty).
    bool IsReadable(int index) const;

    // Text of the first frame with that id; false when there is none or it
    // cannot be read (see IsReadable; too short for UTF-16).  Encoding 0 is
    // taken as it stands; 1 (UTF-16 with byte-order mark), 2 (UTF-16BE) and
    // 3 (UTF-8) are converted to Shift-JIS up to the first terminator, and
    // isUnicode tells so.
    bool GetFrameText(const std::string& id, bool& isUnicode, std::string& text) const;
    bool GetFrameTextAt(int index, bool& isUnicode, std::string& text) const;
    // Creates or replaces a text frame (encoding byte 0, no terminator).
    bool SetFrameText(const std::string& id, const std::string& text);
    void RemoveFrameAt(int index);

    // "COMM" frames: the language and description tell them apart.  The
    // comment is the first readable one with that description, whatever its
    // language; -1 when there is none.
    int IndexOfComment(const std::string& description) const;
    bool GetCommentAt(int index, bool& isUnicode, std::string& description, std::string& text) const;
    // The comment with an empty description.
    bool GetComment(bool& isUnicode, std::string& description, std::string& text) const;
    // Replaces the comment with that description (its language stays) or
    // appends a new one with the language "eng": byte 0, language,
    // description, 0, text.  Other "COMM" frames are left alone.
    bool SetComment(const std::string& description, const std::string& text);

    // Writes header, frames and padding.  False when nothing was written
    // (frames too large, the tag could not grow, or opened read only).
    // Errors of the file other than while growing raise EFileStreamError.
    bool WriteTag();

    // Seven-bit groups of a tag size, most significant first.
    static void SetTagSize(std::uint8_t* header, std::uint32_t size);

    // How many temporary names Resize tries (".000" to ".999"); tests lower it.
    static int TempNameLimit;

private:
    bool ReadHeader();
    bool ReadFrames();
    void ClearFrames() { frames_.clear(); }
    std::size_t DecodeUnicodeString(std::size_t offset, const TID3v2Frame& frame, std::string& text) const;
    bool Resize(std::uint32_t newLength);
    bool Readable(const TID3v2Frame& frame) const;
    std::uint8_t FormatFlagMask() const;
    void Reopen();

    TBinaryFile stream_;
    std::vector<TID3v2Frame> frames_;
    std::uint8_t header_[10] = {};
    std::string fileName_;
    std::uint32_t tagLength_ = 0;
    bool valid_ = false;
    bool damaged_ = false;
    int version_ = 3;
    bool readOnly_ = false;
};

// Where the audio of a file begins: behind every ID3v2 tag at its start,
// whether the tag could be read or not (a new tag in front of one that
// could not).  A header whose size runs past the end of the file ends the
// run.  Raises EFileStreamError on I/O errors.
std::int64_t SkipID3v2Tags(TBinaryFile& file);

// Name for the rewrite's temporary file: the file's extension replaced by
// ".000" ... up to the limit, the first that does not exist; empty when all
// are taken.
std::string MakeTagTempFileName(const std::string& fileName, int limit = 1000);
