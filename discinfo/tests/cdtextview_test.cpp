// The CD-TEXT viewer against an emulated drive (under Wine): the view of a
// disc's texts, export, copying into the track table, and hostile discs.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/cdtextview.h"
#include "discinfo/tests/cdtextpacks.h"
#include "extraction/tests/EmuExecutor.h"
#include "resources/msgids.h"
#include "settings/inifile.h"
#include "tests/pump.h"

namespace wx {
namespace {

const char kIni[] = "[ASPI]\nAdapters=1\n[Drive0]\nAdapter=0\nTarget=1\nImage=text.cue\n";

class CdTextView : public testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }

    void Load(const std::string& cue) {
        testimg::WriteText(rig.dir.File("text.cue"), cue);
        rig.Make(kIni);
        drive.Target = 1;
        TDriveCommands(*rig.exec).IsDeviceIn(drive);  // the new disc's unit attention
        TTocReader(*rig.exec).dispTrack(table, drive);
    }

    TCdTextHost Host() {
        TCdTextHost h;
        h.Tracks = &table;
        h.Exec = rig.exec.get();
        h.Drive = [this] { return drive; };
        h.SetTrackCell = [this](int t, int c, const std::string& s) { cells.push_back(std::to_string(t) + ":" + std::to_string(c) + "=" + s); };
        h.FileName = [](int n, const std::string& title, const std::string& artist, const std::string& album,
                        const std::string&, std::string& out) {
            out = std::to_string(n) + " " + title + " (" + artist + ", " + album + ")";
            return true;
        };
        h.JapaneseMode = [] { return false; };
        h.Settings = &settings;
        h.ChooseSaveFile = [this](HWND, std::string& path, int& filter) {
            path = exportPath;
            filter = exportFilter;
            return true;
        };
        return h;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& m : prompter.Messages) t.push_back(m.text);
        return t;
    }

    wx::test::EmuRig rig{"[ASPI]\nAdapters=0\n"};
    TDriveAddress drive;
    TTrackTable table;
    TMemIniFile settings;
    std::vector<std::string> cells;
    std::string exportPath;
    int exportFilter = 2;
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
};

const char kCue[] =
    "TITLE \"Demo Disc\"\nPERFORMER \"Wendrix Test Ensemble\"\nFILE \"disc.bin\" BINARY\n"
    "  TRACK 01 AUDIO\n    TITLE \"Sunrise\"\n    PERFORMER \"Strings\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"A rather long second title, over packs\"\n    PERFORMER \"Winds\"\n"
    "    SONGWRITER \"Writer\"\n    INDEX 01 00:08:00\n"
    "  TRACK 03 AUDIO\n    TITLE \"Third\"\n    MESSAGE \"Note\"\n    INDEX 01 00:16:00\n";

