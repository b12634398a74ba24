#include "settings/configstore.h"

#include <gtest/gtest.h>

#include <string>

#include "output/mp3defs.h"

TEST(Bindings, SpinTrackComboAndRadioBehaveLikeTheirControls) {
    TSpinBinding spin(1, 50, 10);
    spin.SetValue(80);
    EXPECT_EQ(spin.Value(), 50);
    spin.SetValue(0);
    EXPECT_EQ(spin.Value(), 1);
    spin.SetValue(40);
    spin.SetRange(1, 18);  // MSCDEX on Windows 9x lowers the maximum
    EXPECT_EQ(spin.Value(), 18);
    TSpinBinding free(0, 0, 50);  // equal bounds: no clamping
    free.SetValue(-7);
    EXPECT_EQ(free.Value(), -7);
    TTrackBarBinding bar(-2, 2, 0);
    bar.SetPosition(5);
    EXPECT_EQ(bar.Position(), 2);
    TComboBinding combo({"a", "b"}, 1);
    EXPECT_EQ(combo.Text(), "b");
    combo.SetItemIndex(2);
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "");
    TRadioGroupBinding radio(3, 2);
    radio.SetItemIndex(7);
    EXPECT_EQ(radio.ItemIndex(), -1);
    TCheckBinding check;
    check.Checked = true;
    check.Enabled = false;
    EXPECT_FALSE(check.CheckedAndEnabled());
}

TEST(ConfigStore, DefaultsOfTheDesign) {
    TConfigStore s;
    EXPECT_EQ(s.SpinEdit1.Value(), 10);
    EXPECT_EQ(s.MemUseRatio.Value(), 50);
    EXPECT_EQ(s.RatioEdit.Value(), 100);
    EXPECT_EQ(s.WaitTime(), 50);
    EXPECT_EQ(s.MaxRetry, 10);
    EXPECT_TRUE(s.CheckBox4.Checked);
    EXPECT_FALSE(s.CheckBox7.Visible);
    EXPECT_EQ(s.SelOutputMethod.ItemIndex(), omWave);
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekExternal);
    EXPECT_EQ(s.SelStdEncode.ItemIndex(), semMP3);
    EXPECT_EQ(s.ComboBox1.Items.Count(), 10u);
    EXPECT_EQ(s.SelReadMethod.Items.Count(), 4u);
    EXPECT_EQ(s.bitratebox.Text(), "128Kbit/sec");
    EXPECT_EQ(s.WMTBitrate.Items.Count(), 18u);
    EXPECT_EQ(s.GetWMTBitrate(), 128000);
    EXPECT_EQ(s.GetWMTSamplingrate(), 44100);
    EXPECT_EQ(s.GetVQFBitrate(), 96);
    EXPECT_EQ(s.GetVQFQuality(), 16);
    EXPECT_EQ(TConfigStore::GogoBitrate(s.GogoMaxVBR, 8), 128);
    EXPECT_EQ(TConfigStore::GogoBitrate(s.GogoMinVBR, 7), 112);
    EXPECT_TRUE(s.ReadMethodFlags[8]);  // 2PassZitterCollectionRead/ExecDummyRead
    EXPECT_EQ(s.FileNameTemplate(), "%T");
    EXPECT_EQ(s.FolderNameTemplate(), "%L");
    EXPECT_FALSE(s.FilenameEdit.Enabled);
    EXPECT_EQ(s.DefaultPcmFormat[4] | s.DefaultPcmFormat[5] << 8, 44100);
    EXPECT_EQ(s.WaveDeviceNames[0], "WAVE MAPPER");
}

