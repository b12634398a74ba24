// Loading the settings store from the settings file and storing it back.
// Portable: no <windows.h>; what depends on the running system (files that
// exist, the GOGO library) comes in through TSettingsEnvironment.
//
// The main window keeps its own keys in the same file (window layout,
// track-list columns, list view, tool bar, boot folder, save-dialog path)
// and writes them itself after StoreSettings, which erases the Filer
// section first.  The drive-mode decision between ASPI and the class
// driver needs the transports and runs between LoadSettings and
// LoadDeviceTable.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "settings/configstore.h"
#include "settings/inifile.h"

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
// False when any write was refused (the caller still flushes with UpdateFile).
bool StoreSettings(const TConfigStore& store, TCustomIniFile& ini);

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
