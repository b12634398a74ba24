// The CDDB disc dialog and the automatic lookup under Wine against the fake
// server: the user's answers come through the prompter seam, the track
// table is the test's own, the jobs run on their threads over Winsock.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <new>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/TrkInfoSet.h"
#include "discinfo/cddbdwn.h"
#include "discinfo/cddbfrm.h"
#include "discinfo/choice.h"
#include "discinfo/tests/nettest_support.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "settings/inifile.h"
#include "tests/pump.h"

namespace wx {
namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

using wxtest::PumpUntil;

class CddbFormTest : public testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }

    void SetUp() override {
        ports_ = FakeServerPorts();
        ASSERT_FALSE(ports_.empty()) << "run through fake_cddb.py";
        base_ = MakePlatformNetwork();
        net_ = std::make_unique<TPortMapNetwork>(*base_, ports_.at("http"));
        net_->Ports = {{110, ports_.at("pop3")}, {25, ports_.at("smtp")}};
        // Four audio tracks starting at 00:02:00, 00:10:00, 00:16:00 and
        // 00:23:00; the lead-out at 00:28:00.
        const int starts[5] = {2, 10, 16, 23, 28};
        table_.TrackCount = 4;
        for (int i = 1; i <= 5; ++i) {
            TTrackRecord& s = table_.Slots[i == 5 ? LeadOutSlot : i];
            s.StartSecond = static_cast<std::uint8_t>(starts[i - 1] % 60);
            s.IsAudio = i < 5;
            s.SectorCount = i < 5 ? (starts[i] - starts[i - 1]) * 75 : 0;
        }
        submitFile_ = testing::TempDir() + "wendrix_cddbform_test.$$$";
        Server("exact");
    }

    // The dialog's settings: the fake server of that behaviour by CDDBP.
    void Server(const std::string& mode, std::uint8_t flags = 0) {
        settings_.SetText("[CDDB]\r\nPort=" + std::to_string(ports_.at(mode)) +
                          "\r\nMainServer=127.0.0.1\r\nEmailAddress=tester@example.org\r\nRemoteTimeout=30\r\n"
                          "SubmitReceiver=freedb-submit@example.org\r\nSubmitProtocol=" +
                          std::string((flags & kCddbFlagSubmitHttp) ? "HTTP" : "SMTP") +
                          "\r\n[CDDBServersList]\r\nHost1=127.0.0.1\r\n");
    }

    TCddbFormHost Host(const std::string& identity = "3300") {
        TCddbFormHost h;
        h.Tracks = &table_;
        h.RefreshTrackList = [this] { ++refreshes_; };
        h.VolumeId = [identity](int) { return identity; };
        h.SetTrackCell = [this](int t, int c, const std::string& text) { cells_[{t, c}] = text; };
        h.DiscPresent = [this] { return present_; };
        h.AutoRefresh = [this] { return autoRefresh_; };
        h.FileNamesAfterLookup = [] { return true; };
        h.FileName = [](int n, const std::string& title, const std::string& artist, const std::string&,
                        const std::string&, std::string& name) {
            name = std::to_string(n) + " " + artist + " - " + title;
            return true;
        };
        h.JapaneseMode = [this] { return japanese_; };
        h.Settings = &settings_;
        h.LocalDb = &localDb_;
        h.Network = net_.get();
        h.SubmitFile = submitFile_;
        return h;
    }

    // The texts of the message boxes shown since the last call.
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& m : prompter_.Messages) texts.push_back(m.text);
        prompter_.Messages.clear();
        return texts;
    }

    std::vector<std::string> Log(const std::string& name) { return ServerLog(*base_, ports_.at("control"), name); }
    void Clear(const std::string& name) { ClearServerLog(*base_, ports_.at("control"), name); }

    // The track-text dialog answers with the texts (title, extended text)
    // of typed_ in turn; any other dialog is cancelled.
    void AnswerTrackDialogs(std::deque<std::pair<std::string, std::string>> typed) {
        typed_ = std::move(typed);
        prompter_.OnModal = [this](TForm& form) -> INT_PTR {
            auto* t = dynamic_cast<TTrackInfoForm*>(&form);
            if (!t || typed_.empty()) return IDCANCEL;
            t->TrackInfoEdit.SetText(typed_.front().first);
            t->TrkExtInfoEdit.SetText(typed_.front().second);
            typed_.pop_front();
            SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
            return form.ModalResult();
        };
    }

    void Receive(TCDDBForm& f) {
        f.ReceiveClick();
        EXPECT_TRUE(f.JobRunning());
        PumpUntil([&] { return !f.JobRunning(); });
        ASSERT_FALSE(f.JobRunning());
    }

    std::map<std::string, int> ports_;
    std::unique_ptr<TCddbNetwork> base_;
    std::unique_ptr<TPortMapNetwork> net_;
    TTrackTable table_;
    TMemIniFile settings_, localDb_;
    std::map<std::pair<int, int>, std::string> cells_;
    std::string submitFile_;
    std::deque<std::pair<std::string, std::string>> typed_;
    bool japanese_ = true;
    bool present_ = true, autoRefresh_ = false;
    int refreshes_ = 0;
    TScriptedPrompter prompter_;
    TPrompterGuard guard_{prompter_};
};

