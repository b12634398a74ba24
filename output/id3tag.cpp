#include "output/id3tag.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "classlib/sjis.h"
#include "output/unicodetbl.h"

int TID3TagV2::TempNameLimit = 1000;

namespace {

constexpr std::uint32_t kMinBufferLimit = 65536;
constexpr std::uint32_t kPadding = 1024;
constexpr std::size_t kCopyBlock = 4096;

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameId(const char* id, const std::string& wanted) {
    if (wanted.size() != 4) return false;
    for (int i = 0; i < 4; ++i)
        if (AsciiUpper(id[i]) != AsciiUpper(wanted[static_cast<std::size_t>(i)])) return false;
    return true;
}

// Position of the extension's dot (whole characters only, after the last
// folder separator), or npos.
std::size_t ExtensionDot(const std::string& name) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < name.size();) {
        const char c = name[i];
        if (c == '.') dot = i;
        else if (c == '\\' || c == '/' || c == ':') dot = std::string::npos;
        const std::size_t n = wx::SjisCharLength(name, i);
        i += n ? n : 1;
    }
    return dot;
}

}  // namespace

std::int64_t SkipID3v2Tags(TBinaryFile& file) {
    const std::int64_t size = file.Size();
    std::int64_t pos = 0;
    // Each tag moves the position forward by at least its header, so the
    // run ends; the bound only keeps a file made of headers cheap.
    for (int n = 0; n < 4096 && size - pos >= 10; ++n) {
        std::uint8_t h[10];
        file.Seek(pos);
        file.ReadBuffer(h, sizeof(h));
        if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF) break;
        if (h[6] >= 0x80 || h[7] >= 0x80 || h[8] >= 0x80 || h[9] >= 0x80) break;
        std::int64_t length = (std::int64_t{h[6]} << 21) + (std::int64_t{h[7]} << 14) + (std::int64_t{h[8]} << 7) + h[9] + 10;
        if (h[3] == 4 && (h[5] & 0x10)) length += 10;  // footer
        if (length > size - pos) break;
        pos += length;
    }
    return pos;
}

std::string MakeTagTempFileName(const std::string& fileName, int limit) {
    const std::size_t dot = ExtensionDot(fileName);
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    for (int i = 0; i < limit && i < 1000; ++i) {
        char ext[8];
        std::snprintf(ext, sizeof(ext), ".%.03d", i);
        const std::string name = stem + ext;
        if (!FileExists(name)) return name;
    }
    return std::string();
}

TID3TagV2::TID3TagV2(const std::string& fileName, bool readOnly) : fileName_(fileName), readOnly_(readOnly) {
    stream_.Open(fileName, readOnly ? TBinaryFile::fmOpenRead : TBinaryFile::fmOpenReadWrite);
    ReadHeader();
}

TID3TagV2::~TID3TagV2() = default;

void TID3TagV2::Reopen() {
    stream_.Open(fileName_, readOnly_ ? TBinaryFile::fmOpenRead : TBinaryFile::fmOpenReadWrite);
}

bool TID3TagV2::ReadHeader() {
    valid_ = false;
    damaged_ = false;
    tagLength_ = 0;
    version_ = 3;
    ClearFrames();
    std::memset(header_, 0, sizeof(header_));
    stream_.Seek(0);
    if (stream_.Read(header_, sizeof(header_)) != sizeof(header_)) return false;
    bool ok = std::memcmp(header_, "ID3", 3) == 0 && header_[3] != 0xFF && header_[4] != 0xFF && header_[5] == 0;
    for (int i = 6; i < 10; ++i) ok = ok && header_[i] < 0x80;
    // Versions 2.2 (three-letter ids, 6-byte frame headers) and anything
    // after 2.4 have another layout: read as 2.3 they would lose frames.
    ok = ok && (header_[3] == 3 || header_[3] == 4);
    if (!ok) return false;
    const std::uint32_t length = (std::uint32_t{header_[6]} << 21) + (std::uint32_t{header_[7]} << 14) +
                                 (std::uint32_t{header_[8]} << 7) + header_[9] + 10;
    // A tag that claims more bytes than the file holds is not a tag.
    if (static_cast<std::int64_t>(length) > stream_.Size()) return false;
    version_ = header_[3];
    tagLength_ = length;
    if (!ReadFrames()) {
        // Not readable as it stands: rewriting it would lose what could not
        // be read, so it counts as no tag and stays whole.  The frames read
        // before the fault are kept for reading (and go into a new tag in
        // front, written in the damaged tag's version, whose frame layout
        // they have).
        damaged_ = !frames_.empty();
        tagLength_ = 0;
        if (!damaged_) version_ = 3;
        return false;
    }
    valid_ = true;
    return valid_;
}

