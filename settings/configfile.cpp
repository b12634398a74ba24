#include "settings/configfile.h"

#include "classlib/sjis.h"
#include "output/mp3defs.h"

namespace {

std::string Upper(const std::string& s) { return wx::SjisUpperCase(s); }

bool Exists(const std::function<bool(const std::string&)>& f, const std::string& path) {
    return !path.empty() && f && f(path);
}

// An integer outside lo..hi gives the fallback.
std::int32_t ReadRanged(TCustomIniFile& ini, const char* sec, const char* key, std::int32_t def, std::int32_t lo,
                        std::int32_t hi) {
    const std::int32_t v = ini.ReadInteger(sec, key, def);
    return (v < lo || v > hi) ? def : v;
}

void ReadCheck(TCustomIniFile& ini, const char* sec, const char* key, bool def, TCheckBinding& box) {
    box.Checked = ini.ReadBool(sec, key, def);
}

int GogoVbrIndex(const std::string& value, int def) {
    const std::string v = Upper(value);
    for (int i = 0; i < 14; ++i)
        if (std::to_string(GogoBitrateTable[i]) + "K" == v) return i;
    return def;
}

const char* const kReadMethodSections[4] = {"NormalRead", "ZitterCollectionRead", "2PassZitterCollectionRead",
                                            "HispeedBurstRead"};
const char* const kReadMethodKeys[4][3] = {{"Verify", "UseSeekCmd", "WriteCache"},
                                           {"Verify", "UseSeekCmd", "WriteCache"},
                                           {"Verify", "UseSeekCmd", "ExecDummyRead"},
                                           {"Verify", "CheckError", "ErrorNoWrite"}};

// The folder as stored: one trailing backslash removed, "\" added to a
// drive root.
std::string AlbumDirDefault(const std::string& programFolder) {
    std::string d = wx::StripTrailingBackslash(programFolder);
    if (d.size() < 3) d += '\\';
    return d;
}

}  // namespace

// ---------------------------------------------------------------------------
// Structured values

std::string DriveMakerWord(int kind) {
    static const char* const words[10] = {"SONY_0",  "SONY_2", "TOSHIBA", "PIONEER", "PLEXTOR",
                                          "RICOH",   "NEC",    "EXTEND",  "SCSI3",   "ATAPI"};
    return (kind >= 0 && kind < 10) ? words[kind] : "PLEXTOR";
}

int DriveMakerFromWord(const std::string& word) {
    if (word == "SONY") return rcSonyMode0;
    for (int k = 0; k < 10; ++k)
        if (word == DriveMakerWord(k)) return k;
    return rcUnknownMake;
}

std::string FormatHeaderText(const std::array<std::uint8_t, 256>& format) {
    static const char hex[] = "0123456789ABCDEF";
    std::size_t n = 18 + (format[16] | (format[17] << 8));
    if (n > format.size()) n = format.size();  // never past the buffer
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += hex[format[i] >> 4];
        s += hex[format[i] & 15];
    }
    return s;
}

std::array<std::uint8_t, 256> ParseFormatHeader(const std::string& text) {
    std::array<std::uint8_t, 256> f{};
    std::size_t digits = 0;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        const std::size_t byte = digits / 2;
        if (byte >= f.size()) break;
        f[byte] = static_cast<std::uint8_t>(digits % 2 == 0 ? v << 4 : (f[byte] | v));
        ++digits;
    }
    return f;
}

std::string DispGenresText(const std::bitset<256>& set) {
    static const char hex[] = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < 64; ++i) {
        int v = 0;
        for (int j = 0; j < 4; ++j)
            if (set.test(static_cast<std::size_t>(4 * i + j))) v |= 1 << j;
        s += hex[v];
    }
    return s;
}

std::bitset<256> ParseDispGenres(const std::string& text) {
    std::bitset<256> all;
    all.set();
    if (text.empty()) return all;
    const std::string t = Upper(text);
    std::bitset<256> set;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return all;  // a stray character shows every genre
        for (int j = 0; j < 4; ++j)
            if ((v >> j) & 1 && 4 * i + j < 256) set.set(4 * i + j);
    }
    return set;
}

std::string DeviceDisplayName(const TDeviceEntry& e) {
    if (!e.DeviceName.empty()) return e.DeviceName;
    const char* label = e.DriveType == dtCDR ? "  (CD-R)" : (e.DriveType == dtPD ? "  (PD-Drive)" : "  (CD-ROM)");
    if (e.ClassDrvInfo) {
        if (e.PortNumber >= PortNumberByLetter)
            return std::string("PnP Drive ") + static_cast<char>(e.PortNumber & 0xFF);
        return "Host Adapter #" + std::to_string(e.PortNumber) + " - SCSI ID #" + std::to_string(e.Target) + label;
    }
    return "Host Adapter #" + std::to_string(e.Adapter) + " - SCSI ID #" + std::to_string(e.Target) + label;
}

