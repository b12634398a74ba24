// The whole load and store: a file with a non-default value in every
// section survives a load and a store unchanged, and the load's own steps
// (pause, drive-mode stop, device table, format test) do what the start-up
// relies on.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "output/mp3defs.h"
#include "settings/configfile.h"
#include "settings/tests/fullsettings.h"

namespace {

const TFullSettingsPaths kPaths{"D:\\Work\\", "E:\\Albums", "F:\\Music\\", "C:\\Tools\\play.exe",
                                "C:\\Tools\\edit.exe"};

TGetCfgEnvironment Env(std::vector<int>* waits = nullptr) {
    TGetCfgEnvironment env;
    const std::set<std::string> dirs{kPaths.WorkDir, kPaths.AlbumDir, kPaths.BootDir};
    const std::set<std::string> files{kPaths.Player, kPaths.Editor};
    env.Settings.DirectoryExists = [dirs](const std::string& p) { return dirs.count(p) > 0; };
    env.Settings.FileExists = [files](const std::string& p) { return files.count(p) > 0; };
    env.Settings.ProgramFolder = "C:\\Wendrix\\";
    env.Settings.CurrentFolder = "C:\\Wendrix";
    env.AspiAdapterCount = 1;
    env.ClassDriverScan = [] { return 0; };
    env.TestOutputFormat = [](const std::array<std::uint8_t, 256>&) { return true; };
    if (waits) env.Wait = [waits](int ms) { waits->push_back(ms); };
    return env;
}

class GetCfgTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        ResetGenreSettings();
        IsWindowsNT = IsWindowsNT5 = true;
        IsWindows95 = false;
        MainWindowKeys = TMainWindowKeys{};
        FilerExtFilter = TFilerExtFilter{};
        AutoRefresh = true;
        NormalizeMethod = 0;
        NormalizeLevel = 10000;
        NormalizeAllowPeakOver = NormalizeFixPeakOver = false;
    }
};

}  // namespace

TEST_F(GetCfgTest, StartAndCloseWithoutChangeKeepEveryKey) {
    const std::string text = FullSettingsText(kPaths);
    TMemIniFile file;
    file.SetText(text);
    TMemIniFile original;
    original.SetText(text);
    // Both orders of the start-up: the main window read its keys first, or
    // left them to the settings load.
    for (bool mainWindowFirst : {true, false}) {
        Reset();
        file.SetText(text);
        if (mainWindowFirst) ReadMainWindowKeys(file, MainWindowKeys, FilerExtFilter, AutoRefresh);
        std::vector<int> waits;
        TConfigStore s;
        EXPECT_TRUE(GetCfg(s, file, Env(&waits)));
        EXPECT_EQ(waits, std::vector<int>{250});
        // What the load made of the file manager's and the drives' keys.
        EXPECT_FALSE(FilerExtFilter.ShowAll);
        ASSERT_EQ(FilerExtFilter.Count, 2);
        EXPECT_EQ(FilerExtFilter.Entries[0], ".FLAC");
        EXPECT_TRUE(s.RestrictExt.Checked);
        EXPECT_EQ(s.ExtList.Items.Count(), 2u);
        EXPECT_TRUE(s.NoDispCDROM.Checked);
        EXPECT_FALSE(s.AutoRefresh.Checked);
        EXPECT_EQ(MainWindowKeys.BootDir, kPaths.BootDir);
        EXPECT_EQ(s.ComboBox2.ItemIndex(), 1);
        EXPECT_EQ(s.ComboBox1.ItemIndex(), rcExtend);  // shown from the selected entry

        TMemIniFile stored;
        stored.SetText(text);
        ASSERT_TRUE(StoreSettings(s, stored));
        for (const std::string& sec : SectionsOf(text)) {
            wx::TStringList keys;
            original.ReadSection(sec, keys);
            for (const std::string& k : keys)
                EXPECT_EQ(stored.ReadString(sec, k, "<absent>"), original.ReadString(sec, k, "<absent>"))
                    << "[" << sec << "] " << k << (mainWindowFirst ? " (main window first)" : "");
            wx::TStringList after;
            stored.ReadSection(sec, after);
            EXPECT_EQ(after.Count(), keys.Count()) << "[" << sec << "] gained or lost keys";
        }
    }
}

TEST_F(GetCfgTest, NoDriveInterfaceStopsTheLoad) {
    TMemIniFile file;
    file.SetText(FullSettingsText(kPaths) + "[Common]\r\n");
    file.WriteString("Common", "UseClassDriver", "Yes");
    TGetCfgEnvironment env = Env();
    env.AspiAdapterCount = 0;
    int told = 0;
    env.NoDriveInterface = [&] { ++told; };
    TConfigStore s;
    EXPECT_FALSE(GetCfg(s, file, env));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(s.DeviceCount, 0);  // nothing more was loaded
    // With class-driver drives the load goes on, and the ASPI entries of
    // the file ask for a rescan.
    env.ClassDriverScan = [] { return 1; };
    TConfigStore t;
    EXPECT_FALSE(GetCfg(t, file, env));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(t.DeviceCount, 2);
    EXPECT_FALSE(UseAspi);
}

