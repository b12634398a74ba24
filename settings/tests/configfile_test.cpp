#include "settings/configfile.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "output/mp3defs.h"

namespace {

TSettingsEnvironment Env(std::set<std::string> dirs = {}, std::set<std::string> files = {}) {
    TSettingsEnvironment env;
    env.DirectoryExists = [dirs](const std::string& p) { return dirs.count(p) > 0; };
    env.FileExists = [files](const std::string& p) { return files.count(p) > 0; };
    env.ProgramFolder = "C:\\Wendrix\\";
    env.CurrentFolder = "C:\\Work";
    return env;
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGenreSettings();
        IsWindowsNT = true;
        IsWindowsNT5 = true;
        IsWindows95 = false;
    }
    void TearDown() override {
        ResetGenreSettings();
        IsWindowsNT = true;
    }
    TConfigStore Load(const std::string& text, const TSettingsEnvironment& env = Env()) {
        ini.SetText(text);
        TConfigStore s;
        LoadSettings(s, ini, env);
        return s;
    }
    TMemIniFile ini;
};

}  // namespace

TEST_F(ConfigFileTest, AbsentFileGivesTheDefaults) {
    TConfigStore s = Load("");
    TConfigStore d;
    EXPECT_EQ(s.SpinEdit1.Value(), 10);
    EXPECT_EQ(s.MemUseRatio.Value(), 50);
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekExternal);  // "Other"
    EXPECT_EQ(s.bitratebox.Text(), "128Kbit/sec");
    EXPECT_EQ(s.WMTBitrate.Text(), "128Kbps");
    EXPECT_EQ(s.WMTSamplingRate.Text(), "44100Hz");
    EXPECT_EQ(s.VQFBitRate.Text(), "96Kbps");
    EXPECT_EQ(s.VQFQuality.Text(), "16");
    EXPECT_EQ(s.FileNameSelect.ItemIndex(), 1);
    EXPECT_EQ(s.FilenameEdit.Text, "%.02N_%T");
    EXPECT_EQ(s.WEdit1.Text, "C:\\Work\\");          // the current folder, with a backslash
    EXPECT_EQ(s.CurrentDirEdit.Text, "C:\\Wendrix");  // program folder without one
    EXPECT_EQ(s.PelloraPort.Text, "11000");
    EXPECT_TRUE(s.ReadMethodFlags[8]);
    EXPECT_TRUE(s.CheckBox21.Checked);                // NT 5: class driver
    EXPECT_EQ(GenreDisplaySet.count(), 256u);         // no DispGenres: all shown
    EXPECT_EQ(s.OutputWaveFormat[0], 0);              // absent header: zero bytes
    EXPECT_EQ(s.GogoMinVBR, 7);
    EXPECT_EQ(s.GogoMaxVBR, 8);
}

TEST_F(ConfigFileTest, SpinValuesClampAndRangedValuesFallBack) {
    TConfigStore s = Load("[Common]\nReadBlock=80\nMemoryUseRatio=99\nSubThreadPriority=5\nSpinMultiple=-3\n"
                          "SelectReadMode=4\nPrefetchSize=9\nRecordingLevel=500\n"
                          "[MP3]\nGogoVBRLevel=10\nGogoPriority=3\nGogoMinFilter=101\nOutputLayerType=7\n"
                          "[Normalize]\nLevel=10001\nMethod=2\n");
    EXPECT_EQ(s.SpinEdit1.Value(), 50);
    EXPECT_EQ(s.MemUseRatio.Value(), 95);
    EXPECT_EQ(s.CustomTrackBar1.Position(), 2);
    EXPECT_EQ(s.SpinEdit2.Value(), 0);
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), 0);
    EXPECT_EQ(s.PreReadWaveSize.Position(), 3);
    EXPECT_EQ(s.RatioEdit.Value(), 200);
    EXPECT_EQ(s.GogoVBRLevel, 4);
    EXPECT_EQ(s.GogoPriority, -2);
    EXPECT_EQ(s.GogoMinFilter, 55);
    EXPECT_EQ(s.UseLayerType.ItemIndex(), 2);
    EXPECT_EQ(NormalizeLevel, 10000);
    EXPECT_EQ(NormalizeMethod, 0);
    s = Load("[Common]\nReadBlock=0\nReadBlock2=x\nMemoryUseRatio=abc\n[MP3]\nOutputLayerType=-1\n");
    EXPECT_EQ(s.UseLayerType.ItemIndex(), 2);
    EXPECT_EQ(s.SpinEdit1.Value(), 1);
    EXPECT_EQ(s.MemUseRatio.Value(), 50);
}

