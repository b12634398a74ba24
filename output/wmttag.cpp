#include "output/wmttag.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "classlib/sjis.h"
#include "output/binaryfile.h"
#include "output/mp3defs.h"
#include "output/unicodetbl.h"
#include "output/wmaudiosdk.h"

namespace tagio {

namespace {

// Shift-JIS (the ANSI code page) to UTF-16 with its terminator.
std::wstring Wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

struct TInfoRef {
    IWMAudioInfo* p = nullptr;
    ~TInfoRef() {
        if (p) p->Release();
    }
};

bool OpenInfo(const std::string& fileName, TInfoRef& info) {
    if (!WMAudioCreateInfo || !FileExists(fileName)) return false;
    const std::wstring name = Wide(fileName);
    return SUCCEEDED(WMAudioCreateInfo(name.c_str(), &info.p)) && info.p;
}

bool SetText(IWMAudioInfo* info, const wchar_t* name, const std::string& text) {
    const std::wstring w = Wide(text);
    const DWORD bytes = static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t));
    return SUCCEEDED(info->SetAttribute(name, WmaAttrString, reinterpret_cast<const BYTE*>(w.c_str()), bytes));
}

// An attribute read into a 1024-byte buffer; false when it is absent,
// larger, or the call fails.
bool GetValue(IWMAudioInfo* info, const wchar_t* name, DWORD& type, std::vector<BYTE>& value) {
    value.assign(1024, 0);
    DWORD length = static_cast<DWORD>(value.size());
    type = 0;
    if (FAILED(info->GetAttribute(name, &type, value.data(), &length)) || length > value.size()) return false;
    value.resize(length);
    return true;
}

std::string TextOf(const std::vector<BYTE>& value, std::size_t maxBytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
        if (u == 0) break;
        units.push_back(u);
    }
    return wx::SjisCut(UcsToSjis(units), maxBytes);
}

}  // namespace

bool WriteWMTTag(const std::string& fileName, const wx::TTrackRecord& rec) {
    TInfoRef info;
    if (!OpenInfo(fileName, info)) return false;
    bool ok = SetText(info.p, L"Title", rec.Title) && SetText(info.p, L"Author", rec.Artist) &&
              SetText(info.p, L"WM/AlbumTitle", rec.Album) && SetText(info.p, L"Description", rec.Comment) &&
              SetText(info.p, L"Copyright", rec.Copyright) && SetText(info.p, L"WM/Year", rec.Year);
    const int track = ParseTrackNumber(rec.TrackText);
    if (ok && track >= 0) {
        const DWORD value = static_cast<DWORD>(track);
        ok = SUCCEEDED(info.p->SetAttribute(L"WM/Track", WmaAttrDword, reinterpret_cast<const BYTE*>(&value), 4));
    }
    if (ok) ok = SetText(info.p, L"WM/Genre", rec.Genre < 0 ? std::string() : GetGenreNameRaw(rec.Genre));
    // Only a complete set is committed: after a refused attribute the
    // editor is released without writing anything.  The commit's own
    // failure is a failure too.
    return ok && SUCCEEDED(info.p->Close());
}

bool ReadWMTTag(const std::string& fileName, wx::TTrackRecord& rec) {
    ClearTagFields(rec);
    TInfoRef info;
    if (!OpenInfo(fileName, info)) return false;
    struct TText {
        const wchar_t* name;
        std::string wx::TTrackRecord::*field;
        std::size_t limit;
    };
    const TText texts[] = {
        {L"Title", &wx::TTrackRecord::Title, MaxTextBytes},          {L"Author", &wx::TTrackRecord::Artist, MaxTextBytes},
        {L"Description", &wx::TTrackRecord::Comment, MaxTextBytes},  {L"WM/AlbumTitle", &wx::TTrackRecord::Album, MaxTextBytes},
        {L"Copyright", &wx::TTrackRecord::Copyright, MaxTextBytes}, {L"WM/Year", &wx::TTrackRecord::Year, MaxShortTextBytes},
    };
    DWORD type;
    std::vector<BYTE> value;
    for (const TText& t : texts)
        if (GetValue(info.p, t.name, type, value) && type == WmaAttrString) rec.*t.field = TextOf(value, t.limit);
    if (GetValue(info.p, L"WM/Track", type, value)) {
        if (type == WmaAttrString) {
            const std::string text = wx::TrimSpaces(TextOf(value, 255));
            long long n = -1;
            if (!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos)
                n = std::stoll(text);
            rec.TrackText = n >= 0 ? std::to_string(n + 1) : std::string();
        } else if (type == WmaAttrDword && value.size() == 4) {
            std::uint32_t n;
            std::memcpy(&n, value.data(), 4);
            rec.TrackText = std::to_string(std::uint64_t{n} + 1);
        }
    }
    if (GetValue(info.p, L"WM/Genre", type, value) && type == WmaAttrString) {
        const std::string name = TextOf(value, 255);
        if (name.empty()) {
            rec.Genre = -1;
        } else {
            const int n = FindGenreIndex(name);
            rec.Genre = n >= 0 ? n : FindFreeGenreIndex();
        }
    }
    return true;
}

bool WriteTagsAfterRip(const std::string& fileName, const TTrackRecord& track, bool mp3Output,
                       bool deEmphasisApplied, int writeMode) {
    bool ok = true;
    if (mp3Output) {
        if (track.HasTag) ok = WriteTagV1V2(fileName, track, writeMode, false, false);
        if (!deEmphasisApplied && track.PreEmphasis) ok = SetEmphasisFlag(fileName, true) && ok;
    } else if (track.HasTag) {
        ok = WriteWMTTag(fileName, track);
    }
    return ok;
}

}  // namespace tagio