// A match chosen from a list fills the dialog; the titles go into the track
// table as tags and file names; a failed query shows the defaults again.
TEST_F(CddbFormTest, QueryChoiceCopyAndFailure) {
    Server("inexact");
    std::vector<std::string> choices;
    prompter_.OnModal = [&](TForm& form) -> INT_PTR {
        auto* c = dynamic_cast<TChoiceForm*>(&form);
        if (!c) return IDCANCEL;
        for (int i = 0; i < c->ListBox1.Count(); ++i) choices.push_back(c->Items[static_cast<std::size_t>(i)]);
        c->ListBox1.SetItemIndex(1);
        SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
        return form.ModalResult();
    };
    TCDDBForm f(nullptr, Host());
    f.Show();
    EXPECT_EQ(f.Identity(), "3300");
    EXPECT_EQ(f.StatusBar1.PanelText(0), "Disc ID = 3300");
    EXPECT_EQ(f.ArtistEdit.Text(), LoadResString(MSG_CDDB_NEW_ARTIST));
    EXPECT_EQ(f.ListView1.Count(), 4);
    EXPECT_EQ(f.ListView1.ItemText(3), "トラック4");
    Receive(f);
    EXPECT_EQ(choices, (std::vector<std::string>{"ID: rock , TITLE =  Fake Artist / Fake Album",
                                                 "ID: jazz , TITLE =  Other Artist / Other Album"}));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"情報を取得に成功しました."});
    EXPECT_EQ(f.Category(), "jazz");
    EXPECT_EQ(f.CategoryBox.Item(f.CategoryBox.ItemIndex()), "jazz");
    EXPECT_EQ(f.ArtistEdit.Text(), "Fake Artist");
    EXPECT_EQ(f.TitleEdit.Text(), "Fake Album");
    EXPECT_EQ(f.YearEdit.Text(), "2001");
    EXPECT_EQ(f.GenreBox.Item(f.GenreBox.ItemIndex()), "Rock");
    EXPECT_EQ(f.ReceivedRevision(), 4);
    EXPECT_EQ(f.ListView1.ItemText(1, 1), "Second Song");
    EXPECT_EQ(f.StatusBar1.PanelText(1), "現在選択されているCDDBサーバー [ 127.0.0.1 ]");

    // The artist as edited goes into the tags, with the genre of the box.
    f.ArtistEdit.SetText("Edited Artist");
    f.SetMP3TaginfoClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"CDDB情報をID3タグリストに設定しました."});
    EXPECT_EQ(table_.Slots[1].Title, "First Song");
    EXPECT_EQ(table_.Slots[2].Artist, "Edited Artist");
    EXPECT_EQ(table_.Slots[2].Album, "Fake Album");
    EXPECT_EQ(table_.Slots[2].Year, "2001");
    EXPECT_EQ(table_.Slots[1].Genre, FindGenreIndex("Rock"));
    EXPECT_TRUE(table_.Slots[1].HasTag);
    EXPECT_FALSE(table_.Slots[3].HasTag);  // no title: no tag
    EXPECT_EQ(cells_[std::make_pair(2, 6)], "あり");
    f.SetFilenameClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"CDDB情報をﾌｧｲﾙ名に設定しました."});
    EXPECT_EQ(table_.Slots[1].FileStem, "1 Edited Artist - First Song");
    EXPECT_EQ(cells_[std::make_pair(1, 5)], "1 Edited Artist - First Song");

    // No match: the defaults again, nothing received.
    f.Config().Net.CddbpPort = ports_.at("nomatch");
    Receive(f);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"適合するデータがありません."});
    EXPECT_EQ(f.ArtistEdit.Text(), LoadResString(MSG_CDDB_NEW_ARTIST));
    EXPECT_EQ(f.ListView1.ItemText(0, 1), "");
    EXPECT_EQ(f.RevisionToSubmit(), 0);
    EXPECT_EQ(f.ReceivedRevision(), -1);
    EXPECT_EQ(f.CategoryBox.ItemIndex(), -1);

    // A record of 101 tracks: only the dialog's 100 records take titles.
    f.Config().Net.CddbpPort = ports_.at("manytracks");
    Receive(f);
    EXPECT_EQ(f.Track(100).Title, "Track 100");
    EXPECT_EQ(f.Track(4).Title, "Track 4");
    Boxes();
    // Then a record of two tracks: the rows it does not fill are empty, and
    // no title of the longer record reaches the tags.
    f.Config().Net.CddbpPort = ports_.at("exact");
    Receive(f);
    EXPECT_EQ(f.Track(2).Title, "Second Song");
    EXPECT_EQ(f.Track(3).Title, "");
    EXPECT_EQ(f.Track(100).Title, "");
    EXPECT_EQ(f.ListView1.ItemText(3, 1), "");
    table_.Slots[4].HasTag = false;
    f.SetMP3TaginfoClick();
    EXPECT_FALSE(table_.Slots[4].HasTag);
    EXPECT_EQ(table_.Slots[4].Title, "");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"情報を取得に成功しました.", "CDDB情報をID3タグリストに設定しました."}));
    // A record without any track: every row empty, the disc fields taken.
    f.Config().Net.CddbpPort = ports_.at("notracks");
    Receive(f);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"情報を取得に成功しました."});
    for (int t : {1, 2, 4}) EXPECT_EQ(f.Track(t).Title, "") << t;
    EXPECT_EQ(f.ListView1.ItemText(1, 1), "");
    EXPECT_EQ(f.ArtistEdit.Text(), "Fake Artist");
    EXPECT_EQ(f.TitleEdit.Text(), "Fake Album");
    EXPECT_EQ(f.YearEdit.Text(), "2001");
    // A closed server is reported as such, as an error.
    f.Config().Net.CddbpPort = ports_.at("closemid");
    Receive(f);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"リモートサーバーが接続を切断しました."});
    // Closing while a server drips its answer: the dialog stays, and the
    // request to close ends the job within a second.
    f.Config().Net.CddbpPort = ports_.at("drip");
    f.ReceiveClick();
    PumpUntil([&] { return f.StatusBar1.PanelText(1) == "情報を取得しています..."; }, 20000);
    f.Close();
    EXPECT_NE(f.Handle(), nullptr);
    EXPECT_LT(PumpUntil([&] { return !f.JobRunning(); }, 20000), 1000u);
    EXPECT_EQ(Boxes().size(), 1u);
    f.DestroyHandle();
    // The settings were kept, the server message line among them.
    EXPECT_EQ(settings_.ReadString("CDDB", "MainServer", ""), "127.0.0.1");
    EXPECT_EQ(settings_.ReadInteger("CDDB", "ListColW1", 0), 200);
}