TEST(ConfigStore, ValueGettersNeverReadOutsideTheirTables) {
    TConfigStore s;
    s.WMTBitrate.SetItemIndex(17);
    EXPECT_EQ(s.GetWMTBitrate(), 5000);
    s.WMTBitrate.SetItemIndex(-1);
    EXPECT_EQ(s.GetWMTBitrate(), 128000);
    s.WMTSamplingRate.SetItemIndex(5);
    EXPECT_EQ(s.GetWMTSamplingrate(), 8000);
    s.WMTSamplingRate.SetItemIndex(-1);
    EXPECT_EQ(s.GetWMTSamplingrate(), 44100);
    s.VQFBitRate.SetItemIndex(1);
    EXPECT_EQ(s.GetVQFBitrate(), 80);
    s.VQFQuality.SetItemIndex(99);
    EXPECT_EQ(s.GetVQFQuality(), 16);
    EXPECT_EQ(TConfigStore::GogoBitrate(13, 8), 320);
    EXPECT_EQ(TConfigStore::GogoBitrate(14, 8), 128);
    EXPECT_EQ(TConfigStore::GogoBitrate(-1, 7), 112);
}

TEST(ConfigStore, OutputQueries) {
    TConfigStore s;
    s.SelOutputMethod.SetItemIndex(omMP3);
    s.SelMP3Enc.SetItemIndex(mekExternal);
    s.SelL3Cmd.Checked = false;
    s.SelLameStdin.Checked = true;
    EXPECT_TRUE(s.IsUseStdin());
    EXPECT_TRUE(s.IsUseACMMP3());
    EXPECT_FALSE(s.IsUseL3Enc());
    s.UseOriginalOption.Checked = true;
    EXPECT_FALSE(s.IsUseStdin());
    EXPECT_TRUE(s.IsUseL3Enc());
    EXPECT_FALSE(s.IsUseACMMP3());
    s.UseStdin.Checked = true;
    EXPECT_TRUE(s.IsUseStdin());
    EXPECT_FALSE(s.IsUseL3Enc());
    s.SelMP3Enc.SetItemIndex(mekACM);
    EXPECT_FALSE(s.IsUseStdin());
    EXPECT_TRUE(s.IsUseACMMP3());
    // GOGO queries need MP3 output whatever the format type holds.
    s.SelMP3Enc.SetItemIndex(mekGogo);
    for (int f : {gftMP3, gftRiffWave, gftRiffMP3}) {
        s.GogoFormatType = static_cast<std::uint8_t>(f);
        s.SelOutputMethod.SetItemIndex(omMP3);
        EXPECT_TRUE(s.IsUseGogoDLL());
        EXPECT_EQ(s.IsUseGogoMP3(), f == gftMP3);
        EXPECT_EQ(s.IsUseGogoWAVE(), f == gftRiffWave);
        EXPECT_EQ(s.IsUseGogoRMP(), f == gftRiffMP3);
        for (int m : {omWave, omWMA, omTwinVQ}) {
            s.SelOutputMethod.SetItemIndex(m);
            EXPECT_FALSE(s.IsUseGogoDLL() || s.IsUseGogoMP3() || s.IsUseGogoWAVE() || s.IsUseGogoRMP());
        }
    }
    s.SelOutputMethod.SetItemIndex(omWMA);
    EXPECT_TRUE(s.IsUseWMT());
    EXPECT_FALSE(s.IsUseWAVE() || s.IsUseMP3() || s.IsUseVQF());
    s.SelOutputMethod.SetItemIndex(-1);
    EXPECT_FALSE(s.IsUseWAVE() || s.IsUseWMT() || s.IsUseMP3() || s.IsUseVQF());
}