bool DecideDriveMode(TConfigStore& s, int aspiAdapterCount, const std::function<int()>& classDriverScan) {
    if (aspiAdapterCount <= 0) {
        s.CheckBox21.Checked = true;
        s.CheckBox21.Enabled = false;
    }
    if (!IsWindowsNT) {
        s.CheckBox21.Enabled = false;
        UseAspi = true;
        return true;
    }
    UseAspi = !s.CheckBox21.Checked;
    if (s.CheckBox21.Checked && (!classDriverScan || classDriverScan() <= 0)) {
        if (aspiAdapterCount <= 0) return false;
        s.CheckBox21.Checked = false;
        UseAspi = true;
    }
    return true;
}

bool LoadDeviceTable(TConfigStore& store, TCustomIniFile& ini, bool useAspi) {
    store.DeviceCount = 0;
    store.ComboBox2.Items.Clear();
    bool mismatch = false;
    for (int n = 0; n < MaxDeviceEntries; ++n) {
        const std::string sec = "DEVICES_" + std::to_string(n);
        const std::int32_t adapter = ini.ReadInteger(sec, "Adapter", -1);
        const std::int32_t target = ini.ReadInteger(sec, "Target", -1);
        if (adapter < 0 || target < 0) break;
        TDeviceEntry e;
        e.Enabled = ini.ReadBool(sec, "Enabled", true);
        e.PortNumber = ini.ReadInteger(sec, "PortNumber", 0);
        if (e.PortNumber < PortNumberByLetter) {
            e.Adapter = adapter;
            e.Target = target;
            e.Lun = 0;
        } else {
            e.Adapter = e.Target = e.Lun = 255;
        }
        e.IgnoreTargetStat = ini.ReadInteger(sec, "IgnoreTargetStat", 0) != 0;
        e.ClassDrvInfo = ini.ReadInteger(sec, "ClassDrvInfo", 0) != 0;
        if (e.ClassDrvInfo == useAspi) mismatch = true;
        e.DriveMaker = static_cast<std::uint8_t>(DriveMakerFromWord(ini.ReadString(sec, "DriveMaker", "")));
        const std::string type = Upper(ini.ReadString(sec, "DriveType", ""));
        if (type == "CDR") {
            e.DriveType = dtCDR;
        } else if (type == "PD") {
            e.DriveType = dtPD;
            e.Lun = 1;
        } else {
            e.DriveType = dtCDROM;
        }
        e.DeviceName = wx::SjisCut(ini.ReadString(sec, "DeviceName", ""), MaxDeviceNameBytes);
        store.Devices[static_cast<std::size_t>(n)] = e;
        store.ComboBox2.Items.Add(DeviceDisplayName(e));
        store.DeviceCount = n + 1;
    }
    std::int32_t use = ini.ReadInteger("Common", "UseCDROM", 0);
    if (use < 0 || use >= store.DeviceCount) use = 0;
    store.ComboBox2.SetItemIndex(store.DeviceCount > 0 ? use : -1);
    return store.DeviceCount > 0 && !mismatch;
}

void StoreDeviceTable(const TConfigStore& store, TCustomIniFile& ini) {
    const int count = store.DeviceCount < 0 ? 0 : (store.DeviceCount > MaxDeviceEntries ? MaxDeviceEntries
                                                                                        : store.DeviceCount);
    static const char* const types[3] = {"CD-ROM", "CDR", "PD"};
    for (int n = 0; n < count; ++n) {
        const TDeviceEntry& e = store.Devices[static_cast<std::size_t>(n)];
        const std::string sec = "DEVICES_" + std::to_string(n);
        // Each entry keeps its own read command; the drive page writes a
        // command chosen for the selected drive into its entry.
        const int maker = e.DriveMaker;
        const bool byLetter = e.PortNumber >= PortNumberByLetter;
        ini.EraseSection(sec);
        ini.WriteInteger(sec, "Adapter", byLetter ? 0 : e.Adapter);
        ini.WriteInteger(sec, "Target", byLetter ? 0 : e.Target);
        ini.WriteString(sec, "DriveMaker", DriveMakerWord(maker));
        ini.WriteBool(sec, "Enabled", e.Enabled);
        ini.WriteString(sec, "DriveType", types[e.DriveType <= 2 ? e.DriveType : 0]);
        ini.WriteString(sec, "IgnoreTargetStat", e.IgnoreTargetStat ? "1" : "0");
        if (!e.DeviceName.empty()) ini.WriteString(sec, "DeviceName", e.DeviceName);
        ini.WriteString(sec, "ClassDrvInfo", e.ClassDrvInfo ? "1" : "0");
        ini.WriteInteger(sec, "PortNumber", e.PortNumber);
    }
    // Surplus sections up to the first gap; loading never reaches beyond it.
    int last = -1;
    for (int k = 0; k < 10000 && ini.ReadInteger("DEVICES_" + std::to_string(k), "Adapter", -1) != -1; ++k) last = k;
    for (int k = count; k <= last; ++k) ini.EraseSection("DEVICES_" + std::to_string(k));
}

// ---------------------------------------------------------------------------
// Loading

