#include "app/filerrules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "classlib/sjis.h"

namespace filer {

// ---- Texts ---------------------------------------------------------------

std::string FormatThousands(std::int64_t n) {
    const bool negative = n < 0;
    std::string digits = std::to_string(n);
    if (negative) digits.erase(0, 1);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        out += digits[i];
        const std::size_t rest = digits.size() - i - 1;
        if (digits.size() >= 4 && rest > 0 && rest % 3 == 0) out += ',';
    }
    return negative ? "-" + out : out;
}

std::string GetAttrString(std::uint32_t attr) {
    std::string s;
    if (attr & faReadOnly) s += 'R';
    if (attr & faHidden) s += 'H';
    if (attr & faSysFile) s += 'S';
    if (attr & faArchive) s += 'A';
    return s;
}

std::string ExtensionOf(const std::string& name) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = wx::SjisFind(name, '.'); i != std::string::npos; i = wx::SjisFind(name, '.', i + 1)) dot = i;
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool IsFilteredExt(const TFilerExtFilter& filter, const std::string& ext) {
    if (filter.ShowAll) return true;
    const std::string up = wx::SjisUpperCase(ext);
    for (int i = 0; i < filter.Count && i < TFilerExtFilter::MaxEntries; ++i) {
        const std::string e = wx::SjisUpperCase(filter.Entries[static_cast<std::size_t>(i)]);
        if (!e.empty() && up.compare(0, e.size(), e) == 0) return true;
    }
    return false;
}

namespace {
int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return days[month - 1];
}
}  // namespace

bool IsValidDateTime(const TDosDateTime& t) {
    if (t.Year < 1980 || t.Year > 2107 || t.Month < 1 || t.Month > 12) return false;
    if (t.Day < 1 || t.Day > DaysInMonth(t.Year, t.Month)) return false;
    return t.Hour >= 0 && t.Hour < 24 && t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 && t.Second < 60;
}

bool DecodeDosTime(std::uint32_t dos, TDosDateTime& out) {
    const std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    TDosDateTime t;
    t.Year = 1980 + static_cast<int>(date >> 9);
    t.Month = static_cast<int>((date >> 5) & 15);
    t.Day = static_cast<int>(date & 31);
    t.Hour = static_cast<int>(time >> 11);
    t.Minute = static_cast<int>((time >> 5) & 63);
    t.Second = static_cast<int>(time & 31) * 2;
    if (!IsValidDateTime(t)) return false;
    out = t;
    return true;
}

std::uint32_t EncodeDosTime(const TDosDateTime& t) {
    const std::uint32_t date = static_cast<std::uint32_t>(((t.Year - 1980) << 9) | (t.Month << 5) | t.Day);
    const std::uint32_t time = static_cast<std::uint32_t>((t.Hour << 11) | (t.Minute << 5) | (t.Second / 2));
    return (date << 16) | time;
}

std::string FormatDosTime(std::uint32_t dos) {
    TDosDateTime t;
    if (!DecodeDosTime(dos, t)) return std::string();
    const int hour12 = t.Hour % 12 == 0 ? 12 : t.Hour % 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d %s", t.Year % 100, t.Month, t.Day, hour12, t.Minute,
                  t.Hour < 12 ? "AM" : "PM");
    return buf;
}

std::string UsedSpaceText(std::uint64_t byteTotal) { return std::to_string(byteTotal / 1024 + 1) + "KB"; }

std::string FreeSpaceText(std::int64_t freeBytes) {
    if (freeBytes < 0) return std::string();
    if (freeBytes < 1048576) return std::to_string(freeBytes / 1024 + 1) + "KB";
    return std::to_string(freeBytes / 1048576 + 1) + "MB";
}

// ---- Sorting ----------------------------------------------------------------

namespace {
int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }
template <typename T>
int Cmp(T a, T b) {
    return a < b ? -1 : a > b ? 1 : 0;
}
}  // namespace

int CompareByName(const TFilerItem& a, const TFilerItem& b) {
    return Sign(wx::SjisUpperCase(a.Name).compare(wx::SjisUpperCase(b.Name)));
}

int CompareByExt(const TFilerItem& a, const TFilerItem& b) {
    return Sign(wx::SjisUpperCase(ExtensionOf(a.Name)).compare(wx::SjisUpperCase(ExtensionOf(b.Name))));
}

int CompareBySize(const TFilerItem& a, const TFilerItem& b) { return Cmp(a.Size, b.Size); }

int CompareByTime(const TFilerItem& a, const TFilerItem& b) {
    return Cmp(static_cast<std::int32_t>(a.Time), static_cast<std::int32_t>(b.Time));
}

int CompareDirsFirst(const TFilerItem& a, const TFilerItem& b, int r) {
    if (a.IsParentRow()) return b.IsParentRow() ? 0 : -1;
    if (b.IsParentRow()) return 1;
    const bool da = a.IsDirectory(), db = b.IsDirectory();
    if (r == 0 && da != db) return da ? -1 : 1;
    if (r < 0 && !da && db) return 1;
    if (r > 0 && da && !db) return -1;
    return r;
}