namespace {

bool IsFrameIdChar(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

bool TID3TagV2::ReadFrames() {
    ClearFrames();
    std::vector<std::uint8_t> tag(tagLength_);
    stream_.Seek(0);
    stream_.ReadBuffer(tag.data(), tag.size());
    std::size_t p = 10;
    while (p < tag.size()) {
        if (tag[p] == 0) {  // padding, or a gap between frames
            ++p;
            continue;
        }
        // Anything that is not a whole frame within the tag means the tag
        // cannot be read faithfully.
        if (tag.size() - p < 10) return false;
        TID3v2Frame f;
        std::memcpy(f.Id, &tag[p], 4);
        for (char c : f.Id)
            if (!IsFrameIdChar(static_cast<std::uint8_t>(c))) return false;
        if (version_ == 4) {
            // Version 2.4 frame sizes are four 7-bit groups.
            for (int i = 4; i < 8; ++i)
                if (tag[p + static_cast<std::size_t>(i)] >= 0x80) return false;
            f.Size = (std::uint32_t{tag[p + 4]} << 21) | (std::uint32_t{tag[p + 5]} << 14) |
                     (std::uint32_t{tag[p + 6]} << 7) | tag[p + 7];
        } else {
            f.Size = BigEndian32(&tag[p + 4]);
        }
        f.Flags[0] = tag[p + 8];
        f.Flags[1] = tag[p + 9];
        p += 10;
        if (f.Size > tag.size() - p) return false;
        f.Data.assign(tag.begin() + static_cast<std::ptrdiff_t>(p), tag.begin() + static_cast<std::ptrdiff_t>(p + f.Size));
        p += f.Size;
        frames_.push_back(std::move(f));
    }
    return true;
}

int TID3TagV2::IndexOfFrame(const std::string& id) const {
    for (std::size_t i = 0; i < frames_.size(); ++i)
        if (SameId(frames_[i].Id, id)) return static_cast<int>(i);
    return -1;
}

std::uint8_t TID3TagV2::FormatFlagMask() const {
    // 2.3: compression $80, encryption $40, grouping $20.  2.4: grouping
    // $40, compression $08, encryption $04, unsynchronisation $02, data
    // length indicator $01.  Each changes what the data bytes mean.
    return version_ == 4 ? 0x4F : 0xE0;
}

bool TID3TagV2::Readable(const TID3v2Frame& f) const {
    return (f.Flags[1] & FormatFlagMask()) == 0 && f.Size > 0 && f.Data.size() == f.Size;
}

bool TID3TagV2::IsReadable(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < frames_.size() &&
           Readable(frames_[static_cast<std::size_t>(index)]);
}

std::size_t TID3TagV2::DecodeUnicodeString(std::size_t offset, const TID3v2Frame& f, std::string& text) const {
    // The encoding byte decides: 1 UTF-16 with a byte-order mark, 2 UTF-16
    // big-endian without one, 3 UTF-8.
    text.clear();
    const std::size_t size = f.Data.size();
    const std::uint8_t encoding = size ? f.Data[0] : 0;
    if (encoding == 3) {
        std::size_t end = offset;
        while (end < size && f.Data[end] != 0) ++end;
        if (end > offset)
            text = Utf8ToSjis(std::string(reinterpret_cast<const char*>(f.Data.data()) + offset, end - offset));
        return end < size ? end + 1 : size;
    }
    std::size_t p = offset;
    bool little = false;
    if (encoding != 2) {
        if (offset + 2 > size) return size;
        little = f.Data[offset] == 0xFF && f.Data[offset + 1] == 0xFE;
        p += 2;
    }
    std::u16string units;
    for (; p + 1 < size; p += 2) {
        const char16_t u = little ? static_cast<char16_t>(f.Data[p] | (f.Data[p + 1] << 8))
                                  : static_cast<char16_t>((f.Data[p] << 8) | f.Data[p + 1]);
        if (u == 0) break;
        units.push_back(u);
    }
    text = UcsToSjis(units);
    return p + 1 < size ? p + 2 : size;
}

bool TID3TagV2::GetFrameTextAt(int index, bool& isUnicode, std::string& text) const {
    isUnicode = false;
    text.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= frames_.size()) return false;
    const TID3v2Frame& f = frames_[static_cast<std::size_t>(index)];
    if (!Readable(f)) return false;
    const std::uint8_t encoding = f.Data[0];
    isUnicode = encoding >= 1 && encoding <= 3;
    if (encoding == 1) {
        if (f.Size < 3) return false;
        DecodeUnicodeString(1, f, text);
        return true;
    }
    if (encoding == 2 || encoding == 3) {
        DecodeUnicodeString(1, f, text);
        return true;
    }
    text.assign(reinterpret_cast<const char*>(f.Data.data()) + 1, f.Data.size() - 1);
    return true;
}

bool TID3TagV2::GetFrameText(const std::string& id, bool& isUnicode, std::string& text) const {
    const int i = IndexOfFrame(id);
    if (i < 0) {
        isUnicode = false;
        text.clear();
        return false;
    }
    return GetFrameTextAt(i, isUnicode, text);
}

bool TID3TagV2::GetCommentAt(int index, bool& isUnicode, std::string& description, std::string& text) const {
    isUnicode = false;
    description.clear();
    text.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= frames_.size()) return false;
    const TID3v2Frame& f = frames_[static_cast<std::size_t>(index)];
    if (!SameId(f.Id, "COMM") || !Readable(f)) return false;
    const std::uint8_t encoding = f.Data[0];
    isUnicode = encoding >= 1 && encoding <= 3;
    if (isUnicode) {
        if (encoding == 1 && f.Size < 6) return false;
        if (f.Size < 4) return false;
        const std::size_t next = DecodeUnicodeString(4, f, description);
        DecodeUnicodeString(next, f, text);
        return true;
    }
    // Encoding byte and three language bytes, then description 0 text.
    const std::size_t size = f.Data.size();
    std::size_t p = std::min<std::size_t>(4, size);
    const char* d = reinterpret_cast<const char*>(f.Data.data());
    const std::size_t descEnd = std::find(f.Data.begin() + static_cast<std::ptrdiff_t>(p), f.Data.end(), 0) - f.Data.begin();
    description.assign(d + p, descEnd - p);
    if (descEnd < size) {
        p = descEnd + 1;
        const std::size_t textEnd = std::find(f.Data.begin() + static_cast<std::ptrdiff_t>(p), f.Data.end(), 0) - f.Data.begin();
        text.assign(d + p, textEnd - p);
    }
    return true;
}