TEST_F(ConfigFileTest, MscdexLowersReadBlockOnWindows9xOnly) {
    IsWindowsNT = false;
    TConfigStore s = Load("[Common]\nReadBlock=40\nUseMSCDEX=Yes\n");
    EXPECT_EQ(s.SpinEdit1.Value(), 18);
    EXPECT_TRUE(s.CheckBox14.Enabled);
    IsWindowsNT = true;
    LoadSettings(s, ini, Env());  // the same store loaded again on NT
    EXPECT_EQ(s.SpinEdit1.Value(), 40);
    EXPECT_EQ(s.SpinEdit1.MaxValue(), 50);
    s = Load("[Common]\nReadBlock=40\nUseMSCDEX=Yes\n");
    EXPECT_EQ(s.SpinEdit1.Value(), 40);
    EXPECT_FALSE(s.CheckBox14.Enabled);
}

TEST_F(ConfigFileTest, CombosWordsAndPresets) {
    TConfigStore s = Load("[WMT]\nBitRate=8KB\nSamplingRate=11025HZ\nChannel=monoral\n"
                          "[VQF]\nQuality=1\nBitRate=80KB\n[MP3]\nBitRate=128K\nGogoMinVBR=100K\nGogoMaxVBR=320k\n"
                          "GogoChannel=msstereo\nGogoFormatType=rmp\nExtCmdType=7\nEncodeType=GOGO\n"
                          "[Format]\nOutputType=vqf\n[Common]\nDefEncode=WMT\n"
                          "[ID3TAG]\nFoldernameSelect=3\nFilenameSelect=4\n");
    EXPECT_EQ(s.WMTBitrate.Text(), "8Kbps");
    EXPECT_EQ(s.GetWMTSamplingrate(), 11025);
    EXPECT_TRUE(s.WMTMonoSel.Checked);
    EXPECT_EQ(s.VQFQuality.Text(), "1");
    EXPECT_EQ(s.GetVQFBitrate(), 80);
    EXPECT_EQ(s.bitratebox.Text(), "128Kbit/sec");
    EXPECT_EQ(s.GogoMinVBR, 7);   // not a table value: the default 112K
    EXPECT_EQ(s.GogoMaxVBR, 13);  // 320K in any case
    EXPECT_EQ(s.GogoChannel, gcMSStereo);
    EXPECT_EQ(s.GogoFormatType, gftRiffMP3);
    EXPECT_EQ(s.ExtEncoderType(), -1);  // no style button checked
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekACM);  // GOGO without the library
    EXPECT_EQ(s.SelOutputMethod.ItemIndex(), omTwinVQ);
    EXPECT_EQ(s.SelStdEncode.ItemIndex(), semWMA);
    EXPECT_EQ(s.FolderNameTemplate(), "%G\\%R_%L");
    EXPECT_EQ(s.FileNameSelect.ItemIndex(), 1);
    TSettingsEnvironment env = Env();
    env.GogoAvailable = true;
    env.GogoUnitStates = 0x02 | 0x08;  // MMX and SSE only
    s = Load("[MP3]\nEncodeType=gogo\nGogo3DNow=Yes\nGogoSSE=Yes\nGogoMMX=Yes\n", env);
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekGogo);
    EXPECT_TRUE(s.GogoMMX);
    EXPECT_FALSE(s.Gogo3DNow);
    EXPECT_TRUE(s.GogoSSE);
    IsWindows95 = true;
    s = Load("[MP3]\nGogoSSE=Yes\n", env);
    EXPECT_FALSE(s.GogoSSE);
}

TEST_F(ConfigFileTest, LegacyTrackNumberKeyIsTakenAndDropped) {
    TConfigStore s = Load("[MP3]\nIsWithTrackNumer=yes\n[ID3TAG]\nFilenameSelect=3\n");
    EXPECT_EQ(s.FileNameSelect.ItemIndex(), 2);
    EXPECT_FALSE(ini.ValueExists("MP3", "IsWithTrackNumer"));
    s = Load("[MP3]\nIsWithTrackNumer=No\n[ID3TAG]\nFilenameSelect=3\n");
    EXPECT_EQ(s.FileNameSelect.ItemIndex(), 1);
}

