// Whole rips through the rip control under Wine: the track table read from
// the ASPI stand-in's disc, a host form with the track list, the output
// driver writing WAV files, the windows of a run scripted through the
// prompter (folder question, missing names, overwrite, cancel, report), and
// the benchmark with its window.  Compiled to code page 932, as the
// program's texts are.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "extraction/Verify.h"
#include "extraction/Win32Aspi.h"
#include "extraction/progress.h"
#include "extraction/ripcontrol.h"
#include "extraction/setfname.h"
#include "extraction/spdrslt.h"
#include "extraction/tests/StandinSetup.h"
#include "output/acmmgr32.h"
#include "resources/msgids.h"

using namespace wx;
using wx::test::StandinSetup;

namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    const std::vector<std::uint8_t> b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every file of a folder with its bytes: what a refused or ended run must
// leave as it found it (no temporary file either).
std::map<std::string, std::vector<std::uint8_t>> Folder(const std::string& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return files;
    do {
        const std::string n = fd.cFileName;
        if (n == "." || n == "..") continue;
        files[n] = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? std::vector<std::uint8_t>{'/'} : ReadFile(dir + "\\" + n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return files;
}

// The small file system the test's fixture mounts beside the program, or ""
// where the machine would not mount one.
std::string SmallVolume() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string dir = exe;
    dir = dir.substr(0, dir.find_last_of('\\')) + "\\small_volume";
    ULARGE_INTEGER caller{}, total{}, free{};
    if (!GetDiskFreeSpaceExA((dir + "\\").c_str(), &caller, &total, &free)) return "";
    return total.QuadPart < 64u * 1024 * 1024 ? dir : "";
}

class THostForm : public TForm {
public:
    THostForm() : TForm(nullptr, "TRIPHOSTFORM") {}
    TListView List{this, 100};
};

class RipControlWine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }

    void SetUp() override {
        ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
        aspi = std::make_unique<TWin32Aspi>(nullptr);
        ASSERT_EQ(aspi->Adapters(), 1);
        exec = std::make_unique<TAspiExecutor>(*aspi, poll);
        TDeviceEntry e;
        e.Adapter = 0;
        e.Target = 1;
        e.Enabled = true;
        e.DriveMaker = rcPlextor;
        c.Devices[0] = e;
        c.DeviceCount = 1;
        c.ComboBox2.Items.Add("drive");
        c.ComboBox2.SetItemIndex(0);
        c.ComboBox1.SetItemIndex(rcPlextor);
        c.SpinEdit1.SetValue(26);
        c.MaxRetry = 3;
        c.CheckBox18.Checked = true;  // the report
        c.DispLevelMeter.Checked = true;
        c.SetWaitTime(0);
        UseAspi = true;
        out = standin.dir.File("out");
        CreateDirectoryA(out.c_str(), nullptr);
        host.Show();
        ReadToc();
        TRipHost h;
        h.MainForm = &host;
        h.Tracks = &table;
        h.TrackList = &host.List;
        h.Config = &c;
        h.AcmDrv = &drv;
        h.Aspi = aspi.get();
        h.Exec = exec.get();
        h.ListedFolder = [this] { return out; };
        h.ReadToc = [this] { ReadToc(); };
        h.MediaTimer = [this](bool on) { timerCalls.push_back(on); };
        rip = std::make_unique<TRipControl>(h);
        rip->Attach(host);
        prompter.OnModal = [this](TForm& f) -> INT_PTR { return OnModal(f); };
    }
    void TearDown() override {
        rip.reset();
        host.DestroyHandle();
        aspi.reset();
    }

    void ReadToc() {
        TTocReader reader(*exec);
        TDriveAddress d;
        d.Target = 1;
        reader.dispTrack(table, d);
        if (host.List.ColumnWidth(0) == 0)
            for (int i = 0; i < 7; ++i) host.List.AddColumn("c" + std::to_string(i), 60);
        host.List.Clear();
        for (const TTrackRow& r : TrackListRows(table)) {
            const int item = host.List.AddItem(r.Cells[0]);
            for (int s = 1; s < 7; ++s) host.List.SetSubItem(item, s, r.Cells[s]);
        }
    }
    void Select(std::initializer_list<int> tracks) {
        for (int i = 0; i < host.List.Count(); ++i) host.List.SetSelected(i, false);
        for (int t : tracks) host.List.SetSelected(t - 1, true);
    }
    void Name(int track, const std::string& stem) { table.Slots[track].FileStem = stem; }

    // The windows of a run as a user answers them.
    INT_PTR OnModal(TForm& f) {
        if (auto* p = dynamic_cast<TProgressForm*>(&f)) {
            sawProgress = true;
            while (rip->Running()) {
                MSG m;
                if (!GetMessageA(&m, nullptr, 0, 0)) break;
                TranslateMessage(&m);
                DispatchMessageA(&m);
                if (p->Handle() && rip->Running()) {
                    lastStatus = p->Label4.Text();
                    if (p->ProgressBar1.Position() > 0) sawTrackProgress = true;
                    if (TLevelMeter* lm = p->LeftLevelMeter(); lm && lm->BarLength() > 0) sawLevel = true;
                    if (cancelAtPercent >= 0 && p->ProgressBar1.Position() >= cancelAtPercent &&
                        rip->CurrentTrack() == cancelTrack) {
                        cancelAtPercent = -1;
                        if (cancelByClose) {
                            // Alt+F4 and the close box: the window stays up until the run is over.
                            SendMessageA(p->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                            EXPECT_TRUE(rip->AbortFlag);
                            EXPECT_TRUE(IsWindow(p->Handle()));
                        } else {
                            p->Button1.Click();
                        }
                    }
                }
                if (p->Handle()) runBarEnd = p->ProgressBar2.Position();
                if (duringRun && rip->Running()) std::exchange(duringRun, nullptr)();
            }
            return IDCANCEL;
        }
        if (auto* v = dynamic_cast<TVerifyRslt*>(&f)) {
            reportRows = v->Rows();
            reportListRows = v->ListView1.Count();
            return IDOK;
        }
        if (auto* b = dynamic_cast<TSpeedResult*>(&f)) {
            // The window while measuring, then with the result.
            benchCaptionBefore = b->Caption();
            benchApi = b->UsingAPI.Text();
            benchCopyEnabledBefore = b->Button2.Enabled();
            while (rip->Running()) {
                MSG m;
                if (!GetMessageA(&m, nullptr, 0, 0)) break;
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            benchCaption = b->Caption();
            benchLabels = {b->MLength.Text(), b->MInside.Text(), b->MOutside.Text(),
                           b->NInSpeed.Text(), b->NOutSpeed.Text(), b->BInSpeed.Text(), b->BOutSpeed.Text()};
            benchButton1 = b->Button1.Text();
            if (b->Button2.Enabled()) b->Button2.Click();
            b->Button1.Click();
            return b->ModalResult();
        }
        if (auto* n = dynamic_cast<TFileNameSetForm*>(&f)) {
            nameQuestions.push_back(n->Label1.Text());
            n->Edit1.SetText(typedName);
            if (typedKey) {
                // The key in the name field, through the dialog manager as
                // the modal loop hands it on.
                n->Edit1.SetFocus();
                MSG m{n->Edit1.Handle(), WM_KEYDOWN, WPARAM(typedKey), 1, 0, {}};
                IsDialogMessageA(n->Handle(), &m);
                return n->ModalResult();
            }
            (typedAnswer == mrYesToAll ? n->Button2 : n->Button1).Click();
            return n->ModalResult();
        }
        return IDCANCEL;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> v;
        for (auto& m : prompter.Messages) v.push_back(m.text);
        return v;
    }
    // The PCM of track t as the image holds it.
    void ExpectImagePcm(const std::string& file, int track) {
        std::vector<std::uint8_t> wav = ReadFile(file);
        const TTrackRecord& t = table.Slots[track];
        ASSERT_EQ(wav.size(), 44u + std::size_t(t.SectorCount) * 2352) << file;
        EXPECT_TRUE(testimg::MatchesImage(wav.data() + 44, wav.size() - 44, std::int64_t(t.StartLba) * 2352)) << file;
    }

    StandinSetup standin{"Personality=plextor\nLatency=1\n"};
    std::unique_ptr<TWin32Aspi> aspi;
    bool poll = false;
    std::unique_ptr<TAspiExecutor> exec;
    TConfigStore c;
    TTrackTable table;
    THostForm host;
    TAcmDrv drv;
    std::unique_ptr<TRipControl> rip;
    std::string out;
    std::vector<bool> timerCalls;
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
    // What the scripted user saw and does.
    bool sawProgress = false, sawTrackProgress = false, sawLevel = false;
    int runBarEnd = -1;
    std::string lastStatus;
    std::vector<TVerifyRslt::TRow> reportRows;
    int reportListRows = -1;
    std::vector<std::string> nameQuestions;
    std::string typedName;
    INT_PTR typedAnswer = IDYES;
    int typedKey = 0;  // a key pressed in the name prompt instead of a button
    int cancelAtPercent = -1, cancelTrack = 0;
    bool cancelByClose = false;
    std::function<void()> duringRun;  // done once while the progress window is up
    std::string benchCaptionBefore, benchCaption, benchApi, benchButton1;
    bool benchCopyEnabledBefore = true;
    std::vector<std::string> benchLabels;
};

std::string ClipboardText() {
    std::string t;
    if (!OpenClipboard(nullptr)) return t;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) t = p;
        GlobalUnlock(h);
    }
    CloseClipboard();
    return t;
}

}  // namespace