void LoadSettings(TConfigStore& s, TCustomIniFile& ini, const TSettingsEnvironment& env) {
    const bool win9x = !IsWindowsNT;

    // Common
    s.SpinEdit1.SetRange(1, 50);
    s.SpinEdit1.SetValue(ini.ReadInteger("Common", "ReadBlock", 10));
    s.SpinEdit2.SetValue(ini.ReadInteger("Common", "SpinMultiple", 0));
    s.MemUseRatio.SetValue(ini.ReadInteger("Common", "MemoryUseRatio", 50));
    s.CustomTrackBar1.SetPosition(ini.ReadInteger("Common", "SubThreadPriority", 0));
    ReadCheck(ini, "Common", "ChangeSpin", false, s.CheckBox2);
    ReadCheck(ini, "Common", "IsDispSplash", true, s.IsDispSplash);
    ReadCheck(ini, "Common", "ResetDevice", false, s.CheckBox7);
    ReadCheck(ini, "Common", "CheckNullArea", false, s.CheckBox1);
    ReadCheck(ini, "Common", "CheckNullAreaEnd", false, s.CheckBox1E);
    ReadCheck(ini, "Common", "CheckDiskFreeSpace", true, s.CheckBox4);
    ReadCheck(ini, "Common", "DigitalPlayZC", false, s.DigitalPlayZC);
    s.SelReadMethod.SetItemIndex(ReadRanged(ini, "Common", "SelectReadMode", 0, 0, 3));
    ReadCheck(ini, "Common", "ReadWait", false, s.CheckBox10);
    ReadCheck(ini, "Common", "SwapRLChannel", false, s.CheckBox12);
    ReadCheck(ini, "Common", "BootSpinUp", false, s.CheckBox13);
    // MSCDEX after ReadBlock: on Windows 9x it lowers the maximum to 18.
    ReadCheck(ini, "Common", "UseMSCDEX", false, s.CheckBox14);
    s.CheckBox14.Enabled = win9x;
    s.SpinEdit1.SetRange(1, (win9x && s.CheckBox14.CheckedAndEnabled()) ? 18 : 50);
    ReadCheck(ini, "Common", "UsePoring", false, s.CheckBox15);
    ReadCheck(ini, "Common", "DispResult", false, s.CheckBox18);
    ReadCheck(ini, "Common", "DispLevelMeter", true, s.DispLevelMeter);
    ReadCheck(ini, "Common", "UseWaveMonitor", false, s.UseWaveMonitor);
    ReadCheck(ini, "Common", "UseDeEmph", true, s.UseDeEmph);
    ReadCheck(ini, "Common", "UseMultiThreadWrite", true, s.UseMultiThreadWrite);
    ReadCheck(ini, "Common", "CheckNullAsReadError", false, s.ChkNullErr);
    ReadCheck(ini, "Common", "ChangeTrackWait", false, s.IsTrackWait);
    ReadCheck(ini, "Common", "AutoRefreshTrackList", true, s.IsAutoRefTrList);
    {
        const std::string w = Upper(ini.ReadString("Common", "DefEncode", "MP3"));
        s.SelStdEncode.SetItemIndex(w == "VQF" ? semTwinVQ : (w == "WMT" ? semWMA : semMP3));
    }
    {
        const std::string v = ini.ReadString("Common", "UseClassDriver", "");
        s.CheckBox21.Checked = v.empty() ? IsWindowsNT5 : Upper(v) == "YES";
    }
    s.PreReadWaveSize.SetPosition(ReadRanged(ini, "Common", "PrefetchSize", 3, 1, 5));
    s.LangSelect.SetItemIndex(env.JapaneseMode ? 1 : 0);
    s.UseWaveDevice = ini.ReadString("Common", "UseWaveDevice", "");
    s.RatioEdit.SetValue(ini.ReadInteger("Common", "RecordingLevel", 100));
    {
        const std::string cur = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(env.CurrentFolder));
        std::string w = ini.ReadString("Common", "WorkingDir", cur);
        w = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(w));
        s.WEdit1.Text = Exists(env.DirectoryExists, w) ? w : cur;
    }
    s.MaxRetry = ini.ReadInteger("Common", "MaxRetry", 10);
    s.SetWaitTime(ini.ReadInteger("Common", "WaitTime", 50));
    s.SpinEdit3.SetValue(s.WaitTime());

    // Filer (this store's keys)
    ReadCheck(ini, "Filer", "ChangeBootDir", false, s.BootDirChange);
    s.UsePlayer.Text = ini.ReadString("Filer", "UsePlayer", "");
    if (!Exists(env.FileExists, s.UsePlayer.Text)) s.UsePlayer.Text.clear();
    s.UseEditor.Text = ini.ReadString("Filer", "UseEditor", "");
    if (!Exists(env.FileExists, s.UseEditor.Text)) s.UseEditor.Text.clear();

    // MP3
    {
        const std::int32_t t = ini.ReadInteger("MP3", "ExtCmdType", 0);
        s.SelL3Cmd.Checked = t == eetL3Enc;
        s.Sel8hzCmd.Checked = t == eet8hz;
        s.SelSCMPXCmd.Checked = t == eetSCMPX;
        s.SelLameStdin.Checked = t == eetLameStdin;
    }
    s.UseLayerType.SetItemIndex(ini.ReadInteger("MP3", "OutputLayerType", 2));
    ReadCheck(ini, "MP3", "MP3DeEmph", true, s.MP3DeEmph);
    s.ProgramEdit.Text = ini.ReadString("MP3", "Encoder", "");
    ReadCheck(ini, "MP3", "UseStdin", false, s.UseStdin);
    ReadCheck(ini, "MP3", "UseOriginalOption", false, s.UseOriginalOption);
    ReadCheck(ini, "MP3", "UseAdditionalOption", false, s.AdditionalOption);
    s.OptionEdit.Text = ini.ReadString("MP3", "OptionString", "");
    ReadCheck(ini, "MP3", "UseMediaPlayer", true, s.UseMediaPlayer);
    s.GogoMMX = ini.ReadBool("MP3", "GogoMMX", true);
    s.Gogo3DNow = ini.ReadBool("MP3", "Gogo3DNow", false);
    s.GogoExt3DNow = ini.ReadBool("MP3", "GogoExt3DNow", false);
    s.GogoSSE = ini.ReadBool("MP3", "GogoSSE", false);
    s.GogoMultiCPU = ini.ReadBool("MP3", "GogoMultiCPU", false);
    s.GogoLPF = ini.ReadBool("MP3", "GogoLPF", true);
    s.GogoPsy = ini.ReadBool("MP3", "GogoPsy", false);
    s.GogoVBRLevel = ReadRanged(ini, "MP3", "GogoVBRLevel", 4, 0, 9);
    s.VBRLevel.SetValue(s.GogoVBRLevel);
    s.GogoPriority = ReadRanged(ini, "MP3", "GogoPriority", -2, -2, 2);
    {
        const std::string c = Upper(ini.ReadString("MP3", "GogoChannel", "JSTEREO"));
        s.GogoChannel = c == "STEREO" ? gcStereo : c == "MSSTEREO" ? gcMSStereo : c == "MONORAL" ? gcMono
                                                                                                  : gcJointStereo;
    }
    if (env.GogoAvailable) {  // switch off what the processor lacks
        const std::uint32_t u = env.GogoUnitStates;
        if (!(u & 0x02)) s.GogoMMX = false;
        if (!(u & 0x04)) s.Gogo3DNow = false;
        if (!(u & 0x20)) s.GogoExt3DNow = false;
        if (!(u & 0x08) || IsWindows95) s.GogoSSE = false;
    }
    s.GogoForceSameFreq = ini.ReadBool("MP3", "GogoForceSameFreq", false);
    s.GogoAdvFilter = ini.ReadBool("MP3", "GogoAdvFilter", false);
    s.GogoAdvVBRSet = ini.ReadBool("MP3", "GogoAdvVBRSet", false);
    s.GogoAdvJSSet = ini.ReadBool("MP3", "GogoAdvJSSet", false);
    s.GogoMinVBR = GogoVbrIndex(ini.ReadString("MP3", "GogoMinVBR", "112K"), 7);
    s.GogoMaxVBR = GogoVbrIndex(ini.ReadString("MP3", "GogoMaxVBR", "128K"), 8);
    s.GogoMinFilter = ReadRanged(ini, "MP3", "GogoMinFilter", 55, 0, 100);
    s.GogoHighFilter = ReadRanged(ini, "MP3", "GogoHighFilter", 70, 0, 100);
    s.GogoMSThs = ReadRanged(ini, "MP3", "GogoMSThs", 75, 0, 100);
    s.GogoBitrateDiff = ReadRanged(ini, "MP3", "GogoBitrateDiff", 0, 0, 100);
    {
        const std::string f = Upper(ini.ReadString("MP3", "GogoFormatType", "MP3"));
        s.GogoFormatType = f == "RMP" ? gftRiffMP3 : (f == "WAVE" ? gftRiffWave : gftMP3);
    }
    {
        const std::string e = Upper(ini.ReadString("MP3", "EncodeType", "Other"));
        s.SelMP3Enc.SetItemIndex((e == "GOGO" && env.GogoAvailable) ? mekGogo : (e == "OTHER" ? mekExternal : mekACM));
    }
    SelectComboByStoredValue(s.bitratebox, ini.ReadString("MP3", "BitRate", "128K"), 'K');
    ReadCheck(ini, "MP3", "CRCCheck", false, s.CRCCheckBox);
    ReadCheck(ini, "MP3", "HighQuality", false, s.HQCheckBox);
    ReadCheck(ini, "MP3", "VBREncode", false, s.VBRCheckBox);
    const std::string dispGenres = ini.ReadString("MP3", "DispGenres", "");

    // Format
    {
        const std::string o = Upper(ini.ReadString("Format", "OutputType", "WAVE"));
        s.SelOutputMethod.SetItemIndex(o == "MP3" ? omMP3 : o == "WMT" ? omWMA : o == "VQF" ? omTwinVQ : omWave);
    }
    s.Edit2.Text = ini.ReadString("Format", "FormatTag", "");
    s.Edit3.Text = ini.ReadString("Format", "FormatBody", "");
    s.MakeMP3File = ini.ReadBool("Format", "MakeMP3File", false);
    s.OutputWaveFormat = ParseFormatHeader(ini.ReadString("Format", "FormatHeader", ""));

    // WMT, VQF
    SelectComboByStoredValue(s.WMTBitrate, ini.ReadString("WMT", "BitRate", "128K"), 'K');
    SelectComboByStoredValue(s.WMTSamplingRate, ini.ReadString("WMT", "SamplingRate", "44100HZ"), 'H');
    s.WMTStereoSel.Checked = Upper(ini.ReadString("WMT", "Channel", "Stereo")) == "STEREO";
    s.WMTMonoSel.Checked = !s.WMTStereoSel.Checked;
    SelectComboByStoredValue(s.VQFBitRate, ini.ReadString("VQF", "BitRate", "96K"), 'K');
    SelectComboByStoredValue(s.VQFQuality, ini.ReadString("VQF", "Quality", "16"), 0);

    // Normalize
    NormalizeMethod = ReadRanged(ini, "Normalize", "Method", 0, 0, 1);
    NormalizeLevel = ReadRanged(ini, "Normalize", "Level", 10000, 0, 10000);
    NormalizeAllowPeakOver = ini.ReadBool("Normalize", "AllowPeakOver", false);
    NormalizeFixPeakOver = ini.ReadBool("Normalize", "FixPeakOver", false);
    ReadCheck(ini, "Normalize", "Execute", false, s.ExecNormalize);

    // ID3TAG
    s.ID3TagType.SetItemIndex(ReadRanged(ini, "ID3TAG", "ID3TagWriteMode", 2, 0, 2));
    if (ini.ValueExists("MP3", "IsWithTrackNumer")) {
        // The old key chose between the first two presets; it is dropped.
        s.FileNameSelect.SetItemIndex(Upper(ini.ReadString("MP3", "IsWithTrackNumer", "")) == "YES" ? 2 : 1);
        ini.DeleteKey("MP3", "IsWithTrackNumer");
    } else {
        s.FileNameSelect.SetItemIndex(ReadRanged(ini, "ID3TAG", "FilenameSelect", 1, 0, 3));
    }
    s.FolderNameSelect.SetItemIndex(ReadRanged(ini, "ID3TAG", "FoldernameSelect", 1, 0, 3));
    s.FilenameEdit.Text = ini.ReadString("ID3TAG", "FilenameEdit", "%.02N_%T");
    s.FoldernameEdit.Text = ini.ReadString("ID3TAG", "FoldernameEdit", "%R");
    s.FileNameSelectChange();
    s.FolderNameSelectChange();
    {
        const std::string def = AlbumDirDefault(env.ProgramFolder);
        const std::string d = ini.ReadString("ID3TAG", "ID3TagAlbumDir", def);
        s.CurrentDirEdit.Text = Exists(env.DirectoryExists, d) ? d : def;
    }
    ReadCheck(ini, "ID3TAG", "ID3TagFilenameSet", true, s.CDDBFilenameset);
    ReadCheck(ini, "ID3TAG", "ID3TagCreateFolder", false, s.CDDBCreateFolder);
    ReadCheck(ini, "ID3TAG", "RefreshWithCDDB", false, s.RefreshWithCDDB);
    ReadCheck(ini, "ID3TAG", "CDDBafterAllSel", false, s.CDDBafterAllsel);
    ReadCheck(ini, "CDDB", "AutoCDDBConnect", false, s.AutoCDDBConnect);

    // Pellora (read only)
    ReadCheck(ini, "Pellora", "UseSendStatus", false, s.IsSendPellora);
    s.PelloraIPAddress.Text = ini.ReadString("Pellora", "IPAddress", "127.0.0.1");
    {
        const std::int32_t port = ini.ReadInteger("Pellora", "Port", 11000);
        s.PelloraPort.Text = std::to_string(port <= 0 ? 11000 : port);
    }

    // Read-method flags
    for (int m = 0; m < 4; ++m)
        for (int k = 0; k < 3; ++k)
            s.ReadMethodFlags[static_cast<std::size_t>(m * 3 + k)] =
                ini.ReadBool(kReadMethodSections[m], kReadMethodKeys[m][k], m == 2 && k == 2);
    s.ShowReadMethodFlags();

    // Genre names and the display set
    for (int n = 0; n < GenreCount; ++n) {
        const std::string placeholder = UndefinedGenreText(n);
        const std::string v = ini.ReadString("Genre", "FG" + std::to_string(n), placeholder);
        if (v != placeholder) UserGenreNames[static_cast<std::size_t>(n)] = v;
    }
    GenreDisplaySet = ParseDispGenres(dispGenres);
}

