#include "settings/configfile.h"

#include <limits>
#include <type_traits>
#include <vector>

#include "classlib/sjis.h"
#include "output/mp3defs.h"

namespace {

std::string Upper(const std::string& s) { return wx::SjisUpperCase(s); }

bool Exists(const std::function<bool(const std::string&)>& f, const std::string& path) {
    return !path.empty() && f && f(path);
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
// The scalar keys: one table, walked by loading and by storing

namespace {

// What storing writes besides the store: the main window's keys and the
// file manager's state.
struct TStoreSources {
    const TMainWindowKeys& Window;
    const TFilerExtFilter& Filter;
    bool AutoRefresh;
};

// One key of the file, with its section and name, for the two walks.
class TKeyIo {
public:
    TKeyIo(TCustomIniFile& ini, const char* section, const char* key) : ini_(ini), sec_(section), key_(key) {}
    bool Bool(bool def) const { return ini_.ReadBool(sec_, key_, def); }
    std::int32_t Int(std::int32_t def) const { return ini_.ReadInteger(sec_, key_, def); }
    // An integer outside lo..hi gives the fallback.
    std::int32_t Ranged(std::int32_t def, std::int32_t lo, std::int32_t hi) const {
        const std::int32_t v = Int(def);
        return (v < lo || v > hi) ? def : v;
    }
    std::string Str(const std::string& def) const { return ini_.ReadString(sec_, key_, def); }
    void Put(bool v) const { ini_.WriteBool(sec_, key_, v); }
    void Put(std::int32_t v) const { ini_.WriteInteger(sec_, key_, v); }
    void Put(const std::string& v) const { ini_.WriteString(sec_, key_, v); }
    void Put(const char* v) const { ini_.WriteString(sec_, key_, v); }
    TCustomIniFile& Ini() const { return ini_; }

private:
    TCustomIniFile& ini_;
    const char* sec_;
    const char* key_;
};

using TLoad = std::function<void(TConfigStore&, const TKeyIo&, const TSettingsEnvironment&)>;
using TStore = std::function<void(const TConfigStore&, const TKeyIo&, const TStoreSources&)>;

// A key of the file: how loading reads it into the store (none: the key is
// read elsewhere) and how storing writes it (none: only read).  An entry
// without a key name erases its section when storing reaches it.
struct TSettingKey {
    const char* Section;
    const char* Key;
    TLoad Load;
    TStore Store;
};

template <typename T>
using TMember = T TConfigStore::*;

TSettingKey Check(const char* sec, const char* key, bool def, TMember<TCheckBinding> b) {
    return {sec, key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { (s.*b).Checked = io.Bool(def); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put((s.*b).Checked); }};
}
TSettingKey Flag(const char* sec, const char* key, bool def, TMember<bool> m) {
    return {sec, key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { s.*m = io.Bool(def); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(s.*m); }};
}
TSettingKey Flag(const char* sec, const char* key, bool def, bool* global) {
    return {sec, key, [=](TConfigStore&, const TKeyIo& io, const auto&) { *global = io.Bool(def); },
            [=](const TConfigStore&, const TKeyIo& io, const auto&) { io.Put(*global); }};
}
// Spin edits clamp what they are given.
TSettingKey Spin(const char* sec, const char* key, std::int32_t def, TMember<TSpinBinding> b) {
    return {sec, key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { (s.*b).SetValue(io.Int(def)); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t((s.*b).Value())); }};
}
// Track bars clamp too; a range given replaces a value outside it by the default.
TSettingKey Track(const char* sec, const char* key, std::int32_t def, TMember<TTrackBarBinding> b,
                  std::int32_t lo = std::numeric_limits<std::int32_t>::min(),
                  std::int32_t hi = std::numeric_limits<std::int32_t>::max()) {
    return {sec, key,
            [=](TConfigStore& s, const TKeyIo& io, const auto&) { (s.*b).SetPosition(io.Ranged(def, lo, hi)); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t((s.*b).Position())); }};
}
TSettingKey Ranged(const char* sec, const char* key, std::int32_t def, std::int32_t lo, std::int32_t hi,
                   TMember<std::int32_t> m) {
    return {sec, key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { s.*m = io.Ranged(def, lo, hi); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(s.*m); }};
}
TSettingKey Ranged(const char* sec, const char* key, std::int32_t def, std::int32_t lo, std::int32_t hi,
                   std::int32_t* global) {
    return {sec, key, [=](TConfigStore&, const TKeyIo& io, const auto&) { *global = io.Ranged(def, lo, hi); },
            [=](const TConfigStore&, const TKeyIo& io, const auto&) { io.Put(*global); }};
}
// The selected item of a list by its index (a value outside lo..hi gives
// the default).
template <typename TList>
TSettingKey Index(const char* sec, const char* key, std::int32_t def, std::int32_t lo, std::int32_t hi,
                  TMember<TList> b) {
    return {sec, key,
            [=](TConfigStore& s, const TKeyIo& io, const auto&) { (s.*b).SetItemIndex(io.Ranged(def, lo, hi)); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t((s.*b).ItemIndex())); }};
}
// The selected item of a combo box by its stored text (the combo rule).
TSettingKey Combo(const char* sec, const char* key, const char* def, char cutAfter, TMember<TComboBinding> b) {
    return {sec, key,
            [=](TConfigStore& s, const TKeyIo& io, const auto&) { SelectComboByStoredValue(s.*b, io.Str(def), cutAfter); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put(ComboStoredValue(s.*b, cutAfter)); }};
}
// An index stored as the word of a list: reading takes the index of the
// first word equal to the upper-cased value (else the fallback), writing
// the word of the index (an index outside the list writes the fallback's).
template <typename T>
TSettingKey Words(const char* sec, const char* key, const char* def, std::vector<const char*> words, int fallback,
                  TMember<T> m) {
    return {sec, key,
            [=](TConfigStore& s, const TKeyIo& io, const auto&) {
                const std::string value = Upper(io.Str(def));
                int i = fallback;
                for (std::size_t w = 0; w < words.size(); ++w)
                    if (value == words[w]) {
                        i = static_cast<int>(w);
                        break;
                    }
                if constexpr (std::is_class_v<T>) (s.*m).SetItemIndex(i);
                else s.*m = static_cast<T>(i);
            },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) {
                int i;
                if constexpr (std::is_class_v<T>) i = (s.*m).ItemIndex();
                else i = static_cast<int>(s.*m);
                io.Put(words[(i >= 0 && i < static_cast<int>(words.size())) ? i : fallback]);
            }};
}
// A bound of the GOGO encoder's bit rate, by its table entry ("128K").
TSettingKey GogoVbr(const char* key, const char* def, int defIndex, TMember<std::int32_t> m) {
    return {"MP3", key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { s.*m = GogoVbrIndex(io.Str(def), defIndex); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) {
                io.Put(std::to_string(TConfigStore::GogoBitrate(s.*m, defIndex)) + "K");
            }};
}
TSettingKey Text(const char* sec, const char* key, const char* def, TMember<TEditBinding> b) {
    return {sec, key, [=](TConfigStore& s, const TKeyIo& io, const auto&) { (s.*b).Text = io.Str(def); },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put((s.*b).Text); }};
}
// A program path: dropped at loading when no such file exists.
TSettingKey Program(const char* sec, const char* key, TMember<TEditBinding> b) {
    return {sec, key,
            [=](TConfigStore& s, const TKeyIo& io, const TSettingsEnvironment& env) {
                const std::string p = io.Str("");
                (s.*b).Text = Exists(env.FileExists, p) ? p : std::string();
            },
            [=](const TConfigStore& s, const TKeyIo& io, const auto&) { io.Put((s.*b).Text); }};
}
// A value of the main window's, written only (the main window reads it).
template <typename T>
TSettingKey Window(const char* sec, const char* key, T TMainWindowKeys::*m) {
    return {sec, key, nullptr, [=](const TConfigStore&, const TKeyIo& io, const TStoreSources& src) {
                if constexpr (std::is_same_v<T, bool>) io.Put(bool(src.Window.*m));
                else if constexpr (std::is_same_v<T, std::string>) io.Put(src.Window.*m);
                else io.Put(std::int32_t(src.Window.*m));
            }};
}
TSettingKey ReadOnly(TSettingKey k) {
    k.Store = nullptr;
    return k;
}
TSettingKey Erase(const char* sec) {
    return {sec, nullptr, nullptr, [](const TConfigStore&, const TKeyIo&, const TStoreSources&) {}};
}

