#include "app/wincfg.h"

#include "classlib/sjis.h"

namespace {

const char kCommon[] = "Common";
const char kFiler[] = "Filer";

// -255 and above are taken as read; anything lower gives 0.
std::int32_t Position(TCustomIniFile& ini, const char* key) {
    const std::int32_t v = ini.ReadInteger(kCommon, key, -256);
    return v < -255 ? 0 : v;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

}  // namespace

TWinCfg ReadWinCfg(TCustomIniFile& ini) {
    TWinCfg c;
    c.ChangeBootDir = ini.ReadBool(kFiler, "ChangeBootDir", false);
    c.BootDirInFile = ini.ReadString(kFiler, "BootDir", "");
    c.BootDir = c.ChangeBootDir ? c.BootDirInFile : std::string();
    c.DispToolBar = ini.ReadBool(kCommon, "DispToolBar", true);
    c.DispPlayPanel = ini.ReadBool(kCommon, "DispPlayPanel", true);
    c.WindowTop = Position(ini, "WindowTop");
    c.WindowLeft = Position(ini, "WindowLeft");
    c.CDPWindowTop = Position(ini, "CDPWindowTop");
    c.CDPWindowLeft = Position(ini, "CDPWindowLeft");
    const std::int32_t h = ini.ReadInteger(kCommon, "WindowHeight", -1);
    const std::int32_t w = ini.ReadInteger(kCommon, "WindowWidth", -1);
    c.WindowHeight = h < 0 ? 480 : h;
    c.WindowWidth = w < 0 ? 640 : w;
    const std::int32_t dv = ini.ReadInteger(kCommon, "DirViewWidth", -1);
    c.DirViewWidth = dv < 0 ? 200 : dv == 0 ? 1 : dv;
    const std::int32_t tv = ini.ReadInteger(kCommon, "TrackViewHeight", -1);
    c.TrackViewHeight = tv < 0 ? 180 : tv == 0 ? 1 : tv;
    c.LargeIcon = Upper(ini.ReadString(kCommon, "ListViewPattern", "Report")) == "LARGEICON";
    const std::string sort = Upper(ini.ReadString(kCommon, "SortPattern", "FileName"));
    c.SortPattern = sort == "FILENAME" ? lsFileName : sort == "EXTENTION" ? lsExtension : sort == "SIZE" ? lsSize : lsTime;
    c.SortAscending = Upper(ini.ReadString(kCommon, "SortDir", "Normal")) == "NORMAL";
    c.AutoRefresh = ini.ReadBool(kFiler, "AutoRefresh", true);
    c.IsDispCDROM = ini.ReadBool(kFiler, "IsDispCDROM", true);
    const std::int32_t all = ini.ReadInteger(kFiler, "DispAllExts", -1);
    if (all < 0) {
        c.Filter.Exts[0] = ".MP";
        c.Filter.Exts[1] = ".WAV";
        c.Filter.Count = 2;
        c.Filter.ShowAll = true;
    } else {
        c.Filter.ShowAll = all != 0;
        int n = 0;
        while (n < TFilerExtFilter::MaxEntries) {
            std::string e = ini.ReadString(kFiler, "DispExt" + std::to_string(n + 1), "");
            if (e.empty()) break;
            e = wx::SjisUpperCase(e);
            c.Filter.Exts[static_cast<std::size_t>(n)] = wx::SjisCut(e, TFilerExtFilter::MaxLength);
            ++n;
        }
        c.Filter.Count = n;
    }
    for (int i = 0; i < 7; ++i) {
        const std::int32_t v = ini.ReadInteger(kCommon, "TrColW" + std::to_string(i), -1);
        c.TrColW[static_cast<std::size_t>(i)] = v > 0 ? v : -1;
    }
    return c;
}

void WriteWinCfg(const TWinCfg& c, TCustomIniFile& ini) {
    ini.WriteInteger(kCommon, "WindowTop", c.WindowTop);
    ini.WriteInteger(kCommon, "WindowLeft", c.WindowLeft);
    ini.WriteInteger(kCommon, "CDPWindowTop", c.CDPWindowTop);
    ini.WriteInteger(kCommon, "CDPWindowLeft", c.CDPWindowLeft);
    ini.WriteInteger(kCommon, "WindowHeight", c.WindowHeight);
    ini.WriteInteger(kCommon, "WindowWidth", c.WindowWidth);
    ini.WriteInteger(kCommon, "DirViewWidth", c.DirViewWidth);
    ini.WriteInteger(kCommon, "TrackViewHeight", c.TrackViewHeight);
    for (int i = 0; i < 7; ++i) {
        const std::int32_t v = c.TrColW[static_cast<std::size_t>(i)];
        ini.WriteInteger(kCommon, "TrColW" + std::to_string(i), v > 0 ? v : -1);
    }
    ini.WriteString(kCommon, "ListViewPattern", c.LargeIcon ? "LargeIcon" : "Report");
    static const char* const sorts[] = {"FileName", "Extention", "Size", "Time"};
    ini.WriteString(kCommon, "SortPattern", sorts[c.SortPattern >= 0 && c.SortPattern <= 3 ? c.SortPattern : 3]);
    ini.WriteString(kCommon, "SortDir", c.SortAscending ? "Normal" : "Reverse");
    ini.WriteBool(kCommon, "DispToolBar", c.DispToolBar);
    ini.WriteBool(kCommon, "DispPlayPanel", c.DispPlayPanel);
    ini.WriteBool(kFiler, "IsDispCDROM", c.IsDispCDROM);
    ini.WriteString(kFiler, "BootDir", c.BootDir);
    ini.WriteBool(kFiler, "AutoRefresh", c.AutoRefresh);
    ini.WriteInteger(kFiler, "DispAllExts", c.Filter.ShowAll ? 1 : 0);
    for (int i = 0; i < c.Filter.Count && i < TFilerExtFilter::MaxEntries; ++i) {
        const std::string& e = c.Filter.Exts[static_cast<std::size_t>(i)];
        if (e.empty()) break;
        ini.WriteString(kFiler, "DispExt" + std::to_string(i + 1), e);
    }
}

std::string HelpFilePath(const std::string& currentDir) {
    return currentDir.size() < 4 ? currentDir + "Wendrix.HLP" : currentDir + "\\Wendrix.HLP";
}

int ToggleOutputMethod(int outputMethod, int defEncode) {
    if (outputMethod != 0) return 0;
    switch (defEncode) {
    case 0: return 1;  // WMA
    case 1: return 2;  // MP3
    case 2: return 3;  // TwinVQ
    default: return 0;
    }
}