// ---------------------------------------------------------------------------
// Storing

bool StoreSettings(const TConfigStore& s, TCustomIniFile& ini, const TMainWindowKeys& w,
                   const TFilerExtFilter& filter, bool autoRefresh) {
    ini.WriteInteger("Common", "ReadBlock", s.SpinEdit1.Value());
    ini.WriteInteger("Common", "SpinMultiple", s.SpinEdit2.Value());
    ini.WriteInteger("Common", "UseCDROM", s.ComboBox2.ItemIndex());
    ini.WriteInteger("Common", "WindowTop", w.WindowTop);
    ini.WriteInteger("Common", "WindowLeft", w.WindowLeft);
    ini.WriteInteger("Common", "CDPWindowTop", w.CDPWindowTop);
    ini.WriteInteger("Common", "CDPWindowLeft", w.CDPWindowLeft);
    ini.WriteInteger("Common", "WindowHeight", w.WindowHeight);
    ini.WriteInteger("Common", "WindowWidth", w.WindowWidth);
    ini.WriteInteger("Common", "DirViewWidth", w.DirViewWidth);
    ini.WriteInteger("Common", "TrackViewHeight", w.TrackViewHeight);
    ini.WriteInteger("Common", "SubThreadPriority", s.CustomTrackBar1.Position());
    ini.WriteInteger("Common", "MemoryUseRatio", s.MemUseRatio.Value());
    ini.WriteInteger("Common", "PrefetchSize", s.PreReadWaveSize.Position());
    ini.WriteInteger("Common", "SelectReadMode", s.SelReadMethod.ItemIndex());
    for (int i = 0; i < 7; ++i)
        ini.WriteInteger("Common", "TrColW" + std::to_string(i), w.TrColW[static_cast<std::size_t>(i)]);
    ini.WriteString("MP3", "DispGenres", DispGenresText(GenreDisplaySet));
    ini.WriteInteger("MP3", "OutputLayerType", s.UseLayerType.ItemIndex());
    ini.WriteString("Common", "ListViewPattern", ListViewPatternWord(w.LargeIcon));
    ini.WriteString("Common", "SortPattern", SortPatternWord(w.SortPattern));
    ini.WriteString("Common", "SortDir", SortDirWord(w.SortAscending));
    ini.WriteBool("Common", "ChangeSpin", s.CheckBox2.Checked);
    ini.WriteBool("Common", "ResetDevice", s.CheckBox7.Checked);
    ini.WriteBool("Common", "CheckNullArea", s.CheckBox1.Checked);
    ini.WriteBool("Common", "CheckNullAreaEnd", s.CheckBox1E.Checked);
    ini.WriteBool("Common", "CheckDiskFreeSpace", s.CheckBox4.Checked);
    ini.WriteBool("Common", "UseWaveMonitor", s.UseWaveMonitor.Checked);
    ini.WriteBool("Common", "UseDeEmph", s.UseDeEmph.Checked);
    ini.WriteBool("MP3", "MP3DeEmph", s.MP3DeEmph.Checked);

    for (int m = 0; m < 4; ++m)
        for (int k = 0; k < 3; ++k)
            ini.WriteBool(kReadMethodSections[m], kReadMethodKeys[m][k],
                          s.ReadMethodFlags[static_cast<std::size_t>(m * 3 + k)]);

    // The file manager's state is kept by the main window (the dialog's
    // page 6 edits it in place), so it is written from there.
    ini.EraseSection("Filer");
    ini.WriteBool("Filer", "IsDispCDROM", w.IsDispCDROM);
    ini.WriteBool("Filer", "ChangeBootDir", s.BootDirChange.Checked);
    ini.WriteString("Filer", "BootDir", w.BootDir);
    ini.WriteBool("Filer", "AutoRefresh", autoRefresh);
    ini.WriteInteger("Filer", "DispAllExts", filter.ShowAll ? 1 : 0);
    for (int i = 0; i < filter.Count && i < TFilerExtFilter::MaxEntries; ++i) {
        const std::string& e = filter.Entries[static_cast<std::size_t>(i)];
        if (e.empty()) break;
        ini.WriteString("Filer", "DispExt" + std::to_string(i + 1), e);
    }
    ini.WriteString("Filer", "UsePlayer", s.UsePlayer.Text);
    ini.WriteString("Filer", "UseEditor", s.UseEditor.Text);

    ini.WriteBool("Common", "DispToolBar", w.DispToolBar);
    ini.WriteBool("Common", "DispPlayPanel", w.DispPlayPanel);
    ini.WriteBool("Common", "IsDispSplash", s.IsDispSplash.Checked);
    ini.WriteBool("Common", "DigitalPlayZC", s.DigitalPlayZC.Checked);
    ini.WriteBool("Common", "ReadWait", s.CheckBox10.Checked);
    ini.WriteBool("Common", "SwapRLChannel", s.CheckBox12.Checked);
    ini.WriteBool("Common", "BootSpinUp", s.CheckBox13.Checked);
    ini.WriteBool("Common", "UseMSCDEX", s.CheckBox14.Checked);
    ini.WriteBool("Common", "UsePoring", s.CheckBox15.Checked);
    ini.WriteBool("Common", "DispResult", s.CheckBox18.Checked);
    ini.WriteBool("Common", "DispLevelMeter", s.DispLevelMeter.Checked);
    ini.WriteBool("Common", "UseMultiThreadWrite", s.UseMultiThreadWrite.Checked);
    ini.WriteBool("Common", "CheckNullAsReadError", s.ChkNullErr.Checked);
    ini.WriteBool("Common", "ChangeTrackWait", s.IsTrackWait.Checked);
    ini.WriteBool("Common", "AutoRefreshTrackList", s.IsAutoRefTrList.Checked);
    ini.WriteBool("Common", "UseClassDriver", s.CheckBox21.Checked);
    ini.WriteString("Common", "UseWaveDevice", s.UseWaveDevice);
    ini.WriteInteger("Common", "RecordingLevel", s.RatioEdit.Value());
    ini.WriteString("Common", "WorkingDir", s.WEdit1.Text);
    ini.WriteInteger("Common", "MaxRetry", 10);
    ini.WriteInteger("Common", "WaitTime", s.SpinEdit3.Value() < 0 ? 0 : s.SpinEdit3.Value());

    ini.WriteString("Format", "FormatTag", s.Edit2.Text);
    ini.WriteString("Format", "FormatBody", s.Edit3.Text);
    ini.WriteString("Common", "CurrentPath", w.CurrentPath);
    ini.WriteString("Common", "Language", s.LangSelect.ItemIndex() == 1 ? "JAPANESE" : "ENGLISH");

    static const char* const encodeTypes[3] = {"ACMENC", "OTHER", "GOGO"};
    const int enc = s.SelMP3Enc.ItemIndex();
    ini.WriteString("MP3", "EncodeType", encodeTypes[enc >= 0 ? enc : 0]);
    const int ext = s.ExtEncoderType();
    ini.WriteInteger("MP3", "ExtCmdType", ext < 0 ? 3 : ext);
    ini.WriteString("MP3", "Encoder", s.ProgramEdit.Text);
    ini.WriteBool("MP3", "UseOriginalOption", s.UseOriginalOption.Checked);
    ini.WriteBool("MP3", "UseAdditionalOption", s.AdditionalOption.Checked);
    ini.WriteBool("MP3", "UseStdin", s.UseStdin.Checked);
    ini.WriteString("MP3", "OptionString", s.OptionEdit.Text);
    ini.WriteString("MP3", "BitRate", ComboStoredValue(s.bitratebox, 'K'));
    ini.WriteBool("MP3", "CRCCheck", s.CRCCheckBox.Checked);
    ini.WriteBool("MP3", "HighQuality", s.HQCheckBox.Checked);
    ini.WriteBool("MP3", "VBREncode", s.VBRCheckBox.Checked);
    ini.WriteString("Format", "FormatHeader", FormatHeaderText(s.OutputWaveFormat));
    ini.WriteBool("MP3", "UseMediaPlayer", s.UseMediaPlayer.Checked);
    ini.WriteBool("Format", "MakeMP3File", s.MakeMP3File);

    ini.WriteBool("MP3", "GogoMMX", s.GogoMMX);
    ini.WriteBool("MP3", "Gogo3DNow", s.Gogo3DNow);
    ini.WriteBool("MP3", "GogoExt3DNow", s.GogoExt3DNow);
    ini.WriteBool("MP3", "GogoSSE", s.GogoSSE);
    ini.WriteBool("MP3", "GogoMultiCPU", s.GogoMultiCPU);
    ini.WriteBool("MP3", "GogoLPF", s.GogoLPF);
    ini.WriteBool("MP3", "GogoPsy", s.GogoPsy);
    ini.WriteInteger("MP3", "GogoVBRLevel", s.GogoVBRLevel);
    ini.WriteInteger("MP3", "GogoPriority", s.GogoPriority);
    static const char* const channels[4] = {"STEREO", "JSTEREO", "MSSTEREO", "MONORAL"};
    ini.WriteString("MP3", "GogoChannel",
                    (s.GogoChannel >= 0 && s.GogoChannel <= 3) ? channels[s.GogoChannel] : "JSTEREO");
    ini.WriteBool("MP3", "GogoAdvFilter", s.GogoAdvFilter);
    ini.WriteBool("MP3", "GogoAdvVBRSet", s.GogoAdvVBRSet);
    ini.WriteBool("MP3", "GogoAdvJSSet", s.GogoAdvJSSet);
    ini.WriteBool("MP3", "GogoForceSameFreq", s.GogoForceSameFreq);
    ini.WriteString("MP3", "GogoMaxVBR", std::to_string(TConfigStore::GogoBitrate(s.GogoMaxVBR, 8)) + "K");
    ini.WriteString("MP3", "GogoMinVBR", std::to_string(TConfigStore::GogoBitrate(s.GogoMinVBR, 7)) + "K");
    ini.WriteInteger("MP3", "GogoMinFilter", s.GogoMinFilter);
    ini.WriteInteger("MP3", "GogoHighFilter", s.GogoHighFilter);
    ini.WriteInteger("MP3", "GogoMSThs", s.GogoMSThs);
    ini.WriteInteger("MP3", "GogoBitrateDiff", s.GogoBitrateDiff);
    ini.WriteString("MP3", "GogoFormatType",
                    s.GogoFormatType == gftRiffWave ? "WAVE" : (s.GogoFormatType == gftRiffMP3 ? "RMP" : "MP3"));

    static const char* const outputs[4] = {"WAVE", "WMT", "MP3", "VQF"};
    const int out = s.SelOutputMethod.ItemIndex();
    ini.WriteString("Format", "OutputType", outputs[out >= 0 ? out : 0]);
    ini.WriteString("WMT", "BitRate", ComboStoredValue(s.WMTBitrate, 'K'));
    ini.WriteString("WMT", "SamplingRate", ComboStoredValue(s.WMTSamplingRate, 'H'));
    ini.WriteString("WMT", "Channel", s.WMTStereoSel.Checked ? "Stereo" : "Monoral");
    static const char* const stdEncodes[3] = {"WMT", "MP3", "VQF"};
    const int se = s.SelStdEncode.ItemIndex();
    ini.WriteString("Common", "DefEncode", stdEncodes[se >= 0 ? se : 1]);
    ini.WriteString("VQF", "BitRate", ComboStoredValue(s.VQFBitRate, 'K'));
    ini.WriteString("VQF", "Quality", ComboStoredValue(s.VQFQuality, 0));

    ini.WriteInteger("Normalize", "Method", NormalizeMethod);
    ini.WriteInteger("Normalize", "Level", NormalizeLevel);
    ini.WriteBool("Normalize", "AllowPeakOver", NormalizeAllowPeakOver);
    ini.WriteBool("Normalize", "FixPeakOver", NormalizeFixPeakOver);
    ini.WriteBool("Normalize", "Execute", s.ExecNormalize.Checked);

    ini.WriteInteger("ID3TAG", "FoldernameSelect", s.FolderNameSelect.ItemIndex());
    ini.WriteInteger("ID3TAG", "FilenameSelect", s.FileNameSelect.ItemIndex());
    ini.WriteString("ID3TAG", "FilenameEdit", s.FilenameEdit.Text);
    ini.WriteString("ID3TAG", "FoldernameEdit", s.FoldernameEdit.Text);
    ini.WriteString("ID3TAG", "ID3TagAlbumDir", s.CurrentDirEdit.Text);
    ini.WriteBool("ID3TAG", "ID3TagFilenameSet", s.CDDBFilenameset.Checked);
    ini.WriteBool("ID3TAG", "ID3TagCreateFolder", s.CDDBCreateFolder.Checked);
    ini.WriteBool("ID3TAG", "RefreshWithCDDB", s.RefreshWithCDDB.Checked);
    ini.WriteBool("ID3TAG", "CDDBafterAllSel", s.CDDBafterAllsel.Checked);
    // The tag kind chosen in the dialog is kept across runs as well.
    ini.WriteInteger("ID3TAG", "ID3TagWriteMode", s.ID3TagType.ItemIndex() >= 0 ? s.ID3TagType.ItemIndex() : 2);
    ini.WriteBool("CDDB", "AutoCDDBConnect", s.AutoCDDBConnect.Checked);

    ini.EraseSection("Genre");
    for (int n = 0; n < GenreCount; ++n)
        if (!UserGenreNames[static_cast<std::size_t>(n)].empty())
            ini.WriteString("Genre", "FG" + std::to_string(n), UserGenreNames[static_cast<std::size_t>(n)]);
    StoreDeviceTable(s, ini);
    return !ini.WriteFailed();
}