TEST_F(RipControlWine, RipsTheSelectedTracksWithReportAndEndMessage) {
    ASSERT_EQ(table.TrackCount, 3);
    Name(1, "one");
    Name(3, "three");
    Select({1, 3});
    // A negative percent: the track's external-encoding title, no percent text.
    std::string titleExternal, percentExternal;
    int barExternal = -1;
    duringRun = [&] {
        rip->WMRipProgress(-1, 3);
        titleExternal = Application.Title;
        percentExternal = rip->ProgressForm()->Label2.Text();
        barExternal = rip->ProgressForm()->ProgressBar1.Position();
    };
    rip->ToolRipStartClick();
    EXPECT_FALSE(rip->Running());
    EXPECT_EQ(titleExternal, Format(LoadResString(MSG_RIP_TITLE_EXTERNAL), 3));
    EXPECT_EQ(percentExternal, "");
    EXPECT_EQ(barExternal, 0);
    // The folder question first, the end message last.
    std::vector<std::string> texts = Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.front(), Format(LoadResString(MSG_RIP_CONFIRM_FOLDER), (out + "\\").c_str()));
    EXPECT_EQ(texts.back(), LoadResString(MSG_RIP_FINISHED));
    ExpectImagePcm(out + "\\one.wav", 1);
    ExpectImagePcm(out + "\\three.wav", 3);
    ASSERT_EQ(rip->Results().size(), 2u);
    EXPECT_EQ(rip->Results()[0].ResultClass, rrOK);
    EXPECT_EQ(rip->Results()[1].TrackNumber, 3);
    // One report row per track, in order, with the right result.
    ASSERT_EQ(reportRows.size(), 2u);
    EXPECT_EQ(reportListRows, 2);
    EXPECT_EQ(reportRows[0][0], "1");
    EXPECT_EQ(reportRows[1][0], "3");
    EXPECT_EQ(reportRows[1][1], "OK");
    EXPECT_EQ(reportRows[0][3], "-");  // no jitter correction
    // The run bar ends at 100 %; the thread's levels reached the meters.
    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(sawTrackProgress);
    EXPECT_TRUE(sawLevel);
    EXPECT_EQ(runBarEnd, 100);
    EXPECT_EQ(rip->DoneSectors(), rip->TotalSectors());
    // The media timer was stopped for the run and started again.
    ASSERT_FALSE(timerCalls.empty());
    EXPECT_FALSE(timerCalls.front());
    EXPECT_TRUE(timerCalls.back());

    // The one-pass jitter correction overlaps its reads by 4 sectors, but
    // not with the PIONEER read command.
    c.SelReadMethod.SetItemIndex(rm1PassZitterRead);
    for (const int kind : {int(rcPlextor), int(rcPioneer)}) {
        SCOPED_TRACE(kind);
        c.ComboBox1.SetItemIndex(kind);
        Select({1});
        rip->ToolRipStartClick();
        ASSERT_FALSE(rip->Results().empty());
        EXPECT_EQ(rip->Results().back().OverlapSectors, kind == rcPioneer ? 0 : 4);
        EXPECT_EQ(rip->Results().back().ResultClass, rrOK);
        ExpectImagePcm(out + "\\one.wav", 1);
    }
    c.SelReadMethod.SetItemIndex(0);

    // A monitored rip whose wave device cannot be opened says so and rips
    // on without the monitor.
    c.ComboBox1.SetItemIndex(rcPlextor);
    c.UseWaveMonitor.Checked = true;
    rip->Host().OpenWaveOut = [](int, int, int, bool) { return false; };
    prompter.Messages.clear();
    Select({3});
    rip->ToolRipStartClick();
    texts = Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], LoadResString(MSG_RIP_WAVE_DEVICE));
    EXPECT_EQ(texts.back(), LoadResString(MSG_RIP_FINISHED));
    ASSERT_FALSE(rip->Results().empty());
    EXPECT_FALSE(rip->Results().back().MonitorOutput);
    ExpectImagePcm(out + "\\three.wav", 3);
}

