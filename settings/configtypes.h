// Enumerations, the device entry and the value tables of the settings
// store.  Portable: no <windows.h>.  Each enumeration's values are the
// item indexes of the control that holds it.
#pragma once
#include <cstdint>
#include <string>

// Read method (SelReadMethod).
enum TReadMethod : int {
    rmNormalRead = 0,        // 通常読み出し
    rm1PassZitterRead = 1,   // フレーム間補正読み出し
    rm2PassZitterRead = 2,   // ２パスフレーム間補正読み出し
    rmHispeedBurstRead = 3,  // 高速バースト読み出し
};
constexpr int ReadMethodCount = 4;

// Read command a drive is driven with (ComboBox1).  A device entry may also
// hold rcUnknownMake, which the drive page shows and uses as rcPlextor.
enum TReadCommandKind : int {
    rcSonyMode0 = 0,   // SONY READ-CDDA Mode0
    rcSonyMode2 = 1,   // SONY READ-CDDA Mode2
    rcToshiba = 2,     // TOSHIBA extended read
    rcPioneer = 3,     // PIONEER optimised read
    rcPlextor = 4,     // PLEXTOR optimised read
    rcRicoh = 5,       // RICOH data-conversion read
    rcNec = 6,         // NEC drive read
    rcExtend = 7,      // read after a mode change (Extention Read)
    rcScsi3 = 8,       // SCSI-3 X3T10 standard read
    rcAtapi = 9,       // ATAPI CD-ROM read
    rcUnknownMake = 10,
};
constexpr int ReadCommandKindCount = 10;  // items of ComboBox1

// The kind a drive of unknown make is used as.
constexpr TReadCommandKind EffectiveReadCommand(int kind) {
    return (kind >= 0 && kind < ReadCommandKindCount) ? static_cast<TReadCommandKind>(kind) : rcPlextor;
}

// Output method (SelOutputMethod).
enum TOutputMethod : int {
    omWave = 0,    // WAVファイル出力
    omWMA = 1,     // WMAファイル出力
    omMP3 = 2,     // MP3ファイル出力
    omTwinVQ = 3,  // VQFファイル出力
};

// MP3 encoder kind (SelMP3Enc).
enum TMP3EncoderKind : int { mekACM = 0, mekExternal = 1, mekGogo = 2 };

// Command-line style of the external encoder (radio buttons by Tag).
enum TExtEncoderType : int { eetL3Enc = 0, eet8hz = 1, eetSCMPX = 2, eetLameStdin = 3 };

// GOGO output container.
enum TGogoFormatType : int { gftMP3 = 0, gftRiffWave = 1, gftRiffMP3 = 2 };

// GOGO channel mode.
enum TGogoChannel : int { gcStereo = 0, gcJointStereo = 1, gcMSStereo = 2, gcMono = 3 };

// Tag kind written (ID3TagType).
enum TID3TagWriteMode : int { tmID3v1 = 0, tmID3v2 = 1, tmBoth = 2 };

// Drive type of a device entry.
enum TDriveType : int { dtCDROM = 0, dtCDR = 1, dtPD = 2 };

// Standard compression method (SelStdEncode).
enum TStdEncodeMethod : int { semWMA = 0, semMP3 = 1, semTwinVQ = 2 };

// Normalization method.
enum TNormalizeMethod : int { nmPeakLevel = 0, nmAverageLevel = 1 };

// One drive of the device table.
struct TDeviceEntry {
    std::int32_t Adapter = 0;     // ASPI host adapter; 255 for a drive keyed by PortNumber
    std::int32_t Target = 0;      // SCSI target id; 255 likewise
    std::int32_t Lun = 0;         // 0; 1 for a PD drive; 255 for a drive keyed by PortNumber
    bool Enabled = false;
    std::uint8_t DriveMaker = 0;  // TReadCommandKind 0..10
    std::uint8_t DriveType = 0;   // TDriveType
    bool IgnoreTargetStat = false;
    std::string DeviceName;       // at most 255 bytes; empty when built from the address
    bool ClassDrvInfo = false;    // found through the NT class driver, not ASPI
    std::int32_t PortNumber = 0;  // 0x10000 or more: addressed by drive letter (low byte)
};
constexpr int MaxDeviceEntries = 30;
constexpr std::int32_t PortNumberByLetter = 0x10000;
constexpr std::size_t MaxDeviceNameBytes = 255;

// Value tables; the index is the item index of the control.
inline constexpr int GogoBitrateTable[14] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
inline constexpr int WmaBitrateTable[18] = {160000, 128000, 96000, 80000, 64000, 48000, 44000, 40000, 36000,
                                            32000,  22000,  20000, 16000, 12000, 10000, 8000,  6000,  5000};
inline constexpr int VqfBitrateTable[2] = {96, 80};
inline constexpr int VqfQualityTable[6] = {32, 16, 8, 4, 2, 1};
inline constexpr int WmaSampleRateTable[6] = {44100, 32000, 22050, 16000, 11025, 8000};
inline constexpr const char* AcmMp3BitrateTexts[13] = {"8000",   "16000",  "24000",  "32000",  "56000",
                                                       "64000",  "96000",  "112000", "128000", "160000",
                                                       "192000", "256000", "320000"};
// Index 0 is the manual template and has no preset.
inline constexpr const char* FileNamePresets[4] = {"", "%T", "%.02N.%T", "%.02N.%R.%L.%T"};
inline constexpr const char* FolderNamePresets[4] = {"", "%L", "%G\\%L", "%G\\%R_%L"};

// The rip memory block never exceeds this many bytes.
constexpr std::uint64_t MaxRipCacheBytes = 235520000;
