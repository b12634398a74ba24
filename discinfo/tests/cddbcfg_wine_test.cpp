// The proxy password and the local database through the system's profile
// functions (under Wine with code page 932).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "discinfo/cddbcfg.h"
#include "discinfo/cddbtext.h"
#include "settings/profileini.h"

namespace wx {
namespace {

std::string TempIni(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + name;
    DeleteFileA(path.c_str());
    return path;
}

TEST(ProfilePassword, EveryByteAloneAndInAdjacentPairsComesBack) {
    const std::string path = TempIni("wx_cddb_password.ini");
    std::vector<std::string> passwords;
    for (int b = 1; b <= 255; ++b) passwords.push_back(std::string(1, static_cast<char>(b)));
    for (int b = 1; b < 255; ++b) passwords.push_back({static_cast<char>(b), static_cast<char>(b + 1)});
    int oldFormChanged = 0;
    for (const std::string& pw : passwords) {
        {
            TProfileIniFile ini(path);
            TCddbConfig cfg;
            LoadCddbConfig(ini, cfg);
            cfg.Net.ProxyPassword = pw;
            StoreCddbConfig(ini, cfg);
            ASSERT_TRUE(ini.UpdateFile());
        }
        TProfileIniFile ini(path);
        TCddbConfig back;
        LoadCddbConfig(ini, back);
        EXPECT_EQ(back.Net.ProxyPassword, pw) << "byte " << int(static_cast<unsigned char>(pw[0]));
        // The old form through the same functions, for comparison.
        WritePrivateProfileStringA("Old", "ProxyPassword", ScrambleProxyPassword(pw).c_str(), path.c_str());
        char buf[64] = {};
        GetPrivateProfileStringA("Old", "ProxyPassword", "", buf, sizeof buf, path.c_str());
        oldFormChanged += UnscrambleProxyPassword(buf) != pw;
    }
    // What the stored form mends: the old one does not survive here.
    std::printf("old form changed for %d of %zu passwords\n", oldFormChanged, passwords.size());
    EXPECT_GT(oldFormChanged, 0);
    DeleteFileA(path.c_str());
}

TEST(ProfileLocalDb, TitlesComeBackFromTheCdPlayerFile) {
    // Named by bare name, so the system's profile folder.
    TProfileIniFile db(kLocalDbFileName);
    TLocalDbDisc disc{"アーティスト", "アルバム表示", {"曲ソ", "Two"}};
    ExportLocalDB(db, "wxtest01", disc);
    ASSERT_TRUE(db.UpdateFile());
    TProfileIniFile again(kLocalDbFileName);
    TLocalDbDisc back;
    ASSERT_TRUE(ImportLocalDB(again, "WXTEST01", kCddbDialogTracks, back));
    EXPECT_EQ(back.Artist, disc.Artist);
    EXPECT_EQ(back.Title, disc.Title);
    EXPECT_EQ(back.TrackTitles, disc.TrackTitles);
    again.EraseSection("WXTEST01");
}

}  // namespace
}  // namespace wx