TEST(ConfigStore, ReadMethodQueries) {
    TConfigStore s;
    s.ReadMethodFlags.fill(true);
    s.SelReadMethod.SetItemIndex(rmNormalRead);
    EXPECT_TRUE(s.GetModeOfVerifyCheck() && s.GetModeOfSeekCheck() && s.GetModeOfWriteCache());
    EXPECT_FALSE(s.GetModeOfDummyRead() || s.GetModeOfBurstErrorCorrect() || s.GetModeOfBurstErrorNoWrite());
    s.SelReadMethod.SetItemIndex(rm1PassZitterRead);
    EXPECT_TRUE(s.GetModeOf1passZitterCheck());
    EXPECT_TRUE(s.GetModeOfWriteCache());
    s.SelReadMethod.SetItemIndex(rm2PassZitterRead);
    EXPECT_TRUE(s.GetModeOf2passZitterCheck());
    EXPECT_FALSE(s.GetModeOfWriteCache());  // the third flag is ExecDummyRead here
    EXPECT_TRUE(s.GetModeOfDummyRead());
    EXPECT_TRUE(s.GetModeOfSeekCheck());
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    EXPECT_TRUE(s.GetModeOfHispeedBurstRead());
    EXPECT_FALSE(s.GetModeOfSeekCheck());   // its second flag is CheckError
    EXPECT_FALSE(s.GetModeOfWriteCache());
    EXPECT_TRUE(s.GetModeOfBurstErrorCorrect() && s.GetModeOfBurstErrorNoWrite());
    s.ReadMethodFlags.fill(false);
    s.ReadMethodFlags[9] = true;
    EXPECT_TRUE(s.GetModeOfVerifyCheck());
    EXPECT_FALSE(s.GetModeOfBurstErrorCorrect());
    // Nothing selected reads as the normal method, never before the flags.
    s.SelReadMethod.SetItemIndex(-1);
    EXPECT_EQ(s.ReadMethod(), rmNormalRead);
    EXPECT_FALSE(s.GetModeOfVerifyCheck());
    // The three check boxes show and take the selected method's flags.
    s.SelReadMethod.SetItemIndex(rm2PassZitterRead);
    s.ReadMethodFlags[7] = true;
    s.ShowReadMethodFlags();
    EXPECT_FALSE(s.ReadMethod1.Checked);
    EXPECT_TRUE(s.ReadMethod2.Checked);
    s.ReadMethod3.Checked = true;
    s.TakeReadMethodFlags();
    EXPECT_TRUE(s.ReadMethodFlags[8]);
}

TEST(ConfigStore, WaitTimeNeverNegative) {
    TConfigStore s;
    s.SetWaitTime(-1);
    EXPECT_EQ(s.WaitTime(), 0);
    s.SetWaitTime(-2147483647 - 1);
    EXPECT_EQ(s.WaitTime(), 0);
    s.SetWaitTime(120);
    EXPECT_EQ(s.WaitTime(), 120);
}