TEST_F(ConfigFileTest, FoldersAndProgramsMustExist) {
    TConfigStore s = Load("[Common]\nWorkingDir=D:\\tmp\\\n[ID3TAG]\nID3TagAlbumDir=E:\\Music\n"
                          "[Filer]\nUsePlayer=C:\\p.exe\nUseEditor=C:\\gone.exe\n",
                          Env({"D:\\tmp\\", "E:\\Music"}, {"C:\\p.exe"}));
    EXPECT_EQ(s.WEdit1.Text, "D:\\tmp\\");
    EXPECT_EQ(s.CurrentDirEdit.Text, "E:\\Music");
    EXPECT_EQ(s.UsePlayer.Text, "C:\\p.exe");
    EXPECT_EQ(s.UseEditor.Text, "");
    s = Load("[Common]\nWorkingDir=D:\\gone\n[ID3TAG]\nID3TagAlbumDir=E:\\gone\n");
    EXPECT_EQ(s.WEdit1.Text, "C:\\Work\\");
    EXPECT_EQ(s.CurrentDirEdit.Text, "C:\\Wendrix");
    TSettingsEnvironment root = Env();
    root.ProgramFolder = "C:\\";
    s = Load("", root);
    EXPECT_EQ(s.CurrentDirEdit.Text, "C:\\");  // a drive root keeps its backslash
}

TEST_F(ConfigFileTest, WaitTimeNeverNegative) {
    TConfigStore s = Load("[Common]\nWaitTime=-5\n");
    EXPECT_EQ(s.WaitTime(), 0);
    EXPECT_EQ(s.SpinEdit3.Value(), 0);
    s.SpinEdit3.SetValue(-9);  // an edit of the unbounded spin
    TMemIniFile out;
    StoreSettings(s, out);
    EXPECT_EQ(out.ReadInteger("Common", "WaitTime", 1), 0);
}

TEST_F(ConfigFileTest, StoreThenLoadKeepsTheSettings) {
    TConfigStore s;
    s.SpinEdit1.SetValue(26);
    s.CheckBox12.Checked = true;
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    s.ReadMethodFlags[10] = true;
    s.SelOutputMethod.SetItemIndex(omWMA);
    s.WMTBitrate.SetItemIndex(16);  // 6Kbps
    s.WMTSamplingRate.SetItemIndex(2);
    s.WMTStereoSel.Checked = false;
    s.VQFQuality.SetItemIndex(4);  // 2
    s.bitratebox.SetItemIndex(12);
    s.GogoMaxVBR = 13;
    s.GogoChannel = gcMono;
    s.GogoFormatType = gftRiffWave;
    s.FileNameSelect.SetItemIndex(0);
    s.FilenameEdit.Text = " %.03N - %T\r\n[Common]\r\nReadBlock=1";  // line breaks never reach the file raw
    s.FoldernameEdit.Text = "\x83\x5C%R";
    s.OptionEdit.Text = "-b 128 \"x\"";
    s.SetWaitTime(75);
    s.SpinEdit3.SetValue(75);
    s.ID3TagType.SetItemIndex(tmID3v1);
    UserGenreNames[150] = "\x83\x8D\x83\x62\x83\x4E";
    GenreDisplaySet.reset();
    GenreDisplaySet.set(17);
    GenreDisplaySet.set(255);
    s.OutputWaveFormat[0] = 0x11;
    s.OutputWaveFormat[16] = 2;  // cbSize 2
    s.OutputWaveFormat[18] = 0xAB;
    s.OutputWaveFormat[19] = 0xCD;
    s.OutputWaveFormat[20] = 0xEF;  // beyond 18 + cbSize: not stored
    s.WEdit1.Text = "C:\\Work\\";

    TMemIniFile file;
    StoreSettings(s, file);
    EXPECT_EQ(file.ReadString("Format", "FormatHeader", ""),
              "1100020044AC000010B10200040010000200ABCD");
    ResetGenreSettings();
    TMemIniFile reread;
    reread.SetText(file.Text());
    TConfigStore r;
    LoadSettings(r, reread, Env({"C:\\Work\\"}));
    EXPECT_EQ(r.SpinEdit1.Value(), 26);
    EXPECT_TRUE(r.CheckBox12.Checked);
    EXPECT_TRUE(r.GetModeOfBurstErrorCorrect());
    EXPECT_TRUE(r.IsUseWMT());
    EXPECT_EQ(r.WMTBitrate.Text(), "6Kbps");
    EXPECT_EQ(r.GetWMTSamplingrate(), 22050);
    EXPECT_TRUE(r.WMTMonoSel.Checked);
    EXPECT_EQ(r.GetVQFQuality(), 2);
    EXPECT_EQ(r.bitratebox.Text(), "320Kbit/sec");
    EXPECT_EQ(r.GogoMaxVBR, 13);
    EXPECT_EQ(r.GogoChannel, gcMono);
    EXPECT_EQ(r.GogoFormatType, gftRiffWave);
    EXPECT_EQ(r.FilenameEdit.Text, " %.03N - %T  [Common]  ReadBlock=1");
    EXPECT_EQ(r.FoldernameEdit.Text, "\x83\x5C%R");
    EXPECT_EQ(r.OptionEdit.Text, "-b 128 \"x\"");
    EXPECT_EQ(r.WaitTime(), 75);
    EXPECT_EQ(r.ID3TagType.ItemIndex(), tmID3v1);
    EXPECT_EQ(UserGenreNames[150], "\x83\x8D\x83\x62\x83\x4E");
    EXPECT_EQ(GenreDisplaySet.count(), 2u);
    EXPECT_TRUE(GenreDisplaySet.test(255));
    EXPECT_EQ(r.OutputWaveFormat[19], 0xCD);
    EXPECT_EQ(r.OutputWaveFormat[20], 0);
    EXPECT_EQ(r.WEdit1.Text, "C:\\Work\\");
    EXPECT_EQ(reread.ReadInteger("Common", "MaxRetry", 0), 10);
    EXPECT_FALSE(reread.SectionExists("Pellora"));
}