TEST_F(CdTextView, ShowsTheCueSheetTextsExportsAndCopies) {
    Load(kCue);
    ASSERT_EQ(table.TrackCount, 3);
    TCDTEXTForm form(nullptr, Host());
    form.Show();
    EXPECT_TRUE(Texts().empty());
    // Without saved geometry: 600 x 240 at the screen's corner.
    const RECT first = form.Bounds();
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.top, 0);
    EXPECT_EQ(first.right - first.left, 600);
    EXPECT_EQ(first.bottom - first.top, 240);
    ASSERT_TRUE(form.CommandsEnabled());
    EXPECT_TRUE(form.TimerOn());
    EXPECT_EQ(form.AlbumNameEdit.Text(), "Demo Disc");
    EXPECT_EQ(form.AlbumArtistNameEdit.Text(), "Wendrix Test Ensemble");
    EXPECT_EQ(form.TextCodeName.Text(), "ISO-8859-1");
    ASSERT_EQ(form.ComboBox1.Count(), 1);
    EXPECT_EQ(form.ComboBox1.Item(0), LoadResString(MSG_CDTEXT_LANGUAGES + 1));  // code 9: English
    ASSERT_EQ(form.ListView1.Count(), 3);
    EXPECT_EQ(form.ListView1.ItemText(1, 0), "2");
    EXPECT_EQ(form.ListView1.ItemText(1, 1), "A rather long second title, over packs");
    EXPECT_EQ(form.ListView1.ItemText(1, 2), "Winds");
    EXPECT_EQ(form.ListView1.ItemText(1, 5), "Writer");
    EXPECT_EQ(form.ListView1.ItemText(2, 6), "Note");

    // Tab- and comma-separated export, read back.  Fields are written as
    // they are, without quoting: a title holding a comma shifts its row's
    // columns in the comma-separated file.
    struct TExport {
        int filter;
        const char* text;
    };
    for (const TExport& e :
         {TExport{2, "Demo Disc\tWendrix Test Ensemble\r\n1\tSunrise\tStrings\t\t\t\t\r\n"
                     "2\tA rather long second title, over packs\tWinds\t\t\tWriter\t\r\n3\tThird\t\t\t\t\tNote\r\n"},
          TExport{1, "Demo Disc,Wendrix Test Ensemble\r\n1,Sunrise,Strings,,,,\r\n"
                     "2,A rather long second title, over packs,Winds,,,Writer,\r\n3,Third,,,,,Note\r\n"}}) {
        exportFilter = e.filter;
        exportPath = rig.dir.File("out" + std::to_string(e.filter) + ".csv");
        form.CSV1Click();
        std::ifstream in(exportPath, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        EXPECT_EQ(ss.str(), e.text) << e.filter;
        EXPECT_EQ(Texts().back(), LoadResString(MSG_CDTEXT_CSV_WRITTEN));
    }
    exportFilter = 2;
    // A file that cannot be created, and one whose writing fails after it
    // was created (a full disk).
    for (const std::string& bad : {rig.dir.File("no-such-folder\\out.csv"), std::string("Z:\\dev\\full")}) {
        exportPath = bad;
        form.CSV1Click();
        EXPECT_EQ(Texts().back(), LoadResString(MSG_CDTEXT_CREATE_FAILED)) << bad;
    }

    form.MP3ID3Click();
    EXPECT_EQ(Texts().back(), LoadResString(MSG_CDTEXT_TAGS_SET));
    EXPECT_EQ(table.Slots[2].Title, "A rather long second title, over packs");
    EXPECT_EQ(table.Slots[2].Artist, "Winds");
    EXPECT_EQ(table.Slots[3].Comment, "Note");
    EXPECT_EQ(table.Slots[1].Album, "Demo Disc");
    EXPECT_TRUE(table.Slots[1].HasTag);
    form.SetTrackNameClick();
    EXPECT_EQ(table.Slots[1].FileStem, "1 Sunrise (Strings, Demo Disc)");
    EXPECT_EQ(table.Slots[2].FileStem, "2 A rather long second title, over packs (Winds, Demo Disc)");
    EXPECT_EQ(cells.back(), "3:5=3 Third (, Demo Disc)");

    // The media poll, with the window active: the disc still matches the
    // track list, so nothing happens; once the list has no tracks while a
    // disc is in, the window reads the disc again.
    int refreshes = 0;
    TCdTextHost polled = Host();
    polled.RefreshTrackList = [&] { ++refreshes; };
    bool poll = false;
    polled.AutoRefresh = [&] { return poll; };
    TCDTEXTForm watcher(nullptr, polled);
    watcher.Show();
    SetActiveWindow(watcher.Handle());
    watcher.Timer1Timer();
    poll = true;
    watcher.Timer1Timer();
    EXPECT_EQ(refreshes, 0);
    table.TrackCount = 0;
    watcher.Timer1Timer();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(watcher.ListView1.Count(), 3);  // read again
    EXPECT_TRUE(watcher.CommandsEnabled());
    table.TrackCount = 3;
    watcher.Close();

    // Closed while minimized: the size it is restored to is kept.
    ShowWindow(form.Handle(), SW_MINIMIZE);
    form.Close();
    EXPECT_FALSE(form.TimerOn());
    EXPECT_EQ(settings.ReadInteger("CDTEXTView", "LColumnW1", -1), 100);
    EXPECT_EQ(settings.ReadInteger("CDTEXTView", "WindowWidth", -1), 600);
    EXPECT_EQ(settings.ReadInteger("CDTEXTView", "WindowHeight", -1), 240);
    EXPECT_EQ(settings.ReadInteger("CDTEXTView", "WindowLeft", -1), 0);
}

