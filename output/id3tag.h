// Read and write access to the ID3v2 tag at the start of a file.
// Portable: no <windows.h>.
//
// Tags are written as ID3v2.3 with Shift-JIS text under encoding byte 0.
// A tag that still fits is rewritten in place; otherwise the whole file is
// copied through a temporary file behind a larger tag (1024 bytes of
// padding, so later edits fit in place).  Every length read from the file
// is checked against the file before it is used: a tag that claims to run
// past the end of the file counts as no tag, and the frame list stops at
// the first frame that would run past the end of the tag.
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
    // Whole tag with its 10-byte header; 0 without a valid tag.  This is
    // where the audio of an MP3 file begins.
    std::uint32_t TagLength() const { return tagLength_; }
    const std::string& FileName() const { return fileName_; }
    const std::uint8_t* Header() const { return header_; }

    int FrameCount() const { return static_cast<int>(frames_.size()); }
    const TID3v2Frame& Frame(int index) const { return frames_.at(static_cast<std::size_t>(index)); }
    // First frame with that id (case ignored), -1 when none.
    int IndexOfFrame(const std::string& id) const;

    // Text of the first frame with that id; false when there is none or it
    // cannot be read (compressed, encrypted, empty, too short for UTF-16).
    bool GetFrameText(const std::string& id, bool& isUnicode, std::string& text) const;
    bool GetFrameTextAt(int index, bool& isUnicode, std::string& text) const;
    // Creates or replaces a text frame (encoding byte 0, no terminator).
    bool SetFrameText(const std::string& id, const std::string& text);
    // The first "COMM" frame.
    bool GetComment(bool& isUnicode, std::string& description, std::string& text) const;
    // "COMM": byte 0, "eng", description, 0, text.
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
    void ReadFrames();
    void ClearFrames() { frames_.clear(); }
    std::size_t DecodeUnicodeString(std::size_t offset, const TID3v2Frame& frame, std::string& text) const;
    bool Resize(std::uint32_t newLength);
    bool Readable(const TID3v2Frame& frame) const;
    void Reopen();

    TBinaryFile stream_;
    std::vector<TID3v2Frame> frames_;
    std::uint8_t header_[10] = {};
    std::string fileName_;
    std::uint32_t tagLength_ = 0;
    bool valid_ = false;
    bool readOnly_ = false;
};

// Name for the rewrite's temporary file: the file's extension replaced by
// ".000" ... up to the limit, the first that does not exist; empty when all
// are taken.
std::string MakeTagTempFileName(const std::string& fileName, int limit = 1000);