TEST_F(ConfigFileTest, StoreErasesFilerAndGenreAndKeepsPellora) {
    ini.SetText("[Filer]\nDispExt9=.old\n[Genre]\nFG3=Old\n[Pellora]\nIPAddress=10.0.0.1\nPort=0\n"
                "[Common]\nMaxRetry=3\n");
    TConfigStore s;
    LoadSettings(s, ini, Env());
    EXPECT_EQ(s.MaxRetry, 3);
    EXPECT_EQ(s.PelloraPort.Text, "11000");  // 0 or less
    EXPECT_EQ(UserGenreNames[3], "Old");
    UserGenreNames[3].clear();
    TFilerExtFilter filter;
    filter.Add(".wav");
    filter.Add("");
    filter.Add(".mp3");  // after the first empty entry: not written
    StoreSettings(s, ini, TMainWindowKeys{}, filter, true);
    EXPECT_FALSE(ini.ValueExists("Filer", "DispExt9"));
    EXPECT_EQ(ini.ReadString("Filer", "DispExt1", ""), ".wav");
    EXPECT_FALSE(ini.ValueExists("Filer", "DispExt2"));
    EXPECT_FALSE(ini.ValueExists("Filer", "DispExt3"));
    EXPECT_FALSE(ini.SectionExists("Genre"));
    EXPECT_EQ(ini.ReadString("Pellora", "IPAddress", ""), "10.0.0.1");
    EXPECT_EQ(ini.ReadString("Pellora", "Port", ""), "0");
    EXPECT_EQ(ini.ReadInteger("Common", "MaxRetry", 0), 10);
}

TEST_F(ConfigFileTest, GenreNamesPlaceholderIsNotAName) {
    Load(std::string("[Genre]\nFG150=") + UndefinedGenreText(150) + "\nFG151=Mine\nFG17=\n");
    EXPECT_EQ(UserGenreNames[150], "");
    EXPECT_EQ(UserGenreNames[151], "Mine");
    EXPECT_EQ(UserGenreNames[17], "");  // an empty value equals no name
}

TEST(StructuredValues, DispGenres) {
    EXPECT_EQ(ParseDispGenres(std::string(64, 'F')).count(), 256u);
    const auto s = ParseDispGenres("0" + std::string(63, 'F'));
    EXPECT_EQ(s.count(), 252u);
    EXPECT_FALSE(s.test(0) || s.test(1) || s.test(2) || s.test(3));
    EXPECT_EQ(ParseDispGenres(std::string(30, 'F') + "G").count(), 256u);
    EXPECT_EQ(ParseDispGenres("").count(), 256u);
    const auto few = ParseDispGenres("1f");  // lower case is upper-cased; the rest undisplayed
    EXPECT_EQ(few.count(), 5u);
    EXPECT_TRUE(few.test(0) && few.test(4) && few.test(7));
    EXPECT_EQ(ParseDispGenres(std::string(80, 'F')).count(), 256u);  // beyond 255 ignored
    std::bitset<256> b;
    b.set(0);
    b.set(5);
    b.set(255);
    const std::string t = DispGenresText(b);
    EXPECT_EQ(t.size(), 64u);
    EXPECT_EQ(t.substr(0, 2), "12");
    EXPECT_EQ(t.back(), '8');
    EXPECT_EQ(ParseDispGenres(t), b);
}

