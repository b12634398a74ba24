#include "settings/configstore.h"

#include <cstring>

#include "classlib/sjis.h"
#include "settings/nametemplate.h"

TConfigStore* ConfigForm = nullptr;

bool UseAspi = true;
bool IsWindows95 = false;
bool IsWindowsNT = true;
bool IsWindowsNT5 = true;

std::int32_t NormalizeMethod = nmPeakLevel;
std::int32_t NormalizeLevel = 10000;
bool NormalizeAllowPeakOver = false;
bool NormalizeFixPeakOver = false;

TRipCacheBuffer RipCacheBuffer;
std::uint64_t TotalPhysicalMemory = 0;
std::uint64_t AvailablePhysicalMemory = 0;

namespace {

// Item texts of the controls, as the built-in (Japanese) resources have
// them; the settings dialog puts those of the language in effect in their
// place.  Compiled to code page 932.
void FillReadMethods(TComboBinding& c) {
    for (const char* s : {"通常読み出し", "フレーム間補正読み出し", "２パスフレーム間補正読み出し", "高速バースト読み出し"})
        c.Items.Add(s);
}

void FillReadCommands(TComboBinding& c) {
    for (const char* s : {"SONY READ-CDDA Mode0コマンド", "SONY READ-CDDA Mode2コマンド", "TOSHIBA拡張読み出しコマンド",
                          "PIONEER最適化読み出しコマンド", "PLEXTOR最適化読み出しコマンド",
                          "RICOHデータ変換読み出しコマンド", "NECドライブ専用読み出しコマンド",
                          "設定変換拡張読み出しコマンド(Extention Read)", "SCSI-3 X3T10標準読み出しコマンド",
                          "ATAPI CD-ROM読み出しコマンド"})
        c.Items.Add(s);
}

void FillFileNameSelect(TComboBinding& c) {
    for (const char* s : {"手動設定", "[タイトル]　{ %T }", "[トラック番号].[タイトル] { %.02N.%T }",
                          "[トラック番号].[アーティスト].[アルバム].[タイトル]  { %.02N.%R.%L.%T }"})
        c.Items.Add(s);
}

void FillFolderNameSelect(TComboBinding& c) {
    for (const char* s : {"手動設定", "[アルバム名] { %L }", "[ジャンル]\\[アルバム名]　{ %G\\%L }",
                          "[ジャンル]\\[アーティスト名]_[アルバム名] { %G\\%R_%L }"})
        c.Items.Add(s);
}

void FillBitrateBox(TComboBinding& c) {
    for (int kbit : {8, 16, 24, 32, 56, 64, 96, 112, 128, 160, 192, 256, 320})
        c.Items.Add(std::to_string(kbit) + "Kbit/sec");
}

template <std::size_t N>
int TableEntry(const int (&table)[N], int index, int defaultIndex) {
    return (index >= 0 && index < static_cast<int>(N)) ? table[index] : table[defaultIndex];
}

}  // namespace

TConfigStore::TConfigStore() {
    FillReadCommands(ComboBox1);
    ComboBox1.SetItemIndex(rcPlextor);
    FillReadMethods(SelReadMethod);
    SelReadMethod.SetItemIndex(rmNormalRead);
    CheckBox21.Checked = IsWindowsNT5;
    CheckBox7.Visible = false;
    CheckBox7.Enabled = false;
    CheckBox4.Checked = true;
    WEdit1.ReadOnly = true;
    DispLevelMeter.Checked = true;
    UseDeEmph.Checked = true;
    UseMultiThreadWrite.Checked = true;

    Edit2.ReadOnly = Edit3.ReadOnly = true;
    WMTStereoSel.Checked = true;
    for (int hz : WmaSampleRateTable) WMTSamplingRate.Items.Add(std::to_string(hz) + "Hz");
    WMTSamplingRate.SetItemIndex(0);                       // 44100Hz
    for (int bps : WmaBitrateTable) WMTBitrate.Items.Add(std::to_string(bps / 1000) + "Kbps");
    WMTBitrate.SetItemIndex(1);                            // 128Kbps
    for (int kbit : VqfBitrateTable) VQFBitRate.Items.Add(std::to_string(kbit) + "Kbps");
    VQFBitRate.SetItemIndex(0);                            // 96Kbps
    for (int q : VqfQualityTable) VQFQuality.Items.Add(std::to_string(q));
    VQFQuality.SetItemIndex(1);                            // 16

    for (const char* s : {"MPEG Layer-1", "MPEG Layer-2", "MPEG Layer-3"}) UseLayerType.Items.Add(s);
    UseLayerType.SetItemIndex(2);
    FillBitrateBox(bitratebox);
    bitratebox.SetItemIndex(8);                            // 128Kbit/sec
    SelL3Cmd.Checked = true;
    OptionEdit.MaxLength = 128;
    MP3DeEmph.Checked = true;

    FillFileNameSelect(FileNameSelect);
    FileNameSelect.SetItemIndex(1);
    FillFolderNameSelect(FolderNameSelect);
    FolderNameSelect.SetItemIndex(1);
    CDDBFilenameset.Checked = true;
    FileNameSelectChange();
    FolderNameSelectChange();

    UseMediaPlayer.Checked = true;
    IsDispSplash.Checked = true;
    IsSendPellora.Visible = IsSendPellora.Enabled = false;
    PelloraIPAddress.Visible = PelloraIPAddress.Enabled = false;
    PelloraPort.Visible = PelloraPort.Enabled = false;
    IsAutoRefTrList.Checked = true;
    LangSelect.Enabled = false;

    ReadMethodFlags[rm2PassZitterRead * 3 + 2] = true;  // ExecDummyRead
    ShowReadMethodFlags();

    // WAVE_FORMAT_PCM, 2 channels, 44100 Hz, 176400 bytes/s, align 4, 16 bits, cbSize 0.
    const std::uint8_t pcm[18] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10,
                                  0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00};
    std::memcpy(DefaultPcmFormat.data(), pcm, sizeof pcm);
    OutputWaveFormat = DefaultPcmFormat;
    WaveDeviceNames.Add("WAVE MAPPER");
}

