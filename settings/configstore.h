// The settings store: every setting of the run, held in the bindings named
// after the settings dialog's controls, plus the private fields behind
// them, the device table and the queries.  Portable: no <windows.h>.
//
// There is one store for the whole run, reached through ConfigForm; all
// reads and writes happen on the user-interface thread (worker threads get
// copies in their request records).  The settings dialog shows and edits
// this object; the settings file fills it at start and receives it at exit.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "classlib/stringlist.h"
#include "settings/bindings.h"
#include "settings/configtypes.h"

class TConfigStore {
public:
    TConfigStore();
    virtual ~TConfigStore() = default;
    TConfigStore(const TConfigStore&) = default;
    TConfigStore& operator=(const TConfigStore&) = default;

    // ---- Page 1 "CD-ROMドライブ" ---------------------------------------
    TComboBinding ComboBox2;   // UseCDROM: selected drive, items = device texts
    TComboBinding ComboBox1;   // DriveMaker of the selected drive: TReadCommandKind 0..9
    TCheckBinding CheckBox14;  // UseMSCDEX (Windows 9x only)
    TCheckBinding CheckBox2;   // ChangeSpin: set the drive speed; enables SpinEdit2
    TSpinBinding SpinEdit2{0, 255, 0};   // SpinMultiple
    TSpinBinding SpinEdit1{1, 50, 10};   // ReadBlock: sectors per read
    TCheckBinding CheckBox10;  // ReadWait; enables SpinEdit3
    TSpinBinding SpinEdit3{0, 0, 50};    // WaitTime as edited (no range)
    TCheckBinding CheckBox21;  // UseClassDriver

    // ---- Page 2 "取り込み" ----------------------------------------------
    TSpinBinding RatioEdit{1, 200, 100};  // RecordingLevel (%)
    TCheckBinding CheckBox7;   // ResetDevice (hidden, disabled)
    TCheckBinding CheckBox1;   // CheckNullArea
    TCheckBinding CheckBox1E;  // CheckNullAreaEnd
    TCheckBinding CheckBox12;  // SwapRLChannel
    TCheckBinding CheckBox13;  // BootSpinUp
    TCheckBinding CheckBox4;   // CheckDiskFreeSpace
    TCheckBinding CheckBox18;  // DispResult
    TTrackBarBinding CustomTrackBar1{-2, 2, 0};  // SubThreadPriority
    TCheckBinding CheckBox15;  // UsePoring: poll for command completion
    TEditBinding WEdit1;       // WorkingDir (read-only, ends with a backslash)
    TSpinBinding MemUseRatio{5, 95, 50};  // MemoryUseRatio
    TComboBinding SelReadMethod;          // SelectReadMode: TReadMethod
    TCheckBinding ReadMethod1, ReadMethod2, ReadMethod3;  // flags of the selected method
    TCheckBinding DispLevelMeter;
    TCheckBinding ExecNormalize;          // Normalize/Execute
    TCheckBinding UseDeEmph;
    TCheckBinding UseWaveMonitor;
    TCheckBinding UseMultiThreadWrite;
    TCheckBinding ChkNullErr;             // CheckNullAsReadError
    TCheckBinding IsTrackWait;            // ChangeTrackWait

    // ---- Page 3 "出力ファイル" --------------------------------------------
    TEditBinding Edit2;                   // Format/FormatTag (read-only)
    TEditBinding Edit3;                   // Format/FormatBody (read-only)
    TRadioGroupBinding SelOutputMethod{4, omWave};  // TOutputMethod
    TCheckBinding WMTMonoSel, WMTStereoSel;         // WMT/Channel (radio buttons)
    TComboBinding WMTSamplingRate;        // WmaSampleRateTable
    TComboBinding WMTBitrate;             // WmaBitrateTable
    TComboBinding VQFBitRate;             // VqfBitrateTable
    TComboBinding VQFQuality;             // VqfQualityTable
    TRadioGroupBinding SelStdEncode{3, semMP3};     // TStdEncodeMethod

    // ---- Page 4 "ＭＰ３圧縮" ---------------------------------------------
    TRadioGroupBinding SelMP3Enc{3, mekExternal};   // TMP3EncoderKind
    TCheckBinding CRCCheckBox, HQCheckBox, VBRCheckBox;
    TComboBinding UseLayerType;           // MPEG layer 1..3
    TComboBinding bitratebox;             // MP3 bitrate, 13 items
    TCheckBinding SelL3Cmd, Sel8hzCmd, SelSCMPXCmd, SelLameStdin;  // TExtEncoderType by Tag
    TEditBinding ProgramEdit;             // MP3/Encoder
    TCheckBinding UseOriginalOption;
    TCheckBinding AdditionalOption;       // MP3/UseAdditionalOption
    TEditBinding OptionEdit;              // MP3/OptionString, at most 128 characters typed
    TCheckBinding UseStdin;
    TCheckBinding MP3DeEmph;
    TSpinBinding VBRLevel{0, 9, 4};       // mirrors GogoVBRLevel

