#include "settings/mainkeys.h"

#include "classlib/sjis.h"

TMainWindowKeys MainWindowKeys;
TFilerExtFilter FilerExtFilter;
bool AutoRefresh = true;

namespace {

std::string Upper(const std::string& s) { return wx::SjisUpperCase(s); }

bool SameExt(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// A position below -255 gives 0.
std::int32_t Position(TCustomIniFile& ini, const char* key) {
    const std::int32_t v = ini.ReadInteger("Common", key, -256);
    return v < -255 ? 0 : v;
}

// A negative size gives the default, 0 gives 1 where the pane must never vanish.
std::int32_t Size(TCustomIniFile& ini, const char* key, std::int32_t def, bool zeroIsOne) {
    const std::int32_t v = ini.ReadInteger("Common", key, -1);
    if (v < 0) return def;
    return (v == 0 && zeroIsOne) ? 1 : v;
}

}  // namespace

bool TFilerExtFilter::Add(const std::string& ext) {
    if (Count < 0) Count = 0;
    if (Count >= MaxEntries) return false;
    Entries[static_cast<std::size_t>(Count++)] = wx::SjisCut(ext, MaxLength);
    return true;
}

int TFilerExtFilter::Remove(const std::string& ext) {
    int kept = 0, removed = 0;
    const int n = Count < 0 ? 0 : (Count > MaxEntries ? MaxEntries : Count);
    for (int i = 0; i < n; ++i) {
        if (SameExt(Entries[static_cast<std::size_t>(i)], ext)) {
            ++removed;
            continue;
        }
        Entries[static_cast<std::size_t>(kept++)] = Entries[static_cast<std::size_t>(i)];
    }
    for (int i = kept; i < MaxEntries; ++i) Entries[static_cast<std::size_t>(i)].clear();
    Count = kept;
    return removed;
}

int TFilerExtFilter::Find(const std::string& ext) const {
    const int n = Count < 0 ? 0 : (Count > MaxEntries ? MaxEntries : Count);
    for (int i = 0; i < n; ++i)
        if (SameExt(Entries[static_cast<std::size_t>(i)], ext)) return i;
    return -1;
}

void ReadMainWindowKeys(TCustomIniFile& ini, TMainWindowKeys& k, TFilerExtFilter& filter, bool& autoRefresh) {
    k.BootDir = Upper(ini.ReadString("Filer", "ChangeBootDir", "No")) == "YES"
                    ? ini.ReadString("Filer", "BootDir", "")
                    : std::string();
    k.DispToolBar = ini.ReadBool("Common", "DispToolBar", true);
    k.DispPlayPanel = ini.ReadBool("Common", "DispPlayPanel", true);
    k.WindowTop = Position(ini, "WindowTop");
    k.WindowLeft = Position(ini, "WindowLeft");
    k.CDPWindowTop = Position(ini, "CDPWindowTop");
    k.CDPWindowLeft = Position(ini, "CDPWindowLeft");
    k.WindowHeight = Size(ini, "WindowHeight", 480, false);
    k.WindowWidth = Size(ini, "WindowWidth", 640, false);
    k.DirViewWidth = Size(ini, "DirViewWidth", 200, true);
    k.TrackViewHeight = Size(ini, "TrackViewHeight", 180, true);
    k.LargeIcon = Upper(ini.ReadString("Common", "ListViewPattern", "Report")) == "LARGEICON";
    {
        const std::string p = Upper(ini.ReadString("Common", "SortPattern", "FileName"));
        k.SortPattern = p == "FILENAME" ? spFileName : p == "EXTENTION" ? spExtention : p == "SIZE" ? spSize : spTime;
    }
    k.SortAscending = Upper(ini.ReadString("Common", "SortDir", "Normal")) == "NORMAL";
    autoRefresh = ini.ReadBool("Filer", "AutoRefresh", true);
    k.IsDispCDROM = ini.ReadBool("Filer", "IsDispCDROM", true);
    filter = TFilerExtFilter{};
    const std::int32_t all = ini.ReadInteger("Filer", "DispAllExts", -1);
    if (all < 0) {
        filter.Add(".MP");
        filter.Add(".WAV");
        filter.ShowAll = true;
    } else {
        filter.ShowAll = all != 0;
        for (int i = 1; i <= TFilerExtFilter::MaxEntries; ++i) {
            const std::string e = ini.ReadString("Filer", "DispExt" + std::to_string(i), "");
            if (e.empty()) break;
            filter.Add(Upper(e));
        }
    }
    for (int i = 0; i < 7; ++i) k.TrColW[static_cast<std::size_t>(i)] =
        ini.ReadInteger("Common", "TrColW" + std::to_string(i), -1);
    k.Loaded = true;
}

const char* ListViewPatternWord(bool largeIcon) { return largeIcon ? "LargeIcon" : "Report"; }

const char* SortPatternWord(int pattern) {
    switch (pattern) {
        case spFileName: return "FileName";
        case spExtention: return "Extention";
        case spSize: return "Size";
        default: return "Time";
    }
}

const char* SortDirWord(bool ascending) { return ascending ? "Normal" : "Reverse"; }