int TConfigStore::GetWMTBitrate() const { return TableEntry(WmaBitrateTable, WMTBitrate.ItemIndex(), 1); }
int TConfigStore::GetWMTSamplingrate() const {
    return TableEntry(WmaSampleRateTable, WMTSamplingRate.ItemIndex(), 0);
}
int TConfigStore::GetVQFBitrate() const { return TableEntry(VqfBitrateTable, VQFBitRate.ItemIndex(), 0); }
int TConfigStore::GetVQFQuality() const { return TableEntry(VqfQualityTable, VQFQuality.ItemIndex(), 1); }
int TConfigStore::GogoBitrate(int index, int defaultIndex) { return TableEntry(GogoBitrateTable, index, defaultIndex); }

bool TConfigStore::IsUseWAVE() const { return SelOutputMethod.ItemIndex() == omWave; }
bool TConfigStore::IsUseWMT() const { return SelOutputMethod.ItemIndex() == omWMA; }
bool TConfigStore::IsUseMP3() const { return SelOutputMethod.ItemIndex() == omMP3; }
bool TConfigStore::IsUseVQF() const { return SelOutputMethod.ItemIndex() == omTwinVQ; }

bool TConfigStore::IsUseStdin() const {
    return IsUseMP3() && SelMP3Enc.ItemIndex() == mekExternal &&
           (UseStdin.Checked || (SelLameStdin.Checked && !UseOriginalOption.Checked));
}
bool TConfigStore::IsUseACMMP3() const {
    return IsUseMP3() && (SelMP3Enc.ItemIndex() == mekACM || IsUseStdin());
}
bool TConfigStore::IsUseL3Enc() const {
    return IsUseMP3() && SelMP3Enc.ItemIndex() == mekExternal && !IsUseStdin();
}
bool TConfigStore::IsUseGogoDLL() const { return IsUseMP3() && SelMP3Enc.ItemIndex() == mekGogo; }
bool TConfigStore::IsUseGogoMP3() const { return IsUseGogoDLL() && GogoFormatType == gftMP3; }
bool TConfigStore::IsUseGogoWAVE() const { return IsUseGogoDLL() && GogoFormatType == gftRiffWave; }
bool TConfigStore::IsUseGogoRMP() const { return IsUseGogoDLL() && GogoFormatType == gftRiffMP3; }

int TConfigStore::ExtEncoderType() const {
    if (SelL3Cmd.Checked) return eetL3Enc;
    if (Sel8hzCmd.Checked) return eet8hz;
    if (SelSCMPXCmd.Checked) return eetSCMPX;
    if (SelLameStdin.Checked) return eetLameStdin;
    return -1;
}

TReadMethod TConfigStore::ReadMethod() const {
    const int r = SelReadMethod.ItemIndex();
    return r < 0 ? rmNormalRead : static_cast<TReadMethod>(r);
}
bool TConfigStore::GetModeOf1passZitterCheck() const { return ReadMethod() == rm1PassZitterRead; }
bool TConfigStore::GetModeOf2passZitterCheck() const { return ReadMethod() == rm2PassZitterRead; }
bool TConfigStore::GetModeOfHispeedBurstRead() const { return ReadMethod() == rmHispeedBurstRead; }
bool TConfigStore::GetModeOfVerifyCheck() const { return ReadMethodFlags[ReadMethod() * 3]; }
bool TConfigStore::GetModeOfSeekCheck() const {
    return ReadMethod() != rmHispeedBurstRead && ReadMethodFlags[ReadMethod() * 3 + 1];
}
bool TConfigStore::GetModeOfWriteCache() const {
    return (ReadMethod() == rmNormalRead || ReadMethod() == rm1PassZitterRead) && ReadMethodFlags[ReadMethod() * 3 + 2];
}
bool TConfigStore::GetModeOfDummyRead() const { return ReadMethod() == rm2PassZitterRead && ReadMethodFlags[8]; }
bool TConfigStore::GetModeOfBurstErrorCorrect() const {
    return ReadMethod() == rmHispeedBurstRead && ReadMethodFlags[10];
}
bool TConfigStore::GetModeOfBurstErrorNoWrite() const {
    return ReadMethod() == rmHispeedBurstRead && ReadMethodFlags[11];
}