    // ---- Page 5 "ID3タグ設定" --------------------------------------------
    TRadioGroupBinding ID3TagType{3, tmBoth};  // TID3TagWriteMode
    TComboBinding FileNameSelect;         // 0 manual, 1..3 FileNamePresets
    TEditBinding FilenameEdit{"%.02N_%T"};
    TComboBinding FolderNameSelect;       // 0 manual, 1..3 FolderNamePresets
    TEditBinding FoldernameEdit{"%R"};
    TEditBinding CurrentDirEdit;          // ID3TAG/ID3TagAlbumDir
    TCheckBinding AutoCDDBConnect;        // CDDB/AutoCDDBConnect
    TCheckBinding CDDBFilenameset;        // ID3TAG/ID3TagFilenameSet
    TCheckBinding CDDBCreateFolder;       // ID3TAG/ID3TagCreateFolder
    TCheckBinding RefreshWithCDDB;
    TCheckBinding CDDBafterAllsel;        // ID3TAG/CDDBafterAllSel

    // ---- Page 6 "その他" --------------------------------------------------
    TCheckBinding RestrictExt;            // Filer/DispAllExts inverted
    TComboBinding ExtList;                // the registered extensions
    TCheckBinding AutoRefresh;
    TCheckBinding BootDirChange;          // Filer/ChangeBootDir
    TEditBinding UsePlayer, UseEditor;    // Filer/UsePlayer, Filer/UseEditor
    TCheckBinding UseMediaPlayer;         // MP3/UseMediaPlayer
    TCheckBinding DigitalPlayZC;
    TTrackBarBinding PreReadWaveSize{1, 5, 3};  // PrefetchSize (seconds)
    TComboBinding ComboBox3;              // wave-out device (WaveDeviceNames)
    TCheckBinding NoDispCDROM;            // Filer/IsDispCDROM inverted
    TCheckBinding IsDispSplash;
    TCheckBinding IsSendPellora;          // Pellora/UseSendStatus (hidden, disabled)
    TEditBinding PelloraIPAddress{"127.0.0.1"};
    TEditBinding PelloraPort{"11000"};    // number edit, shown as text
    TCheckBinding IsAutoRefTrList;        // AutoRefreshTrackList
    TRadioGroupBinding LangSelect{2, 1};  // 0 English, 1 Japanese (disabled)

    // ---- Private fields -------------------------------------------------
    std::int32_t DeviceCount = 0;                 // used entries of Devices, 0..30
    std::array<TDeviceEntry, MaxDeviceEntries> Devices{};
    std::string UseWaveDevice;                    // the wave-out device's name as saved
    std::int32_t WaveDeviceIndex = 0;             // 0 wave mapper, k device k-1
    wx::TStringList WaveDeviceNames;              // "WAVE MAPPER", then each device
    std::array<std::uint8_t, 256> OutputWaveFormat{};  // WAVEFORMATEX of the ACM output
    bool MakeMP3File = false;
    std::array<std::uint8_t, 256> DefaultPcmFormat{};  // PCM 44100 Hz 16-bit stereo
    std::int32_t MaxRetry = 10;
    std::array<bool, 12> ReadMethodFlags{};       // method * 3 + k
    // GOGO options.
    bool GogoMMX = true, Gogo3DNow = false, GogoExt3DNow = false, GogoSSE = false;
    bool GogoMultiCPU = false, GogoLPF = true, GogoPsy = false;
    std::int32_t GogoVBRLevel = 4;                // 0..9
    std::int32_t GogoPriority = -2;               // -2..2
    std::int32_t GogoChannel = gcJointStereo;     // TGogoChannel
    bool GogoAdvFilter = false, GogoAdvVBRSet = false, GogoAdvJSSet = false;
    std::int32_t GogoMaxVBR = 8;                  // index into GogoBitrateTable (128)
    std::int32_t GogoMinVBR = 7;                  // (112)
    std::int32_t GogoMinFilter = 55, GogoHighFilter = 70, GogoMSThs = 75, GogoBitrateDiff = 0;  // 0..100
    std::uint8_t GogoFormatType = gftMP3;         // TGogoFormatType
    bool GogoForceSameFreq = false;
    bool AutoCDDBConnectApplied = false;          // AutoCDDBConnect as of the last apply

    // Wait between reads in ms for the rip request.  A negative value is
    // stored as 0: it would otherwise reach the sleep as "infinite".
    std::int32_t WaitTime() const { return waitTime_; }
    void SetWaitTime(std::int32_t ms) { waitTime_ = ms < 0 ? 0 : ms; }

    // ---- Value getters ---------------------------------------------------
    // The table entry at the control's item index; without a selection the
    // entry of the setting's default.
    int GetWMTBitrate() const;      // bit/s
    int GetWMTSamplingrate() const; // Hz
    int GetVQFBitrate() const;      // kbit/s
    int GetVQFQuality() const;
    // GogoBitrateTable entry of a GOGO VBR index (out of range: the default's).
    static int GogoBitrate(int index, int defaultIndex);

