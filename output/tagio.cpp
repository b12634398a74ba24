#include "output/tagio.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "classlib/sjis.h"
#include "output/binaryfile.h"
#include "output/chunkbank.h"
#include "output/id3tag.h"
#include "output/mp3defs.h"

namespace tagio {

namespace {

constexpr std::int64_t kMinMp3Size = 133;  // a file of 132 bytes or less is left alone

std::string Cut(const std::string& s, std::size_t maxBytes) { return wx::SjisCut(s, maxBytes); }

// The text of an ID3v1 field: trailing zero bytes and blanks cut, the rest
// as it stands (zero bytes inside included).
std::string V1Field(const std::uint8_t* p, std::size_t n) {
    while (n > 0 && (p[n - 1] == 0 || p[n - 1] == ' ')) --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void PutV1Field(std::uint8_t* p, const std::string& text, std::size_t n) {
    // Cut on a character boundary, walking from the text's start; the rest
    // of the field keeps its blanks.
    const std::string s = Cut(text, n);
    std::memcpy(p, s.data(), s.size());
}

// Audio span on an open file.
bool SpanOf(TBinaryFile& f, std::int64_t audioStart, TAudioSpan& span) {
    const std::int64_t size = f.Size();
    if (size < kMinMp3Size || audioStart < 0 || audioStart > size - 4) return false;
    std::uint8_t h[4];
    f.Seek(audioStart);
    f.ReadBuffer(h, 4);
    std::uint8_t last[128];
    f.Seek(size - 128);
    f.ReadBuffer(last, 128);
    span.Start = audioStart;
    span.HasV1 = std::memcmp(last, "TAG", 3) == 0;
    span.End = span.HasV1 ? size - 128 : size;
    span.Header = (std::uint32_t{h[0]} << 24) | (std::uint32_t{h[1]} << 16) | (std::uint32_t{h[2]} << 8) | h[3];
    if (span.End < audioStart + 4) return false;  // the ID3v1 block overlaps the frame header
    TMpegFrameHeader info;
    return ParseMpegHeader(span.Header, static_cast<std::int32_t>(span.End > INT32_MAX ? INT32_MAX : span.End), info);
}

// Behind every ID3v2 tag at the start: a tag this program could not read
// stays whole behind the one it put in front.
std::int64_t AudioStartOf(const std::string& fileName) {
    TBinaryFile f(fileName, TBinaryFile::fmOpenRead);
    return SkipID3v2Tags(f);
}

// The end of a file as it was before an ID3v1 write: its size and its last
// bytes (the block that the write replaces, or the bytes before an append).
struct TTail {
    std::int64_t Size = 0;
    std::vector<std::uint8_t> Bytes;
};

TTail TakeTail(TBinaryFile& f) {
    TTail t;
    t.Size = f.Size();
    t.Bytes.resize(static_cast<std::size_t>(t.Size < 128 ? t.Size : 128));
    f.Seek(t.Size - static_cast<std::int64_t>(t.Bytes.size()));
    f.ReadBuffer(t.Bytes.data(), t.Bytes.size());
    return t;
}

// Puts the end back as it was, when the file still has the size an ID3v1
// write leaves (the same, or one block more); false otherwise.
bool RestoreTail(TBinaryFile& f, const TTail& t) {
    const std::int64_t now = f.Size();
    if (now != t.Size && now != t.Size + 128) return false;
    f.Seek(t.Size - static_cast<std::int64_t>(t.Bytes.size()));
    f.WriteBuffer(t.Bytes.data(), t.Bytes.size());
    f.Truncate(t.Size);
    f.Flush();
    return true;
}

// The text the reader takes from a frame: trailing terminators dropped
// (other taggers end text frames with one), cut to what the record holds.
bool FieldText(const TID3TagV2& tag, int index, std::size_t maxBytes, std::string& text) {
    bool unicode;
    if (!tag.GetFrameTextAt(index, unicode, text)) return false;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    text = Cut(text, maxBytes);
    return true;
}

bool CommentText(const TID3TagV2& tag, int index, std::string& text) {
    bool unicode;
    std::string description;
    if (!tag.GetCommentAt(index, unicode, description, text)) return false;
    text = Cut(text, MaxTextBytes);
    return true;
}

// The year is "TYER" in version 2.3 and "TDRC" in 2.4; either is read when
// the tag lacks the other.
const char* YearFrame(const TID3TagV2& tag) { return tag.Version() == 4 ? "TDRC" : "TYER"; }
const char* OtherYearFrame(const TID3TagV2& tag) { return tag.Version() == 4 ? "TYER" : "TDRC"; }

}  // namespace

void ClearTagFields(wx::TTrackRecord& rec) {
    rec.Title.clear();
    rec.Artist.clear();
    rec.Album.clear();
    rec.Year.clear();
    rec.Comment.clear();
    rec.Copyright.clear();
    rec.TrackText.clear();
    rec.Genre = -1;
}

void TrackBufToID3Tag(const wx::TTrackRecord& rec, TID3v1Block& block) {
    std::memset(block, ' ', sizeof(block));
    std::memcpy(block, "TAG", 3);
    PutV1Field(block + 3, rec.Title, 30);
    PutV1Field(block + 33, rec.Artist, 30);
    PutV1Field(block + 63, rec.Album, 30);
    PutV1Field(block + 93, rec.Year, 4);
    PutV1Field(block + 97, rec.Comment, 30);
    block[127] = static_cast<std::uint8_t>(rec.Genre & 0xFF);
}

void ID3TagToTrackInfo(const TID3v1Block& block, wx::TTrackRecord& rec) {
    rec.Title = V1Field(block + 3, 30);
    rec.Artist = V1Field(block + 33, 30);
    rec.Album = V1Field(block + 63, 30);
    rec.Year = V1Field(block + 93, 4);
    // ID3v1.1: a zero byte 125 and a track number in byte 126 leave the
    // comment 28 bytes, up to their first zero.
    if (block[125] == 0 && block[126] != 0) {
        std::size_t n = 0;
        while (n < 28 && block[97 + n] != 0) ++n;
        rec.Comment = V1Field(block + 97, n);
    } else {
        rec.Comment = V1Field(block + 97, 30);
    }
    rec.Copyright.clear();
    rec.TrackText.clear();
    rec.Genre = block[127];
}

bool FindAudioSpan(const std::string& fileName, TAudioSpan& span) {
    const std::int64_t start = AudioStartOf(fileName);
    TBinaryFile f(fileName, TBinaryFile::fmOpenRead);
    return SpanOf(f, start, span);
}

bool WriteTag(const std::string& fileName, const wx::TTrackRecord& rec) {
    try {
        if (!FileExists(fileName)) return false;
        const std::int64_t start = AudioStartOf(fileName);
        TBinaryFile f(fileName, TBinaryFile::fmOpenReadWrite);
        TAudioSpan span;
        if (!SpanOf(f, start, span)) return false;
        TID3v1Block block;
        TrackBufToID3Tag(rec, block);
        if (span.HasV1) {
            // A block of the ID3v1.1 layout keeps its track number (byte
            // 126, after a zero byte 125); the comment then has 28 bytes.
            TID3v1Block old;
            f.Seek(span.End);
            f.ReadBuffer(old, sizeof(old));
            if (old[125] == 0 && old[126] != 0) {
                std::memset(block + 97, ' ', 30);
                PutV1Field(block + 97, rec.Comment, 28);
                block[125] = 0;
                block[126] = old[126];
            }
        }
        const TTail before = TakeTail(f);
        try {
            f.Seek(span.End);  // over an existing block, else appended
            f.WriteBuffer(block, sizeof(block));
            f.Flush();
        } catch (const std::exception&) {
            // A write cut short (a full disk) leaves the file as it was.
            try {
                RestoreTail(f, before);
            } catch (const std::exception&) {
            }
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadTag(const std::string& fileName, wx::TTrackRecord& rec) {
    ClearTagFields(rec);
    try {
        if (!FileExists(fileName)) return false;
        const std::int64_t start = AudioStartOf(fileName);
        TBinaryFile f(fileName, TBinaryFile::fmOpenRead);
        TAudioSpan span;
        if (!SpanOf(f, start, span) || !span.HasV1) return false;
        TID3v1Block block;
        f.Seek(span.End);
        f.ReadBuffer(block, sizeof(block));
        ID3TagToTrackInfo(block, rec);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool SetEmphasisFlag(const std::string& fileName, bool on) {
    try {
        if (!FileExists(fileName)) return false;
        const std::int64_t start = AudioStartOf(fileName);
        TBinaryFile f(fileName, TBinaryFile::fmOpenReadWrite);
        TAudioSpan span;
        if (!SpanOf(f, start, span)) return false;
        const std::uint32_t h = (span.Header & ~std::uint32_t{3}) | (on ? 1u : 0u);
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16),
                                       static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h)};
        f.Seek(span.Start);
        f.WriteBuffer(bytes, 4);
        f.Flush();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteTagV2(const std::string& fileName, const wx::TTrackRecord& rec) {
    try {
        if (!FileExists(fileName)) return false;
        TID3TagV2 tag(fileName);
        // A frame that already reads as the value to write is left as it is,
        // so frames of other programs keep their encoding and whatever the
        // record could not hold.  An empty year, copyright or track number
        // is not written: an old frame goes (one that cannot be read stays).
        auto put = [&](const std::string& id, const std::string& value, std::size_t maxBytes, bool dropEmpty) {
            const int i = tag.IndexOfFrame(id);
            std::string now;
            const bool readable = i >= 0 && FieldText(tag, i, maxBytes, now);
            if (dropEmpty && value.empty()) {
                if (i >= 0 && tag.IsReadable(i)) tag.RemoveFrameAt(i);
                return;
            }
            if (readable && now == value) return;
            tag.SetFrameText(id, value);
        };
        put("TIT2", rec.Title, MaxTextBytes, false);
        put("TALB", rec.Album, MaxTextBytes, false);
        put("TPE1", rec.Artist, MaxTextBytes, false);
        {
            std::string now;
            const int preferred = tag.IndexOfFrame(YearFrame(tag));
            const int other = tag.IndexOfFrame(OtherYearFrame(tag));
            const bool fromOther =
                !(preferred >= 0 && FieldText(tag, preferred, MaxShortTextBytes, now)) && other >= 0 &&
                FieldText(tag, other, MaxShortTextBytes, now);
            if (rec.Year.empty()) {
                put(YearFrame(tag), "", MaxShortTextBytes, true);
                put(OtherYearFrame(tag), "", MaxShortTextBytes, true);
            } else {
                put(fromOther ? OtherYearFrame(tag) : YearFrame(tag), rec.Year, MaxShortTextBytes, true);
            }
        }
        put("TCOP", rec.Copyright, MaxTextBytes, true);
        put("TRCK", rec.TrackText, MaxShortTextBytes, true);
        {
            const int i = tag.IndexOfComment("");
            std::string now;
            if (!(i >= 0 && CommentText(tag, i, now) && now == rec.Comment)) tag.SetComment("", rec.Comment);
        }
        {
            const int i = tag.IndexOfFrame("TCON");
            std::string now;
            if (!(i >= 0 && FieldText(tag, i, std::string::npos, now) && ParseGenreText(now) == rec.Genre))
                tag.SetFrameText("TCON", "(" + std::to_string(rec.Genre) + ")" + GenreNames[rec.Genre]);
        }
        // A tag that could not be written is a failure, not a success.
        return tag.WriteTag();
    } catch (const std::exception&) {
        return false;
    }
}

int ParseGenreText(const std::string& frameText) {
    // Version 2.4 may list several genres, separated by zero bytes: the
    // first one counts.
    const std::string text = frameText.substr(0, frameText.find('\0'));
    const std::size_t p = text.find('(');
    const std::size_t q = text.find(')');
    auto tableNumber = [](const std::string& digits) {
        // A number past the table is no number at all: the name decides.
        if (digits.empty() || digits.size() > 3) return -1;
        for (const char c : digits)
            if (c < '0' || c > '9') return -1;
        const int n = std::stoi(digits);
        return n < GenreCount ? n : -1;
    };
    if (p != std::string::npos && q != std::string::npos && p < q) {
        const int number = tableNumber(text.substr(p + 1, q - p - 1));
        if (number >= 0) return number;
    }
    const std::string rest = q == std::string::npos ? text : text.substr(q + 1);
    // Version 2.4 writes a genre of the table as its bare number.
    const int bare = tableNumber(rest);
    if (bare >= 0) return bare;
    const std::string name = wx::SjisUpperCase(rest);
    for (int n = 0; n < GenreCount; ++n)
        if (wx::SjisUpperCase(GenreNames[n]) == name) return n;
    return -1;
}

bool ReadTagV2(const std::string& fileName, wx::TTrackRecord& rec) {
    wx::TTrackRecord copy = rec;
    ClearTagFields(copy);
    try {
        if (!FileExists(fileName)) return false;
        TID3TagV2 tag(fileName, /*readOnly=*/true);
        bool unicode;
        std::string text, description;
        // Other taggers end text frames with a terminator; it is not part
        // of the text.
        auto frameText = [&](const char* id) {
            if (!tag.GetFrameText(id, unicode, text)) return false;
            while (!text.empty() && text.back() == '\0') text.pop_back();
            return true;
        };
        if (frameText("TIT2")) copy.Title = Cut(text, MaxTextBytes);
        if (frameText("TALB")) copy.Album = Cut(text, MaxTextBytes);
        if (frameText("TPE1")) copy.Artist = Cut(text, MaxTextBytes);
        if (frameText(YearFrame(tag)) || frameText(OtherYearFrame(tag))) copy.Year = Cut(text, MaxShortTextBytes);
        if (frameText("TCOP")) copy.Copyright = Cut(text, MaxTextBytes);
        if (frameText("TRCK")) copy.TrackText = Cut(text, MaxShortTextBytes);
        if (tag.GetComment(unicode, description, text)) copy.Comment = Cut(text, MaxTextBytes);
        if (frameText("TCON")) copy.Genre = ParseGenreText(text);
        rec = copy;
        // A tag broken part-way still gives the frames before the fault.
        return tag.Valid() || tag.Damaged();
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteTagV1V2(const std::string& fileName, const wx::TTrackRecord& rec, int writeMode, bool forceV1, bool forceV2) {
    const bool v1 = writeMode == 0 || writeMode == 2 || forceV1;
    const bool v2 = writeMode == 1 || writeMode == 2 || forceV2;
    // True only when every kind asked for was written; when the ID3v2 write
    // fails after the ID3v1 one, the ID3v1 write is undone, so a failed
    // call leaves the file as it was.
    TTail before;
    if (v1 && v2) {
        try {
            TBinaryFile f(fileName, TBinaryFile::fmOpenRead);
            before = TakeTail(f);
        } catch (const std::exception&) {
            return false;
        }
    }
    if (v1 && !WriteTag(fileName, rec)) return false;
    if (v2 && !WriteTagV2(fileName, rec)) {
        if (v1) {
            try {
                TBinaryFile f(fileName, TBinaryFile::fmOpenReadWrite);
                RestoreTail(f, before);
            } catch (const std::exception&) {
            }
        }
        return false;
    }
    return true;
}

bool ReadTagV1V2(const std::string& fileName, bool& hasV1, wx::TTrackRecord& rec, bool& hasV2) {
    wx::TTrackRecord v2 = rec, v1 = rec;
    hasV2 = ReadTagV2(fileName, v2);
    hasV1 = ReadTag(fileName, v1);
    if (hasV1 && hasV2) {
        wx::TTrackRecord merged = v1;
        merged.TrackText = v2.TrackText;
        auto longer = [](std::string& mine, const std::string& other) {
            if (other.size() > mine.size()) mine = other;
        };
        longer(merged.Title, v2.Title);
        longer(merged.Album, v2.Album);
        longer(merged.Artist, v2.Artist);
        longer(merged.Year, v2.Year);
        longer(merged.Copyright, v2.Copyright);
        longer(merged.Comment, v2.Comment);
        if (v2.Genre > merged.Genre) merged.Genre = v2.Genre;
        // No genre is written as ID3v1 byte 255: beside an ID3v2 tag that
        // says no genre, it means no genre too.
        else if (v2.Genre == NoGenre && merged.Genre == 255)
            merged.Genre = NoGenre;
        rec = merged;
    } else if (hasV2) {
        rec = v2;
    } else if (hasV1) {
        rec = v1;
    } else {
        return false;
    }
    return true;
}

std::string MakeChunkTempFileName(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/' && !wx::HasTrailingBackslash(base)) {
#if defined(_WIN32)
        base += '\\';
#else
        base += '/';
#endif
    }
    for (unsigned n = 1; n <= 0xFFFF; ++n) {
        char name[16];
        std::snprintf(name, sizeof(name), "CNK%X.TMP", n);
        if (!FileExists(base + name)) return base + name;
    }
    return std::string();
}

namespace {

struct TVqfText {
    const char* id;
    std::string wx::TTrackRecord::*field;
};
const TVqfText kVqfTexts[] = {
    {"NAME", &wx::TTrackRecord::Title},   {"AUTH", &wx::TTrackRecord::Artist},  {"ALBM", &wx::TTrackRecord::Album},
    {"(c) ", &wx::TTrackRecord::Copyright}, {"COMT", &wx::TTrackRecord::Comment},
};

// Folder part of a path, separator included (whole characters only).
std::string FolderOf(const std::string& path) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size();) {
        const char c = path[i];
        const std::size_t n = wx::SjisCharLength(path, i);
        i += n ? n : 1;
        if (c == '\\' || c == '/' || c == ':') end = i;
    }
    return path.substr(0, end);
}

// A year text as a number the year chunk can hold; -1 when it is none.
int YearNumber(const std::string& text) {
    const std::string t = wx::TrimSpaces(text);
    if (t.empty() || t.size() > 9) return -1;
    int n = 0;
    for (const char c : t) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n <= 0xFFFF ? n : -1;
}

}  // namespace

bool WriteVQFTag(const std::string& fileName, const wx::TTrackRecord& rec) {
    try {
        if (!FileExists(fileName)) return false;
        wx::TChunkBank bank;
        if (!bank.LoadFromFile(fileName)) return false;
        for (const TVqfText& t : kVqfTexts) {
            const std::string text = Cut(rec.*t.field, MaxTextBytes);
            if (!text.empty())
                bank.SetChunkString(t.id, text);
            else if (!bank.GetChunkString(t.id).empty())
                bank.DeleteChunk(t.id);
        }
        if (!rec.Year.empty()) {
            const int year = YearNumber(rec.Year);
            if (year >= 0) bank.SetYear(year);
        } else if (bank.GetYear() > 0) {
            bank.DeleteChunk("YEAR");
        }
        const std::string folder = FolderOf(fileName);
        const std::string fresh = MakeChunkTempFileName(folder);
        if (fresh.empty()) return false;
        if (!bank.SaveHeader(fresh) || !wx::TChunkBank::AppendAudioData(fileName, fresh)) {
            DeleteFileName(fresh);
            return false;
        }
        // The old file steps aside, the new one takes its name, then the
        // old one goes; a failure on the way puts the old file back.
        const std::string aside = MakeChunkTempFileName(folder);
        if (aside.empty() || !RenameFileName(fileName, aside)) {
            DeleteFileName(fresh);
            return false;
        }
        if (!RenameFileName(fresh, fileName)) {
            RenameFileName(aside, fileName);
            DeleteFileName(fresh);
            return false;
        }
        DeleteFileName(aside);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadVQFTag(const std::string& fileName, wx::TTrackRecord& rec) {
    ClearTagFields(rec);
    try {
        wx::TChunkBank bank;
        if (!FileExists(fileName) || !bank.LoadFromFile(fileName)) return false;
        for (const TVqfText& t : kVqfTexts) rec.*t.field = Cut(bank.GetChunkString(t.id), MaxTextBytes);
        if (bank.GetYear() > 0) rec.Year = std::to_string(bank.GetYear());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int ParseTrackNumber(const std::string& text) {
    long long n = 0;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 32) continue;
        if (c == '/') break;
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
        if (n > 0x7FFFFFFF) return -1;
    }
    return static_cast<int>(n - 1);
}

}  // namespace tagio