TEST_F(GetCfgTest, UnusableOutputFormatFallsBackToPcm) {
    TMemIniFile file;
    file.SetText(FullSettingsText(kPaths));
    TGetCfgEnvironment env = Env();
    std::vector<std::array<std::uint8_t, 256>> tested;
    env.TestOutputFormat = [&](const std::array<std::uint8_t, 256>& f) {
        tested.push_back(f);
        return f[0] == 1 && f[2] == 2;  // only stereo PCM converts
    };
    env.FormatNames = [](const std::array<std::uint8_t, 256>&, std::string& tag, std::string& body) {
        tag = "PCM";
        body = "44.100 kHz, 16 Bit, Stereo";
    };
    TConfigStore s;
    GetCfg(s, file, env);
    ASSERT_EQ(tested.size(), 2u);  // the loaded format, then the default
    EXPECT_EQ(s.OutputWaveFormat, s.DefaultPcmFormat);
    EXPECT_EQ(s.Edit3.Text, "44.100 kHz, 16 Bit, Stereo");
    // A format that converts keeps its names as stored.
    TConfigStore t;
    file.SetText("[Format]\r\nFormatTag=X\r\nFormatBody=Y\r\nFormatHeader=010002004" "4AC000010B102000400100000\r\n");
    GetCfg(t, file, env);
    EXPECT_EQ(t.Edit3.Text, "Y");
}

TEST_F(GetCfgTest, ReadCommandOfEachDriveSurvives) {
    TMemIniFile file;
    file.SetText(FullSettingsText(kPaths));
    TConfigStore s;
    GetCfg(s, file, Env());
    // A command chosen on the drive page for the selected drive.
    s.SelectReadCommand(rcAtapi);
    StoreSettings(s, file);
    EXPECT_EQ(file.ReadString("DEVICES_1", "DriveMaker", ""), "ATAPI");
    EXPECT_EQ(file.ReadString("DEVICES_0", "DriveMaker", ""), "SCSI3");
    // Another drive selected: its own command is shown, the first keeps its.
    Reset();
    TConfigStore r;
    GetCfg(r, file, Env());
    r.ComboBox2.SetItemIndex(0);
    r.ShowSelectedReadCommand();
    EXPECT_EQ(r.ComboBox1.ItemIndex(), rcScsi3);
    EXPECT_EQ(r.Devices[1].DriveMaker, rcAtapi);
}

TEST(FilerExtFilterTest, RemoveCountsWhatIsLeftAndIgnoresCase) {
    TFilerExtFilter f;
    f.Count = 0;
    for (const char* e : {".MP3", ".WAV", ".mp3", ".OGG"}) f.Add(e);
    EXPECT_EQ(f.Find(".Mp3"), 0);
    EXPECT_EQ(f.Remove(".mp3"), 2);
    EXPECT_EQ(f.Count, 2);
    EXPECT_EQ(f.Entries[0], ".WAV");
    EXPECT_EQ(f.Entries[1], ".OGG");
    EXPECT_EQ(f.Entries[2], "");
    for (int i = 0; i < 14; ++i) EXPECT_TRUE(f.Add(".X" + std::to_string(i)));
    EXPECT_FALSE(f.Add(".FULL"));
    EXPECT_TRUE(f.Add("") == false);
    f.Remove(".X0");
    EXPECT_TRUE(f.Add(".ABCDEFGHIJKLMNOPQ"));
    EXPECT_EQ(f.Entries[15], ".ABCDEFGHIJKLMN");  // 15 characters kept
}

TEST(MainWindowKeysTest, FallBacksOfTheStartUp) {
    TMemIniFile ini;
    ini.SetText("[Common]\nWindowLeft=-255\nWindowTop=-256\nWindowWidth=-3\nDirViewWidth=0\nTrackViewHeight=0\n"
                "SortPattern=bogus\nSortDir=up\nListViewPattern=largeicon\n"
                "[Filer]\nDispAllExts=0\nDispExt1=.mp3\nDispExt2=\nDispExt3=.WAV\nChangeBootDir=No\nBootDir=C:\\X\\\n");
    TMainWindowKeys k;
    TFilerExtFilter f;
    bool ar = false;
    ReadMainWindowKeys(ini, k, f, ar);
    EXPECT_EQ(k.WindowLeft, -255);
    EXPECT_EQ(k.WindowTop, 0);
    EXPECT_EQ(k.WindowWidth, 640);
    EXPECT_EQ(k.WindowHeight, 480);
    EXPECT_EQ(k.DirViewWidth, 1);
    EXPECT_EQ(k.TrackViewHeight, 1);
    EXPECT_EQ(k.SortPattern, spTime);
    EXPECT_FALSE(k.SortAscending);
    EXPECT_TRUE(k.LargeIcon);
    EXPECT_TRUE(ar);
    EXPECT_EQ(k.BootDir, "");  // not kept unless ChangeBootDir
    EXPECT_FALSE(f.ShowAll);
    ASSERT_EQ(f.Count, 1);
    EXPECT_EQ(f.Entries[0], ".MP3");
    ini.SetText("");
    ReadMainWindowKeys(ini, k, f, ar);
    EXPECT_TRUE(f.ShowAll);
    ASSERT_EQ(f.Count, 2);
    EXPECT_EQ(f.Entries[0], ".MP");
    EXPECT_EQ(k.DirViewWidth, 200);
    EXPECT_EQ(k.TrackViewHeight, 180);
}