int TID3TagV2::IndexOfComment(const std::string& description) const {
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        if (!SameId(frames_[i].Id, "COMM")) continue;
        bool u;
        std::string d, t;
        if (GetCommentAt(static_cast<int>(i), u, d, t) && d == description) return static_cast<int>(i);
    }
    return -1;
}

bool TID3TagV2::GetComment(bool& isUnicode, std::string& description, std::string& text) const {
    const int i = IndexOfComment("");
    if (i < 0) {
        isUnicode = false;
        description.clear();
        text.clear();
        return false;
    }
    return GetCommentAt(i, isUnicode, description, text);
}

void TID3TagV2::RemoveFrameAt(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < frames_.size())
        frames_.erase(frames_.begin() + index);
}

bool TID3TagV2::SetFrameText(const std::string& id, const std::string& text) {
    const int i = IndexOfFrame(id);
    TID3v2Frame* f;
    if (i < 0) {
        frames_.emplace_back();
        f = &frames_.back();
        for (std::size_t k = 0; k < 4 && k < id.size(); ++k) f->Id[k] = AsciiUpper(id[k]);
    } else {
        // Id and status flags stay.  The format flags (compressed,
        // encrypted, grouped) described the old data, not the plain text
        // written now; kept, they would make the new text unreadable.
        f = &frames_[static_cast<std::size_t>(i)];
        f->Flags[1] &= static_cast<std::uint8_t>(~FormatFlagMask());
    }
    f->Data.assign(1, 0);
    f->Data.insert(f->Data.end(), text.begin(), text.end());
    f->Size = static_cast<std::uint32_t>(f->Data.size());
    return true;
}

