// The batch encode list against real controls and the WMA writer stand-in
// (under Wine), scripted through the prompter seam: runs that go through,
// stop, fail per file or end on a format error; the output checks; the
// drop target fed with a hand-made file drop list.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/acmmgr32.h"
#include "output/encodefrm.h"
#include "output/id3edit.h"
#include "output/tests/wavbuild.h"
#include "output/wmaudiosdk.h"
#include "output/wmttag.h"
#include "resources/msgids.h"
#include "settings/configstore.h"
#include "tests/filedrop.h"

using namespace wx;

namespace {

std::string ExeDir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    const std::string p(buf, n);
    return p.substr(0, p.find_last_of('\\'));
}

// A fresh folder per test beside the program.
std::string WorkDir() {
    const std::string d = ExeDir() + "\\encodefrm_work\\" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SHCreateDirectoryExA(nullptr, d.c_str(), nullptr);
    return d;
}

wavbuild::Bytes Pcm(std::size_t frames) {
    wavbuild::Bytes b(frames * 4);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(i * 13 + 5);
    return b;
}

std::string Wav(const std::string& dir, const std::string& name, std::size_t frames, std::uint32_t rate = 44100) {
    const std::string path = dir + "\\" + name;
    wavbuild::Save(path, wavbuild::Wave({wavbuild::Chunk("fmt ", wavbuild::Fmt(1, 2, rate, 16)),
                                         wavbuild::Chunk("data", Pcm(frames))}));
    return path;
}

std::uint64_t Size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
    return (std::uint64_t(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Text(UINT id) { return LoadResString(id); }

using TFileDrop = wxtest::TFileDropData;

class EncodeForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application.Initialize();
        LoadWmaLibrary();
    }
    void SetUp() override {
        dir = WorkDir();
        store.SelOutputMethod.SetItemIndex(omWMA);
        ASSERT_TRUE(IsWmaLibraryLoaded()) << "wmaudsdk.dll stand-in beside the test";
    }
    TEncodeHost Host() {
        TEncodeHost h;
        h.Driver = &drv;
        h.Config = &store;
        h.WmaAvailable = IsWmaLibraryLoaded();
        h.StatusString = [] { return std::string("status line"); };
        h.ApplySettings = [this] { ++applied; };
        h.ShowSettings = [this](HWND, int page) {
            shownPage = page;
            if (onSettings) onSettings();
        };
        h.RefreshFiler = [this] { ++refreshed; };
        return h;
    }
    // Shows the list with the files; `body` runs while it is up.
    void Show(const std::vector<std::string>& files, const std::function<void(TEncodeForm&)>& body) {
        TEncodeForm form(nullptr, Host());
        for (const auto& f : files) form.AddFile(f);
        prompter.OnModal = [&](TForm& f) -> INT_PTR {
            if (&f == &form) {
                body(form);
                return IDCANCEL;
            }
            if (onModal) return onModal(f);
            return IDCANCEL;
        };
        form.ShowModal();
    }
    bool Said(const std::string& text) const {
        return std::any_of(prompter.Messages.begin(), prompter.Messages.end(),
                           [&](const auto& m) { return m.text.find(text) != std::string::npos; });
    }
    std::string Cell(TEncodeForm& f, int row, int col) { return f.ListView1.ItemText(row, col); }

    std::string dir;
    TConfigStore store;
    TAcmDrv drv;
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
    std::function<INT_PTR(TForm&)> onModal;
    std::function<void()> onSettings;
    int applied = 0, refreshed = 0, shownPage = -1;
};

}  // namespace

