// The main window's settings keys and the rules of its custom controls.
#include <gtest/gtest.h>

#include "app/ctrlmodel.h"
#include "app/wincfg.h"

namespace {

TWinCfg Read(const std::string& text) {
    TMemIniFile ini;
    ini.SetText(text);
    return ReadWinCfg(ini);
}

}  // namespace

TEST(WinCfg, MissingKeysGiveTheDefaultFrame) {
    const TWinCfg c = Read("");
    EXPECT_EQ(c.WindowLeft, 0);
    EXPECT_EQ(c.WindowTop, 0);
    EXPECT_EQ(c.WindowWidth, 640);
    EXPECT_EQ(c.WindowHeight, 480);
    EXPECT_EQ(c.DirViewWidth, 200);
    EXPECT_EQ(c.TrackViewHeight, 180);
    EXPECT_TRUE(c.DispToolBar);
    EXPECT_TRUE(c.DispPlayPanel);
    EXPECT_FALSE(c.LargeIcon);
    EXPECT_EQ(c.SortPattern, lsFileName);
    EXPECT_TRUE(c.SortAscending);
    EXPECT_TRUE(c.AutoRefresh);
    EXPECT_TRUE(c.IsDispCDROM);
    EXPECT_TRUE(c.BootDir.empty());
    for (int w : c.TrColW) EXPECT_EQ(w, -1);
}

TEST(WinCfg, GeometryFallBacks) {
    const TWinCfg c = Read(
        "[Common]\r\nWindowLeft=-255\r\nWindowTop=-256\r\nCDPWindowLeft=-1000\r\nCDPWindowTop=-3\r\n"
        "WindowWidth=-2\r\nWindowHeight=0\r\nDirViewWidth=0\r\nTrackViewHeight=0\r\n");
    EXPECT_EQ(c.WindowLeft, -255);
    EXPECT_EQ(c.WindowTop, 0);
    EXPECT_EQ(c.CDPWindowLeft, 0);
    EXPECT_EQ(c.CDPWindowTop, -3);
    EXPECT_EQ(c.WindowWidth, 640);
    EXPECT_EQ(c.WindowHeight, 0);  // only a negative height falls back
    EXPECT_EQ(c.DirViewWidth, 1);  // never 0
    EXPECT_EQ(c.TrackViewHeight, 1);
    EXPECT_EQ(Read("[Common]\r\nDirViewWidth=-7\r\nTrackViewHeight=-1\r\n").DirViewWidth, 200);
}

TEST(WinCfg, ExtensionFilter) {
    const TWinCfg absent = Read("");
    EXPECT_TRUE(absent.Filter.ShowAll);
    ASSERT_EQ(absent.Filter.Count, 2);
    EXPECT_EQ(absent.Filter.Exts[0], ".MP");
    EXPECT_EQ(absent.Filter.Exts[1], ".WAV");

    const TWinCfg one = Read("[Filer]\r\nDispAllExts=0\r\nDispExt1=.mp3\r\nDispExt2=\r\nDispExt3=.ogg\r\n");
    EXPECT_FALSE(one.Filter.ShowAll);
    ASSERT_EQ(one.Filter.Count, 1);  // the first empty entry ends the list
    EXPECT_EQ(one.Filter.Exts[0], ".MP3");

    std::string many = "[Filer]\r\nDispAllExts=1\r\nDispExt1=.abcdefghijklmnopq\r\n";
    for (int i = 2; i <= 20; ++i) many += "DispExt" + std::to_string(i) + "=.e" + std::to_string(i) + "\r\n";
    const TWinCfg m = Read(many);
    EXPECT_TRUE(m.Filter.ShowAll);
    EXPECT_EQ(m.Filter.Count, 16);                 // at most 16 are read
    EXPECT_EQ(m.Filter.Exts[0], ".ABCDEFGHIJKLMN");  // cut to 15 characters
    EXPECT_EQ(Read("[Filer]\r\nDispAllExts=-4\r\n").Filter.Count, 2);
}