TEST_F(RipControlWine, MissingNamesAndTheOverwriteQuestionOfAPreEmphasisedTrack) {
    // Track 2 carries pre-emphasis: its file is stem + "_EMPH".
    std::ofstream(out + "\\disc_02_EMPH.wav") << "old";
    ASSERT_TRUE(table.Slots[2].PreEmphasis);
    c.UseDeEmph.Checked = false;
    typedName = "disc";
    typedAnswer = mrYesToAll;
    Select({1, 2});
    rip->ToolRipStartClick();
    ASSERT_EQ(nameQuestions.size(), 1u);
    EXPECT_EQ(nameQuestions[0], Format(LoadResString(MSG_RIP_NAME_MISSING), 1));
    EXPECT_EQ(table.Slots[1].FileStem, "disc_01");
    EXPECT_EQ(table.Slots[2].FileStem, "disc_02");
    EXPECT_EQ(host.List.ItemText(1, 5), "disc_02");
    const std::vector<std::string> texts = Texts();
    const std::string ask = Format(LoadResString(MSG_RIP_OVERWRITE), (out + "\\disc_02_EMPH.wav").c_str());
    EXPECT_NE(std::find(texts.begin(), texts.end(), ask), texts.end());
    ExpectImagePcm(out + "\\disc_01.wav", 1);
    ExpectImagePcm(out + "\\disc_02_EMPH.wav", 2);
    c.UseDeEmph.Checked = true;
    prompter.Messages.clear();
    Select({2});
    rip->ToolRipStartClick();
    EXPECT_EQ(Texts().back(), LoadResString(MSG_RIP_FINISHED));
    EXPECT_TRUE(Exists(out + "\\disc_02_DeEMPH.wav"));
}

TEST_F(RipControlWine, OverwriteRefusedEndsTheCommandAndKeepsTheFile) {
    Name(1, "keep");
    std::ofstream(out + "\\keep.wav") << "old";
    prompter.Answers = {IDOK, IDCANCEL};  // the folder, then no overwrite
    Select({1});
    rip->ToolRipStartClick();
    EXPECT_FALSE(sawProgress);
    EXPECT_EQ(ReadFile(out + "\\keep.wav").size(), 3u);
}