// ---------------------------------------------------------------------------
// The whole load

bool GetCfg(TConfigStore& s, TCustomIniFile& ini, const TGetCfgEnvironment& env) {
    if (env.Wait) env.Wait(250);
    // The file manager's state, which the main window has read already
    // (read here when it has not, so that the close writes it back).
    if (!MainWindowKeys.Loaded) ReadMainWindowKeys(ini, MainWindowKeys, FilerExtFilter, AutoRefresh);
    s.RestrictExt.Checked = !FilerExtFilter.ShowAll;
    s.ExtList.Items.Clear();
    for (int i = 0; i < FilerExtFilter.Count && i < TFilerExtFilter::MaxEntries; ++i)
        s.ExtList.Items.Add(FilerExtFilter.Entries[static_cast<std::size_t>(i)]);
    s.AutoRefresh.Checked = AutoRefresh;
    s.NoDispCDROM.Checked = !MainWindowKeys.IsDispCDROM;

    LoadSettings(s, ini, env.Settings);
    MainWindowKeys.CurrentPath = ini.ReadString("Common", "CurrentPath", "");

    if (!DecideDriveMode(s, env.AspiAdapterCount, env.ClassDriverScan)) {
        if (env.NoDriveInterface) env.NoDriveInterface();
        return false;
    }
    const bool result = LoadDeviceTable(s, ini, UseAspi);
    s.ShowSelectedReadCommand();

    // Last: the output format must be one ACM can convert to.
    if (env.TestOutputFormat && !env.TestOutputFormat(s.OutputWaveFormat)) {
        s.OutputWaveFormat = s.DefaultPcmFormat;
        env.TestOutputFormat(s.OutputWaveFormat);
        if (env.FormatNames) env.FormatNames(s.OutputWaveFormat, s.Edit2.Text, s.Edit3.Text);
    }
    return result;
}