TEST(WinCfg, ViewWordsAndBootFolder) {
    const TWinCfg c = Read(
        "[Common]\r\nListViewPattern=largeicon\r\nSortPattern=Date\r\nSortDir=Up\r\nTrColW0=55\r\nTrColW3=0\r\n"
        "[Filer]\r\nChangeBootDir=No\r\nBootDir=C:\\Music\\\r\nAutoRefresh=no\r\nIsDispCDROM=No\r\n");
    EXPECT_TRUE(c.LargeIcon);
    EXPECT_EQ(c.SortPattern, lsTime);  // any other word: by time
    EXPECT_FALSE(c.SortAscending);     // any word but Normal: descending
    EXPECT_EQ(c.TrColW[0], 55);
    EXPECT_EQ(c.TrColW[3], -1);
    EXPECT_TRUE(c.BootDir.empty());    // only kept with ChangeBootDir
    EXPECT_EQ(c.BootDirInFile, "C:\\Music\\");
    EXPECT_FALSE(c.AutoRefresh);
    EXPECT_FALSE(c.IsDispCDROM);
    EXPECT_EQ(Read("[Common]\r\nSortPattern=extention\r\n").SortPattern, lsExtension);
    EXPECT_EQ(Read("[Common]\r\nSortPattern=SIZE\r\n").SortPattern, lsSize);
    EXPECT_EQ(Read("[Filer]\r\nChangeBootDir=yes\r\nBootDir=D:\\\r\n").BootDir, "D:\\");
}

TEST(WinCfg, WrittenKeysReadBackUnchanged) {
    const std::string text =
        "[Common]\r\nWindowTop=-12\r\nWindowLeft=33\r\nCDPWindowTop=5\r\nCDPWindowLeft=-255\r\nWindowHeight=500\r\n"
        "WindowWidth=700\r\nDirViewWidth=150\r\nTrackViewHeight=90\r\nTrColW0=41\r\nTrColW6=77\r\n"
        "ListViewPattern=LargeIcon\r\nSortPattern=Size\r\nSortDir=Reverse\r\nDispToolBar=No\r\nDispPlayPanel=No\r\n"
        "[Filer]\r\nIsDispCDROM=No\r\nChangeBootDir=Yes\r\nBootDir=C:\\x\\\r\nAutoRefresh=No\r\nDispAllExts=0\r\n"
        "DispExt1=.FLAC\r\nDispExt2=.OGG\r\n";
    const TWinCfg c = Read(text);
    TMemIniFile out;
    out.SetText(text);
    WriteWinCfg(c, out);
    const TWinCfg back = ReadWinCfg(out);
    EXPECT_EQ(back.WindowTop, -12);
    EXPECT_EQ(back.WindowLeft, 33);
    EXPECT_EQ(back.CDPWindowLeft, -255);
    EXPECT_EQ(back.WindowWidth, 700);
    EXPECT_EQ(back.DirViewWidth, 150);
    EXPECT_EQ(back.TrackViewHeight, 90);
    EXPECT_EQ(back.TrColW[0], 41);
    EXPECT_EQ(back.TrColW[6], 77);
    EXPECT_TRUE(back.LargeIcon);
    EXPECT_EQ(back.SortPattern, lsSize);
    EXPECT_FALSE(back.SortAscending);
    EXPECT_FALSE(back.DispToolBar);
    EXPECT_FALSE(back.DispPlayPanel);
    EXPECT_FALSE(back.IsDispCDROM);
    EXPECT_FALSE(back.AutoRefresh);
    EXPECT_EQ(back.BootDir, "C:\\x\\");
    EXPECT_FALSE(back.Filter.ShowAll);
    ASSERT_EQ(back.Filter.Count, 2);
    EXPECT_EQ(back.Filter.Exts[0], ".FLAC");
    EXPECT_EQ(out.ReadString("Filer", "DispAllExts", ""), "0");
    EXPECT_EQ(out.ReadString("Common", "SortDir", ""), "Reverse");
}

