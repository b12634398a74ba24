// Loading the settings store from the settings file and storing it back.
// Portable: no <windows.h>; what depends on the running system (files that
// exist, the GOGO library) comes in through TSettingsEnvironment.
//
// GetCfg and StoreCfg are the two whole operations: GetCfg loads every
// setting from one open file (with the drive-mode decision between ASPI
// and the class driver and the test of the output format), StoreCfg writes
// every setting, the main window's own keys (mainkeys.h) among them, to one
// open file in its fixed order.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "settings/configstore.h"
#include "settings/inifile.h"
#include "settings/mainkeys.h"

struct TSettingsEnvironment {
    std::function<bool(const std::string&)> FileExists;
    std::function<bool(const std::string&)> DirectoryExists;
    std::string ProgramFolder;  // the program's folder
    std::string CurrentFolder;  // the current folder at start
    bool GogoAvailable = false;       // the GOGO encoder object exists
    std::uint32_t GogoUnitStates = 0; // its CPU feature bits (when available)
    bool JapaneseMode = true;         // the language the program started in
};

// The scalar keys and the structured values that need no drive interface
// (read-method flags, output format header, genre names and display set).
void LoadSettings(TConfigStore& store, TCustomIniFile& ini, const TSettingsEnvironment& env);
// Every setting in the fixed order: the store's values, the main window's
// keys and the file manager's state ([Filer] is erased first).  False when
// any write was refused (the caller still flushes with UpdateFile).
bool StoreSettings(const TConfigStore& store, TCustomIniFile& ini, const TMainWindowKeys& keys = MainWindowKeys,
                   const TFilerExtFilter& filter = FilerExtFilter, bool autoRefresh = AutoRefresh);

// What loading needs beyond the file: the drive interfaces, the output
// driver's format test, the pause before reading and the end of the run.
struct TGetCfgEnvironment {
    TSettingsEnvironment Settings;
    int AspiAdapterCount = 0;               // host adapters ASPI reports (0 or -1: none)
    std::function<int()> ClassDriverScan;   // class-driver drives found
    std::function<void(int ms)> Wait;       // the pause before the file is read
    // Neither ASPI nor the class driver: show the message and end the run.
    std::function<void()> NoDriveInterface;
    // Sets up an ACM conversion from the default PCM format to the format
    // as a test; true when it can be used.
    std::function<bool(const std::array<std::uint8_t, 256>&)> TestOutputFormat;
    // The ACM names of a format's tag and of the format.
    std::function<void(const std::array<std::uint8_t, 256>&, std::string& tagName, std::string& formatName)>
        FormatNames;
};

// The whole load.  Copies the file manager's state into page 6, reads every
// key, decides the drive mode (stopping with false when no drive interface
// is left), loads the device table and shows the selected drive's read
// command, and tests the output format, falling back to the default PCM
// format.  True when device entries were loaded and all of them belong to
// the drive interface in use; false asks for a drive rescan.
bool GetCfg(TConfigStore& store, TCustomIniFile& ini, const TGetCfgEnvironment& env);

// The choice between ASPI and the NT class driver, made after LoadSettings
// has set CheckBox21 and before LoadDeviceTable.  classDriverScan scans the
// class-driver drives and answers how many it found; it runs only when the
// class driver is chosen on NT.  Sets UseAspi and CheckBox21.  False when
// neither interface can be used on NT: the caller then shows
// "ASPI、クラスドライバが共に使用できません。起動を中止します。", ends the
// program and loads nothing more.
bool DecideDriveMode(TConfigStore& store, int aspiAdapterCount, const std::function<int()>& classDriverScan);

// The device table: loads DEVICES_0, DEVICES_1 ... into store.Devices and
// ComboBox2, then selects Common/UseCDROM.  True when at least one entry
// was loaded and none was found through the other drive interface than
// useAspi says.
bool LoadDeviceTable(TConfigStore& store, TCustomIniFile& ini, bool useAspi);
// Writes the entries and erases the surplus sections after them.
void StoreDeviceTable(const TConfigStore& store, TCustomIniFile& ini);
// The drive text shown in ComboBox2 for an entry.
std::string DeviceDisplayName(const TDeviceEntry& e);

// DriveMaker words: written by kind (unknown make as "PLEXTOR"), read with
// exact case ("SONY" also reads as kind 0; anything else as unknown make).
std::string DriveMakerWord(int kind);
int DriveMakerFromWord(const std::string& word);

// Format/FormatHeader: the first 18 + cbSize bytes as upper-case hex pairs.
// Reading skips every character that is not 0-9 or A-F, stops at 256 bytes.
std::string FormatHeaderText(const std::array<std::uint8_t, 256>& format);
std::array<std::uint8_t, 256> ParseFormatHeader(const std::string& text);

// MP3/DispGenres: 64 hex digits, digit i holding genres 4i..4i+3.
std::string DispGenresText(const std::bitset<256>& set);
std::bitset<256> ParseDispGenres(const std::string& text);