// Every scalar key, in the order storing writes them.
std::vector<TSettingKey> MakeSettingKeys() {
    using S = TConfigStore;
    using W = TMainWindowKeys;
    std::vector<TSettingKey> k;
    auto add = [&k](TSettingKey key) { k.push_back(std::move(key)); };
    // Common: drive and window.
    add(Spin("Common", "ReadBlock", 10, &S::SpinEdit1));
    add(Spin("Common", "SpinMultiple", 0, &S::SpinEdit2));
    add({"Common", "UseCDROM", nullptr,  // loaded after the device table
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t(s.ComboBox2.ItemIndex())); }});
    add(Window("Common", "WindowTop", &W::WindowTop));
    add(Window("Common", "WindowLeft", &W::WindowLeft));
    add(Window("Common", "CDPWindowTop", &W::CDPWindowTop));
    add(Window("Common", "CDPWindowLeft", &W::CDPWindowLeft));
    add(Window("Common", "WindowHeight", &W::WindowHeight));
    add(Window("Common", "WindowWidth", &W::WindowWidth));
    add(Window("Common", "DirViewWidth", &W::DirViewWidth));
    add(Window("Common", "TrackViewHeight", &W::TrackViewHeight));
    add(Track("Common", "SubThreadPriority", 0, &S::CustomTrackBar1));
    add(Spin("Common", "MemoryUseRatio", 50, &S::MemUseRatio));
    add(Track("Common", "PrefetchSize", 3, &S::PreReadWaveSize, 1, 5));
    add(Index("Common", "SelectReadMode", 0, 0, 3, &S::SelReadMethod));
    static const char* const columns[7] = {"TrColW0", "TrColW1", "TrColW2", "TrColW3", "TrColW4", "TrColW5", "TrColW6"};
    for (std::size_t i = 0; i < 7; ++i)
        add({"Common", columns[i], nullptr,
             [i](const S&, const TKeyIo& io, const TStoreSources& src) { io.Put(src.Window.TrColW[i]); }});
    // MP3: genres shown, layer.
    add({"MP3", "DispGenres", [](S&, const TKeyIo& io, const auto&) { GenreDisplaySet = ParseDispGenres(io.Str("")); },
         [](const S&, const TKeyIo& io, const auto&) { io.Put(DispGenresText(GenreDisplaySet)); }});
    add({"MP3", "OutputLayerType", [](S& s, const TKeyIo& io, const auto&) {
             // Layers 1..3 (0..2); anything else is the default, layer 3.
             const std::int32_t v = io.Int(2);
             s.UseLayerType.SetItemIndex(v >= 0 && v <= 2 ? v : 2);
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t(s.UseLayerType.ItemIndex())); }});
    // Common: the file list's view, ripping switches.
    add({"Common", "ListViewPattern", nullptr, [](const S&, const TKeyIo& io, const TStoreSources& src) {
             io.Put(ListViewPatternWord(src.Window.LargeIcon));
         }});
    add({"Common", "SortPattern", nullptr, [](const S&, const TKeyIo& io, const TStoreSources& src) {
             io.Put(SortPatternWord(src.Window.SortPattern));
         }});
    add({"Common", "SortDir", nullptr, [](const S&, const TKeyIo& io, const TStoreSources& src) {
             io.Put(SortDirWord(src.Window.SortAscending));
         }});
    add(Check("Common", "ChangeSpin", false, &S::CheckBox2));
    add(Check("Common", "ResetDevice", false, &S::CheckBox7));
    add(Check("Common", "CheckNullArea", false, &S::CheckBox1));
    add(Check("Common", "CheckNullAreaEnd", false, &S::CheckBox1E));
    add(Check("Common", "CheckDiskFreeSpace", true, &S::CheckBox4));
    add(Check("Common", "UseWaveMonitor", false, &S::UseWaveMonitor));
    add(Check("Common", "UseDeEmph", true, &S::UseDeEmph));
    add(Check("MP3", "MP3DeEmph", true, &S::MP3DeEmph));
    // The read methods' flags (the two-pass dummy read is on by default).
    for (std::size_t m = 0; m < 4; ++m)
        for (std::size_t f = 0; f < 3; ++f) {
            const std::size_t i = m * 3 + f;
            const bool def = m == 2 && f == 2;
            add({kReadMethodSections[m], kReadMethodKeys[m][f],
                 [i, def](S& s, const TKeyIo& io, const auto&) { s.ReadMethodFlags[i] = io.Bool(def); },
                 [i](const S& s, const TKeyIo& io, const auto&) { io.Put(bool(s.ReadMethodFlags[i])); }});
        }
    // Filer: erased first, so that no entry of a removed extension stays.
    add(Erase("Filer"));
    add(Window("Filer", "IsDispCDROM", &W::IsDispCDROM));
    add(Check("Filer", "ChangeBootDir", false, &S::BootDirChange));
    add(Window("Filer", "BootDir", &W::BootDir));
    add({"Filer", "AutoRefresh", nullptr,
         [](const S&, const TKeyIo& io, const TStoreSources& src) { io.Put(src.AutoRefresh); }});
    add({"Filer", "DispAllExts", nullptr,
         [](const S&, const TKeyIo& io, const TStoreSources& src) { io.Put(std::int32_t(src.Filter.ShowAll ? 1 : 0)); }});
    add({"Filer", "DispExt", nullptr, [](const S&, const TKeyIo& io, const TStoreSources& src) {
             // DispExt1, DispExt2 ... up to the first empty entry.
             for (int i = 0; i < src.Filter.Count && i < TFilerExtFilter::MaxEntries; ++i) {
                 const std::string& e = src.Filter.Entries[static_cast<std::size_t>(i)];
                 if (e.empty()) break;
                 io.Ini().WriteString("Filer", "DispExt" + std::to_string(i + 1), e);
             }
         }});
    add(Program("Filer", "UsePlayer", &S::UsePlayer));
    add(Program("Filer", "UseEditor", &S::UseEditor));
    // Common: bars, switches, devices and folders.
    add(Window("Common", "DispToolBar", &W::DispToolBar));
    add(Window("Common", "DispPlayPanel", &W::DispPlayPanel));
    add(Check("Common", "IsDispSplash", true, &S::IsDispSplash));
    add(Check("Common", "DigitalPlayZC", false, &S::DigitalPlayZC));
    add(Check("Common", "ReadWait", false, &S::CheckBox10));
    add(Check("Common", "SwapRLChannel", false, &S::CheckBox12));
    add(Check("Common", "BootSpinUp", false, &S::CheckBox13));
    add(Check("Common", "UseMSCDEX", false, &S::CheckBox14));
    add(Check("Common", "UsePoring", false, &S::CheckBox15));
    add(Check("Common", "DispResult", false, &S::CheckBox18));
    add(Check("Common", "DispLevelMeter", true, &S::DispLevelMeter));
    add(Check("Common", "UseMultiThreadWrite", true, &S::UseMultiThreadWrite));
    add(Check("Common", "CheckNullAsReadError", false, &S::ChkNullErr));
    add(Check("Common", "ChangeTrackWait", false, &S::IsTrackWait));
    add(Check("Common", "AutoRefreshTrackList", true, &S::IsAutoRefTrList));
    add({"Common", "UseClassDriver",
         [](S& s, const TKeyIo& io, const auto&) {
             // Absent or empty: the class driver from Windows 2000 on.
             const std::string v = io.Str("");
             s.CheckBox21.Checked = v.empty() ? IsWindowsNT5 : Upper(v) == "YES";
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.CheckBox21.Checked); }});
    add({"Common", "UseWaveDevice", [](S& s, const TKeyIo& io, const auto&) { s.UseWaveDevice = io.Str(""); },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.UseWaveDevice); }});
    add(Spin("Common", "RecordingLevel", 100, &S::RatioEdit));
    add({"Common", "WorkingDir",
         [](S& s, const TKeyIo& io, const TSettingsEnvironment& env) {
             // With one trailing backslash; the current folder when it is gone.
             const std::string cur = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(env.CurrentFolder));
             const std::string w = wx::IncludeTrailingBackslash(wx::StripTrailingBackslash(io.Str(cur)));
             s.WEdit1.Text = Exists(env.DirectoryExists, w) ? w : cur;
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.WEdit1.Text); }});
    add({"Common", "MaxRetry", [](S& s, const TKeyIo& io, const auto&) { s.MaxRetry = io.Int(10); },
         [](const S&, const TKeyIo& io, const auto&) { io.Put(std::int32_t(10)); }});  // always 10
    add({"Common", "WaitTime",
         [](S& s, const TKeyIo& io, const auto&) {
             s.SetWaitTime(io.Int(50));
             s.SpinEdit3.SetValue(s.WaitTime());
         },
         [](const S& s, const TKeyIo& io, const auto&) {
             io.Put(std::int32_t(s.SpinEdit3.Value() < 0 ? 0 : s.SpinEdit3.Value()));
         }});
    // Format texts, the save dialog's folder, the language.
    add(Text("Format", "FormatTag", "", &S::Edit2));
    add(Text("Format", "FormatBody", "", &S::Edit3));
    add(Window("Common", "CurrentPath", &W::CurrentPath));  // read by GetCfg
    add({"Common", "Language",
         // Not applied: the list shows the language the program started in.
         [](S& s, const TKeyIo&, const TSettingsEnvironment& env) { s.LangSelect.SetItemIndex(env.JapaneseMode ? 1 : 0); },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.LangSelect.ItemIndex() == 1 ? "JAPANESE" : "ENGLISH"); }});
    // MP3: encoder and external program.
    // GOGO only while its encoder object exists (see LoadSettings).
    add(Words("MP3", "EncodeType", "Other", {"ACMENC", "OTHER", "GOGO"}, mekACM, &S::SelMP3Enc));
    add({"MP3", "ExtCmdType",
         [](S& s, const TKeyIo& io, const auto&) {
             const std::int32_t t = io.Int(0);
             s.SelL3Cmd.Checked = t == eetL3Enc;
             s.Sel8hzCmd.Checked = t == eet8hz;
             s.SelSCMPXCmd.Checked = t == eetSCMPX;
             s.SelLameStdin.Checked = t == eetLameStdin;
         },
         [](const S& s, const TKeyIo& io, const auto&) {
             const int ext = s.ExtEncoderType();
             io.Put(std::int32_t(ext < 0 ? 3 : ext));
         }});
    add(Text("MP3", "Encoder", "", &S::ProgramEdit));
    add(Check("MP3", "UseOriginalOption", false, &S::UseOriginalOption));
    add(Check("MP3", "UseAdditionalOption", false, &S::AdditionalOption));
    add(Check("MP3", "UseStdin", false, &S::UseStdin));
    add(Text("MP3", "OptionString", "", &S::OptionEdit));
    add(Combo("MP3", "BitRate", "128K", 'K', &S::bitratebox));
    add(Check("MP3", "CRCCheck", false, &S::CRCCheckBox));
    add(Check("MP3", "HighQuality", false, &S::HQCheckBox));
    add(Check("MP3", "VBREncode", false, &S::VBRCheckBox));
    add({"Format", "FormatHeader",
         [](S& s, const TKeyIo& io, const auto&) { s.OutputWaveFormat = ParseFormatHeader(io.Str("")); },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(FormatHeaderText(s.OutputWaveFormat)); }});
    add(Check("MP3", "UseMediaPlayer", true, &S::UseMediaPlayer));
    add(Flag("Format", "MakeMP3File", false, &S::MakeMP3File));
    // MP3: the GOGO encoder's options.
    add(Flag("MP3", "GogoMMX", true, &S::GogoMMX));
    add(Flag("MP3", "Gogo3DNow", false, &S::Gogo3DNow));
    add(Flag("MP3", "GogoExt3DNow", false, &S::GogoExt3DNow));
    add(Flag("MP3", "GogoSSE", false, &S::GogoSSE));
    add(Flag("MP3", "GogoMultiCPU", false, &S::GogoMultiCPU));
    add(Flag("MP3", "GogoLPF", true, &S::GogoLPF));
    add(Flag("MP3", "GogoPsy", false, &S::GogoPsy));
    add({"MP3", "GogoVBRLevel",
         [](S& s, const TKeyIo& io, const auto&) {
             s.GogoVBRLevel = io.Ranged(4, 0, 9);
             s.VBRLevel.SetValue(s.GogoVBRLevel);
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.GogoVBRLevel); }});
    add(Ranged("MP3", "GogoPriority", -2, -2, 2, &S::GogoPriority));
    add(Words("MP3", "GogoChannel", "JSTEREO", {"STEREO", "JSTEREO", "MSSTEREO", "MONORAL"}, gcJointStereo,
              &S::GogoChannel));
    add(Flag("MP3", "GogoAdvFilter", false, &S::GogoAdvFilter));
    add(Flag("MP3", "GogoAdvVBRSet", false, &S::GogoAdvVBRSet));
    add(Flag("MP3", "GogoAdvJSSet", false, &S::GogoAdvJSSet));
    add(Flag("MP3", "GogoForceSameFreq", false, &S::GogoForceSameFreq));
    add(GogoVbr("GogoMaxVBR", "128K", 8, &S::GogoMaxVBR));
    add(GogoVbr("GogoMinVBR", "112K", 7, &S::GogoMinVBR));
    add(Ranged("MP3", "GogoMinFilter", 55, 0, 100, &S::GogoMinFilter));
    add(Ranged("MP3", "GogoHighFilter", 70, 0, 100, &S::GogoHighFilter));
    add(Ranged("MP3", "GogoMSThs", 75, 0, 100, &S::GogoMSThs));
    add(Ranged("MP3", "GogoBitrateDiff", 0, 0, 100, &S::GogoBitrateDiff));
    add(Words("MP3", "GogoFormatType", "MP3", {"MP3", "WAVE", "RMP"}, gftMP3, &S::GogoFormatType));
    // Output method, WMA and TwinVQ, the standard compression method.
    add(Words("Format", "OutputType", "WAVE", {"WAVE", "WMT", "MP3", "VQF"}, omWave, &S::SelOutputMethod));
    add(Combo("WMT", "BitRate", "128K", 'K', &S::WMTBitrate));
    add(Combo("WMT", "SamplingRate", "44100HZ", 'H', &S::WMTSamplingRate));
    add({"WMT", "Channel",
         [](S& s, const TKeyIo& io, const auto&) {
             s.WMTStereoSel.Checked = Upper(io.Str("Stereo")) == "STEREO";
             s.WMTMonoSel.Checked = !s.WMTStereoSel.Checked;
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.WMTStereoSel.Checked ? "Stereo" : "Monoral"); }});
    add(Words("Common", "DefEncode", "MP3", {"WMT", "MP3", "VQF"}, semMP3, &S::SelStdEncode));
    add(Combo("VQF", "BitRate", "96K", 'K', &S::VQFBitRate));
    add(Combo("VQF", "Quality", "16", 0, &S::VQFQuality));
    // Normalize: the four normalizer settings and the switch of the rip.
    add(Ranged("Normalize", "Method", 0, 0, 1, &NormalizeMethod));
    add(Ranged("Normalize", "Level", 10000, 0, 10000, &NormalizeLevel));
    add(Flag("Normalize", "AllowPeakOver", false, &NormalizeAllowPeakOver));
    add(Flag("Normalize", "FixPeakOver", false, &NormalizeFixPeakOver));
    add(Check("Normalize", "Execute", false, &S::ExecNormalize));
    // ID3TAG: name templates, the album folder, CDDB switches.
    add(Index("ID3TAG", "FoldernameSelect", 1, 0, 3, &S::FolderNameSelect));
    add({"ID3TAG", "FilenameSelect",
         [](S& s, const TKeyIo& io, const auto&) {
             TCustomIniFile& ini = io.Ini();
             if (ini.ValueExists("MP3", "IsWithTrackNumer")) {
                 // The old key chose between the first two presets; it is dropped.
                 s.FileNameSelect.SetItemIndex(Upper(ini.ReadString("MP3", "IsWithTrackNumer", "")) == "YES" ? 2 : 1);
                 ini.DeleteKey("MP3", "IsWithTrackNumer");
             } else {
                 s.FileNameSelect.SetItemIndex(io.Ranged(1, 0, 3));
             }
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(std::int32_t(s.FileNameSelect.ItemIndex())); }});
    add(Text("ID3TAG", "FilenameEdit", "%.02N_%T", &S::FilenameEdit));
    add(Text("ID3TAG", "FoldernameEdit", "%R", &S::FoldernameEdit));
    add({"ID3TAG", "ID3TagAlbumDir",
         [](S& s, const TKeyIo& io, const TSettingsEnvironment& env) {
             const std::string def = AlbumDirDefault(env.ProgramFolder);
             const std::string d = io.Str(def);
             s.CurrentDirEdit.Text = Exists(env.DirectoryExists, d) ? d : def;
         },
         [](const S& s, const TKeyIo& io, const auto&) { io.Put(s.CurrentDirEdit.Text); }});
    add(Check("ID3TAG", "ID3TagFilenameSet", true, &S::CDDBFilenameset));
    add(Check("ID3TAG", "ID3TagCreateFolder", false, &S::CDDBCreateFolder));
    add(Check("ID3TAG", "RefreshWithCDDB", false, &S::RefreshWithCDDB));
    add(Check("ID3TAG", "CDDBafterAllSel", false, &S::CDDBafterAllsel));
    // The tag kind chosen in the dialog is kept across runs as well.
    add({"ID3TAG", "ID3TagWriteMode", [](S& s, const TKeyIo& io, const auto&) { s.ID3TagType.SetItemIndex(io.Ranged(2, 0, 2)); },
         [](const S& s, const TKeyIo& io, const auto&) {
             io.Put(std::int32_t(s.ID3TagType.ItemIndex() >= 0 ? s.ID3TagType.ItemIndex() : 2));
         }});
    add(Check("CDDB", "AutoCDDBConnect", false, &S::AutoCDDBConnect));
    // Pellora: only read.
    add(ReadOnly(Check("Pellora", "UseSendStatus", false, &S::IsSendPellora)));
    add(ReadOnly(Text("Pellora", "IPAddress", "127.0.0.1", &S::PelloraIPAddress)));
    add({"Pellora", "Port",
         [](S& s, const TKeyIo& io, const auto&) {
             const std::int32_t port = io.Int(11000);
             s.PelloraPort.Text = std::to_string(port <= 0 ? 11000 : port);
         },
         nullptr});
    return k;
}

