// Built with the execution character set CP932 (the default track name).
#include "discinfo/cddbcfg.h"

#include "classlib/sjis.h"
#include "discinfo/cddbtext.h"

namespace wx {

namespace {

constexpr char kSection[] = "CDDB";
constexpr char kServers[] = "CDDBServersList";
constexpr char kOldServers[] = "CDDBServerList";

std::string Upper(const std::string& s) {
    std::string u = s;
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

void SetFlag(std::uint8_t& flags, std::uint8_t bit, bool on) {
    if (on)
        flags |= bit;
    else
        flags &= static_cast<std::uint8_t>(~bit);
}

}  // namespace

std::vector<std::string> CddbBuiltInServers() {
    return {"cddb.example.org", "us.cddb.example.org", "jp.cddb.example.org"};
}

const char* CDDBYesNo(bool on) { return on ? "Yes" : "No"; }

const std::string& TCddbConfig::SelectedHost() const { return Net.ServerHost; }

void TCddbConfig::Select(int index) {
    if (Servers.empty()) Servers = CddbBuiltInServers();
    Selected = index >= 0 && index < static_cast<int>(Servers.size()) ? index : 0;
    Net.ServerHost = Servers[static_cast<std::size_t>(Selected)];
}

void LoadCddbConfig(TCustomIniFile& ini, TCddbConfig& cfg) {
    TCDDBNetSettings& n = cfg.Net;
    cfg.WinPosX = ini.ReadInteger(kSection, "WinPosX", -256);
    if (cfg.WinPosX < -255) cfg.WinPosX = 0;
    cfg.WinPosY = ini.ReadInteger(kSection, "WinPosY", -256);
    if (cfg.WinPosY < -255) cfg.WinPosY = 0;
    const int h = ini.ReadInteger(kSection, "WinHight", 0);
    cfg.WinHeight = h > 0 ? h : 0;
    const int w = ini.ReadInteger(kSection, "WinWidth", 0);
    cfg.WinWidth = w > 0 ? w : 0;

    n.Flags = 0;
    SetFlag(n.Flags, kCddbFlagHttp, Upper(ini.ReadString(kSection, "Protocol", "CDDB")) == "HTTP");
    SetFlag(n.Flags, kCddbFlagSubmitHttp, Upper(ini.ReadString(kSection, "SubmitProtocol", "HTTP")) == "HTTP");
    SetFlag(n.Flags, kCddbFlagProxy, ini.ReadBool(kSection, "UseProxy", false));
    SetFlag(n.Flags, kCddbFlagProxyAuth, ini.ReadBool(kSection, "UseProxyAuth", false));
    SetFlag(n.Flags, kCddbFlagAskPassword, ini.ReadBool(kSection, "UseProxyPassword", false));
    SetFlag(n.Flags, kCddbFlagForceProto1, ini.ReadBool(kSection, "ForceProto1", false));
    n.ShowMotd = ini.ReadBool(kSection, "CheckMOTD", false) ? 1 : 0;
    cfg.Trace = ini.ReadBool(kSection, "EnableLog", false);

    n.CddbpPort = ini.ReadInteger(kSection, "Port", 888);
    if (n.CddbpPort < 0 || ini.SectionExists(kOldServers)) n.CddbpPort = 888;
    n.ProxyPort = ini.ReadInteger(kSection, "ProxyPort", 8080);
    if (n.ProxyPort < 0) n.ProxyPort = 8080;
    // 0 would make every read fail at once: the range starts at 1 s.
    n.Timeout = ini.ReadInteger(kSection, "RemoteTimeout", kCddbDefaultTimeout);
    if (n.Timeout < kCddbMinTimeout || n.Timeout > kCddbMaxTimeout) n.Timeout = kCddbDefaultTimeout;
    cfg.Drive = ini.ReadInteger(kSection, "CDDBDrive", -1);
    if (cfg.Drive > 25 || cfg.Drive < -1) cfg.Drive = -1;

    cfg.Servers.clear();
    if (ini.ValueExists(kServers, "Host1")) {
        for (int i = 1; i <= kCddbMaxServers; ++i) {
            const std::string host = ini.ReadString(kServers, "Host" + std::to_string(i), "");
            if (host.empty()) break;
            cfg.Servers.push_back(host);
        }
    }
    if (cfg.Servers.empty()) cfg.Servers = CddbBuiltInServers();
    const std::string main = ini.ReadString(kSection, "MainServer", cfg.Servers.front());
    int selected = 0;
    for (std::size_t i = 0; i < cfg.Servers.size(); ++i)
        if (cfg.Servers[i] == main) {
            selected = static_cast<int>(i);
            break;
        }
    cfg.Select(selected);

    n.ProxyHost = ini.ReadString(kSection, "ProxyServer", "");
    n.HttpPath = ini.ReadString(kSection, "HTTPPath", "/~cddb/cddb.cgi");
    n.ProxyUser = ini.ReadString(kSection, "ProxyUser", "");
    n.ProxyPassword = ReadStoredProxyPassword(ini.ReadString(kSection, "ProxyPassword", ""));
    n.UserEmail = ini.ReadString(kSection, "EmailAddress", "");
    n.SubmitReceiver = ini.ReadString(kSection, "SubmitReceiver", kCddbDefaultSubmitReceiver);
    n.LastMotdLine = ini.ReadString(kSection, "MOTD", "-");
    if (n.LastMotdLine.empty()) n.LastMotdLine = "-";
    for (int i = 0; i < 3; ++i) {
        const int cw = ini.ReadInteger(kSection, "ListColW" + std::to_string(i), -1);
        cfg.ListColW[static_cast<std::size_t>(i)] = cw > 0 ? cw : -1;
    }
}

void StoreCddbConfig(TCustomIniFile& ini, const TCddbConfig& cfg) {
    const TCDDBNetSettings& n = cfg.Net;
    ini.WriteInteger(kSection, "WinPosX", cfg.WinPosX);
    ini.WriteInteger(kSection, "WinPosY", cfg.WinPosY);
    ini.WriteInteger(kSection, "WinHight", cfg.WinHeight);
    ini.WriteInteger(kSection, "WinWidth", cfg.WinWidth);
    // The drive is read back from the key it is written to.
    ini.WriteInteger(kSection, "UseDrive", cfg.Drive);
    ini.WriteInteger(kSection, "CDDBDrive", cfg.Drive);
    ini.WriteString(kSection, "SubmitProtocol", (n.Flags & kCddbFlagSubmitHttp) ? "HTTP" : "SMTP");
    ini.WriteString(kSection, "Protocol", (n.Flags & kCddbFlagHttp) ? "HTTP" : "CDDB");
    ini.WriteString(kSection, "UseProxy", CDDBYesNo(n.Flags & kCddbFlagProxy));
    ini.WriteString(kSection, "UseProxyAuth", CDDBYesNo(n.Flags & kCddbFlagProxyAuth));
    ini.WriteString(kSection, "UseProxyPassword", CDDBYesNo(n.Flags & kCddbFlagAskPassword));
    ini.WriteString(kSection, "CheckMOTD", CDDBYesNo(n.ShowMotd != 0));
    ini.WriteInteger(kSection, "Port", n.CddbpPort);
    ini.WriteInteger(kSection, "ProxyPort", n.ProxyPort);
    ini.WriteInteger(kSection, "RemoteTimeout", n.Timeout);
    ini.EraseSection(kServers);
    ini.EraseSection(kOldServers);
    for (std::size_t i = 0; i < cfg.Servers.size() && i < kCddbMaxServers; ++i)
        ini.WriteString(kServers, "Host" + std::to_string(i + 1), cfg.Servers[i]);
    ini.WriteString(kSection, "MainServer", cfg.SelectedHost());
    ini.WriteString(kSection, "ProxyServer", n.ProxyHost);
    ini.WriteString(kSection, "HTTPPath", n.HttpPath);
    ini.WriteString(kSection, "ProxyUser", n.ProxyUser);
    ini.WriteString(kSection, "ProxyPassword", StoredProxyPassword(n.ProxyPassword));
    ini.WriteString(kSection, "MOTD", n.LastMotdLine);
    for (int i = 0; i < 3; ++i)
        ini.WriteInteger(kSection, "ListColW" + std::to_string(i), cfg.ListColW[static_cast<std::size_t>(i)]);
    ini.WriteString(kSection, "EmailAddress", n.UserEmail);
    ini.WriteString(kSection, "SubmitReceiver", n.SubmitReceiver);
    ini.WriteString(kSection, "ForceProto1", CDDBYesNo(n.Flags & kCddbFlagForceProto1));
}

bool ImportLocalDB(TCustomIniFile& db, const std::string& identity, int maxTracks, TLocalDbDisc& disc) {
    const std::string section = SjisUpperCase(identity);
    if (section.empty() || !db.SectionExists(section)) return false;
    const int count = db.ReadInteger(section, "numtracks", -1);
    if (count <= 0) return false;
    disc.Artist = db.ReadString(section, "artist", "");
    disc.Title = db.ReadString(section, "title", "");
    disc.TrackTitles.clear();
    // Titles beyond the dialog's track records are not taken.
    for (int i = 0; i < count && i < maxTracks; ++i)
        disc.TrackTitles.push_back(db.ReadString(section, std::to_string(i), "トラック" + std::to_string(i + 1)));
    return true;
}

bool ExportLocalDB(TCustomIniFile& db, const std::string& identity, const TLocalDbDisc& disc) {
    const std::string section = SjisUpperCase(identity);
    if (section.empty() || disc.TrackTitles.empty()) return false;
    db.WriteInteger(section, "numtracks", static_cast<std::int32_t>(disc.TrackTitles.size()));
    db.WriteString(section, "artist", disc.Artist);
    db.WriteString(section, "title", disc.Title);
    for (std::size_t i = 0; i < disc.TrackTitles.size(); ++i)
        db.WriteString(section, std::to_string(i), disc.TrackTitles[i]);
    return !db.WriteFailed();
}

}  // namespace wx