void TConfigStore::ShowReadMethodFlags() {
    const int r = ReadMethod();
    ReadMethod1.Checked = ReadMethodFlags[r * 3];
    ReadMethod2.Checked = ReadMethodFlags[r * 3 + 1];
    ReadMethod3.Checked = ReadMethodFlags[r * 3 + 2];
}

void TConfigStore::TakeReadMethodFlags() {
    const int r = ReadMethod();
    ReadMethodFlags[r * 3] = ReadMethod1.Checked;
    ReadMethodFlags[r * 3 + 1] = ReadMethod2.Checked;
    ReadMethodFlags[r * 3 + 2] = ReadMethod3.Checked;
}

std::string TConfigStore::FileNameTemplate() const {
    const int i = FileNameSelect.ItemIndex();
    return (i >= 1 && i <= 3) ? FileNamePresets[i] : FilenameEdit.Text;
}

std::string TConfigStore::FolderNameTemplate() const {
    const int i = FolderNameSelect.ItemIndex();
    return (i >= 1 && i <= 3) ? FolderNamePresets[i] : FoldernameEdit.Text;
}

void TConfigStore::GetCurrentFilename(int trackNo, const std::string& title, const std::string& artist,
                                      const std::string& album, const std::string& genre, std::string& fileName,
                                      bool& error) const {
    error = !ExpandFileNameTemplate(FileNameTemplate(), trackNo, title, artist, album, genre, fileName);
}

void TConfigStore::GetCurrentFolfername(const std::string& artist, const std::string& album,
                                        const std::string& genre, std::string& folderName, bool& error) const {
    error = !ExpandFolderNameTemplate(FolderNameTemplate(), artist, album, genre, JapaneseMode(), folderName);
}

void TConfigStore::FileNameSelectChange() { FilenameEdit.Enabled = FileNameSelect.ItemIndex() == 0; }
void TConfigStore::FolderNameSelectChange() { FoldernameEdit.Enabled = FolderNameSelect.ItemIndex() == 0; }

std::string TConfigStore::CheckDirMark(const std::string& path) { return wx::StripTrailingBackslash(path); }

const TDeviceEntry* TConfigStore::SelectedDevice() const {
    const int i = ComboBox2.ItemIndex();
    if (DeviceCount <= 0 || DeviceCount > MaxDeviceEntries) return nullptr;
    return &Devices[static_cast<std::size_t>((i >= 0 && i < DeviceCount) ? i : 0)];
}

TDeviceEntry* TConfigStore::SelectedDevice() {
    return const_cast<TDeviceEntry*>(static_cast<const TConfigStore*>(this)->SelectedDevice());
}

void TConfigStore::ShowSelectedReadCommand() {
    if (const TDeviceEntry* e = SelectedDevice()) ComboBox1.SetItemIndex(EffectiveReadCommand(e->DriveMaker));
}

void TConfigStore::SelectReadCommand(int kind) {
    ComboBox1.SetItemIndex(kind);
    if (TDeviceEntry* e = SelectedDevice(); e && ComboBox1.ItemIndex() >= 0)
        e->DriveMaker = static_cast<std::uint8_t>(ComboBox1.ItemIndex());
}

std::uint32_t RipCacheSizeFor(std::uint64_t availablePhysical, int memoryUseRatio) {
    const int ratio = memoryUseRatio < 5 ? 5 : (memoryUseRatio > 95 ? 95 : memoryUseRatio);
    // availablePhysical / 100 * ratio keeps the product inside 64 bits for
    // any memory size; the remainder is added back exactly.
    const std::uint64_t size = availablePhysical / 100 * static_cast<std::uint64_t>(ratio) +
                               availablePhysical % 100 * static_cast<std::uint64_t>(ratio) / 100;
    return static_cast<std::uint32_t>(size > MaxRipCacheBytes ? MaxRipCacheBytes : size);
}

std::string KBytesText(std::uint64_t bytes) { return std::to_string(bytes / 1024) + " KBytes"; }

std::string ComboStoredValue(const TComboBinding& combo, char cutAfter) {
    std::string v = wx::SjisUpperCase(combo.Text());
    if (cutAfter != 0) {
        const std::size_t p = v.find(cutAfter);
        if (p != std::string::npos && p + 2 < v.size()) v.resize(p + 2);
    }
    return v;
}

void SelectComboByStoredValue(TComboBinding& combo, const std::string& value, char cutAfter) {
    if (value.empty()) return;
    TComboBinding probe = combo;
    for (std::size_t i = 0; i < combo.Items.Count(); ++i) {
        probe.SetItemIndex(static_cast<int>(i));
        if (ComboStoredValue(probe, cutAfter) == value) {
            combo.SetItemIndex(static_cast<int>(i));
            return;
        }
    }
    for (std::size_t i = 0; i < combo.Items.Count(); ++i) {
        if (wx::SjisUpperCase(combo.Items[i]).find(value) != std::string::npos) {
            combo.SetItemIndex(static_cast<int>(i));
            return;
        }
    }
}