// Submissions: the checks refuse before anything is written; a good one goes
// by HTTP and by mail, byte for byte, and the file with the user's address
// does not stay.
TEST_F(CddbFormTest, SubmissionChecksHttpAndMail) {
    Server("exact", kCddbFlagSubmitHttp);
    // Track texts typed in the track-text dialog, in turn.
    AnswerTrackDialogs({{"A title of sixty-one characters: a 71-byte line encoded......", "a\ttab"},
                        {"A title of sixty-two characters: a 72-byte line encoded!!!!!!!", ""},
                        {"A title of sixty-one characters: a 71-byte line encoded......", "line one\nline two"}});
    TCDDBForm f(nullptr, Host());
    f.Show();
    Receive(f);
    Boxes();
    // Refused: a comma in the title, a track still under its default name.
    f.TitleEdit.SetText("Fake, Album");
    prompter_.Answers = {IDOK};
    f.SendClick();
    EXPECT_EQ(Boxes(), (std::vector<std::string>{LoadResString(MSG_CDDB_SUBMIT_ASK), " /や,という文字はタイトル名に使用できません."}));
    f.TitleEdit.SetText("Fake Album");
    prompter_.Answers = {IDOK};
    f.SendClick();
    EXPECT_EQ(Boxes().back(), "設定されたトラック3 のタイトル名が無効です.");
    // Japanese titles pass the Japanese checks but not the ISO-8859-1 ones.
    japanese_ = false;
    f.TitleEdit.SetText("日本のアルバム");
    prompter_.Answers = {IDOK};
    f.SendClick();
    EXPECT_EQ(Boxes().back(), "タイトル名にISO-8859-1規定外の文字が含まれています.");
    japanese_ = true;
    f.TitleEdit.SetText("Fake Album");
    EXPECT_FALSE(f.JobRunning());
    EXPECT_FALSE(Exists(submitFile_));

    f.EditTrack(2);
    f.EditTrack(3);
    EXPECT_EQ(f.RevisionToSubmit(), 5);  // received 4, changed
    EXPECT_EQ(f.Track(3).Extended, "a\ttab");
    // A tab is a control character: refused for the server.  A line break
    // in an extended text is not (records come with them; the file writes
    // it as "\n").
    prompter_.Answers = {IDOK};
    f.SendClick();
    EXPECT_EQ(Boxes().back(), "トラック 3の拡張トラック情報名に制御文字が含まれています.");
    f.EditTrack(2);
    EXPECT_EQ(f.Track(3).Extended, "line one\nline two");

    Clear("http");
    prompter_.Answers = {IDOK};
    f.SendClick();
    ASSERT_TRUE(f.JobRunning());
    PumpUntil([&] { return !f.JobRunning(); });
    EXPECT_EQ(Boxes(), (std::vector<std::string>{LoadResString(MSG_CDDB_SUBMIT_ASK), "情報の送信を完了しました."}));
    EXPECT_FALSE(Exists(submitFile_));
    EXPECT_EQ(f.ReceivedRevision(), 5);
    const std::vector<std::string> http = Log("http");
    ASSERT_GT(http.size(), 20u);
    EXPECT_EQ(http[0], "POST /~cddb/submit.cgi HTTP/1.0<CR>");
    EXPECT_EQ(http[1], "Host: 127.0.0.1<CR>");
    EXPECT_EQ(http[2], "Category: rock<CR>");
    EXPECT_EQ(http[3], "Discid: f001a04<CR>");
    EXPECT_EQ(http[4], "User-Email: tester@example.org<CR>");
    EXPECT_EQ(http[6], "Charset: UTF-8<CR>");
    auto has = [](const std::vector<std::string>& log, const std::string& line) {
        return std::find(log.begin(), log.end(), line) != log.end();
    };
    EXPECT_TRUE(has(http, "BODY: # Revision: 5"));
    EXPECT_TRUE(has(http, "BODY: #\t150"));
    EXPECT_TRUE(has(http, "BODY: DTITLE=Fake Artist / Fake Album"));
    EXPECT_TRUE(has(http, "BODY: DGENRE=Rock"));
    EXPECT_TRUE(has(http, "BODY: EXTT2=line one\\nline two"));

    // By mail: POP3 first, then SMTP with CR LF and quoted-printable.
    f.Config().Net.Flags &= static_cast<std::uint8_t>(~kCddbFlagSubmitHttp);
    Clear("pop3");
    Clear("smtp");
    prompter_.Answers = {IDOK};
    f.SendClick();
    PumpUntil([&] { return !f.JobRunning(); });
    EXPECT_EQ(Boxes().back(), "情報の送信を完了しました.");
    EXPECT_FALSE(Exists(submitFile_));
    EXPECT_EQ(Log("pop3"), std::vector<std::string>{"QUIT<CR>"});
    const std::vector<std::string> smtp = Log("smtp");
    EXPECT_TRUE(has(smtp, "MAIL FROM:<tester@example.org><CR>"));
    EXPECT_TRUE(has(smtp, "RCPT TO:<freedb-submit@example.org><CR>"));
    EXPECT_TRUE(has(smtp, "Subject: cddb rock f001a04<CR>"));
    EXPECT_TRUE(has(smtp, "Content-Type: text/plain; charset=UTF-8<CR>"));
    // Quoted-printable: 71 characters make one line, 72 a soft break after the 72nd.
    EXPECT_TRUE(has(smtp, "TTITLE2=3DA title of sixty-one characters: a 71-byte line encoded......<CR>"));
    const auto at = std::find(smtp.begin(), smtp.end(),
                              "TTITLE3=3DA title of sixty-two characters: a 72-byte line encoded!!!!!!!=<CR>");
    ASSERT_NE(at, smtp.end());
    EXPECT_EQ(*(at + 1), "<CR>");
    EXPECT_TRUE(has(smtp, "# Revision: 5<CR>"));  // nothing changed since
    EXPECT_EQ(smtp.back(), "QUIT<CR>");

    // A refusing mail server: its box, then the job's own message.
    net_->Ports[25] = ports_.at("smtprefuse");
    prompter_.Answers = {IDOK};
    f.SendClick();
    PumpUntil([&] { return !f.JobRunning(); });
    EXPECT_EQ(Boxes(), (std::vector<std::string>{LoadResString(MSG_CDDB_SUBMIT_ASK), "サーバーに接続を拒否されました.",
                                                 "リモートサーバーとの通信に失敗しました."}));
    EXPECT_FALSE(Exists(submitFile_));
}

