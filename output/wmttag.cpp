#include "output/wmttag.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "classlib/sjis.h"
#include "output/binaryfile.h"
#include "output/mp3defs.h"
#include "output/unicodetbl.h"
#include "output/wmaudiosdk.h"
#include "output/wmtattr.h"

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

// An attribute read into a buffer of WmaValueBytes; false when it is
// absent, larger, or the call fails.
bool GetValue(IWMAudioInfo* info, const char* name, std::uint32_t& type, std::vector<std::uint8_t>& value) {
    value.assign(WmaValueBytes, 0);
    DWORD length = static_cast<DWORD>(value.size());
    DWORD t = 0;
    const std::wstring wide(name, name + std::strlen(name));
    if (FAILED(info->GetAttribute(wide.c_str(), &t, value.data(), &length)) || length > value.size()) return false;
    type = t;
    value.resize(length);
    return true;
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
    WmaAttributesToRecord(
        [&](const char* name, std::uint32_t& type, std::vector<std::uint8_t>& value) {
            return GetValue(info.p, name, type, value);
        },
        rec);
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