TEST_F(EncodeForm, RunEncodesWithTagsAndEndsOnAFormatError) {
    const std::string a = Wav(dir, "a.wav", 44100), b = Wav(dir, "b22k.wav", 22050, 22050),
                      c = Wav(dir, "c.wav", 44100);
    // Tags for row 1 through the tag dialog, placed at the row.
    onModal = [](TForm& f) -> INT_PTR {
        auto* tag = dynamic_cast<TID3Form*>(&f);
        EXPECT_NE(tag, nullptr);
        if (!tag) return IDCANCEL;
        EXPECT_TRUE(tag->HasPosition);
        tag->TitleEdit.SetText("Title A");
        tag->ArtistEdit.SetText("Artist A");
        tag->Button1.Click();
        return 0;
    };
    Show({a, b, c}, [&](TEncodeForm& f) {
        EXPECT_EQ(f.Caption(), "ﾌｧｲﾙのｴﾝｺｰﾄﾞ");
        ASSERT_EQ(f.ListView1.Count(), 3);
        EXPECT_EQ(Cell(f, 0, 0), "a.wav");
        EXPECT_EQ(Cell(f, 0, 1), "a.wma");
        EXPECT_EQ(Cell(f, 0, 2), Text(MSG_NO));
        EXPECT_EQ(f.StatusBar1.PanelText(2), "status line");
        f.ListView1.SetSelected(0, true);
        f.PopupID3EditClick();
        EXPECT_EQ(Cell(f, 0, 2), Text(MSG_YES));
        EXPECT_EQ(Cell(f, 0, 3), "Title A");
        f.Button1Click();
        EXPECT_FALSE(f.Busy());
        EXPECT_EQ(Cell(f, 0, 11), Text(MSG_ENC_ROW_DONE));
        EXPECT_EQ(Cell(f, 1, 11), Text(MSG_ENC_FORMAT));
        EXPECT_EQ(Cell(f, 2, 11), "");
        EXPECT_TRUE(f.Button2.Enabled());
        EXPECT_TRUE(f.Button3.Enabled());
        EXPECT_EQ(f.Button1.Text(), Text(MSG_ENC_START));
    });
    EXPECT_TRUE(Said(Text(MSG_ENC_FORMAT)));
    EXPECT_FALSE(Said(Text(MSG_ENC_DONE)));
    EXPECT_EQ(refreshed, 1);
    ASSERT_TRUE(Exists(dir + "\\a.wma"));
    EXPECT_FALSE(Exists(dir + "\\b22k.wma"));
    EXPECT_FALSE(Exists(dir + "\\c.wma"));
    wx::TTrackRecord back;
    ASSERT_TRUE(tagio::ReadWMTTag(dir + "\\a.wma", back));
    EXPECT_EQ(back.Title, "Title A");
    EXPECT_EQ(back.Artist, "Artist A");
}

TEST_F(EncodeForm, FilesThatFailAreNamedAndTheRunGoesOn) {
    const std::string gone = Wav(dir, "gone.wav", 1000), ok = Wav(dir, "ok.wav", 44100);
    Show({gone, ok}, [&](TEncodeForm& f) {
        DeleteFileA(gone.c_str());
        f.Button1Click();
        EXPECT_EQ(Cell(f, 0, 11), Text(MSG_FILE_OPEN_FAILED));
        EXPECT_EQ(Cell(f, 1, 11), Text(MSG_ENC_ROW_DONE));
    });
    EXPECT_FALSE(Said(Text(MSG_ENC_DONE)));
    ASSERT_FALSE(prompter.Messages.empty());
    const std::string last = prompter.Messages.back().text;
    EXPECT_NE(last.find("gone.wav"), std::string::npos) << last;
    EXPECT_NE(last.find(Text(MSG_FILE_OPEN_FAILED)), std::string::npos) << last;
    EXPECT_TRUE(Exists(dir + "\\ok.wma"));
}

TEST_F(EncodeForm, StopEndsTheFileEarlyAndTheRun) {
    const std::string big = Wav(dir, "big.wav", 44100 * 60), next = Wav(dir, "next.wav", 44100);
    Show({big, next}, [&](TEncodeForm& f) {
        // The stop arrives while the first file is encoded.
        PostMessageA(f.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ENC_START, BN_CLICKED),
                     LPARAM(f.Button1.Handle()));
        f.Button1Click();
        EXPECT_EQ(Cell(f, 0, 11), Text(MSG_ENC_ABORTED));
        EXPECT_EQ(Cell(f, 1, 11), "");
        EXPECT_EQ(f.Progress(), 0);
    });
    EXPECT_TRUE(Said(Text(MSG_ENC_ABORTED)));
    EXPECT_FALSE(Said(Text(MSG_ENC_DONE)));
    // A shorter but finished file.
    ASSERT_TRUE(Exists(dir + "\\big.wma"));
    EXPECT_LT(Size(dir + "\\big.wma"), Size(big) / 2);
    EXPECT_FALSE(Exists(dir + "\\next.wma"));
}