// Every check of a submission, in its order, with the message of the first
// rule that fails: nothing is written and no job starts.  Then the paths
// that end before a job: no receiver, and a submit file that cannot be
// written.
TEST_F(CddbFormTest, SubmissionCheckRules) {
    Server("exact", kCddbFlagSubmitHttp);
    AnswerTrackDialogs({});
    TCDDBForm f(nullptr, Host());
    f.Show();
    Receive(f);
    Boxes();
    auto track = [&](int row, const std::string& title, const std::string& ext) {
        typed_.push_back({title, ext});
        f.EditTrack(row);
    };
    // A record that passes every rule.
    auto baseline = [&] {
        f.ArtistEdit.SetText("Fake Artist");
        f.TitleEdit.SetText("Fake Album");
        f.YearEdit.SetText("2001");
        f.CategoryBox.SetItemIndex(9);  // rock
        f.GenreBox.SetItemIndex(0);
        for (int row = 0; row < 4; ++row) track(row, "Song " + std::to_string(row + 1), "");
        japanese_ = true;
    };
    const std::string ask = LoadResString(MSG_CDDB_SUBMIT_ASK);
    struct TCase {
        const char* name;
        std::function<void()> change;
        int answer;
        std::string box;  // the refusal; empty: only the question
    };
    const std::vector<TCase> cases = {
        {"cancelled", [] {}, IDCANCEL, ""},
        {"no category", [&] { f.CategoryBox.SetItemIndex(-1); }, IDOK, LoadResString(MSG_CDDB_NO_CATEGORY)},
        {"no year", [&] { f.YearEdit.SetText(""); }, IDOK, LoadResString(MSG_CDDB_NO_YEAR)},
        {"no genre", [&] { f.GenreBox.SetItemIndex(-1); }, IDOK, LoadResString(MSG_CDDB_NO_GENRE)},
        {"artist with /", [&] { f.ArtistEdit.SetText("AC/DC"); }, IDOK, LoadResString(MSG_CDDB_ARTIST_SLASH)},
        {"artist with ,", [&] { f.ArtistEdit.SetText("Earth, Wind"); }, IDOK, LoadResString(MSG_CDDB_ARTIST_SLASH)},
        {"title with /", [&] { f.TitleEdit.SetText("A/B"); }, IDOK, LoadResString(MSG_CDDB_TITLE_SLASH)},
        {"title with ,", [&] { f.TitleEdit.SetText("Hello, Goodbye"); }, IDOK, LoadResString(MSG_CDDB_TITLE_SLASH)},
        {"title not ISO-8859-1",
         [&] {
             japanese_ = false;
             f.TitleEdit.SetText("Fake\x7f");
         },
         IDOK, LoadResString(MSG_CDDB_TITLE_NOT_ISO)},
        {"title control", [&] { f.TitleEdit.SetText("Fake\x01Album"); }, IDOK, LoadResString(MSG_CDDB_TITLE_CONTROL)},
        {"artist control", [&] { f.ArtistEdit.SetText("Fake\tArtist"); }, IDOK,
         LoadResString(MSG_CDDB_ARTIST_CONTROL)},
        {"artist not ISO-8859-1",
         [&] {
             japanese_ = false;
             f.ArtistEdit.SetText("Fake\x85");
         },
         IDOK, LoadResString(MSG_CDDB_ARTIST_NOT_ISO)},
        {"artist empty", [&] { f.ArtistEdit.SetText("  "); }, IDOK, LoadResString(MSG_CDDB_EMPTY_NAMES)},
        {"title empty", [&] { f.TitleEdit.SetText(""); }, IDOK, LoadResString(MSG_CDDB_EMPTY_NAMES)},
        {"default title", [&] { f.TitleEdit.SetText(LoadResString(MSG_CDDB_NEW_TITLE)); }, IDOK,
         LoadResString(MSG_CDDB_NAMES_UNCHANGED)},
        {"default artist", [&] { f.ArtistEdit.SetText(LoadResString(MSG_CDDB_NEW_ARTIST)); }, IDOK,
         LoadResString(MSG_CDDB_NAMES_UNCHANGED)},
        {"track control", [&] { track(1, "Second\tSong", ""); }, IDOK, FormatRes(MSG_CDDB_TRACK_CONTROL, 2)},
        {"track not ISO-8859-1",
         [&] {
             japanese_ = false;
             track(1, "Caf\x80", "");
         },
         IDOK, FormatRes(MSG_CDDB_TRACK_NOT_ISO, 2)},
        {"track empty", [&] { track(1, " ", ""); }, IDOK, FormatRes(MSG_CDDB_TRACK_INVALID, 2)},
        {"track default", [&] { track(1, FormatRes(MSG_ID3_TRACK_LABEL, 2), ""); }, IDOK,
         FormatRes(MSG_CDDB_TRACK_INVALID, 2)},
        {"extended control", [&] { track(3, "Song 4", "a\x1b"); }, IDOK, FormatRes(MSG_CDDB_EXT_CONTROL, 4)},
        {"extended not ISO-8859-1",
         [&] {
             japanese_ = false;
             track(3, "Song 4", "\x9f");
         },
         IDOK, FormatRes(MSG_CDDB_EXT_NOT_ISO, 4)},
    };
    for (const TCase& k : cases) {
        baseline();
        k.change();
        Boxes();
        prompter_.Answers = {k.answer};
        f.SendClick();
        std::vector<std::string> want{ask};
        if (!k.box.empty()) want.push_back(k.box);
        EXPECT_EQ(Boxes(), want) << k.name;
        EXPECT_FALSE(f.JobRunning()) << k.name;
        EXPECT_FALSE(Exists(submitFile_)) << k.name;
        EXPECT_TRUE(f.TimerOn()) << k.name;  // the media poll runs again
    }

    // No receiver: refused before the question.
    baseline();
    Boxes();
    f.Config().Net.SubmitReceiver.clear();
    f.SendClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{LoadResString(MSG_CDDB_NO_RECEIVER)});
    f.Config().Net.SubmitReceiver = "freedb-submit@example.org";
    // A submit file that cannot be written (a folder holds its name).
    ASSERT_TRUE(CreateDirectoryA(submitFile_.c_str(), nullptr));
    prompter_.Answers = {IDOK};
    f.SendClick();
    EXPECT_EQ(Boxes(), (std::vector<std::string>{ask, LoadResString(MSG_CDDB_SUBMIT_FILE_FAILED)}));
    EXPECT_FALSE(f.JobRunning());
    RemoveDirectoryA(submitFile_.c_str());
    // A dialog without tracks refuses silently, before the question.
    const TTrackTable four = table_;
    table_.TrackCount = 0;
    TCDDBForm empty(nullptr, Host());
    empty.Show();
    Boxes();
    empty.SendClick();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(empty.JobRunning());
    EXPECT_FALSE(Exists(submitFile_));
    table_ = four;
}