TEST_F(RipControlWine, CancelDuringATrackEndsTheRunAsCancelled) {
    c.UseDeEmph.Checked = false;  // track 2 is pre-emphasised: b_EMPH.wav
    // By the button, then by the close box (Alt+F4) of the progress window.
    for (const bool byClose : {false, true}) {
        SCOPED_TRACE(byClose ? "close box" : "button");
        Name(1, "a");
        Name(2, "b");
        Name(3, "c");
        DeleteFileA((out + "\\a.wav").c_str());
        // Old files of the cancelled track and of the one never reached: the
        // user agrees to replace them, and the cancel keeps them as they were.
        std::ofstream(out + "\\b_EMPH.wav", std::ios::binary) << "old b";
        std::ofstream(out + "\\c.wav", std::ios::binary) << "old c";
        prompter.Messages.clear();
        Select({1, 2, 3});
        cancelTrack = 2;
        cancelAtPercent = 10;
        cancelByClose = byClose;
        rip->ToolRipStartClick();
        const std::vector<std::string> texts = Texts();
        ASSERT_EQ(texts.size(), 4u);  // the folder, two overwrite questions, the end
        EXPECT_EQ(texts[1], Format(LoadResString(MSG_RIP_OVERWRITE), (out + "\\b_EMPH.wav").c_str()));
        EXPECT_EQ(texts.back(), LoadResString(MSG_RIP_ABORTED));
        EXPECT_TRUE(rip->AbortFlag);
        ASSERT_EQ(rip->Results().size(), 2u);  // track 3 never started
        ExpectImagePcm(out + "\\a.wav", 1);
        EXPECT_EQ(Folder(out), (std::map<std::string, std::vector<std::uint8_t>>{
                                   {"a.wav", ReadFile(out + "\\a.wav")},
                                   {"b_EMPH.wav", {'o', 'l', 'd', ' ', 'b'}},
                                   {"c.wav", {'o', 'l', 'd', ' ', 'c'}}}));
    }
}

// The spin-up before the next track lets messages through while no thread
// runs: a cancel there starts no further track, and the output opened for it
// is given up.
TEST_F(RipControlWine, CancelDuringTheSpinUpBetweenTracks) {
    c.CheckBox13.Checked = true;  // BootSpinUp
    Name(1, "a");
    Name(3, "c");
    Select({1, 3});
    rip->Host().AddTestPlayFile = [this](const std::string& file) {
        if (file.find("c.wav") == std::string::npos || !rip->ProgressForm()) return;
        EXPECT_EQ(rip->RipThread(), nullptr);
        const HWND p = rip->ProgressForm()->Handle();
        PostMessageA(p, WM_COMMAND, MAKEWPARAM(IDC_PROG_CANCEL, BN_CLICKED), LPARAM(GetDlgItem(p, IDC_PROG_CANCEL)));
    };
    rip->ToolRipStartClick();
    EXPECT_EQ(Texts().back(), LoadResString(MSG_RIP_ABORTED));
    ASSERT_EQ(rip->Results().size(), 1u);
    ExpectImagePcm(out + "\\a.wav", 1);
    EXPECT_EQ(Folder(out).size(), 1u) << "no file for track 3, no temporary file";
}

// A later track that cannot be started ends the run as failed: the end
// message names it, why, and every later track, with the report shown or
// not.  A full disk: the tracks that could not be written leave no file.
TEST_F(RipControlWine, ALaterTrackThatCannotStartOrBeWrittenIsNamed) {
    for (const bool report : {true, false}) {
        SCOPED_TRACE(report ? "report" : "no report");
        c.CheckBox18.Checked = report;
        Name(1, "a");
        Name(2, "b");
        Name(3, "c");
        c.UseDeEmph.Checked = false;
        // A folder holds track 2's name: its output cannot be created.
        CreateDirectoryA((out + "\\b_EMPH.wav").c_str(), nullptr);
        DeleteFileA((out + "\\a.wav").c_str());
        prompter.Messages.clear();
        Select({1, 2, 3});
        rip->ToolRipStartClick();
        ASSERT_EQ(rip->Results().size(), 1u);
        const std::string lines = Format(LoadResString(MSG_RIP_WHY_OPEN), 2, "");
        const std::string end = Texts().back();
        EXPECT_EQ(prompter.Messages.back().flags & MB_ICONMASK, UINT(MB_ICONWARNING));
        EXPECT_EQ(end.rfind(Format(LoadResString(MSG_RIP_NOT_WHOLE), "").c_str(), 0), 0u) << end;
        EXPECT_NE(end.find(lines.substr(0, lines.size() - 1)), std::string::npos) << end;
        EXPECT_NE(end.find("\r" + Format(LoadResString(MSG_RIP_WHY_NOT_TRIED), 3)), std::string::npos) << end;
        ExpectImagePcm(out + "\\a.wav", 1);
        EXPECT_EQ(Folder(out).size(), 2u) << "a.wav and the folder only";
        RemoveDirectoryA((out + "\\b_EMPH.wav").c_str());
    }
    const std::string volume = SmallVolume();
    if (volume.empty()) {
        std::printf("no small volume here: the full-disk rows are left out\n");
        return;
    }
    // 2 MiB: track 1 (1.4 MB) fits, track 2 fills the disk part-way.  Without
    // the free-space check the writes fail; with it, the check asks the
    // mounted folder itself, not its drive's root, and refuses track 2.
    for (const bool check : {false, true}) {
        SCOPED_TRACE(check ? "free-space check" : "no check");
        for (auto& [name, bytes] : Folder(volume)) DeleteFileA((volume + "\\" + name).c_str());
        out = volume;
        c.CheckBox4.Checked = check;
        c.CheckBox18.Checked = false;
        prompter.Messages.clear();
        Select({1, 2, 3});
        rip->ToolRipStartClick();
        const std::string end = Texts().back();
        EXPECT_EQ(end.rfind(Format(LoadResString(MSG_RIP_NOT_WHOLE), "").c_str(), 0), 0u) << end;
        if (check) {
            EXPECT_EQ(Texts()[Texts().size() - 2], LoadResString(MSG_RIP_DISK_FULL));
            EXPECT_NE(end.find(Format(LoadResString(MSG_RIP_WHY_SPACE), 2, LoadResString(MSG_RIP_DISK_FULL).c_str())),
                      std::string::npos) << end;
            EXPECT_NE(end.find(Format(LoadResString(MSG_RIP_WHY_NOT_TRIED), 3)), std::string::npos) << end;
        } else {
            for (int t : {2, 3}) {
                const std::string why = Format(LoadResString(MSG_RIP_WHY_WRITE), t, "");
                EXPECT_NE(end.find(why.substr(0, why.size() - 3)), std::string::npos) << t << ": " << end;
            }
        }
        ExpectImagePcm(volume + "\\a.wav", 1);
        EXPECT_EQ(Folder(volume).size(), 1u) << "no partial file of track 2 or 3, no temporary file";
    }
}

