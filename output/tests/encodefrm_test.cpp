// The batch encode list against real controls and the WMA writer stand-in
// (under Wine), scripted through the prompter seam: runs that go through,
// stop, fail per file or end on a format error; the output checks; the
// drop target fed with a hand-made file drop list.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/acmmgr32.h"
#include "output/acmparams.h"
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
        h.WmaAvailable = IsWmaLibraryLoaded() && !wmaMissing;
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
    bool wmaMissing = false;
};

// The stdin route to the test encoder with these options.
void UseStdinEncoder(TConfigStore& store, const std::string& options) {
    store.SelOutputMethod.SetItemIndex(omMP3);
    store.SelMP3Enc.SetItemIndex(mekExternal);
    store.UseStdin.Checked = true;
    store.UseOriginalOption.Checked = true;
    store.OptionEdit.Text = options;
    store.ProgramEdit.Text = ExeDir() + "\\testenc.exe";
}

// What a run does a little after it started, on the list's own thread: a
// timer of the thread calls it while the list waits for its worker.
std::function<void()> g_later;
DWORD g_laterAt = 0;
void CALLBACK LaterProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_laterAt = GetTickCount();
    if (g_later) g_later();
}
void Later(UINT ms, std::function<void()> what) {
    g_later = std::move(what);
    g_laterAt = 0;
    SetTimer(nullptr, 0, ms, LaterProc);
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

// An old file under an output's name stays as it was, byte for byte,
// unless its row finished a new file: a refused run, a failed set-up, a
// row that fails or is stopped (an encoder that no longer reads its input
// included) leave it, and no temporary file stays beside it.
TEST_F(EncodeForm, OldOutputsStayUnlessTheirRowFinishes) {
    const std::string testenc = ExeDir() + "\\testenc.exe";
    enum TStop { NoStop, StopAtOnce, StopLater, QuitLater };
    struct TRow {
        const char* what;
        std::function<void(TConfigStore&)> settings;
        const char* output;  // the old file beside the source
        std::size_t frames;
        std::uint32_t rate;
        TStop stop;
        std::string message;  // the run's last message
        std::string rowText;  // of row 1 ("" none)
    };
    const std::string setupFailed = Text(MSG_ENC_SETUP_FAILED);
    const TRow rows[] = {
        {"WMA library missing", [this](TConfigStore&) { wmaMissing = true; }, "a.wma", 4410, 44100, NoStop,
         Text(MSG_RIP_NO_WMA), ""},
        {"TwinVQ library missing", [](TConfigStore& c) { c.SelOutputMethod.SetItemIndex(omTwinVQ); }, "a.vqf", 4410,
         44100, NoStop, Text(MSG_RIP_NO_TVQ), ""},
        {"encoder program missing",
         [&](TConfigStore& c) {
             UseStdinEncoder(c, "-");
             c.ProgramEdit.Text = dir + "\\none.exe";
         },
         "a.mp3", 4410, 44100, NoStop, MsgEncoderNotFound, ""},
        {"set-up refused (no encoder library)",
         [](TConfigStore& c) {
             c.SelOutputMethod.SetItemIndex(omMP3);
             c.SelMP3Enc.SetItemIndex(mekGogo);
         },
         "a.mp3", 4410, 44100, NoStop, setupFailed, ""},
        {"encoder that ends at once", [&](TConfigStore& c) { UseStdinEncoder(c, "-quit -exit 9"); }, "a.mp3", 4410,
         44100, NoStop, Text(MSG_ENC_CREATE_FAILED), "*"},
        {"format error", [](TConfigStore&) {}, "a.wma", 4410, 22050, NoStop, Text(MSG_ENC_FORMAT),
         Text(MSG_ENC_FORMAT)},
        {"stopped", [](TConfigStore&) {}, "a.wma", 44100 * 60, 44100, StopAtOnce, Text(MSG_ENC_ABORTED),
         Text(MSG_ENC_ABORTED)},
        {"stopped, encoder no longer reads", [&](TConfigStore& c) { UseStdinEncoder(c, "-stall 60000 -"); }, "a.mp3",
         44100 * 60, 44100, StopLater, Text(MSG_ENC_ABORTED), Text(MSG_ENC_ABORTED)},
        {"quit during the run", [&](TConfigStore& c) { UseStdinEncoder(c, "-stall 60000 -"); }, "a.mp3",
         44100 * 60, 44100, QuitLater, Text(MSG_ENC_ABORTED), Text(MSG_ENC_ABORTED)},
    };
    const std::string old = "an old output that must stay";
    int n = 0;
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string d = dir + "\\" + std::to_string(++n);
        CreateDirectoryA(d.c_str(), nullptr);
        const std::string src = Wav(d, "a.wav", row.frames, row.rate);
        { std::ofstream(d + "\\" + row.output, std::ios::binary) << old; }
        store.SelOutputMethod.SetItemIndex(omWMA);
        store.SelMP3Enc.SetItemIndex(mekExternal);
        store.UseStdin.Checked = false;
        store.UseOriginalOption.Checked = false;
        wmaMissing = false;
        row.settings(store);
        prompter.Messages.clear();
        prompter.Answers = {IDOK};  // "... は既に存在します." OK
        DWORD stoppedAt = 0, ended = 0;
        Show({src}, [&](TEncodeForm& f) {
            ASSERT_EQ(f.Rows().size(), 1u);
            ASSERT_EQ(f.Rows()[0].Output, d + "\\" + row.output);
            // The stop comes as the button's click while the first file is
            // encoded; for an encoder that stalls, once its input is full.
            if (row.stop == StopLater) {
                Later(300, [&f] { f.Button1Click(); });
            } else if (row.stop == QuitLater) {
                Later(300, [] { PostQuitMessage(7); });
            } else if (row.stop == StopAtOnce) {
                g_laterAt = GetTickCount();
                PostMessageA(f.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ENC_START, BN_CLICKED), LPARAM(f.Button1.Handle()));
            }
            f.Button1Click();
            ended = GetTickCount();
            stoppedAt = g_laterAt;
            g_later = nullptr;
            // The quit is passed on once, after the run.
            MSG quit;
            const bool quitPending = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
            EXPECT_EQ(quitPending, row.stop == QuitLater);
            if (quitPending) {
                EXPECT_EQ(quit.wParam, 7u);
            }
            EXPECT_FALSE(f.Busy());
            EXPECT_TRUE(f.Button2.Enabled());
            if (row.rowText != "*") {
                EXPECT_EQ(Cell(f, 0, 11), row.rowText);
            }
        });
        ASSERT_GE(prompter.Messages.size(), 2u);
        EXPECT_NE(prompter.Messages[0].text.find(row.output), std::string::npos) << prompter.Messages[0].text;
        EXPECT_EQ(prompter.Messages.back().text.rfind(row.message, 0), 0u) << prompter.Messages.back().text;
        EXPECT_TRUE(Contents(d + "\\" + row.output) == old) << "the old file changed";
        std::vector<std::string> kept{"a.wav", row.output};
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(FilesIn(d), kept) << "a temporary file was left";
        EXPECT_FALSE(drv.IsPipeEncoderRunning());
        if (row.stop != NoStop) {
            ASSERT_NE(stoppedAt, 0u);
            // Well within the encoder's minute; a second is the aim, the
            // slack is for a loaded machine.
            EXPECT_LT(ended - stoppedAt, 3000u);
            std::printf("%s: the row ended %lu ms after the stop\n", row.what, ended - stoppedAt);
        }
    }
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
    // A finished file that cannot take the output's name (a
    // folder took it meanwhile) stays under its temporary name, which the
    // text gives.
    {
        const std::string locked = dir + "\\s.mp3";
        SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(locked.c_str());
        CreateDirectoryA(locked.c_str(), nullptr);
        const TWorkerRun r = RunWorker(external(testenc, ""));
        EXPECT_EQ(r.Outcome, TEncodeOutcome::Failed);
        const std::vector<std::string> files = FilesIn(dir);
        const auto temp = std::find_if(files.begin(), files.end(), [](const std::string& f) { return f.rfind("TMP", 0) == 0; });
        ASSERT_NE(temp, files.end()) << "the finished file was not kept";
        char shortDir[MAX_PATH];
        GetShortPathNameA(dir.c_str(), shortDir, MAX_PATH);
        EXPECT_EQ(r.RowText, wx::FormatRes(MSG_ENC_RENAME_KEPT, (std::string(shortDir) + "\\" + *temp).c_str()));
        EXPECT_EQ(Size(dir + "\\" + *temp), Size(src));
        DeleteFileA((dir + "\\" + *temp).c_str());
        RemoveDirectoryA(locked.c_str());
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

// The driver's routes as the worker runs them: the status text of each
// route; an Open that fails after the sink made its file, a write that
// fails part-way and an exception out of the worker each end the file as
// failed with their text, leave neither the output nor a temporary file,
// and leave the driver closed (a new file can be opened at once).
TEST_F(EncodeForm, WorkerRoutesAndTheirFailures) {
    const std::string src = Wav(dir, "s.wav", 44100 * 4);
    const std::string testenc = ExeDir() + "\\testenc.exe";
    const WAVEFORMATEX cd{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    const TWMAEncodeParams wma{2, 44100, 128000}, badWma{2, 12345, 128000};
    const TPipeEncodeParams pipe{testenc.c_str(), "-"}, dying{testenc.c_str(), "- -die 300000"};
    struct TCase {
        const char* what;
        const char* output;
        std::uint8_t mode;
        const void* params;
        std::uint8_t twinVq, wmt, stdinRoute;
        bool throws;
        TEncodeOutcome outcome;
        std::string text;    // of the row or of the run (prefix)
        UINT status;         // the first status text
    };
    const std::string injected = wx::FormatRes(MSG_ENC_WORKER_FAILED, "injected");
    const TCase cases[] = {
        {"ACM", "o.wav", admAcmWave, &cd, 0, 0, 0, false, TEncodeOutcome::Done, "", MSG_ENC_STATUS_ACM},
        {"TwinVQ text", "o.wav", admAcmWave, &cd, 1, 0, 0, false, TEncodeOutcome::Done, "", MSG_ENC_STATUS_TWINVQ},
        {"WMA", "o.wma", admWma, &wma, 0, 1, 0, false, TEncodeOutcome::Done, "", MSG_ENC_STATUS_WMT},
        {"stdin", "o.mp3", admPipe, &pipe, 0, 0, 1, false, TEncodeOutcome::Done, "", MSG_ENC_STATUS_STDIN},
        {"WMA format refused at Open", "o.wma", admWma, &badWma, 0, 1, 0, false, TEncodeOutcome::Error,
         Text(MSG_ENC_CREATE_FAILED), 0},
        {"encoder dies part-way", "o.mp3", admPipe, &dying, 0, 0, 1, false, TEncodeOutcome::Error, MsgEncoderError,
         MSG_ENC_STATUS_STDIN},
        {"exception, WMA", "o.wma", admWma, &wma, 0, 1, 0, true, TEncodeOutcome::Failed, injected, MSG_ENC_STATUS_WMT},
        {"exception, stdin", "o.mp3", admPipe, &pipe, 0, 0, 1, true, TEncodeOutcome::Failed, injected,
         MSG_ENC_STATUS_STDIN},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(drv.Setup(&cd, c.params, c.mode, false)) << drv.ErrorText();
        TEncodeJob job;
        job.OutputDriver = &drv;
        job.SourceFile = src;
        job.OutputFile = dir + "\\" + c.output;
        job.UseTwinVQ = c.twinVq;
        job.UseWMT = c.wmt;
        job.UseStdin = c.stdinRoute;
        if (c.throws)
            job.OnBlock = [](std::uint64_t done) {
                if (done > 200000) throw std::runtime_error("injected");
            };
        const TWorkerRun r = RunWorker(job);
        EXPECT_EQ(r.Outcome, c.outcome);
        const std::string& text = c.outcome == TEncodeOutcome::Error ? r.ErrorText : r.RowText;
        EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
        if (c.status) {
            ASSERT_FALSE(r.Texts.empty());
            EXPECT_EQ(r.Texts[0], wx::FormatRes(c.status, "s.wav"));
        }
        if (c.outcome == TEncodeOutcome::Done) {
            EXPECT_GT(Size(job.OutputFile), 1000u);
            DeleteFileA(job.OutputFile.c_str());
        }
        EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"s.wav"});
        EXPECT_FALSE(drv.IsPipeEncoderRunning());
        ASSERT_TRUE(drv.Setup(&cd, &cd, admAcmWave, false));
        EXPECT_TRUE(drv.Open(dir + "\\again.wav")) << "the driver was left open";
        drv.Discard();
    }
}