const std::vector<TSettingKey>& SettingKeys() {
    static const std::vector<TSettingKey> keys = MakeSettingKeys();
    return keys;
}

}  // namespace

// ---------------------------------------------------------------------------
// Loading

void LoadSettings(TConfigStore& s, TCustomIniFile& ini, const TSettingsEnvironment& env) {
    // ReadBlock comes in against the full range; MSCDEX narrows it below.
    s.SpinEdit1.SetRange(1, 50);
    for (const TSettingKey& k : SettingKeys())
        if (k.Load) k.Load(s, TKeyIo(ini, k.Section, k.Key), env);

    // MSCDEX only on Windows 9x, where it lowers the ReadBlock maximum to 18.
    const bool win9x = !IsWindowsNT;
    s.CheckBox14.Enabled = win9x;
    s.SpinEdit1.SetRange(1, (win9x && s.CheckBox14.CheckedAndEnabled()) ? 18 : 50);
    // The GOGO encoder only while its object exists; the options the
    // processor lacks are switched off.
    if (!env.GogoAvailable && s.SelMP3Enc.ItemIndex() == mekGogo) s.SelMP3Enc.SetItemIndex(mekACM);
    if (env.GogoAvailable) {
        const std::uint32_t u = env.GogoUnitStates;
        if (!(u & 0x02)) s.GogoMMX = false;
        if (!(u & 0x04)) s.Gogo3DNow = false;
        if (!(u & 0x20)) s.GogoExt3DNow = false;
        if (!(u & 0x08) || IsWindows95) s.GogoSSE = false;
    }
    // The name edits are enabled by their presets.
    s.FileNameSelectChange();
    s.FolderNameSelectChange();
    s.ShowReadMethodFlags();

    // The user's genre names (the placeholder text is no name).
    for (int n = 0; n < GenreCount; ++n) {
        const std::string placeholder = UndefinedGenreText(n);
        const std::string v = ini.ReadString("Genre", "FG" + std::to_string(n), placeholder);
        if (v != placeholder) UserGenreNames[static_cast<std::size_t>(n)] = v;
    }
}

// ---------------------------------------------------------------------------
// Storing

bool StoreSettings(const TConfigStore& s, TCustomIniFile& ini, const TMainWindowKeys& w,
                   const TFilerExtFilter& filter, bool autoRefresh) {
    const TStoreSources sources{w, filter, autoRefresh};
    for (const TSettingKey& k : SettingKeys()) {
        if (!k.Key) ini.EraseSection(k.Section);
        else if (k.Store) k.Store(s, TKeyIo(ini, k.Section, k.Key), sources);
    }
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