TEST_F(RipControlWine, RefusedStartsShowTheirMessageAndRestoreTheDrive) {
    // No selection: nothing at all.
    Select({});
    rip->ToolRipStartClick();
    EXPECT_TRUE(prompter.Messages.empty());
    // An output folder that does not exist: the open fails; the drive's block
    // size is put back although no thread ran.
    c.ComboBox1.SetItemIndex(rcToshiba);
    out = standin.dir.File("missing-folder");
    Name(1, "x");
    Select({1});
    standin.ClearLog();
    rip->ToolRipStartClick();
    EXPECT_EQ(Texts().back(), LoadResString(MSG_FILE_OPEN_FAILED));
    EXPECT_FALSE(sawProgress);
    EXPECT_FALSE(rip->Running());
    EXPECT_TRUE(rip->DiscStateFlag);
    // MODE SELECT to 2352 bytes and back.
    EXPECT_EQ(standin.Find({"cdb=15"}).size(), 2u);
    // A selected track without a name reports it.
    prompter.Messages.clear();
    c.ComboBox1.SetItemIndex(rcPlextor);
    out = standin.dir.File("out");
    typedName = "";
    Select({3});
    rip->ToolRipStartClick();
    EXPECT_TRUE(prompter.Messages.size() == 1u) << prompter.Messages.size();
}