TEST_F(EncodeForm, OutputsNeverReplaceSources) {
    const std::string a = Wav(dir, "a.wav", 2000), b = Wav(dir, "b.wav", 2000);
    const std::uint64_t bSize = Size(b);
    Show({a, b}, [&](TEncodeForm& f) {
        // Row 1's output set to row 2's source, spelled in another case.
        f.ListView1.SetSelected(0, true);
        prompter.FileAnswers.push_back(dir + "\\B.WAV");
        f.PopupFileEditClick();
        EXPECT_EQ(Cell(f, 0, 1), dir + "\\B.WAV");
        f.Button1Click();
        EXPECT_FALSE(f.Busy());
        // Two rows with one output.
        prompter.FileAnswers.push_back(dir + "\\b.wma");
        f.PopupFileEditClick();
        f.Button1Click();
        // An output that exists: Cancel keeps it, OK replaces it.
        prompter.FileAnswers.push_back(dir + "\\a.wma");
        f.PopupFileEditClick();
        { std::ofstream(dir + "\\a.wma") << "old"; }
        prompter.Answers = {IDCANCEL};
        f.Button1Click();
        EXPECT_EQ(Size(dir + "\\a.wma"), 3u);
        // A folder that does not exist.
        prompter.FileAnswers.push_back(dir + "\\missing\\a.wma");
        f.PopupFileEditClick();
        f.Button1Click();
    });
    ASSERT_GE(prompter.Messages.size(), 4u);
    EXPECT_NE(prompter.Messages[0].text.find("B.WAV"), std::string::npos) << prompter.Messages[0].text;
    EXPECT_EQ(prompter.Messages[0].text, [] {
        char buf[512];
        std::snprintf(buf, sizeof buf, Text(MSG_ENC_SAME_AS_SOURCE).c_str(), 1, "B.WAV", 2);
        return std::string(buf);
    }());
    EXPECT_EQ(prompter.Messages[1].text, [] {
        char buf[512];
        std::snprintf(buf, sizeof buf, Text(MSG_ENC_DUPLICATE).c_str(), 2, "b.wma", 1);
        return std::string(buf);
    }());
    EXPECT_NE(prompter.Messages[2].text.find("a.wma"), std::string::npos);
    EXPECT_EQ(prompter.Messages[2].flags & MB_OKCANCEL, UINT(MB_OKCANCEL));
    EXPECT_EQ(prompter.Messages[3].text, [] {
        char buf[512];
        std::snprintf(buf, sizeof buf, Text(MSG_ENC_NO_FOLDER).c_str(), 1);
        return std::string(buf);
    }());
    EXPECT_EQ(Size(b), bSize);
    EXPECT_FALSE(Exists(dir + "\\b.wma"));
}

TEST_F(EncodeForm, ListRowsOutputNamesAndTheOutputWhileShown) {
    // WAV output with MP3 as the standard method: MP3 while the list is up.
    store.SelOutputMethod.SetItemIndex(omWave);
    store.SelStdEncode.SetItemIndex(semMP3);
    const std::string a = Wav(dir, "x.wav", 100);
    std::vector<std::string> files(130, a);
    Show(files, [&](TEncodeForm& f) {
        EXPECT_EQ(store.SelOutputMethod.ItemIndex(), omMP3);
        EXPECT_EQ(f.ListView1.Count(), MaxEncodeRows);
        EXPECT_EQ(Cell(f, 0, 1), "x.mp3");
        // The encoder library's WAVE format after the settings: the name
        // that would be the source itself becomes x_encoded.wav.
        onSettings = [this] {
            store.SelMP3Enc.SetItemIndex(mekGogo);
            store.GogoFormatType = gftRiffWave;
        };
        f.Button3Click();
        EXPECT_EQ(shownPage, 3);
        EXPECT_EQ(Cell(f, 0, 1), "x_encoded.wav");
        // Deleting row 2 of 3 leaves row 3 with its own output.
        while (f.ListView1.Count() > 3) {
            f.ListView1.SetSelected(f.ListView1.Count() - 1, true);
            f.DelListClick();
        }
        prompter.FileAnswers.push_back(dir + "\\third.mp3");
        f.ListView1.SetSelected(2, true);
        f.PopupFileEditClick();
        f.ListView1.SetSelected(2, false);
        f.ListView1.SetSelected(1, true);
        f.DelListClick();
        ASSERT_EQ(f.Rows().size(), 2u);
        EXPECT_EQ(f.Rows()[1].Output, dir + "\\third.mp3");
        // The pop-up without a selection offers only adding files.
        f.ListView1.SetSelected(0, false);
        f.ListView1.SetSelected(1, false);
        prompter.MenuAnswers.push_back(IDM_ENC_ADDFILE);
        prompter.FileAnswers.push_back(a);
        f.ListView1ContextPopup(POINT{10, 10});
        EXPECT_EQ(f.Rows().size(), 3u);
    });
    ASSERT_EQ(prompter.Menus.size(), 1u);
    EXPECT_EQ(store.SelOutputMethod.ItemIndex(), omWave);
    EXPECT_EQ(applied, 2);
}

