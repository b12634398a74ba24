#include "app/filercmds.h"

#include <cctype>

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
        if (r.IsDirectory()) out.HasFolder = true;
    }
    out.List += '\0';
    out.List += '\0';
    return out;
}

std::string NulList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) {
        list += n;
        list += '\0';
    }
    list += '\0';
    return list;
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

namespace {
std::string Fill(std::string pattern, const std::string& name, int number) {
    if (const std::size_t s = pattern.find("%s"); s != std::string::npos) pattern.replace(s, 2, name);
    if (const std::size_t d = pattern.find("%d"); d != std::string::npos) pattern.replace(d, 2, std::to_string(number));
    return pattern;
}
}  // namespace

std::string ShortcutName(const std::string& folder, const std::string& fileName, const std::string& firstPattern,
                         const std::string& numberedPattern, const std::function<bool(const std::string&)>& exists) {
    const std::string dir = wx::IncludeTrailingBackslash(folder);
    std::string name = dir + Fill(firstPattern, fileName, 0);
    for (int n = 2; exists(name); ++n) {
        if (n > 255) return std::string();
        name = dir + Fill(numberedPattern, fileName, n);
    }
    return name;
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