    // ---- Output queries (the main window forwards to these) --------------
    bool IsUseWAVE() const;
    bool IsUseWMT() const;
    bool IsUseMP3() const;
    bool IsUseVQF() const;
    bool IsUseStdin() const;
    bool IsUseACMMP3() const;
    bool IsUseL3Enc() const;
    bool IsUseGogoDLL() const;
    bool IsUseGogoMP3() const;
    bool IsUseGogoWAVE() const;
    bool IsUseGogoRMP() const;
    // The checked external-encoder style; -1 when none is checked.
    int ExtEncoderType() const;

    // ---- Read-method queries ----------------------------------------------
    // The selected read method; normal read when nothing is selected.
    TReadMethod ReadMethod() const;
    bool GetModeOf1passZitterCheck() const;
    bool GetModeOf2passZitterCheck() const;
    bool GetModeOfHispeedBurstRead() const;
    bool GetModeOfVerifyCheck() const;
    bool GetModeOfSeekCheck() const;
    bool GetModeOfWriteCache() const;
    bool GetModeOfDummyRead() const;
    bool GetModeOfBurstErrorCorrect() const;
    bool GetModeOfBurstErrorNoWrite() const;
    // ReadMethod1..3 show the flags of the selected method; these copy
    // between the check boxes and ReadMethodFlags.
    void ShowReadMethodFlags();
    void TakeReadMethodFlags();

    // ---- Name templates -----------------------------------------------------
    // The chosen templates (manual text or preset).
    std::string FileNameTemplate() const;
    std::string FolderNameTemplate() const;
    // Error is true for a bad template code; FileName is then not assigned.
    void GetCurrentFilename(int trackNo, const std::string& title, const std::string& artist,
                            const std::string& album, const std::string& genre, std::string& fileName,
                            bool& error) const;
    // (The name is spelled as the rest of the program knows it.)
    void GetCurrentFolfername(const std::string& artist, const std::string& album, const std::string& genre,
                              std::string& folderName, bool& error) const;
    // The manual edits are enabled only while their combo selects item 0.
    void FileNameSelectChange();
    void FolderNameSelectChange();
    // The path without one trailing backslash (a trail byte 0x5C of a
    // double-byte character is not one).
    static std::string CheckDirMark(const std::string& path);
    // Japanese forms of replaced file-name characters (the language in effect).
    bool JapaneseMode() const { return LangSelect.ItemIndex() == 1; }

    // The selected drive's entry, or null when the table is empty.
    const TDeviceEntry* SelectedDevice() const;
    TDeviceEntry* SelectedDevice();
    // ComboBox1 shows the selected drive's read command (unknown make as
    // PLEXTOR).  The entry is the one place the command is kept.
    void ShowSelectedReadCommand();
    // A read command chosen for the selected drive: shown in ComboBox1 and
    // written to the drive's entry.
    void SelectReadCommand(int kind);

private:
    std::int32_t waitTime_ = 50;
};

// The store of the run (set at start-up).
extern TConfigStore* ConfigForm;

// ---- Shared globals of the settings subsystem ---------------------------
extern bool UseAspi;        // drives through ASPI, not the NT class driver
extern bool IsWindows95;    // Windows 95 proper (forces GogoSSE off)
extern bool IsWindowsNT;    // NT platform
extern bool IsWindowsNT5;   // NT 5.0 or later (class driver by default)

// Normalization settings.
extern std::int32_t NormalizeMethod;   // TNormalizeMethod 0..1
extern std::int32_t NormalizeLevel;    // 0..10000
extern bool NormalizeAllowPeakOver;
extern bool NormalizeFixPeakOver;

// The rip memory block and the memory figures taken when it was reserved.
struct TRipCacheBuffer {
    void* Handle = nullptr;
    void* Address = nullptr;
    std::uint32_t Size = 0;
};
extern TRipCacheBuffer RipCacheBuffer;
extern std::uint64_t TotalPhysicalMemory;
extern std::uint64_t AvailablePhysicalMemory;

// Size of the rip memory block: available physical memory times the ratio
// (clamped to 5..95) in percent, capped at MaxRipCacheBytes.  The product
// and the cap are taken in 64 bits, so memory above 4 GiB can never wrap
// to a small block.
std::uint32_t RipCacheSizeFor(std::uint64_t availablePhysical, int memoryUseRatio);
// "<n> KBytes" for a byte count (the dialog's memory labels).
std::string KBytesText(std::uint64_t bytes);

// ---- Combo values in the settings file ------------------------------------
// The selected item as stored: upper-cased and, when cutAfter is not 0, cut
// one character after its first cutAfter ("128Kbit/sec" -> "128KB" with 'K',
// "44100Hz" -> "44100HZ" with 'H').  Empty without a selection.
std::string ComboStoredValue(const TComboBinding& combo, char cutAfter);
// Selects the first item whose stored form equals value, else the first
// whose upper-cased text contains it; else leaves the selection.
void SelectComboByStoredValue(TComboBinding& combo, const std::string& value, char cutAfter);