TEST_F(CdTextView, HostileDiscsEndWithTheirMessagesAndTouchNothing) {
    // Packs claiming 255 tracks, with texts for all of them.
    std::vector<Pack> packs;
    packs.push_back(MakePack(0x80, 0, 0, std::string("Big\0", 4)));
    for (int t = 1; t <= 255; ++t) packs.push_back(MakePack(0x80, static_cast<std::uint8_t>(t), 0, std::string("X\0", 2)));
    AddSizeInfo(packs, 0, 0, 1, 255, 9);
    auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(rig.dir.File(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 static_cast<std::streamsize>(bytes.size()));
    };
    write("big.cdt", Seal(packs));
    const std::string cue = std::string("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:08:00\n");
    Load("CDTEXTFILE \"big.cdt\"\n" + cue);
    table.Slots[LeadOutSlot].Title = "lead-out";
    {
        TCDTEXTForm form(nullptr, Host());
        form.Show();
        EXPECT_EQ(form.ListView1.Count(), 255);
        form.MP3ID3Click();
        form.SetTrackNameClick();
        EXPECT_EQ(table.Slots[2].Title, "X");
        EXPECT_EQ(table.Slots[3].Title, "");
        EXPECT_EQ(table.Slots[3].FileStem, "");
        EXPECT_EQ(table.Slots[LeadOutSlot].Title, "lead-out");
        for (const auto& c : cells) EXPECT_TRUE(c[0] == '1' || c[0] == '2') << c;
        form.Close();
    }
    // Broken CRCs: one warning, and the texts are read all the same.
    prompter.Messages.clear();
    write("crc.cdt", Seal(packs, true));
    Load("CDTEXTFILE \"crc.cdt\"\n" + cue);
    {
        TCDTEXTForm form(nullptr, Host());
        form.Show();
        EXPECT_EQ(Texts(), std::vector<std::string>{"illegal cd-text info\rPACKET CRC ERROR."});
        EXPECT_EQ(form.ListView1.Count(), 255);
        form.Close();
    }
    // A pack code beyond 0x8F; no CD-TEXT at all.
    prompter.Messages.clear();
    packs.insert(packs.begin(), MakePack(0x90, 0, 0, "x"));
    write("bad.cdt", Seal(packs));
    Load("CDTEXTFILE \"bad.cdt\"\n" + cue);
    {
        TCDTEXTForm form(nullptr, Host());
        form.Show();
        EXPECT_EQ(Texts(), std::vector<std::string>{"illegal cd-text info\rILLEGAL PACKET CODE."});
        EXPECT_EQ(form.ListView1.Count(), 0);
        EXPECT_FALSE(form.CommandsEnabled());
        form.Close();
    }
    prompter.Messages.clear();
    Load(cue);
    {
        TCDTEXTForm form(nullptr, Host());
        form.Show();
        EXPECT_EQ(Texts(), std::vector<std::string>{LoadResString(MSG_CDTEXT_UNSUPPORTED)});
        EXPECT_EQ(form.ListView1.Count(), 0);
        form.Close();
    }
}

// With WX_HOLD_SECONDS set, the filled window stays up that long (for a
// screenshot taken from outside).
TEST_F(CdTextView, HoldForScreenshot) {
    const char* hold = std::getenv("WX_HOLD_SECONDS");
    if (!hold) GTEST_SKIP() << "WX_HOLD_SECONDS not set";
    Load(kCue);
    TCDTEXTForm form(nullptr, Host());
    form.Show();
    wxtest::PumpFor(static_cast<DWORD>(std::atoi(hold)) * 1000);
    form.Close();
}

}  // namespace
}  // namespace wx
