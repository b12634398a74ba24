// The settings dialog's page rules on the store: read-method warnings,
// the GOGO version checks, the status line and the extension list.
#include "settings/configlogic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "resources/msgids.h"

namespace {

struct ConfigLogicTest : ::testing::Test {
    TConfigStore s;
    TConfigExtras x;
    TConfigLogic logic{s, x};
    std::vector<int> said;
    std::vector<std::string> texts;
    void SetUp() override {
        IsWindowsNT = true;
        IsWindows95 = false;
        logic.Warn = [this](int id, const std::string& t) {
            said.push_back(id);
            texts.push_back(t);
        };
        // Patterns as the message table holds them; plain texts by number.
        logic.Text = [](int id) -> std::string {
            switch (id) {
                case MSG_CFG_GOGO_VERSION: return "version %x.%.02x";
                case MSG_CFG_EXT_ADDED: return "added %s";
                case MSG_CFG_EXT_DELETED: return "removed %s";
                case MSG_CFG_STATUS_WAVE: return "WAV: %s / %s";
                default: return "<" + std::to_string(id) + ">";
            }
        };
    }
    void TearDown() override { IsWindowsNT = true; }
};

}  // namespace

TEST_F(ConfigLogicTest, ReadMethodWarningsResetToNormalRead) {
    s.ComboBox1.SetItemIndex(rcPioneer);
    s.SelReadMethod.SetItemIndex(rm1PassZitterRead);
    logic.SelReadMethodChange(false);
    EXPECT_EQ(said, std::vector<int>{MSG_CFG_PIONEER_ZITTER});
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rmNormalRead);

    said.clear();
    s.ComboBox1.SetItemIndex(rcPlextor);
    s.CheckBox21.Checked = true;  // class driver on NT
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    logic.SelReadMethodChange(false);
    EXPECT_EQ(said, std::vector<int>{MSG_CFG_CLASSDRV_BURST});
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rmNormalRead);

    said.clear();  // Windows 9x with MSCDEX
    IsWindowsNT = false;
    s.CheckBox14.Checked = true;
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    logic.SelReadMethodChange(false);
    EXPECT_EQ(said, std::vector<int>{MSG_CFG_MSCDEX_BURST});
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rmNormalRead);

    said.clear();  // the start-up's run resets without a word
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    logic.SelReadMethodChange(true);
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rmNormalRead);
}

TEST_F(ConfigLogicTest, ReadMethodFlagsAndWriterThread) {
    s.ReadMethodFlags[1 * 3 + 2] = true;  // one-pass: write cache
    s.SelReadMethod.SetItemIndex(rm1PassZitterRead);
    logic.SelReadMethodChange(false);
    EXPECT_TRUE(s.ReadMethod3.Checked);
    EXPECT_FALSE(s.UseMultiThreadWrite.Enabled);
    s.ReadMethod3.Checked = false;
    logic.ReadMethodClick(2);
    EXPECT_FALSE(s.ReadMethodFlags[5]);
    EXPECT_TRUE(s.UseMultiThreadWrite.Enabled);
    s.SelReadMethod.SetItemIndex(rm2PassZitterRead);
    logic.SelReadMethodChange(false);
    EXPECT_FALSE(s.UseMultiThreadWrite.Enabled);  // two-pass: never
    // PIONEER chosen while one-pass correction is selected: two-pass.
    s.SelReadMethod.SetItemIndex(rm1PassZitterRead);
    logic.SelReadMethodChange(false);
    s.ReadMethodFlags = {};
    s.ReadMethodFlags[1 * 3 + 0] = true;  // one-pass: verify
    s.ReadMethodFlags[2 * 3 + 2] = true;  // two-pass: dummy read
    logic.SelReadMethodChange(false);
    logic.ReadCommandChosen(rcPioneer);
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rm2PassZitterRead);
    // The boxes show two-pass's own flags at once, and a click on one box
    // stores that box alone.
    EXPECT_FALSE(s.ReadMethod1.Checked);
    EXPECT_TRUE(s.ReadMethod3.Checked);
    s.ReadMethod2.Checked = true;
    logic.ReadMethodClick(1);
    EXPECT_EQ(s.ReadMethodFlags, (std::array<bool, 12>{false, false, false, true, false, false, false, true, true}));
    EXPECT_TRUE(s.GetModeOfDummyRead());

    // The ripping page turning burst read into normal read shows normal
    // read's flags.
    s.ComboBox1.SetItemIndex(rcPlextor);
    s.ReadMethodFlags = {};
    s.ReadMethodFlags[3 * 3 + 0] = true;  // burst: verify
    s.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
    s.CheckBox21.Checked = false;
    logic.SelReadMethodChange(false);
    EXPECT_TRUE(s.ReadMethod1.Checked);
    s.CheckBox21.Checked = true;
    logic.TabSheet2Show();
    EXPECT_EQ(s.SelReadMethod.ItemIndex(), rmNormalRead);
    EXPECT_FALSE(s.ReadMethod1.Checked);
    EXPECT_TRUE(s.UseMultiThreadWrite.Enabled);
    s.ReadMethod3.Checked = true;
    logic.ReadMethodClick(2);
    EXPECT_EQ(s.ReadMethodFlags, (std::array<bool, 12>{false, false, true, false, false, false, false, false, false, true}));
    EXPECT_FALSE(s.UseMultiThreadWrite.Enabled);
}