// Every way a rip command refuses to start: its one message (after the
// folder question, and the overwrite question once names are checked), no
// run, and not one file on disk changed, an old file to be replaced included.
TEST_F(RipControlWine, EveryRefusalShowsItsMessageAndChangesNoFile) {
    std::ofstream(out + "\\one.wav", std::ios::binary) << "old one";
    const std::string oneWav = out + "\\one.wav";
    const std::string overwrite = Format(LoadResString(MSG_RIP_OVERWRITE), oneWav.c_str());
    auto msg = [](unsigned id) { return LoadResString(id); };
    HANDLE held = INVALID_HANDLE_VALUE;
    std::vector<std::string> asked;  // the folders whose free space was asked
    const std::uint32_t cacheSize = RipCacheBuffer.Size;
    const std::string config = ReadText(standin.config);
    struct TRow {
        const char* what;
        std::function<void()> set;
        std::vector<std::string> texts;
        std::initializer_list<int> tracks = {1, 3};
    };
    const TRow rows[] = {
        {"burst read without its memory",
         [&] {
             c.SelReadMethod.SetItemIndex(rmHispeedBurstRead);
             RipCacheBuffer.Size = 1048575;
         },
         {msg(MSG_RIP_BURST_MEMORY)}},
        {"WMA without its library", [&] { c.SelOutputMethod.SetItemIndex(omWMA); rip->Host().WmaAvailable = false; },
         {msg(MSG_RIP_NO_WMA)}},
        {"TwinVQ without its encoder", [&] { c.SelOutputMethod.SetItemIndex(omTwinVQ); }, {msg(MSG_RIP_NO_TVQ)}},
        {"a name with a character no file name holds", [&] { Name(3, "th?ree"); },
         {Format(msg(MSG_RIP_NAME_INVALID), 3)}},
        {"two tracks with one name", [&] { Name(3, "ONE"); },
         {Format(msg(MSG_RIP_SAME_NAME), 1, 3, (out + "\\ONE.wav").c_str())}},
        {"two tracks with one name through the pre-emphasis suffix",
         [&] {
             c.UseDeEmph.Checked = false;
             Name(2, "one");
             Name(3, "one_EMPH");
         },
         {Format(msg(MSG_RIP_SAME_NAME), 2, 3, (out + "\\one_EMPH.wav").c_str())}, {2, 3}},
        {"an old file another program holds",
         [&] { held = CreateFileA(oneWav.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); },
         {overwrite, Format(msg(MSG_RIP_LOCKED), oneWav.c_str())}},
        {"a read-only old file", [&] { SetFileAttributesA(oneWav.c_str(), FILE_ATTRIBUTE_READONLY); },
         {overwrite, Format(msg(MSG_RIP_LOCKED), oneWav.c_str())}},
        {"a range before the disc's start (answer 3)", [&] { table.Slots[1].RangeStart = -10; },
         {msg(MSG_RIP_RANGE_ERROR)}, {1}},
        {"an output format no converter makes (answer 4)",
         [&] {
             auto* f = reinterpret_cast<WAVEFORMATEX*>(c.OutputWaveFormat.data());
             *f = WAVEFORMATEX{0x7777, 2, 44100, 12000, 1, 0, 0};
         },
         {overwrite, msg(MSG_RIP_ENCODER_SETUP)}},
        {"not enough space in the output folder: one box",
         [&] {
             c.CheckBox4.Checked = true;
             rip->Host().DiskFree = [&](const std::string& f) -> std::int64_t {
                 asked.push_back(f);
                 return 1000;
             };
         },
         {overwrite, msg(MSG_RIP_DISK_FULL)}},
        {"not enough space in the work folder",
         [&] {
             c.CheckBox4.Checked = true;
             c.SelReadMethod.SetItemIndex(rm2PassZitterRead);
             c.WEdit1.Text = standin.dir.File("work") + "\\";
             rip->Host().DiskFree = [&](const std::string& f) -> std::int64_t {
                 asked.push_back(f);
                 return f == c.WEdit1.Text ? 1000 : std::int64_t(1) << 40;
             };
         },
         {overwrite, msg(MSG_RIP_TEMP_FULL)}},
        {"the work folder on the output folder's drive, its letter in lower case",
         [&] {
             c.CheckBox4.Checked = true;
             c.SelReadMethod.SetItemIndex(rm2PassZitterRead);
             std::string work = standin.dir.File("work") + "\\";
             work[0] = char(std::tolower(static_cast<unsigned char>(work[0])));
             c.WEdit1.Text = work;
             // Room for the work files, not for them and the output too.
             const TTrackRecord& t = table.Slots[1];
             const std::int64_t raw = std::int64_t(t.RangeEnd - t.RangeStart + 1) * 2352 + 18;
             rip->Host().DiskFree = [&, raw](const std::string& f) -> std::int64_t {
                 asked.push_back(f);
                 return f == c.WEdit1.Text ? raw + 1000 : std::int64_t(1) << 40;
             };
         },
         {overwrite, msg(MSG_RIP_TEMP_FULL)}},
        {"Escape in the name prompt",
         [&] {
             Name(3, "");
             typedName = "typed";
             typedKey = VK_ESCAPE;
         },
         {}},
        {"Enter in the name prompt takes the typed name",
         [&] {
             Name(3, "");
             typedName = "one";
             typedKey = VK_RETURN;
         },
         {Format(msg(MSG_RIP_SAME_NAME), 1, 3, (out + "\\one.wav").c_str())}},
        {"no disc in the drive",
         [&] {
             std::string empty = config;
             empty.replace(empty.find("Image=disc.cue"), 14, "Image=");
             std::ofstream(standin.config, std::ios::binary) << empty;
         },
         {overwrite, msg(MSG_NO_MEDIA)}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        Name(1, "one");
        Name(2, "two");
        Name(3, "three");
        Select(row.tracks);
        prompter.Messages.clear();
        asked.clear();
        const auto before = Folder(out);
        row.set();
        rip->ToolRipStartClick();
        std::vector<std::string> want{Format(msg(MSG_RIP_CONFIRM_FOLDER), (out + "\\").c_str())};
        want.insert(want.end(), row.texts.begin(), row.texts.end());
        EXPECT_EQ(Texts(), want);
        if (!row.texts.empty()) EXPECT_EQ(prompter.Messages.back().flags & MB_ICONMASK, UINT(MB_ICONERROR));
        EXPECT_FALSE(sawProgress);
        EXPECT_FALSE(rip->Running());
        EXPECT_TRUE(rip->Results().empty());
        for (const std::string& f : asked) EXPECT_TRUE(f == out + "\\" || f == c.WEdit1.Text) << f;
        // Back to the fixture's settings; then not a byte changed.
        if (held != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
        SetFileAttributesA(oneWav.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(Folder(out), before);
        c.SelReadMethod.SetItemIndex(0);
        c.SelOutputMethod.SetItemIndex(omWave);
        c.OutputWaveFormat.fill(0);
        c.CheckBox4.Checked = false;
        c.UseDeEmph.Checked = true;
        RipCacheBuffer.Size = cacheSize;
        rip->Host().DiskFree = nullptr;
        rip->Host().WmaAvailable = true;
        table.Slots[1].RangeStart = 0;
        typedKey = 0;
        typedName.clear();
    }
    // The disc back in the drive.
    std::ofstream(standin.config, std::ios::binary) << config;
    ReadToc();
    EXPECT_EQ(table.TrackCount, 3);
}

// The rip command while a run is on: ignored during the run; at its end,
// where messages pass while the file list is read again, it follows the run
// instead of being lost.
TEST_F(RipControlWine, AStartAtTheEndOfARunFollowsIt) {
    Name(1, "first");
    Name(3, "second");
    Select({1});
    duringRun = [this] { rip->ToolRipStartClick(); };
    int ends = 0;
    rip->Host().RefreshFiler = [&] {
        if (ends++ > 0) return;
        EXPECT_TRUE(rip->Running());
        Select({3});
        rip->ToolRipStartClick();
        EXPECT_EQ(Texts().size(), 2u) << "the next run must wait for this one";
    };
    rip->ToolRipStartClick();
    EXPECT_FALSE(rip->Running());
    EXPECT_EQ(ends, 2);
    const std::string ask = Format(LoadResString(MSG_RIP_CONFIRM_FOLDER), (out + "\\").c_str());
    const std::string end = LoadResString(MSG_RIP_FINISHED);
    EXPECT_EQ(Texts(), (std::vector<std::string>{ask, end, ask, end}));
    ExpectImagePcm(out + "\\first.wav", 1);
    ExpectImagePcm(out + "\\second.wav", 3);
    ASSERT_EQ(rip->Results().size(), 1u);
    EXPECT_EQ(rip->Results()[0].TrackNumber, 3);
}

TEST_F(RipControlWine, AnNgTrackIsNamedInTheEndMessageWithoutReport) {
    rip.reset();
    aspi.reset();
    // Sector 700 (track 2) fails every read.
    StandinSetup faulty("Personality=plextor\nLatency=1\nMediumErrors=700:0\n");
    SetUp();
    c.CheckBox18.Checked = false;
    Name(1, "a");
    Name(2, "b");
    Select({1, 2});
    rip->ToolRipStartClick();
    ASSERT_EQ(rip->Results().size(), 2u);
    EXPECT_EQ(rip->Results()[1].ResultClass, rrNG);
    EXPECT_EQ(Texts().back(), Format(LoadResString(MSG_RIP_FINISHED_NG), "2"));
    EXPECT_EQ(prompter.Messages.back().flags & MB_ICONMASK, UINT(MB_ICONWARNING));
}

// The benchmark from the rip control: its window while measuring and with
// the result, the clipboard report, the end message; then the discs it
// refuses.
TEST_F(RipControlWine, BenchmarkWithItsWindowAndReport) {
    rip->StartBenchMark();
    EXPECT_FALSE(rip->Running());
    ASSERT_EQ(rip->Results().size(), 1u);
    const TTransferRecord& r = rip->Results()[0];
    EXPECT_EQ(r.ResultClass, rrOK);
    // 1500 sectors an area in reads of 26: 57 reads; the outer area ends
    // 75 sectors before the lead-out (1800).
    EXPECT_EQ(r.BenchReads, 57);
    EXPECT_EQ(r.BenchInnerLba, 0);
    EXPECT_EQ(r.BenchOuterLba, 1725 - 57 * 26);
    EXPECT_GE(r.BenchInnerBurstMs, 0);
    EXPECT_EQ(benchCaptionBefore, std::string("計測中です……"));
    EXPECT_FALSE(benchCopyEnabledBefore);
    EXPECT_EQ(benchApi, "Windows ASPI API set");
    EXPECT_EQ(benchCaption, LoadResString(MSG_BENCH_RESULT_CAPTION));
    EXPECT_EQ(benchButton1, "OK");
    ASSERT_EQ(benchLabels.size(), 7u);
    EXPECT_EQ(benchLabels[0], Format(LoadResString(MSG_BENCH_LENGTH), 57 * 26 * 2352, 0, 19, 57));
    EXPECT_EQ(benchLabels[1], "00:00:00 - 00:19:56");
    EXPECT_EQ(benchLabels[2], "00:03:18 - 00:22:74");
    for (std::size_t i = 3; i < 7; ++i) EXPECT_NE(benchLabels[i].find(std::string("エラー発生=0")), std::string::npos) << i;
    const std::string report = ClipboardText();
    EXPECT_EQ(report.rfind("Wendrix CD-DA Ripping Benchmark version 1.0\r\nPlatform is Windows", 0), 0u) << report;
    EXPECT_NE(report.find("Target Drive - drive\r\n"), std::string::npos);
    EXPECT_NE(report.find(std::string("計測領域（内周）") + std::string(26 - std::string("計測領域（内周）").size(), ' ') + "00:00:00 - 00:19:56"),
              std::string::npos) << report;
    EXPECT_EQ(Texts().back(), LoadResString(MSG_RIP_FINISHED));

    // A disc with a data track, and no disc: refused, nothing runs.
    prompter.Messages.clear();
    rip->Host().ReadToc = [this] {
        ReadToc();
        table.Slots[3].IsAudio = false;
    };
    rip->StartBenchMark();
    rip->Host().ReadToc = [this] {
        ReadToc();
        table.TrackCount = 0;
    };
    rip->StartBenchMark();
    EXPECT_EQ(Texts(), (std::vector<std::string>{LoadResString(MSG_BENCH_AUDIO_ONLY), LoadResString(MSG_NO_MEDIA)}));
    EXPECT_EQ(rip->Results().size(), 1u);
    EXPECT_TRUE(timerCalls.back());
}

// A result that comes before the window exists is shown when it does.
TEST(SpeedResultWindow, AResultBeforeTheWindowIsKept) {
    Application.Initialize();
    TScriptedPrompter prompter;
    TPrompterGuard guard(prompter);
    TTransferRecord r = EmptyTransferRecord();
    r.SectorsPerRead = 20;
    r.BenchReads = 75;
    r.BenchInnerNormalMs = 1000;
    r.BenchOuterNormalMs = 500;
    r.BenchInnerBurstMs = r.BenchOuterBurstMs = -1;
    r.BenchOuterLba = 3000;
    TSpeedResult form;
    EXPECT_EQ(SpeedResult, &form);
    form.SetResult(r);
    std::vector<std::string> seen;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        seen = {form.Caption(), form.NInSpeed.Text(), form.NOutSpeed.Text(), form.BInSpeed.Text(), form.MOutside.Text()};
        return IDOK;
    };
    form.ShowModal();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], LoadResString(MSG_BENCH_RESULT_CAPTION));
    EXPECT_EQ(seen[1], Format(LoadResString(MSG_BENCH_SPEED), 3528.0, 3528000.0 / 176400, 0));
    EXPECT_EQ(seen[2], Format(LoadResString(MSG_BENCH_SPEED), 7056.0, 7056000.0 / 176400, 0));
    EXPECT_EQ(seen[3], LoadResString(MSG_BENCH_NOT_MEASURED));
    EXPECT_EQ(seen[4], "00:40:00 - 00:59:74");
}

