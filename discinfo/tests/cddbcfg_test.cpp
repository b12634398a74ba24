// The CDDB settings keys and the local disc database, in memory.
#include <gtest/gtest.h>

#include "discinfo/cddbcfg.h"
#include "discinfo/cddbtext.h"

namespace wx {
namespace {

TEST(CddbConfig, DefaultsAndOutOfRangeValues) {
    TMemIniFile ini;
    TCddbConfig cfg;
    LoadCddbConfig(ini, cfg);
    EXPECT_EQ(cfg.Servers, CddbBuiltInServers());
    EXPECT_EQ(cfg.Selected, 0);
    EXPECT_EQ(cfg.Net.ServerHost, CddbBuiltInServers()[0]);
    EXPECT_EQ(cfg.Net.CddbpPort, 888);
    EXPECT_EQ(cfg.Net.ProxyPort, 8080);
    EXPECT_EQ(cfg.Net.Timeout, 60);
    EXPECT_EQ(cfg.Net.Flags, kCddbFlagSubmitHttp);
    EXPECT_EQ(cfg.Net.HttpPath, "/~cddb/cddb.cgi");
    EXPECT_EQ(cfg.Net.LastMotdLine, "-");
    EXPECT_EQ(cfg.Net.SubmitReceiver, kCddbDefaultSubmitReceiver);
    EXPECT_EQ(cfg.Drive, -1);
    EXPECT_EQ(cfg.WinPosX, 0);

    ini.SetText("[CDDB]\r\nRemoteTimeout=121\r\nPort=-1\r\nProxyPort=-3\r\nCDDBDrive=-7\r\nWinPosX=-300\r\n"
                "WinPosY=-20\r\nProtocol=http\r\nUseProxy=YES\r\nMOTD=\r\nMainServer=b.example\r\n"
                "[CDDBServersList]\r\nHost1=a.example\r\nHost2=b.example\r\nHost3=\r\nHost4=d.example\r\n");
    LoadCddbConfig(ini, cfg);
    EXPECT_EQ(cfg.Net.Timeout, 60);
    EXPECT_EQ(cfg.Net.CddbpPort, 888);
    EXPECT_EQ(cfg.Net.ProxyPort, 8080);
    EXPECT_EQ(cfg.Drive, -1);  // below -1 is automatic as well
    EXPECT_EQ(cfg.WinPosX, 0);
    EXPECT_EQ(cfg.WinPosY, -20);
    EXPECT_EQ(cfg.Net.Flags, kCddbFlagHttp | kCddbFlagProxy | kCddbFlagSubmitHttp);
    EXPECT_EQ(cfg.Net.LastMotdLine, "-");
    EXPECT_EQ(cfg.Servers, (std::vector<std::string>{"a.example", "b.example"}));
    EXPECT_EQ(cfg.Selected, 1);
    EXPECT_EQ(cfg.Net.ServerHost, "b.example");

    // The old server section forces the default port.
    ini.SetText("[CDDB]\r\nPort=8880\r\n[CDDBServerList]\r\nx=1\r\n");
    LoadCddbConfig(ini, cfg);
    EXPECT_EQ(cfg.Net.CddbpPort, 888);
    // Time-outs that would make every read fail at once or wait for hours
    // load as the default; the range is 1..120 s.
    for (const char* value : {"0", "-5", "121", "100000", "x"}) {
        ini.SetText(std::string("[CDDB]\r\nRemoteTimeout=") + value + "\r\n");
        LoadCddbConfig(ini, cfg);
        EXPECT_EQ(cfg.Net.Timeout, 60) << value;
    }
    for (int value : {1, 120}) {
        ini.SetText("[CDDB]\r\nRemoteTimeout=" + std::to_string(value) + "\r\n");
        LoadCddbConfig(ini, cfg);
        EXPECT_EQ(cfg.Net.Timeout, value);
    }

    // A server list whose first host is empty is no list: the built-in one.
    ini.SetText("[CDDBServersList]\r\nHost1=\r\nHost2=b.example\r\n");
    LoadCddbConfig(ini, cfg);
    EXPECT_EQ(cfg.Servers, CddbBuiltInServers());
    EXPECT_EQ(cfg.Selected, 0);
}

TEST(CddbConfig, StoreAndLoadAgain) {
    TCddbConfig cfg;
    cfg.Servers = {"one.example", "two.example"};
    cfg.Select(1);
    cfg.Drive = 4;
    cfg.Net.Flags = kCddbFlagHttp | kCddbFlagProxy | kCddbFlagProxyAuth | kCddbFlagForceProto1;
    cfg.Net.ProxyHost = "proxy.example";
    cfg.Net.ProxyUser = "alice";
    cfg.Net.ProxyPassword = "s3cret pass";
    cfg.Net.UserEmail = "me@example.org";
    cfg.Net.Timeout = 30;
    cfg.Net.ShowMotd = 1;
    cfg.Net.LastMotdLine = "210 motd";
    cfg.WinWidth = 500;
    cfg.ListColW = {80, 200, 100};
    TMemIniFile ini;
    ini.SetText("[CDDBServerList]\r\nold=1\r\n");
    StoreCddbConfig(ini, cfg);
    EXPECT_FALSE(ini.SectionExists("CDDBServerList"));
    EXPECT_EQ(ini.ReadString("CDDB", "UseDrive", ""), "4");
    EXPECT_EQ(ini.ReadString("CDDB", "SubmitProtocol", ""), "SMTP");
    EXPECT_EQ(ini.ReadString("CDDB", "UseProxyAuth", ""), "Yes");
    TCddbConfig back;
    LoadCddbConfig(ini, back);
    EXPECT_EQ(back.Servers, cfg.Servers);
    EXPECT_EQ(back.Net.ServerHost, "two.example");
    EXPECT_EQ(back.Drive, 4);
    EXPECT_EQ(back.Net.Flags, cfg.Net.Flags);
    EXPECT_EQ(back.Net.ProxyPassword, "s3cret pass");
    EXPECT_EQ(back.Net.Timeout, 30);
    EXPECT_EQ(back.Net.ShowMotd, 1);
    EXPECT_EQ(back.Net.LastMotdLine, "210 motd");
    EXPECT_EQ(back.WinWidth, 500);
    EXPECT_EQ(back.ListColW, cfg.ListColW);

    // A password stored in the old form is still read.
    ini.WriteString("CDDB", "ProxyPassword", ScrambleProxyPassword("old one"));
    LoadCddbConfig(ini, back);
    EXPECT_EQ(back.Net.ProxyPassword, "old one");
}

TEST(LocalDb, TitlesBackAndBoundsOfTheTrackCount) {
    TMemIniFile db;
    TLocalDbDisc disc{"Artist", "Album", {"One", "Two", "Three"}};
    EXPECT_TRUE(ExportLocalDB(db, "1a2b3c4d", disc));
    EXPECT_FALSE(ExportLocalDB(db, "", disc));  // no identity: nothing
    EXPECT_FALSE(ExportLocalDB(db, "1a2b3c4d", TLocalDbDisc{"A", "B", {}}));  // no tracks: nothing
    EXPECT_EQ(db.ReadString("1A2B3C4D", "numtracks", ""), "3");
    TLocalDbDisc back;
    ASSERT_TRUE(ImportLocalDB(db, "1a2b3c4d", kCddbDialogTracks, back));
    EXPECT_EQ(back.Artist, "Artist");
    EXPECT_EQ(back.TrackTitles, disc.TrackTitles);

    db.WriteString("ZERO", "numtracks", "0");
    EXPECT_FALSE(ImportLocalDB(db, "zero", kCddbDialogTracks, back));
    EXPECT_FALSE(ImportLocalDB(db, "absent", kCddbDialogTracks, back));
    db.WriteString("NOCOUNT", "artist", "Artist");  // numtracks missing
    EXPECT_FALSE(ImportLocalDB(db, "nocount", kCddbDialogTracks, back));

    // A hostile count: only the dialog's records are filled; missing keys
    // get the default name.
    db.WriteString("HUGE", "numtracks", "2147483647");
    db.WriteString("HUGE", "1", "Second");
    ASSERT_TRUE(ImportLocalDB(db, "huge", kCddbDialogTracks, back));
    ASSERT_EQ(back.TrackTitles.size(), 100u);
    EXPECT_EQ(back.TrackTitles[1], "Second");
    EXPECT_EQ(back.TrackTitles[99].substr(back.TrackTitles[99].size() - 3), "100");
}

}  // namespace
}  // namespace wx