void SortItems(TFilerItemList& items, int pattern, bool descending) {
    int (*primary)(const TFilerItem&, const TFilerItem&) = CompareByTime;
    switch (pattern) {
    case spFileName: primary = CompareByName; break;
    case spExtention: primary = CompareByExt; break;
    case spSize: primary = CompareBySize; break;
    default: break;
    }
    // Stable, so that rows equal in the order keep their listing order.
    std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
        int r = primary(*a, *b);
        if (descending) r = -r;
        return CompareDirsFirst(*a, *b, r) < 0;
    });
}

int SortPatternOfColumn(int column) {
    switch (column) {
    case 1: return spFileName;
    case 2: return spSize;
    case 3: return spExtention;
    case 4: return spTime;
    default: return -1;
    }
}

// ---- Paths -------------------------------------------------------------------

std::vector<TPathStep> PathSteps(const std::string& path) {
    std::vector<TPathStep> steps;
    std::size_t start = 0;
    for (std::size_t i = wx::SjisFind(path, '\\'); i != std::string::npos; i = wx::SjisFind(path, '\\', i + 1)) {
        steps.push_back({path.substr(start, i - start), path.substr(0, i + 1)});
        start = i + 1;
    }
    return steps;
}

bool SameText(const std::string& a, const std::string& b) { return wx::SjisUpperCase(a) == wx::SjisUpperCase(b); }

std::string FirstArgument(const std::string& commandLine) {
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    // One argument: characters up to a blank outside quotes, quotes dropped.
    auto take = [&]() {
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = commandLine[i];
            if (c == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t')) break;
            const std::size_t len = wx::SjisCharLength(commandLine, i);
            arg.append(commandLine, i, len);
            i += len;
        }
        return arg;
    };
    auto blanks = [&]() {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    };
    blanks();
    take();  // the program
    blanks();
    return take();
}

std::string StartFolder(const std::string& argument, const std::string& bootDir, const std::string& currentDir,
                        const std::string& windowsDir, const std::function<bool(const std::string&)>& isFolder) {
    if (!argument.empty()) {
        std::string a = argument;
        if (a[0] == '"') a = a.substr(1, a.size() >= 2 ? a.size() - 2 : 0);
        if (!a.empty() && isFolder(wx::StripTrailingBackslash(a))) return wx::IncludeTrailingBackslash(a);
    }
    if (!bootDir.empty() && isFolder(wx::StripTrailingBackslash(bootDir))) return wx::IncludeTrailingBackslash(bootDir);
    std::string dir = currentDir;
    if (dir.compare(0, 2, "\\\\") == 0) dir = windowsDir;
    if (dir.size() > 3) dir = dir.substr(0, 3);
    return wx::IncludeTrailingBackslash(dir);
}

// ---- Folder monitors ---------------------------------------------------------

int TMonitorSlots::Take() {
    for (int s = 0; s < Count; ++s) {
        if (!Taken(s)) {
            bits_ = static_cast<std::uint16_t>(bits_ | (1u << s));
            return s;
        }
    }
    return -1;
}

void TMonitorSlots::Release(int slot) {
    if (slot >= 0 && slot < 16) bits_ = static_cast<std::uint16_t>(bits_ & ~(1u << slot));
}

// ---- Item-id lists -------------------------------------------------------------

namespace {
std::uint16_t ItemCount(const unsigned char* p) {
    std::uint16_t cb;
    std::memcpy(&cb, p, 2);
    return cb;
}
}  // namespace

std::size_t PidlGetSize(const void* pidl) {
    if (!pidl) return 0;
    const auto* p = static_cast<const unsigned char*>(pidl);
    std::size_t size = 0;
    for (std::uint16_t cb = ItemCount(p); cb != 0; cb = ItemCount(p + size)) size += cb;
    return size + 2;
}

void* CopyItemID(TPidlAllocator& alloc, const void* pidl) {
    if (!pidl) return nullptr;
    const std::uint16_t cb = ItemCount(static_cast<const unsigned char*>(pidl));
    auto* copy = static_cast<unsigned char*>(alloc.Alloc(std::size_t(cb) + 2));
    if (!copy) return nullptr;
    std::memset(copy, 0, std::size_t(cb) + 2);
    std::memcpy(copy, pidl, cb);
    return copy;
}

void* ConcatPidls(TPidlAllocator& alloc, const void* first, const void* second) {
    const std::size_t a = first ? PidlGetSize(first) - 2 : 0;
    const std::size_t b = second ? PidlGetSize(second) : 2;
    auto* out = static_cast<unsigned char*>(alloc.Alloc(a + b));
    if (!out) return nullptr;
    if (a) std::memcpy(out, first, a);
    if (second)
        std::memcpy(out + a, second, b);
    else
        std::memset(out + a, 0, 2);
    return out;
}

}  // namespace filer