TEST(StructuredValues, FormatHeader) {
    const auto f = ParseFormatHeader("01 00-02xx00 44AC0000 10B102000400 1000 0000");
    EXPECT_EQ(f[0], 1);
    EXPECT_EQ(f[2], 2);
    EXPECT_EQ(f[4], 0x44);
    EXPECT_EQ(f[5], 0xAC);
    EXPECT_EQ(f[14], 0x10);
    // Lower-case letters are skipped like blanks: "1a2B" pairs as 1,2 then B.
    const auto g = ParseFormatHeader("1a2B3");
    EXPECT_EQ(g[0], 0x12);
    EXPECT_EQ(g[1], 0xB3);
    const auto big = ParseFormatHeader(std::string(600, 'A'));
    EXPECT_EQ(big[255], 0xAA);
    std::array<std::uint8_t, 256> h{};
    h[16] = 0xFF;
    h[17] = 0xFF;  // cbSize 65535: never past the buffer
    EXPECT_EQ(FormatHeaderText(h).size(), 512u);
}

TEST(DeviceTable, LoadAndStoreEdgeCases) {
    TMemIniFile ini;
    ini.SetText("[DEVICES_0]\nAdapter=1\nTarget=2\nDriveMaker=SONY\nEnabled=no\nDriveType=PD\nIgnoreTargetStat=1\n"
                "ClassDrvInfo=0\nPortNumber=0\n"
                "[DEVICES_1]\nAdapter=0\nTarget=0\nDriveMaker=EXTEND\nDriveType=CDR\nClassDrvInfo=1\n"
                "PortNumber=65604\n"
                "[DEVICES_2]\nAdapter=0\nTarget=5\nDriveMaker=scsi3\nDeviceName=My Drive\n"
                "[DEVICES_3]\nAdapter=-1\nTarget=0\n"
                "[DEVICES_4]\nAdapter=0\nTarget=1\n"
                "[Common]\nUseCDROM=3\n");
    TConfigStore s;
    EXPECT_FALSE(LoadDeviceTable(s, ini, true));  // entry 1 came from the class driver
    ASSERT_EQ(s.DeviceCount, 3);                  // stops at the negative adapter
    EXPECT_EQ(s.Devices[0].DriveMaker, rcSonyMode0);
    EXPECT_FALSE(s.Devices[0].Enabled);
    EXPECT_EQ(s.Devices[0].Lun, 1);  // PD
    EXPECT_TRUE(s.Devices[0].IgnoreTargetStat);
    EXPECT_EQ(s.Devices[1].Adapter, 255);
    EXPECT_EQ(s.Devices[1].Lun, 255);
    EXPECT_EQ(s.ComboBox2.Items[1], "PnP Drive D");
    EXPECT_EQ(s.ComboBox2.Items[0], "Host Adapter #1 - SCSI ID #2  (PD-Drive)");
    EXPECT_EQ(s.Devices[2].DriveMaker, rcUnknownMake);  // words compare with exact case
    EXPECT_EQ(s.ComboBox2.Items[2], "My Drive");
    EXPECT_EQ(s.ComboBox2.ItemIndex(), 0);  // UseCDROM = count: the first entry
    EXPECT_FALSE(LoadDeviceTable(s, ini, false));  // entry 0 is an ASPI entry

    // Store: each drive keeps its own command; one chosen on the drive
    // page goes into the selected drive's entry.  ComboBox1 alone (set by
    // nobody) must not decide what the selected drive gets.
    s.Devices[1].DriveMaker = rcScsi3;
    s.ComboBox2.SetItemIndex(1);
    s.ComboBox1.SetItemIndex(rcSonyMode2);
    s.ComboBox2.SetItemIndex(0);
    s.SelectReadCommand(rcExtend);
    s.DeviceCount = 2;
    ini.SetText("[DEVICES_0]\nAdapter=9\nTarget=9\nStale=1\n[DEVICES_1]\nAdapter=0\nTarget=0\n"
                "[DEVICES_2]\nAdapter=3\nTarget=3\n[DEVICES_3]\nAdapter=3\nTarget=3\n"
                "[DEVICES_5]\nAdapter=3\nTarget=3\n");
    StoreDeviceTable(s, ini);
    EXPECT_FALSE(ini.ValueExists("DEVICES_0", "Stale"));
    EXPECT_EQ(ini.ReadString("DEVICES_0", "DriveMaker", ""), "EXTEND");
    EXPECT_EQ(ini.ReadString("DEVICES_1", "DriveMaker", ""), "SCSI3");
    EXPECT_EQ(ini.ReadInteger("DEVICES_1", "Adapter", -1), 0);  // by letter: 0
    EXPECT_EQ(ini.ReadString("DEVICES_1", "ClassDrvInfo", ""), "1");
    EXPECT_EQ(ini.ReadString("DEVICES_0", "DriveType", ""), "PD");
    EXPECT_FALSE(ini.ValueExists("DEVICES_0", "DeviceName"));
    EXPECT_FALSE(ini.SectionExists("DEVICES_2"));
    EXPECT_FALSE(ini.SectionExists("DEVICES_3"));
    EXPECT_TRUE(ini.SectionExists("DEVICES_5"));  // after a gap: left alone
    TConfigStore r;
    LoadDeviceTable(r, ini, true);
    EXPECT_EQ(r.DeviceCount, 2);
    EXPECT_EQ(r.Devices[1].Adapter, 255);
    EXPECT_EQ(r.Devices[0].DriveMaker, rcExtend);
    // An unknown make is written as PLEXTOR and comes back as 4.
    s.Devices[1].DriveMaker = rcUnknownMake;
    StoreDeviceTable(s, ini);
    LoadDeviceTable(r, ini, true);
    EXPECT_EQ(r.Devices[1].DriveMaker, rcPlextor);
}