bool TID3TagV2::SetComment(const std::string& description, const std::string& text) {
    const int i = IndexOfComment(description);
    TID3v2Frame* f;
    std::string language = "eng";
    if (i < 0) {
        frames_.emplace_back();
        f = &frames_.back();
        std::memcpy(f->Id, "COMM", 4);
    } else {
        f = &frames_[static_cast<std::size_t>(i)];
        if (f->Data.size() >= 4) language.assign(reinterpret_cast<const char*>(f->Data.data()) + 1, 3);
        f->Flags[1] &= static_cast<std::uint8_t>(~FormatFlagMask());
    }
    f->Data.assign(1, 0);
    f->Data.insert(f->Data.end(), language.begin(), language.end());
    f->Data.insert(f->Data.end(), description.begin(), description.end());
    f->Data.push_back(0);
    f->Data.insert(f->Data.end(), text.begin(), text.end());
    f->Size = static_cast<std::uint32_t>(f->Data.size());
    return true;
}

void TID3TagV2::SetTagSize(std::uint8_t* header, std::uint32_t size) {
    header[6] = static_cast<std::uint8_t>((size >> 21) & 0x7F);
    header[7] = static_cast<std::uint8_t>((size >> 14) & 0x7F);
    header[8] = static_cast<std::uint8_t>((size >> 7) & 0x7F);
    header[9] = static_cast<std::uint8_t>(size & 0x7F);
}

bool TID3TagV2::WriteTag() {
    if (readOnly_) return false;
    const std::uint32_t limit = tagLength_ > kMinBufferLimit ? tagLength_ : kMinBufferLimit;
    std::vector<std::uint8_t> buf(std::size_t{limit} + kPadding, 0);
    std::memcpy(buf.data(), "ID3", 3);
    buf[3] = static_cast<std::uint8_t>(version_);
    std::size_t used = 10;
    for (const TID3v2Frame& f : frames_) {
        if (used + 10 > limit || f.Data.size() > limit - used - 10) return false;
        std::memcpy(&buf[used], f.Id, 4);
        if (version_ == 4) {
            std::uint8_t size[10];
            SetTagSize(size, static_cast<std::uint32_t>(f.Data.size()));  // within the limit, below 2^28
            std::memcpy(&buf[used + 4], size + 6, 4);
        } else {
            PutBigEndian32(&buf[used + 4], static_cast<std::uint32_t>(f.Data.size()));
        }
        buf[used + 8] = f.Flags[0];
        buf[used + 9] = f.Flags[1];
        used += 10;
        if (!f.Data.empty()) std::memcpy(&buf[used], f.Data.data(), f.Data.size());
        used += f.Data.size();
    }
    const std::uint32_t n = tagLength_ >= used ? tagLength_ : static_cast<std::uint32_t>(used + kPadding);
    if (n - 10 >= (1u << 28)) return false;  // does not fit the four 7-bit groups
    SetTagSize(buf.data(), n - 10);
    const bool grown = n != tagLength_;
    if (grown && !Resize(n)) return false;
    stream_.Seek(0);
    stream_.WriteBuffer(buf.data(), n);
    stream_.Flush();
    if (grown) ReadHeader();
    return true;
}

bool TID3TagV2::Resize(std::uint32_t newLength) {
    const std::string temp = MakeTagTempFileName(fileName_, TempNameLimit);
    if (temp.empty()) return false;
    try {
        TBinaryFile out(temp, TBinaryFile::fmCreate);
        try {
            stream_.Seek(tagLength_);
            std::vector<std::uint8_t> block(kCopyBlock, 0);
            for (std::uint32_t left = newLength; left > 0;) {
                const std::size_t piece = std::min<std::size_t>(left, kCopyBlock);
                out.WriteBuffer(block.data(), piece);
                left -= static_cast<std::uint32_t>(piece);
            }
            for (;;) {
                const std::size_t got = stream_.Read(block.data(), kCopyBlock);
                out.WriteBuffer(block.data(), got);
                if (got < kCopyBlock) break;
            }
            out.Flush();
        } catch (const EFileStreamError&) {
            out.Close();
            DeleteFileName(temp);
            throw;
        }
        out.Close();
    } catch (const EFileStreamError&) {
        return false;
    }
    // Swap: the old file steps aside under a second temporary name until
    // the new one carries its name, so that it can come back if that fails.
    const std::string aside = MakeTagTempFileName(fileName_, 1000);
    stream_.Close();
    bool swapped = false;
    if (!aside.empty() && RenameFileName(fileName_, aside)) {
        if (RenameFileName(temp, fileName_)) {
            swapped = true;
            DeleteFileName(aside);
        } else {
            RenameFileName(aside, fileName_);
        }
    }
    if (!swapped) DeleteFileName(temp);
    Reopen();
    ClearFrames();
    ReadHeader();
    return swapped;
}