// The local database: what was written comes back for the same disc, and a
// disc it does not know is reported.  The server list, the drive menu and
// the media poll of the same dialog.
TEST_F(CddbFormTest, LocalDatabaseServerListDriveMenuAndPoll) {
    {
        TCDDBForm f(nullptr, Host());
        f.Show();
        Receive(f);
        prompter_.Answers = {IDOK};
        f.ExportDBClick();
        EXPECT_EQ(Boxes().back(), "出力が完了しました.");
    }
    {
        // A database that cannot be written says so.
        TMemIniFile unwritable(testing::TempDir() + "no-such-folder\\CDPLAYER.INI");
        TCddbFormHost h = Host();
        h.LocalDb = &unwritable;
        TCDDBForm f(nullptr, h);
        f.Show();
        prompter_.Answers = {IDOK};
        f.ExportDBClick();
        EXPECT_EQ(Boxes().back(), LoadResString(MSG_CDDB_EXPORT_FAILED));
    }
    EXPECT_EQ(localDb_.ReadInteger("3300", "numtracks", 0), 4);
    EXPECT_EQ(localDb_.ReadString("3300", "1", ""), "Second Song");
    TCDDBForm f(nullptr, Host());
    f.Show();
    EXPECT_EQ(f.ListView1.ItemText(0, 1), "");
    f.ImportDBClick();
    EXPECT_EQ(f.ArtistEdit.Text(), "Fake Artist");
    EXPECT_EQ(f.ListView1.ItemText(0, 1), "First Song");
    EXPECT_EQ(f.ListView1.ItemText(3, 1), "");
    localDb_.EraseSection("3300");
    f.ImportDBClick();
    EXPECT_EQ(Boxes().back(), "挿入されているメディアの情報はローカルデータベースに登録されていません.");
    localDb_.WriteString("3300", "artist", "No track count");  // numtracks missing
    f.ImportDBClick();
    EXPECT_EQ(Boxes().back(), "挿入されているメディアの情報はローカルデータベースに登録されていません.");

    // Mirrors the list lacks are added, once.
    for (const char* text : {"新しいサイトを 2 つ 登録しました.", "未登録のサイトはありません."}) {
        f.GetSiteInformation();
        PumpUntil([&] { return !f.JobRunning(); });
        EXPECT_EQ(Boxes(), std::vector<std::string>{text});
    }
    EXPECT_EQ(f.Config().Servers, (std::vector<std::string>{"127.0.0.1", "main.example", "mirror.example"}));
    // A full list takes no more, and says so rather than "no new sites".
    const std::vector<std::string> kept = f.Config().Servers;
    f.Config().Servers = {"127.0.0.1"};
    for (int i = 1; i < 20; ++i) f.Config().Servers.push_back("s" + std::to_string(i) + ".example");
    f.GetSiteInformation();
    PumpUntil([&] { return !f.JobRunning(); });
    EXPECT_EQ(Boxes(), std::vector<std::string>{FormatRes(MSG_CDDB_SITES_LIST_FULL, 2)});
    EXPECT_EQ(f.Config().Servers.size(), 20u);
    f.Config().Servers = kept;

    // The drive menu lists CD-ROM letters only; a drive that is not one
    // falls back to the automatic choice.  Choosing the checked item again
    // does nothing.
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDM_CDDB_NOFIXEDDRIVE, "auto");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_CDDB_DRIVE_FIRST + 2, "stale");
    f.Config().Drive = 2;  // C: is no CD-ROM drive
    f.CDriveMenuClick(menu);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(f.Drive(), -1);
    EXPECT_TRUE(GetMenuState(menu, IDM_CDDB_NOFIXEDDRIVE, MF_BYCOMMAND) & MF_CHECKED);
    DestroyMenu(menu);
    const int before = refreshes_;
    f.NoFixedDriveClick(-1);
    EXPECT_EQ(refreshes_, before);

    // The media poll, while the dialog is the active window: the disc has
    // gone from the drive, so the dialog refreshes.
    present_ = false;
    SetActiveWindow(f.Handle());
    f.Timer1Timer();
    EXPECT_EQ(refreshes_, before);  // the poll is off in the settings
    autoRefresh_ = true;
    f.Timer1Timer();
    EXPECT_GT(refreshes_, before);
}