TEST_F(EncodeForm, DropTargetTakesOnlyWavFiles) {
    const std::string a = Wav(dir, "a.wav", 100), b = Wav(dir, "B.WAV", 100);
    { std::ofstream(dir + "\\c.mp3") << "x"; }
    Show({}, [&](TEncodeForm& f) {
        TEncodeListDropTargetObject* t = f.DropTarget();
        ASSERT_NE(t, nullptr);
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        TFileDrop good({a, b});
        EXPECT_EQ(t->DragEnter(&good, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
        EXPECT_EQ(t->DragOver(MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
        EXPECT_EQ(t->Drop(&good, 0, POINTL{0, 0}, &effect), S_OK);
        EXPECT_EQ(f.ListView1.Count(), 2);
        EXPECT_EQ(Cell(f, 1, 0), "B.WAV");
        EXPECT_EQ(good.Refs(), 1u);
        // One file that is not a WAV file, a folder or a missing file
        // refuses the whole drop.
        for (const std::vector<std::string>& bad :
             {std::vector<std::string>{a, dir + "\\c.mp3"}, std::vector<std::string>{dir},
              std::vector<std::string>{dir + "\\none.wav"}}) {
            TFileDrop drop(bad);
            effect = DROPEFFECT_COPY;
            EXPECT_EQ(t->DragEnter(&drop, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
            EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
            EXPECT_EQ(t->Drop(&drop, 0, POINTL{0, 0}, &effect), E_FAIL);
        }
        EXPECT_EQ(f.ListView1.Count(), 2);
        // While a run is in progress nothing can be dropped.
        f.OnFileDone = [&](int) {
            TFileDrop more({a});
            DWORD e = DROPEFFECT_COPY;
            t->DragEnter(&more, MK_LBUTTON, POINTL{0, 0}, &e);
            EXPECT_EQ(t->DragOver(MK_LBUTTON, POINTL{0, 0}, &e), E_FAIL);
            EXPECT_EQ(t->Drop(&more, 0, POINTL{0, 0}, &e), E_FAIL);
        };
        f.Button1Click();
        EXPECT_EQ(f.ListView1.Count(), 2);
    });
    EXPECT_TRUE(Said(Text(MSG_ENC_DONE)));
}

TEST_F(EncodeForm, RowsOfARunStayWhileTheyAreUsed) {
    const std::string a = Wav(dir, "a.wav", 4410), b = Wav(dir, "b.wav", 4410), c = Wav(dir, "c.wav", 4410);
    Show({a, b, c}, [&](TEncodeForm& f) {
        f.OnFileDone = [&](int row) {
            if (row != 0) return;
            // The file just encoded cannot go; one not yet encoded can.
            f.ListView1.SetSelected(0, true);
            f.DelListClick();
            EXPECT_EQ(f.ListView1.Count(), 3);
            f.ListView1.SetSelected(0, false);
            f.ListView1.SetSelected(2, true);
            f.DelListClick();
            EXPECT_EQ(f.ListView1.Count(), 2);
            // Files added meanwhile are not part of the run.
            f.AddFile(c);
        };
        f.Button1Click();
        EXPECT_EQ(f.ListView1.Count(), 3);
        EXPECT_EQ(Cell(f, 1, 11), Text(MSG_ENC_ROW_DONE));
        EXPECT_EQ(Cell(f, 2, 11), "");
    });
    EXPECT_TRUE(Said(Text(MSG_ENC_ROW_BUSY)));
    EXPECT_TRUE(Said(Text(MSG_ENC_DONE)));
    EXPECT_TRUE(Exists(dir + "\\a.wma"));
    EXPECT_TRUE(Exists(dir + "\\b.wma"));
    EXPECT_FALSE(Exists(dir + "\\c.wma"));
}

namespace {

// Runs one worker to its end; the posted status texts are taken from the
// queue of a window of this thread, and a stop is asked for as soon as the
// first status text arrives when `stopOnStatus` is set.
struct TWorkerRun {
    TEncodeOutcome Outcome = TEncodeOutcome::Done;
    std::string ErrorText, RowText;
    std::vector<std::string> Texts;
};

TWorkerRun RunWorker(TEncodeJob job, bool stopOnStatus = false) {
    HWND sink = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    job.NotifyWindow = sink;
    TWorkerRun r;
    TEncodeSubThread worker(job);
    HANDLE h = worker.Handle();
    for (;;) {
        // Woken by the worker's end or by a posted status.
        if (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_POSTMESSAGE) == WAIT_OBJECT_0) break;
        MSG m;
        while (PeekMessageA(&m, sink, WM_ENCODE_STATUS, WM_ENCODE_STATUS, PM_REMOVE)) {
            if (!m.lParam) continue;
            char* block = reinterpret_cast<char*>(m.lParam);
            r.Texts.emplace_back(block);
            delete[] block;
            if (stopOnStatus) worker.Terminate();
        }
    }
    worker.WaitFor();
    MSG m;
    while (PeekMessageA(&m, sink, WM_ENCODE_STATUS, WM_ENCODE_STATUS, PM_REMOVE))
        if (m.lParam) delete[] reinterpret_cast<char*>(m.lParam);
    DestroyWindow(sink);
    r.Outcome = worker.Outcome;
    r.ErrorText = worker.ErrorText;
    r.RowText = worker.RowText;
    return r;
}

}  // namespace

// What the worker leaves for the list: a file without format or audio is a
// format error; an encoder that cannot start, fails, writes nothing or is
// stopped fails its row, with no message box from the worker's thread and
// never an output or a temporary file left behind.
TEST_F(EncodeForm, WorkerFailuresBecomeRowTexts) {
    const std::string noFmt = dir + "\\nofmt.wav", empty = dir + "\\empty.wav";
    wavbuild::Save(noFmt, wavbuild::Wave({wavbuild::Chunk("data", Pcm(100))}));
    wavbuild::Save(empty, wavbuild::Wave({wavbuild::Chunk("fmt ", wavbuild::Fmt(1, 2, 44100, 16)),
                                          wavbuild::Chunk("data", {})}));
    for (const std::string& src : {noFmt, empty}) {
        TEncodeJob job;
        job.OutputDriver = &drv;
        job.SourceFile = src;
        job.OutputFile = dir + "\\x.wma";
        const TWorkerRun r = RunWorker(job);
        EXPECT_EQ(r.Outcome, TEncodeOutcome::Error) << src;
        EXPECT_EQ(r.ErrorText, Text(MSG_ENC_FORMAT)) << src;
        EXPECT_FALSE(Exists(job.OutputFile));
    }

    const std::string src = Wav(dir, "s.wav", 44100);
    const auto external = [&](const std::string& program, const std::string& options) {
        TEncodeJob job;
        job.Internal = 0;
        job.SourceFile = src;
        job.OutputFile = dir + "\\s.mp3";
        job.EncoderProgram = program;
        job.EncoderOptions = options;
        return job;
    };
    const std::string testenc = ExeDir() + "\\testenc.exe";
    struct TCase {
        std::string Program, Options;
        TEncodeOutcome Outcome;
        UINT Text;
    };
    for (const TCase& c : {TCase{dir + "\\none.exe", "", TEncodeOutcome::Failed, MSG_ENC_START_FAILED},
                           TCase{testenc, "-exit 3", TEncodeOutcome::Failed, MSG_ENC_ENCODER_FAILED},
                           TCase{testenc, "-nowrite", TEncodeOutcome::Failed, MSG_ENC_RENAME_FAILED}}) {
        const TWorkerRun r = RunWorker(external(c.Program, c.Options));
        EXPECT_EQ(r.Outcome, c.Outcome) << c.Options;
        EXPECT_EQ(r.RowText, Text(c.Text)) << c.Options;
        EXPECT_EQ(r.ErrorText, "") << c.Options;
        EXPECT_FALSE(Exists(dir + "\\s.mp3")) << c.Options;
    }
    // A stop while the encoder holds its temporary file: the encoder is
    // ended and the partial file is neither renamed nor left.
    const TWorkerRun stopped = RunWorker(external(testenc, "-hold 20000"), true);
    EXPECT_EQ(stopped.Outcome, TEncodeOutcome::Stopped);
    ASSERT_FALSE(stopped.Texts.empty());
    EXPECT_NE(stopped.Texts[0].find("s.wav"), std::string::npos);
    EXPECT_FALSE(Exists(dir + "\\s.mp3"));
    WIN32_FIND_DATAA fd;
    HANDLE found = FindFirstFileA((dir + "\\TMP*.MP3").c_str(), &fd);
    EXPECT_EQ(found, INVALID_HANDLE_VALUE) << fd.cFileName;
    if (found != INVALID_HANDLE_VALUE) FindClose(found);
    EXPECT_TRUE(prompter.Messages.empty());
}