TEST_F(ConfigLogicTest, GogoVersionBranches) {
    s.SelMP3Enc.SetItemIndex(mekGogo);
    logic.UseL3EncClick(false, 0);
    EXPECT_EQ(said, std::vector<int>{MSG_CFG_NO_GOGO});
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekACM);

    said.clear();
    texts.clear();
    s.SelMP3Enc.SetItemIndex(mekGogo);
    s.GogoFormatType = gftRiffMP3;
    logic.UseL3EncClick(true, 0x224);
    ASSERT_EQ(said, std::vector<int>{MSG_CFG_GOGO_VERSION});
    EXPECT_EQ(texts[0], "version 2.24");
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekACM);
    EXPECT_EQ(s.GogoFormatType, gftMP3);

    said.clear();
    s.SelMP3Enc.SetItemIndex(mekGogo);
    s.GogoFormatType = gftRiffWave;
    logic.UseL3EncClick(true, 0x226);
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(s.SelMP3Enc.ItemIndex(), mekGogo);
    EXPECT_EQ(s.GogoFormatType, gftMP3);
    EXPECT_TRUE(x.GogoSetting);

    s.GogoFormatType = gftRiffWave;
    logic.UseL3EncClick(true, 0x230);
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(s.GogoFormatType, gftRiffWave);
    logic.UseL3EncClick(true, 0x300);  // major 3 and above: no check
    EXPECT_EQ(s.GogoFormatType, gftRiffWave);
}

TEST_F(ConfigLogicTest, StatusLine) {
    s.SelOutputMethod.SetItemIndex(omWMA);
    s.WMTSamplingRate.SetItemIndex(0);
    s.WMTBitrate.SetItemIndex(1);
    s.WMTStereoSel.Checked = true;
    char expect[128];
    std::snprintf(expect, sizeof expect, "<%d>44100Hz,128Kbps,<%d>", MSG_CFG_STATUS_WMA, MSG_CFG_STEREO);
    EXPECT_EQ(logic.MakeMP3StatusString(), expect);
    s.SelOutputMethod.SetItemIndex(omMP3);
    s.SelMP3Enc.SetItemIndex(mekExternal);
    s.UseOriginalOption.Checked = true;
    std::snprintf(expect, sizeof expect, "<%d><%d>", MSG_CFG_STATUS_MP3, MSG_CFG_EXT_ORIGINAL);
    for (TCheckBinding* b : {&s.SelL3Cmd, &s.SelSCMPXCmd}) {
        s.SelL3Cmd.Checked = s.SelSCMPXCmd.Checked = false;
        b->Checked = true;
        EXPECT_EQ(logic.MakeMP3StatusString(), expect);
    }
    s.UseOriginalOption.Checked = false;
    s.VBRCheckBox.Checked = true;
    std::snprintf(expect, sizeof expect, "<%d>SCMPX<%d><%d>128Kbit/sec", MSG_CFG_STATUS_MP3, MSG_CFG_EXT_COMPAT,
                  MSG_CFG_VBR);
    EXPECT_EQ(logic.MakeMP3StatusString(), expect);
    s.SelMP3Enc.SetItemIndex(mekGogo);
    s.GogoFormatType = gftRiffWave;
    std::snprintf(expect, sizeof expect, "<%d><%d><%d>128Kbit/sec", MSG_CFG_STATUS_RIFF_WAVE, MSG_CFG_GOGO_USED,
                  MSG_CFG_VBR);
    EXPECT_EQ(logic.MakeMP3StatusString(), expect);
    s.SelOutputMethod.SetItemIndex(omWave);
    s.Edit2.Text = "PCM";
    s.Edit3.Text = "44 kHz";
    EXPECT_EQ(logic.MakeMP3StatusString(), "WAV: PCM / 44 kHz");
}

TEST_F(ConfigLogicTest, ExtensionListCountsAndCase) {
    TFilerExtFilter f;
    EXPECT_TRUE(logic.AddExt(f, "mp3"));
    EXPECT_EQ(texts.back(), "added .MP3");
    // The same extension in another case is not a second entry.
    EXPECT_FALSE(logic.AddExt(f, ".mp3"));
    EXPECT_EQ(said.back(), MSG_CFG_EXT_EXISTS);
    EXPECT_TRUE(logic.AddExt(f, ".ogg"));  // kept as typed
    EXPECT_EQ(s.ExtList.Items[1], ".ogg");
    EXPECT_EQ(f.Count, 2);
    EXPECT_TRUE(logic.DelExt(f, 0));
    EXPECT_EQ(texts.back(), "removed .MP3");
    EXPECT_EQ(f.Count, 1);
    EXPECT_EQ(f.Entries[0], ".ogg");
    for (int i = 0; i < 15; ++i) EXPECT_TRUE(logic.AddExt(f, "X" + std::to_string(i)));
    EXPECT_FALSE(logic.AddExt(f, "ONE"));
    EXPECT_EQ(said.back(), MSG_CFG_EXT_FULL);
    EXPECT_EQ(f.Count, 16);

    // An entry stored without its dot ("DispExt1=flac" loads as "FLAC") is
    // the one the delete names and removes.
    TFilerExtFilter loaded;
    loaded.Add("FLAC");
    loaded.Add(".WAV");
    s.ExtList.Items.Clear();
    s.ExtList.Items.Add("FLAC");
    s.ExtList.Items.Add(".WAV");
    EXPECT_TRUE(logic.DelExt(loaded, 0));
    EXPECT_EQ(texts.back(), "removed .FLAC");
    EXPECT_EQ(loaded.Count, 1);
    EXPECT_EQ(loaded.Find("FLAC"), -1);
    EXPECT_EQ(loaded.Entries[0], ".WAV");
}