TEST(ConfigStore, TemplatesFollowTheSelection) {
    TConfigStore s;
    std::string name = "keep";
    bool error = true;
    s.FileNameSelect.SetItemIndex(2);
    s.GetCurrentFilename(7, "A", "R", "L", "G", name, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(name, "07.A");
    s.FileNameSelect.SetItemIndex(0);
    s.FileNameSelectChange();
    EXPECT_TRUE(s.FilenameEdit.Enabled);
    s.FilenameEdit.Text = "%T%";
    name = "keep";
    s.GetCurrentFilename(7, "A", "R", "L", "G", name, error);
    EXPECT_TRUE(error);
    EXPECT_EQ(name, "keep");
    s.FolderNameSelect.SetItemIndex(3);
    s.LangSelect.SetItemIndex(0);
    s.GetCurrentFolfername("R", "x/y", "", name, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(name, std::string(NewGenreName) + "\\R_x_y");
    s.LangSelect.SetItemIndex(1);  // Japanese: full-width replacements
    s.GetCurrentFolfername("R", "x/y", "", name, error);
    EXPECT_EQ(name, std::string(NewGenreName) + "\\R_x\x81\x5Ey");
    s.FolderNameSelect.SetItemIndex(0);
    s.FoldernameEdit.Text = "%T";
    s.GetCurrentFolfername("R", "L", "G", name, error);
    EXPECT_TRUE(error);
}

TEST(ConfigStore, CheckDirMark) {
    EXPECT_EQ(TConfigStore::CheckDirMark("C:\\"), "C:");
    EXPECT_EQ(TConfigStore::CheckDirMark("C:\\music\\"), "C:\\music");
    EXPECT_EQ(TConfigStore::CheckDirMark("C:\\\x83\x5C"), "C:\\\x83\x5C");  // ends in ソ
    EXPECT_EQ(TConfigStore::CheckDirMark(""), "");
}

TEST(ConfigStore, SelectedDeviceStaysInsideTheTable) {
    TConfigStore s;
    EXPECT_EQ(s.SelectedDevice(), nullptr);
    s.DeviceCount = 2;
    s.Devices[1].Target = 3;
    s.ComboBox2.Items.Add("a");
    s.ComboBox2.Items.Add("b");
    s.ComboBox2.SetItemIndex(1);
    EXPECT_EQ(s.SelectedDevice()->Target, 3);
    s.DeviceCount = 40;  // corrupt count: no entry rather than a read past the table
    EXPECT_EQ(s.SelectedDevice(), nullptr);
}

TEST(RipCache, SizeIsCappedIn64Bits) {
    EXPECT_EQ(RipCacheSizeFor(600000000ull, 50), 235520000u);
    EXPECT_EQ(RipCacheSizeFor(400000000ull, 50), 200000000u);
    // 8.8 GB at 50 % is 4.4 GB: narrowed to 32 bits first it would wrap to
    // about 105 MB; capped first it is the maximum.
    EXPECT_EQ(RipCacheSizeFor(8800000000ull, 50), 235520000u);
    EXPECT_EQ(RipCacheSizeFor(0xFFFFFFFFFFFFFFFFull, 95), 235520000u);
    EXPECT_EQ(RipCacheSizeFor(0, 50), 0u);
    EXPECT_EQ(RipCacheSizeFor(1000, 95), 950u);
    EXPECT_EQ(RipCacheSizeFor(1000, 200), 950u);  // ratio held to 5..95
    EXPECT_EQ(RipCacheSizeFor(199, 50), 99u);
    EXPECT_EQ(KBytesText(235520000), "230000 KBytes");
}

TEST(ComboRule, StoredFormAndReading) {
    TConfigStore s;
    s.WMTBitrate.SetItemIndex(1);
    EXPECT_EQ(ComboStoredValue(s.WMTBitrate, 'K'), "128KB");
    EXPECT_EQ(ComboStoredValue(s.bitratebox, 'K'), "128KB");
    EXPECT_EQ(ComboStoredValue(s.WMTSamplingRate, 'H'), "44100HZ");
    EXPECT_EQ(ComboStoredValue(s.VQFQuality, 0), "16");
    SelectComboByStoredValue(s.WMTBitrate, "8KB", 'K');
    EXPECT_EQ(s.WMTBitrate.Text(), "8Kbps");
    SelectComboByStoredValue(s.WMTBitrate, "6KB", 'K');
    EXPECT_EQ(s.WMTBitrate.Text(), "6Kbps");
    SelectComboByStoredValue(s.WMTBitrate, "128K", 'K');  // the default: contained, not equal
    EXPECT_EQ(s.WMTBitrate.Text(), "128Kbps");
    SelectComboByStoredValue(s.VQFQuality, "1", 0);
    EXPECT_EQ(s.VQFQuality.Text(), "1");
    SelectComboByStoredValue(s.VQFQuality, "2", 0);
    EXPECT_EQ(s.VQFQuality.Text(), "2");
    SelectComboByStoredValue(s.bitratebox, "320KB", 'K');
    SelectComboByStoredValue(s.bitratebox, "128K", 'K');
    EXPECT_EQ(s.bitratebox.Text(), "128Kbit/sec");
    SelectComboByStoredValue(s.VQFBitRate, "80K", 'K');
    EXPECT_EQ(s.GetVQFBitrate(), 80);
    SelectComboByStoredValue(s.VQFBitRate, "NONSENSE", 'K');  // unchanged
    EXPECT_EQ(s.GetVQFBitrate(), 80);
    SelectComboByStoredValue(s.VQFBitRate, "", 'K');
    EXPECT_EQ(s.GetVQFBitrate(), 80);
    SelectComboByStoredValue(s.WMTSamplingRate, "22050HZ", 'H');
    EXPECT_EQ(s.GetWMTSamplingrate(), 22050);
}