TEST(DeviceTable, AtMostThirtyEntriesAndLongNamesCut) {
    TMemIniFile ini;
    for (int n = 0; n < 35; ++n) {
        ini.WriteInteger("DEVICES_" + std::to_string(n), "Adapter", 0);
        ini.WriteInteger("DEVICES_" + std::to_string(n), "Target", n);
        ini.WriteString("DEVICES_" + std::to_string(n), "ClassDrvInfo", "1");
    }
    ini.WriteString("DEVICES_0", "DeviceName", std::string(254, 'x') + "\x83\x5C");
    TConfigStore s;
    EXPECT_TRUE(LoadDeviceTable(s, ini, false));
    EXPECT_EQ(s.DeviceCount, MaxDeviceEntries);
    EXPECT_EQ(s.ComboBox2.Items.Count(), 30u);
    EXPECT_EQ(s.Devices[0].DeviceName, std::string(254, 'x'));  // no half character
}

TEST(DriveMode, AspiOrClassDriver) {
    IsWindowsNT = true;
    int scans = 0;
    auto none = [&] { ++scans; return 0; };
    auto two = [&] { ++scans; return 2; };
    TConfigStore s;
    s.CheckBox21.Checked = true;
    EXPECT_TRUE(DecideDriveMode(s, 1, two));
    EXPECT_FALSE(UseAspi);
    EXPECT_TRUE(s.CheckBox21.Enabled);
    // Class driver chosen but no drive through it: back to ASPI.
    EXPECT_TRUE(DecideDriveMode(s, 1, none));
    EXPECT_TRUE(UseAspi);
    EXPECT_FALSE(s.CheckBox21.Checked);
    // ASPI chosen: the class driver is not scanned.
    scans = 0;
    EXPECT_TRUE(DecideDriveMode(s, 2, two));
    EXPECT_TRUE(UseAspi);
    EXPECT_EQ(scans, 0);
    // No ASPI adapter: the class driver is forced and the box disabled.
    TConfigStore t;
    t.CheckBox21.Checked = false;
    EXPECT_TRUE(DecideDriveMode(t, 0, two));
    EXPECT_TRUE(t.CheckBox21.Checked);
    EXPECT_FALSE(t.CheckBox21.Enabled);
    EXPECT_FALSE(UseAspi);
    // Neither: loading stops.
    EXPECT_FALSE(DecideDriveMode(t, 0, none));
    EXPECT_FALSE(DecideDriveMode(t, 0, nullptr));
    // Windows 9x: always ASPI, the box disabled.
    IsWindowsNT = false;
    TConfigStore u;
    u.CheckBox21.Checked = true;
    EXPECT_TRUE(DecideDriveMode(u, 0, none));
    EXPECT_TRUE(UseAspi);
    EXPECT_FALSE(u.CheckBox21.Enabled);
    IsWindowsNT = true;
}