// A network whose jobs fail inside, with an exception on their thread.
struct TThrowingNetwork : TPortMapNetwork {
    using TPortMapNetwork::TPortMapNetwork;
    std::unique_ptr<TCddbSocket> NewSocket() override { throw std::bad_alloc(); }
};

// The dialog without a server: what the disc in the table allows (the show
// step's message, the menus of the local database and of the network), the
// year edit, the options' server line, the revision after a category
// change, the genre the tags fall back on, and a job that fails inside.
TEST_F(CddbFormTest, DiscStatesMenusEditsAndABrokenJob) {
    auto enabled = [](TCDDBForm& f, int menu, UINT id) {
        HMENU sub = GetSubMenu(GetMenu(f.Handle()), menu);
        SendMessageA(f.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(menu, FALSE));
        return (GetMenuState(sub, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
    };
    struct TCase {
        const char* name;
        int tracks;
        bool track1Audio, track2Audio;
        std::string identity;
        std::string box;
        bool localDb, internet;
    };
    const TTrackTable four = table_;
    for (const TCase& k :
         {TCase{"audio disc", 4, true, true, "3300", "", true, true},
          TCase{"no database identity", 4, true, true, "[NOT MCI USED]", "", false, true},
          TCase{"only track 1 is audio", 2, true, false, "3300", "", true, true},
          TCase{"data disc", 2, false, false, "3300", LoadResString(MSG_CDDB_MEDIA_INVALID), false, true},
          TCase{"no disc", 0, false, false, "3300", LoadResString(MSG_CDDB_DRIVE_NOT_READY), false, false}}) {
        table_ = four;
        table_.TrackCount = k.tracks;
        table_.Slots[1].IsAudio = k.track1Audio;
        table_.Slots[2].IsAudio = k.track2Audio;
        TCDDBForm f(nullptr, Host(k.identity));
        f.Show();
        EXPECT_EQ(Boxes(), k.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{k.box}) << k.name;
        EXPECT_EQ(f.Identity().empty(), !k.box.empty()) << k.name;
        EXPECT_EQ(f.ListView1.Count(), k.box.empty() ? k.tracks : 0) << k.name;
        EXPECT_EQ(enabled(f, 1, IDM_CDDB_EXPORTDB), k.localDb) << k.name;
        EXPECT_EQ(enabled(f, 1, IDM_CDDB_IMPORTDB), k.localDb) << k.name;
        EXPECT_EQ(enabled(f, 2, IDM_CDDB_SEND), k.internet) << k.name;
        EXPECT_EQ(enabled(f, 2, IDM_CDDB_RECEIVE), k.internet) << k.name;
        EXPECT_EQ(f.SpeedButton3.Enabled(), k.internet) << k.name;
    }
    table_ = four;

    TCDDBForm f(nullptr, Host());
    f.Show();
    // The year takes digits only, typed or pasted.
    f.YearEdit.SetText("");
    SendMessageA(f.YearEdit.Handle(), WM_CHAR, 'a', 0);
    SendMessageA(f.YearEdit.Handle(), WM_CHAR, '1', 0);
    SendMessageA(f.YearEdit.Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("9x9-8"));
    EXPECT_EQ(f.YearEdit.Text(), "1998");
    // The options dialog, closed: the server it leaves selected.
    prompter_.OnModal = [](TForm&) -> INT_PTR { return IDCANCEL; };
    f.OptionClick();
    EXPECT_EQ(f.StatusBar1.PanelText(1), "Current Server = 127.0.0.1");
    // A category changed after a receive makes the next revision.
    Receive(f);
    Boxes();
    EXPECT_EQ(f.RevisionToSubmit(), 0);
    f.CategoryBox.SetItemIndex(5);
    f.CategoryBoxChange();
    EXPECT_EQ(f.RevisionToSubmit(), 5);
    // The tags' genre: the genre box, else the category's genre, else the
    // first genre without a name.
    f.GenreBox.SetItemIndex(-1);
    f.CategoryBox.SetItemIndex(9);  // rock
    f.SetMP3TaginfoClick();
    EXPECT_EQ(table_.Slots[1].Genre, FindGenreIndex("Rock"));
    f.CategoryBox.SetItemIndex(-1);
    f.SetMP3TaginfoClick();
    EXPECT_EQ(table_.Slots[1].Genre, FindFreeGenreIndex());
    Boxes();

    // A job that fails inside (an exception on its thread) still reports:
    // its text as an error, the controls back, the dialog closes.
    TThrowingNetwork throwing(*base_, ports_.at("http"));
    TCddbFormHost h = Host();
    h.Network = &throwing;
    TCDDBForm broken(nullptr, h);
    broken.Show();
    Receive(broken);
    EXPECT_EQ(Boxes(), std::vector<std::string>{LoadResString(MSG_CDDB_MSG_JOB_FAILED)});
    EXPECT_TRUE(broken.ArtistEdit.Enabled());
    broken.Close();
    EXPECT_EQ(broken.Handle(), nullptr);
}

// The automatic lookup: without a disc identity it ends at once; a lookup
// cancelled against a server that drips its answer ends within a second;
// a good one sets the tags and file names itself and closes.
TEST_F(CddbFormTest, AutomaticLookup) {
    TCDDBSearch search;
    {
        TCDDBForm f(&search, Host(""), &search);
        search.Attach(&f);
        EXPECT_FALSE(f.StartAutomatic(nullptr));
        EXPECT_TRUE(f.Discarded());
        EXPECT_EQ(search.Attached(), nullptr);
        search.Button1Click();  // reaches no dialog
    }
    Server("drip");
    DWORD cancelled = 0;
    int round = 0;
    prompter_.OnModal = [&](TForm& form) -> INT_PTR {
        if (&form != &search) return IDCANCEL;
        if (round++ == 0) {
            // The status line follows the job; cancel once it reads.
            PumpUntil([&] { return search.Label1.Text() == "情報を取得しています..."; }, 20000);
            EXPECT_EQ(search.Label1.Text(), "情報を取得しています...");
            search.Button1Click();
            cancelled = PumpUntil([&] { return search.ModalResult() != 0; }, 20000);
        } else {
            PumpUntil([&] { return search.ModalResult() != 0; }, 20000);
        }
        return search.ModalResult();
    };
    {
        TCDDBForm f(&search, Host(), &search);
        search.Attach(&f);
        ASSERT_TRUE(f.StartAutomatic(nullptr));
        search.ShowModal();
        EXPECT_FALSE(f.JobRunning());
        EXPECT_EQ(f.Handle(), nullptr);  // closed itself
        search.Detach();
    }
    EXPECT_LT(cancelled, 1000u) << "the cancelled job took " << cancelled << " ms";
    EXPECT_FALSE(CDDBAutoSucceeded);
    // Cancelled while it read or while it sent its request.
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0] == "受信がタイムアウトしました." || boxes[0] == "リモートサーバーとの通信に失敗しました.")
        << boxes[0];

    Server("exact");
    {
        TCDDBForm f(&search, Host(), &search);
        search.Attach(&f);
        ASSERT_TRUE(f.StartAutomatic(nullptr));
        search.ShowModal();
        search.Detach();
    }
    EXPECT_TRUE(CDDBAutoSucceeded);
    EXPECT_EQ(CDDBAutoArtist, "Fake Artist");
    EXPECT_EQ(CDDBAutoTitle, "Fake Album");
    EXPECT_EQ(CDDBAutoGenre, "Rock");
    EXPECT_TRUE(Boxes().empty());  // success is not announced
    EXPECT_EQ(table_.Slots[2].Title, "Second Song");
    EXPECT_TRUE(table_.Slots[2].HasTag);
    EXPECT_EQ(table_.Slots[2].FileStem, "2 Fake Artist - Second Song");

    // A job that fails inside: the search window still closes, and the
    // failure is shown as an error.
    TThrowingNetwork throwing(*base_, ports_.at("http"));
    TCddbFormHost h = Host();
    h.Network = &throwing;
    {
        TCDDBForm f(&search, h, &search);
        search.Attach(&f);
        ASSERT_TRUE(f.StartAutomatic(nullptr));
        search.ShowModal();
        EXPECT_FALSE(f.JobRunning());
        EXPECT_EQ(f.Handle(), nullptr);
        search.Detach();
    }
    EXPECT_FALSE(CDDBAutoSucceeded);
    EXPECT_EQ(Boxes(), std::vector<std::string>{LoadResString(MSG_CDDB_MSG_JOB_FAILED)});
}

}  // namespace
}  // namespace wx