TEST(Frame, HelpFileAndCompressionToggle) {
    EXPECT_EQ(HelpFilePath("C:\\"), "C:\\Wendrix.HLP");
    EXPECT_EQ(HelpFilePath("C:\\Tools"), "C:\\Tools\\Wendrix.HLP");
    EXPECT_EQ(ToggleOutputMethod(0, 0), 1);
    EXPECT_EQ(ToggleOutputMethod(0, 1), 2);
    EXPECT_EQ(ToggleOutputMethod(0, 2), 3);
    EXPECT_EQ(ToggleOutputMethod(0, 3), 0);   // outside 0..2: WAVE stays
    EXPECT_EQ(ToggleOutputMethod(0, -1), 0);
    EXPECT_EQ(ToggleOutputMethod(2, 1), 0);
    EXPECT_EQ(ToggleOutputMethod(3, 7), 0);
}

TEST(DriveBar, ButtonsIndicesAndHits) {
    TDriveBarModel m;
    EXPECT_EQ(m.ClampIndex(0), -1);  // no buttons
    for (int i = 0; i < 28; ++i) m.AddDrive(i, i % 3);
    EXPECT_EQ(m.Drives, 27);         // the 28th is ignored
    EXPECT_EQ(m.DriveLetters.back(), static_cast<char>('A' + 26));
    m.Clear();
    for (int i = 0; i < 3; ++i) m.AddDrive(2 + i, 0);
    EXPECT_EQ(m.DriveLetters, "CDE");
    EXPECT_EQ(m.ClampIndex(5), 2);
    EXPECT_EQ(m.ClampIndex(3), 2);   // an index equal to the count is out of range too
    EXPECT_EQ(m.ClampIndex(1), 1);
    EXPECT_EQ(m.ClampIndex(-1), -1);
    const TDriveBarMetrics g = TDriveBarMetrics::From(7, 12, 16, 16);
    EXPECT_EQ(g.ButtonWidth, 35);
    EXPECT_EQ(g.RowHeight, 16);
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 8, 2), 0);
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 8 + 35 - 1, 21), 0);
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 8 + 35, 10), 1);  // the right edge belongs to the next button
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 8 + 3 * 35, 10), -1);
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 20, 22), -1);
    EXPECT_EQ(DriveAtPos(m, g, 8, 2, 7, 10), -1);
}

TEST(CustomControls, NumEditAndOverlay) {
    EXPECT_TRUE(NumEditAccepts('7', false));
    EXPECT_TRUE(NumEditAccepts(8, false));   // backspace
    EXPECT_TRUE(NumEditAccepts(22, false));  // Ctrl+V
    EXPECT_FALSE(NumEditAccepts('-', false));
    EXPECT_TRUE(NumEditAccepts('-', true));
    EXPECT_FALSE(NumEditAccepts('+', true));
    EXPECT_FALSE(NumEditAccepts('a', true));
    EXPECT_FALSE(NumEditAccepts(0x82, true));

    TOverlayRequest noState{0x1, 0x1234, 0xFFFF};
    ApplyOverlay(noState, -1);
    EXPECT_EQ(noState.Mask, 0x1u);
    EXPECT_EQ(noState.State, 0u);
    TOverlayRequest link{0x1, 0, 0};
    ApplyOverlay(link, 1);
    EXPECT_EQ(link.Mask, 0x1u | kLvifState);
    EXPECT_EQ(link.State, 0x200u);
    EXPECT_EQ(link.StateMask, kOverlayMask);
    TOverlayRequest share{kLvifState, 0x2, 0x2};
    ApplyOverlay(share, 0);
    EXPECT_EQ(share.State, 0x102u);
    EXPECT_EQ(share.StateMask, 0x2u | kOverlayMask);
}
