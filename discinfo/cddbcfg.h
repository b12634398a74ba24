// The settings of the CDDB disc dialog in the settings file (sections
// [CDDB] and [CDDBServersList]) and the local disc database, the CD
// player's profile file "CDPLAYER.INI".  Portable: both go through
// TCustomIniFile.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "discinfo/cddbclient.h"
#include "settings/inifile.h"

namespace wx {

inline constexpr int kCddbMaxServers = 20;
// Track records of the disc dialog.
inline constexpr int kCddbDialogTracks = 100;
inline constexpr char kLocalDbFileName[] = "CDPLAYER.INI";

struct TCddbConfig {
    TCDDBNetSettings Net;
    std::vector<std::string> Servers;
    int Selected = 0;
    bool Trace = false;
    int Drive = -1;  // -1 automatic, 0..25 a drive letter
    int WinPosX = 0, WinPosY = 0;
    int WinHeight = 0, WinWidth = 0;        // 0: not set
    std::array<int, 3> ListColW{-1, -1, -1};  // -1: not set
    // The selected server's host (also Net.ServerHost).
    const std::string& SelectedHost() const;
    // Makes the selection valid and copies its host into Net.ServerHost.
    void Select(int index);
};

// The three servers listed when the settings file names none.
std::vector<std::string> CddbBuiltInServers();
inline constexpr char kCddbDefaultSubmitReceiver[] = "cddb-submit@cddb.example.org";

// "Yes" or "No".
const char* CDDBYesNo(bool on);

void LoadCddbConfig(TCustomIniFile& ini, TCddbConfig& cfg);
void StoreCddbConfig(TCustomIniFile& ini, const TCddbConfig& cfg);

// One disc of the local database.
struct TLocalDbDisc {
    std::string Artist;
    std::string Title;
    std::vector<std::string> TrackTitles;  // track 1 first
};

// The disc of that identity (section name in upper case); false when it is
// not there or lists no tracks.  At most maxTracks titles are taken.
bool ImportLocalDB(TCustomIniFile& db, const std::string& identity, int maxTracks, TLocalDbDisc& disc);
// Writes the disc; nothing without an identity or tracks.  False when
// nothing was written or a write failed (the file, for a file that writes
// through, may then hold part of the disc).
bool ExportLocalDB(TCustomIniFile& db, const std::string& identity, const TLocalDbDisc& disc);

}  // namespace wx
