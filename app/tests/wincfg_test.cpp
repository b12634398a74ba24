// The frame's small rules, the rules of its custom controls and of the
// test-playback bar.
#include <gtest/gtest.h>

#include "app/ctrlmodel.h"
#include "app/testplay.h"
#include "app/wincfg.h"

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

// The test-playback bar's small rules: a slider without a length gives 0 %
// (never a division by zero), the time text, the player's states, and
// which player takes a file.
TEST(TestPlayback, SliderTimeStatesAndPlayers) {
    EXPECT_EQ(wendrix::SliderPercent(120, 240), 50);
    EXPECT_EQ(wendrix::SliderPercent(3, 0), 0);
    EXPECT_EQ(wendrix::SliderPercent(3, -1), 0);
    EXPECT_EQ(wendrix::PlayTimeText(61999), "01:01");
    EXPECT_EQ(wendrix::PlayTimeText(100 * 60000), "100:00");
    EXPECT_EQ(wendrix::ExternalPlayerMode(0), 1);
    EXPECT_EQ(wendrix::ExternalPlayerMode(1), 2);
    EXPECT_EQ(wendrix::ExternalPlayerMode(3), 5);
    EXPECT_EQ(wendrix::ExternalPlayerMode(2), 0);
    EXPECT_TRUE(wendrix::PlaysInMediaPlayer("C:\\A\\SONG.WAV", false));
    EXPECT_TRUE(wendrix::PlaysInMediaPlayer("c:\\a\\song.wav", false));
    EXPECT_FALSE(wendrix::PlaysInMediaPlayer("C:\\A\\SONG.MP3", false));
    EXPECT_TRUE(wendrix::PlaysInMediaPlayer("C:\\A\\SONG.MP3", true));
    EXPECT_FALSE(wendrix::PlaysInMediaPlayer("WAV", false));
}
