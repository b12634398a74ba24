#include "app/filercmds.h"

#include <cctype>
#include <cwctype>
#include <string_view>

#include "classlib/sjis.h"

namespace filer {

// ---- Keys ----------------------------------------------------------------------

TKeyCommand FindKeyCommand(unsigned key) {
    static const struct {
        unsigned Key;
        TKeyCommand Command;
    } table[12] = {
        {'C', kcCopyMoveDelete}, {'M', kcCopyMoveDelete}, {'D', kcCopyMoveDelete}, {'R', kcRenameAttr},
        {'A', kcRenameAttr},     {'K', kcMakeDirectory},  {'E', kcEditFile},       {0x20, kcSelectNext},
        {0x08, kcGoUpper},       {0x0D, kcExecItem},      {'L', kcBrowseDrive},    {0x2E, kcCopyMoveDelete},
    };
    if (key >= 256) return kcNone;
    for (const auto& e : table)
        if (e.Key == key) return e.Command;
    return kcNone;
}

TFileOp FileOpOfKey(unsigned key) {
    switch (key) {
    case 'C': return foCopy;
    case 'M': return foMove;
    default: return foDelete;
    }
}

unsigned FileOpFlags(TFileOp op, bool shift) {
    if (op == foDelete && !shift) return kFilesOnly | kAllowUndo;
    return kFilesOnly;
}

// ---- Lists for the shell ------------------------------------------------------

TMultiFileList SetMultiFileList(const std::string& prefix, const TFilerItemList& items, const std::vector<int>& selected) {
    TMultiFileList out;
    for (int i : selected) {
        if (i < 0 || static_cast<std::size_t>(i) >= items.size()) continue;
        const TFilerItem& r = *items[static_cast<std::size_t>(i)];
        if (r.IsParentRow() || (r.Attr & faVolumeID)) continue;
        out.List += prefix + r.Name;
        out.List += '\0';
        ++out.Count;
        out.Rows.push_back(i);
        if (r.IsDirectory()) out.HasFolder = true;
    }
    out.List += '\0';
    out.List += '\0';
    return out;
}

std::string NulList(const std::vector<std::string>& names) { return NulListOf(names); }

// ---- Copy and move destinations ---------------------------------------------------

namespace {
std::wstring WithoutTrailingSlash(std::wstring p) {
    while (p.size() > 3 && p.back() == L'\\') p.pop_back();
    if (p.size() == 3 && p[1] == L':' && p[2] == L'\\') p.pop_back();
    return p;
}
std::wstring Folded(const std::wstring& p) {
    std::wstring u = WithoutTrailingSlash(p);
    for (wchar_t& c : u) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    return u;
}
}  // namespace

std::wstring ResolveDestination(const std::wstring& entry, const std::wstring& current) {
    const std::size_t first = entry.find_first_not_of(L' ');
    if (first == std::wstring::npos) return std::wstring();
    const std::size_t last = entry.find_last_not_of(L' ');
    const std::wstring e = entry.substr(first, last - first + 1);
    if (e.size() >= 2 && e[0] == L'\\' && e[1] == L'\\') return e;
    if (e[0] == L'\\') return current.size() >= 2 && current[1] == L':' ? current.substr(0, 2) + e : std::wstring();
    if (e.size() >= 2 && e[1] == L':') {
        if (e.size() == 2) return e + L"\\";
        return e[2] == L'\\' ? e : std::wstring();
    }
    std::wstring base = current;
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    return base + L"\\" + e;
}

TCarryRefusal CarryRefusal(const std::wstring& source, const std::wstring& dest, bool move) {
    const std::wstring s = Folded(source), d = Folded(dest);
    if (s.empty() || d.empty()) return crNone;
    if (d == s || (d.size() > s.size() && d.compare(0, s.size(), s) == 0 && d[s.size()] == L'\\')) return crIntoItself;
    if (move) {
        const std::size_t slash = s.rfind(L'\\');
        if (slash != std::wstring::npos && Folded(s.substr(0, slash + 1)) == d) return crIntoOwnFolder;
    }
    return crNone;
}

// ---- Rename ---------------------------------------------------------------------------

TRenameCheck CheckNewName(const std::string& oldName, const std::string& newName) {
    if (newName.empty() || newName == "." || newName == "..") return rcInvalid;
    for (std::size_t i = 0; i < newName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(newName[i]);
        if (wx::IsSjisLeadByte(c) && i + 1 < newName.size()) {
            ++i;  // a trail byte may be 0x5C or 0x7C: part of the character
            continue;
        }
        if (c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return rcInvalid;
    }
    if (newName == oldName) return rcUnchanged;
    if (wx::SjisUpperCase(newName) == wx::SjisUpperCase(oldName)) return rcCaseOnly;
    return rcRename;
}

// ---- Jump to a typed folder ---------------------------------------------------------

std::string BrowseDriveTarget(const std::string& entry, const std::string& current, const std::string& parent) {
    if (entry.empty() || entry == ".") return std::string();
    std::string target;
    if (entry == "..") {
        if (parent.empty()) return std::string();
        target = parent;
    } else if (entry.size() == 1) {
        target = entry + ":";
    } else if (entry[1] == ':' && !wx::IsSjisLeadByte(static_cast<unsigned char>(entry[0]))) {
        target = entry;
    } else {
        target = wx::StripTrailingBackslash(current) + "\\" + entry;
    }
    return wx::IncludeTrailingBackslash(target);
}

// ---- The attribute form's fields ----------------------------------------------------

namespace {
bool Number(const std::string& s, int& out) {
    if (s.empty() || s.size() > 6) return false;
    int v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}
}  // namespace

TFieldCheck CheckDateFields(const std::string& year, const std::string& month, const std::string& day) {
    int y = 0, m = 0, d = 0;
    if (!Number(year, y) || !Number(month, m) || !Number(day, d)) return fcNotNumber;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return fcOutOfRange;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0) ? fcOk : fcOutOfRange;
}

TFieldCheck CheckTimeFields(const std::string& hour, const std::string& minute, const std::string& second) {
    int h = 0, m = 0, s = 0;
    if (!Number(hour, h) || !Number(minute, m) || !Number(second, s)) return fcNotNumber;
    return h < 24 && m < 60 && s < 60 ? fcOk : fcOutOfRange;
}

std::vector<std::string> TimeFields(const TDosDateTime& t) {
    return {std::to_string(t.Year), std::to_string(t.Month),  std::to_string(t.Day),
            std::to_string(t.Hour), std::to_string(t.Minute), std::to_string(t.Second)};
}

// ---- The context menu -------------------------------------------------------------

TFileClasses ClassifySelectedFiles(const std::vector<std::string>& names, bool wmaAvailable) {
    TFileClasses c;
    for (const std::string& name : names) {
        const std::string ext = wx::SjisUpperCase(ExtensionOf(name));
        if (ext.size() != 4) continue;
        if (ext == ".WAV") {
            c.Encodable.push_back(name);
            c.Playable.push_back(name);
        } else if (ext == ".MP1" || ext == ".MP2" || ext == ".MP3") {
            c.Playable.push_back(name);
            c.Taggable.push_back(name);
        } else if ((ext == ".WMA" && wmaAvailable) || ext == ".VQF") {
            c.Taggable.push_back(name);
        }
    }
    return c;
}

std::vector<unsigned> ReserveMenuIds(const std::function<bool(unsigned)>& menuHolds) {
    std::vector<unsigned> ids;
    for (unsigned id = 0xF000; id <= 0xFFFF && ids.size() < 11; ++id)
        if (!menuHolds(id)) ids.push_back(id);
    return ids;
}

int FindOwnMenuCommand(const std::vector<unsigned>& reserved, unsigned id) {
    for (std::size_t i = 0; i < reserved.size(); ++i)
        if (reserved[i] == id) return static_cast<int>(i);
    return -1;
}

// ---- Drag and drop ------------------------------------------------------------------

std::string ShortcutName(const std::string& folder, const std::string& fileName, const std::string& firstPattern,
                         const std::string& numberedPattern, const std::function<bool(const std::string&)>& exists) {
    // A folder whose last byte is a backslash trail byte gets its own.
    return ShortcutNameOf<std::string>(wx::IncludeTrailingBackslash(folder), fileName, firstPattern, numberedPattern,
                                       exists);
}

bool IsProgramName(const std::string& path) {
    const std::string ext = wx::SjisUpperCase(ExtensionOf(path));
    return ext == ".EXE" || ext == ".COM" || ext == ".PIF";
}

unsigned EdgeFlags(int x, int y, int width, int height, int headerHeight) {
    const int zone = 11;
    unsigned f = 0;
    if (x < zone) f |= efLeft;
    if (x >= width - zone) f |= efRight;
    if (y < headerHeight + zone) f |= efTop;
    if (y >= height - zone) f |= efBottom;
    return f;
}

bool TEdgeScroll::Step(unsigned flags, std::uint32_t now, std::uint32_t& effect) {
    if ((flags & efLeft) && !(OldFlags & efLeft)) {
        StartTime = now;
        HCode = 0;
    } else if ((flags & efRight) && !(OldFlags & efRight)) {
        StartTime = now;
        HCode = 1;
    }
    if (!(flags & (efLeft | efRight))) HCode = None;
    if ((flags & efTop) && !(OldFlags & efTop)) {
        StartTime = now;
        VCode = 0;
    } else if ((flags & efBottom) && !(OldFlags & efBottom)) {
        StartTime = now;
        VCode = 1;
    }
    if (!(flags & (efTop | efBottom))) VCode = None;
    if (HCode == None && VCode == None) StartTime = 0;
    if (flags & (efLeft | efRight | efTop | efBottom)) effect |= kDropEffectScroll;
    OldFlags = flags;
    if (StartTime == 0 || static_cast<std::int32_t>(now - StartTime) <= 50) return false;
    // One line now and the next one 200 ms later while the pointer stays.
    StartTime = now + 150;
    return true;
}

}  // namespace filer