namespace {
// The window's pixels from the screen as a 24-bit BMP file.
void SaveWindowBitmap(HWND w, const std::string& path) {
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    BITMAPINFOHEADER bi{sizeof bi, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> px(std::size_t(stride) * height);
    GetDIBits(mem, bmp, 0, UINT(height), px.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    BITMAPFILEHEADER fh{0x4D42, DWORD(sizeof fh + sizeof bi + px.size()), 0, 0, DWORD(sizeof fh + sizeof bi)};
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&bi), sizeof bi);
    f.write(reinterpret_cast<const char*>(px.data()), std::streamsize(px.size()));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

void Pump(int ms) {
    const DWORD end = GetTickCount() + DWORD(ms);
    while (GetTickCount() < end) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(10);
    }
}
}  // namespace

// The progress window on the screen: meters fed with levels, the peak
// marker falling back, the window shrunk when the meters are off.
TEST(ProgressWindow, MetersPeaksAndTheShrunkLayout) {
    Application.Initialize();
    TProgressForm form;
    form.Show();
    ASSERT_NE(form.Handle(), nullptr);
    TLevelMeter* left = form.LeftLevelMeter();
    TLevelMeter* right = form.RightLevelMeter();
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_GT(left->Length(), 100);
    left->SetLevel(32767);
    right->SetLevel(-16384);
    EXPECT_EQ(left->BarLength(), left->Length());
    EXPECT_NEAR(double(right->BarLength()) / right->Length(), 0.866, 0.02);
    form.ProgressBar1.SetPosition(40);
    form.ProgressBar2.SetPosition(70);
    form.Label2.SetText("40%");
    form.Label4.SetText("status");
    EXPECT_EQ(form.CurrentAnimation(), "RIPPING");
    form.PlayAnimation("COMPRESS");
    EXPECT_EQ(form.CurrentAnimation(), "COMPRESS");
    form.PlayAnimation("RIPPING");
    right->SetLevel(4000);  // the bar drops, the peak holds
    EXPECT_GT(right->PeakPos(), right->BarLength());
    Pump(300);
    const char* dir = getenv("WX_BINARY_DIR");
    if (dir) {
        std::string art = std::string(dir) + "/artifacts";
        for (char& ch : art)
            if (ch == '/') ch = '\\';
        CreateDirectoryA(("Z:" + art).c_str(), nullptr);
        SaveWindowBitmap(form.Handle(), "Z:" + art + "\\progress_form.bmp");
    }
    const int peakBefore = right->PeakPos();
    Pump(800);  // three or four ticks of the decay timer
    EXPECT_LT(right->PeakPos(), peakBefore);
    // A level above the held peak lights the whole bar at once, as the left
    // meter's full bar is lit.
    right->SetLevel(32767);
    auto pixel = [](HWND w, int x) {
        RECT rc;
        GetClientRect(w, &rc);
        HDC dc = GetDC(w);
        const COLORREF c = GetPixel(dc, x, rc.bottom / 2);
        ReleaseDC(w, dc);
        return c;
    };
    for (int x : {right->Length() - 4, (right->Length() + peakBefore) / 2})
        EXPECT_EQ(pixel(right->Handle(), 1 + x), pixel(left->Handle(), 1 + x)) << x;
    form.DestroyHandle();

    TProgressForm small;
    small.HideLevelMeters = true;
    small.Show();
    RECT full = form.Bounds(), shrunk = small.Bounds();
    EXPECT_FALSE(IsWindowVisible(small.Item(IDC_PROG_LEFTMETER)));
    RECT button;
    GetWindowRect(small.Item(IDC_PROG_CANCEL), &button);
    EXPECT_LT(shrunk.bottom - shrunk.top, 260);
    EXPECT_GT(shrunk.bottom, button.bottom);
    (void)full;
    small.DestroyHandle();
}
