// The tag editor against real controls (under Wine), scripted through the
// prompter seam: comma- and tab-separated files with Shift-JIS texts in and
// out, the row dialog, the clipboard and the fill commands, output file
// names, closing with changes, and tag editing of MP3 files.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/allpastefrm.h"
#include "output/id3edit.h"
#include "output/id3genresel.h"
#include "output/id3tageditform.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "output/tests/tagtest_util.h"
#include "resources/msgids.h"
#include "settings/configstore.h"

using namespace wx;

namespace {

std::string WorkDir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string d(buf, n);
    d = d.substr(0, d.find_last_of('\\')) + "\\id3tageditform_work\\" +
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SHCreateDirectoryExA(nullptr, d.c_str(), nullptr);
    return d;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Formatted(UINT id, const std::string& arg) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, LoadResString(id).c_str(), arg.c_str());
    return buf;
}

class TagEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }
    void SetUp() override {
        ResetGenreSettings();
        dir = WorkDir();
        tracks.TrackCount = 4;
        for (int i = 1; i <= 4; ++i) tracks.Slots[i].IsAudio = i != 2;
        tracks.Slots[1].Title = "Old";
        tracks.Slots[1].Genre = 17;
        tracks.Slots[1].HasTag = true;
        store.FileNameSelect.SetItemIndex(0);
        store.FilenameEdit.Text = "%.02N_%T";
    }
    TTagEditorHost Host() {
        TTagEditorHost h;
        h.Tracks = &tracks;
        h.Config = &store;
        h.ShowFileName = [this](int t) { shown.push_back(t); };
        h.JapaneseMode = true;
        return h;
    }
    bool Said(const std::string& text) const {
        return std::any_of(prompter.Messages.begin(), prompter.Messages.end(),
                           [&](const auto& m) { return m.text.find(text) != std::string::npos; });
    }
    std::string dir;
    TTrackTable tracks;
    TConfigStore store;
    std::vector<int> shown;
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
};

// Four rows of the disc; track 2 is a data track.
const std::string kCsv =
    "ソナタ第一番,歌い手,アルバム表,2001,rock,1,コメント,著作権\r\n"
    "data,x\r\n"
    "三曲目,歌い手,アルバム表,2001,No Such Genre,3\r\n"
    "四曲目,歌い手,アルバム表,20015,-none-,4,,\r\n";

}  // namespace

TEST_F(TagEditor, TracksFromCommaFileEditedExportedWithTabsAndNamed) {
    WriteText(dir + "\\in.csv", kCsv);
    TID3TagForm editor(nullptr, Host());
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        if (auto* row = dynamic_cast<TID3Form*>(&f)) {
            EXPECT_EQ(row->TitleEdit.Text(), "ソナタ第一番");
            EXPECT_EQ(row->TextLimit, 250);
            row->TitleEdit.SetText("ソナタ第一番改");
            row->Button1.Click();
            return 0;
        }
        EXPECT_EQ(&f, &editor);
        EXPECT_EQ(editor.Caption(), "ID3タグエディタ");
        EXPECT_EQ(editor.ListView1.Count(), 4);
        EXPECT_EQ(editor.ListView1.ItemText(1, 0), "トラック2");
        EXPECT_EQ(editor.ListView1.ItemText(0, 1), "Old");
        EXPECT_EQ(editor.ListView1.ItemText(0, 5), "Rock");
        // A data track cannot be selected.
        editor.ListView1.SetSelected(1, true);
        EXPECT_FALSE(editor.ListView1.Selected(1));

        prompter.FileAnswers.push_back(dir + "\\in.csv");
        prompter.FilterAnswers.push_back(1);
        editor.ImportCSVFileClick();
        EXPECT_EQ(editor.ListView1.ItemText(0, 1), "ソナタ第一番");
        EXPECT_EQ(editor.ListView1.ItemText(0, 5), "Rock");
        EXPECT_EQ(editor.ListView1.ItemText(0, 8), "著作権");
        EXPECT_EQ(editor.ListView1.ItemText(1, 1), "");  // the data track keeps its texts
        EXPECT_EQ(editor.ListView1.ItemText(2, 5), "-None-");
        EXPECT_EQ(editor.ListView1.ItemText(3, 4), "2001");
        EXPECT_EQ(editor.ListView1.ItemText(3, 5), "-None-");

        // The row dialog edits row 1; the selection moves on.
        editor.ListView1.SetSelected(0, true);
        LVITEMA it{};
        it.stateMask = it.state = LVIS_FOCUSED;
        editor.ListView1.Send(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&it));
        editor.ListView1DblClick();
        EXPECT_EQ(editor.ListView1.ItemText(0, 1), "ソナタ第一番改");
        EXPECT_FALSE(editor.ListView1.Selected(0));

        prompter.FileAnswers.push_back(dir + "\\out.csv");
        prompter.FilterAnswers.push_back(2);
        editor.CreateCSVFileClick();

        editor.SetID3FilenameClick();
        // Closing with changes asks; Yes applies them.
        prompter.Answers.push_back(IDYES);
        editor.Close();
        return 0;
    };
    EXPECT_EQ(editor.ShowModal(), IDOK);
    // The warnings: the unknown genre with its row, the long year.
    EXPECT_TRUE(Said(LoadResString(MSG_TAGED_GENRE_NOT_FOUND) + "\r\"三曲目,歌い手,アルバム表,2001,No Such Genre,3\""));
    EXPECT_TRUE(Said(LoadResString(MSG_TAGED_TOO_LONG)));
    EXPECT_TRUE(Said(LoadResString(MSG_TAGED_MODIFIED)));
    EXPECT_TRUE(Said(LoadResString(MSG_TAGED_NAMES_SET)));
    EXPECT_EQ(ReadText(dir + "\\out.csv"),
              "ソナタ第一番改\t歌い手\tアルバム表\t2001\tRock\t1\tコメント\t著作権\r\n"
              "\t\t\t\t-None-\t\t\t\r\n"
              "三曲目\t歌い手\tアルバム表\t2001\t-None-\t3\t\t\r\n"
              "四曲目\t歌い手\tアルバム表\t2001\t-None-\t4\t\t\r\n");
    // File names by the template (%.02N_%T) for the audio tracks.
    EXPECT_EQ(tracks.Slots[1].FileStem, "01_ソナタ第一番改");
    EXPECT_EQ(tracks.Slots[2].FileStem, "");
    EXPECT_EQ(tracks.Slots[3].FileStem, "03_三曲目");
    EXPECT_EQ(shown, (std::vector<int>{1, 3, 4}));
    ASSERT_EQ(editor.Table.Rows.size(), 4u);
    EXPECT_TRUE(editor.Table.Rows[0].HasContent);
    EXPECT_FALSE(editor.Table.Rows[1].HasContent);

    // The tab file reads back into the same texts; a missing file is said;
    // a file that is not text is refused with one box and changes no row.
    WriteText(dir + "\\utf16.csv", std::string("\xFF\xFEt\0i\0,\0a\0\r\0\n\0", 14));
    WriteText(dir + "\\binary.csv", std::string("ID3\x03\0\0\0\0\x10\x00", 10) + std::string(4000, '\0'));
    // Four rows of unknown genres: one box, naming the first row.
    WriteText(dir + "\\genres.csv", "a,,,,Nope1\r\nb,,,,Nope2\r\nc,,,,Nope3\r\nd,,,,Nope4\r\n");
    TID3TagForm again(nullptr, Host());
    prompter.Messages.clear();
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        prompter.FileAnswers.push_back(dir + "\\out.csv");
        prompter.FilterAnswers.push_back(2);
        again.ImportCSVFileClick();
        const auto rows = again.Table.Rows;
        EXPECT_TRUE(prompter.Messages.empty());
        prompter.FileAnswers.push_back(dir + "\\missing.csv");
        again.ImportCSVFileClick();
        for (const char* name : {"utf16.csv", "binary.csv"}) {
            const std::size_t before = prompter.Messages.size();
            prompter.FileAnswers.push_back(dir + "\\" + name);
            again.ImportCSVFileClick();
            EXPECT_EQ(prompter.Messages.size(), before + 1) << name;
            EXPECT_TRUE(Said(Formatted(MSG_TAGED_NOT_TEXT, dir + "\\" + name))) << name;
            for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(again.Table.Rows[i].Cells, rows[i].Cells) << name;
        }
        const std::size_t before = prompter.Messages.size();
        prompter.FileAnswers.push_back(dir + "\\genres.csv");
        again.ImportCSVFileClick();
        EXPECT_EQ(prompter.Messages.size(), before + 1);
        char text[512];
        std::snprintf(text, sizeof text, LoadResString(MSG_TAGED_GENRES_NOT_FOUND).c_str(), "a,,,,Nope1", 2);
        EXPECT_TRUE(Said(text));  // three rows: track 2 is a data track
        EXPECT_EQ(again.ListView1.ItemText(3, 1), "d");

        // Closing with changes: Cancel stays open, No closes without them.
        prompter.Answers.push_back(IDCANCEL);
        again.Close();
        EXPECT_EQ(again.ModalResult(), 0);
        EXPECT_NE(again.Handle(), nullptr);
        prompter.Answers.push_back(IDNO);
        again.Close();
        EXPECT_EQ(again.ModalResult(), IDCANCEL);
        return 0;
    };
    shown.clear();
    EXPECT_EQ(again.ShowModal(), IDCANCEL);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(tracks.Slots[1].FileStem, "01_ソナタ第一番改");
    EXPECT_TRUE(Said(Formatted(MSG_TAGED_CANNOT_OPEN, dir + "\\missing.csv")));
}

TEST_F(TagEditor, ClipboardAndColumnFills) {
    TID3TagForm editor(nullptr, Host());
    wx::TTrackRecord mp3, wma;
    mp3.FileStem = dir + "\\a.mp3";
    wma.FileStem = dir + "\\b.WMA";
    editor.TagRecords = {mp3, wma};
    editor.EnableSetID3Filename(false);
    editor.FillTagList(false);
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        if (auto* fill = dynamic_cast<TAllPasteForm*>(&f)) {
            fill->Edit1.SetText("19999");
            fill->Radio(3).SetChecked(true);
            fill->Button1.Click();
            return 0;
        }
        if (auto* picker = dynamic_cast<TID3GenreSelect*>(&f)) {
            EXPECT_TRUE(picker->HasPosition);
            picker->CheckBox1.SetChecked(true);
            picker->CheckBox1Click();
            for (int i = 0; i < picker->GenreComboBox.Count(); ++i)
                if (picker->GenreComboBox.Item(i) == "Jazz") picker->GenreComboBox.SetItemIndex(i);
            picker->Button1.Click();
            return 0;
        }
        EXPECT_EQ(editor.ListView1.ItemText(0, 0), "a.mp3");
        // Maximized, the caption stays within the work area.
        ShowWindow(editor.Handle(), SW_MAXIMIZE);
        RECT work{}, frame{}, inner{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        GetWindowRect(editor.Handle(), &frame);
        GetClientRect(editor.Handle(), &inner);
        MapWindowPoints(editor.Handle(), nullptr, reinterpret_cast<POINT*>(&inner), 2);
        EXPECT_GE(frame.top + GetSystemMetrics(SM_CYSIZEFRAME), work.top) << frame.top;
        EXPECT_LE(frame.bottom - GetSystemMetrics(SM_CYSIZEFRAME), work.bottom) << frame.bottom;
        EXPECT_GE(inner.top - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYMENU), work.top) << inner.top;
        ShowWindow(editor.Handle(), SW_RESTORE);
        EXPECT_FALSE(editor.SetID3FilenameEnabled());
        editor.CSVDelimClick();
        EXPECT_TRUE(TID3TagForm::SetClipboardText(editor.Handle(), "t1\tr1\r\n\r\nt2\tr2\r\n"));
        editor.Paste1Click();
        EXPECT_EQ(editor.ListView1.ItemText(0, 1), "t1");
        EXPECT_EQ(editor.ListView1.ItemText(1, 2), "r2");
        EXPECT_EQ(editor.ListView1.ItemText(1, 5), "Blues");  // a missing genre piece
        editor.ListView1.SetSelected(1, true);
        editor.Copy1Click();
        EXPECT_EQ(TID3TagForm::ClipboardText(), "t2\tr2\t\t\tBlues\t\t\t\r\n");

        // A long comment: 30 bytes in the MP3 row, all of it in the WMA row.
        const std::string comment = std::string(29, 'c') + "亜" + "tail";
        // The clipboard's line end stays out of the cells.
        TID3TagForm::SetClipboardText(editor.Handle(), comment + "\r\n");
        editor.PopupColumn = 7;
        editor.PasteLineClick();
        EXPECT_EQ(editor.ListView1.ItemText(0, 7), std::string(29, 'c'));
        EXPECT_EQ(editor.ListView1.ItemText(1, 7), comment);
        EXPECT_EQ(editor.Table.Rows[1].Cells[tcComment], comment);
        TID3TagForm::SetClipboardText(editor.Handle(), "Jazz\r\n");
        editor.PopupColumn = 5;
        editor.PasteLineClick();
        EXPECT_EQ(editor.ListView1.ItemText(0, 5), "Jazz");

        editor.SetAllColClick();
        EXPECT_EQ(editor.ListView1.ItemText(0, 4), "1999");
        editor.SetGenreClick();
        EXPECT_EQ(editor.ListView1.ItemText(1, 5), "Jazz");
        editor.N7Click();
        EXPECT_EQ(editor.ListView1.ItemText(1, 6), "2");

        // A right click beyond the last column: no cell to copy or fill.
        for (int c = 1; c <= TagColumnCount; ++c) editor.ListView1.SetColumnWidth(c, 20);
        RECT client{};
        GetClientRect(editor.ListView1.Handle(), &client);
        int total = 0;
        for (int c = 0; c <= TagColumnCount; ++c) total += editor.ListView1.ColumnWidth(c);
        POINT beyond{std::min<int>(total + 5, client.right - 1), 5};
        if (beyond.x > total) {
            ClientToScreen(editor.ListView1.Handle(), &beyond);
            editor.ListView1ContextPopup(beyond);
            EXPECT_EQ(editor.PopupColumn, -1);
            HMENU edit = GetSubMenu(GetMenu(editor.Handle()), MENUPOS_TAGED_EDIT);
            EXPECT_TRUE(GetMenuState(edit, IDM_TAGED_PASTELINE, MF_BYCOMMAND) & MF_GRAYED);
            EXPECT_TRUE(GetMenuState(edit, IDM_TAGED_COPYCELL, MF_BYCOMMAND) & MF_GRAYED);
            EXPECT_FALSE(GetMenuState(edit, IDM_TAGED_PASTE, MF_BYCOMMAND) & MF_GRAYED);
        }
        return IDCANCEL;
    };
    editor.ShowModal();
}

TEST_F(TagEditor, FilesTaggedFromTheEditorAndTheDialog) {
    const std::string a = dir + "\\a.mp3", b = dir + "\\b.mp3";
    tagtest::WriteAll(a, tagtest::Audio(4000));
    tagtest::WriteAll(b, tagtest::Audio(4000));
    wx::TTrackRecord v1;
    v1.Title = "old v1";
    v1.Genre = 8;
    ASSERT_TRUE(tagio::WriteTag(b, v1));
    WriteText(dir + "\\tags.csv", "ソナタ,歌い手,表題,2002,Jazz,1,,\r\n,,,,-None-,,,\r\n");
    // b's row is emptied: an MP3 row without content is left alone.
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        auto* editor = dynamic_cast<TID3TagForm*>(&f);
        EXPECT_NE(editor, nullptr);
        if (!editor) return IDCANCEL;
        EXPECT_TRUE(editor->FileMode);
        EXPECT_EQ(editor->ListView1.Count(), 2);
        EXPECT_EQ(editor->ListView1.ItemText(1, 1), "old v1");
        prompter.FileAnswers.push_back(dir + "\\tags.csv");
        editor->ImportCSVFileClick();
        editor->WriteID3TagClick();
        return 0;
    };
    EditTagsOfFiles({a, dir + "\\notes.txt", b}, POINT{10, 10}, Host(), false, tmBoth);
    EXPECT_TRUE(Said(Formatted(MSG_TAGS_WRITTEN_MANY, "1")));
    wx::TTrackRecord back;
    bool hasV1 = false, hasV2 = false;
    ASSERT_TRUE(tagio::ReadTagV1V2(a, hasV1, back, hasV2));
    EXPECT_TRUE(hasV1 && hasV2);
    EXPECT_EQ(back.Title, "ソナタ");
    EXPECT_EQ(back.Album, "表題");
    EXPECT_EQ(back.Genre, 8);
    ASSERT_TRUE(tagio::ReadTagV1V2(b, hasV1, back, hasV2));
    EXPECT_EQ(back.Title, "old v1");

    // One file: the tag dialog at the click point, then the result.
    prompter.Messages.clear();
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        auto* dialog = dynamic_cast<TID3Form*>(&f);
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return IDCANCEL;
        EXPECT_EQ(dialog->Left, 40);
        EXPECT_FALSE(dialog->AllowNoGenre);
        dialog->TitleEdit.SetText("一曲");
        dialog->Button1.Click();
        return 0;
    };
    EditTagsOfFiles({b}, POINT{40, 50}, Host(), false, tmID3v2);
    EXPECT_TRUE(Said(LoadResString(MSG_TAGS_WRITTEN)));
    ASSERT_TRUE(tagio::ReadTagV1V2(b, hasV1, back, hasV2));
    EXPECT_TRUE(hasV1 && hasV2);  // the ID3v1 tag found is written again
    EXPECT_EQ(back.Title, "一曲");

    // Files the editor cannot take.
    prompter.Messages.clear();
    tagtest::WriteAll(dir + "\\c.mp2", tagtest::Audio(100));
    EditTagsOfFiles({dir + "\\c.mp2"}, POINT{0, 0}, Host(), false, tmBoth);
    EXPECT_TRUE(Said(LoadResString(MSG_FILE_OPEN_FAILED)));
    tagtest::WriteAll(dir + "\\broken.mp3", tagtest::Bytes{'x', 'y'});
    EditTagsOfFiles({a, dir + "\\broken.mp3"}, POINT{0, 0}, Host(), false, tmBoth);
    EXPECT_TRUE(Said(Formatted(MSG_TAGS_FILE_BROKEN, dir + "\\broken.mp3")));

    // More files than the editor has rows: one box, the first rows are edited.
    prompter.Messages.clear();
    std::vector<std::string> many;
    for (int i = 0; i <= MaxTagEditorRows; ++i) {
        many.push_back(dir + "\\m" + std::to_string(i) + ".mp3");
        tagtest::WriteAll(many.back(), tagtest::Audio(4000));
    }
    int rows = 0;
    std::string last;
    prompter.OnModal = [&](TForm& f) -> INT_PTR {
        if (auto* editor = dynamic_cast<TID3TagForm*>(&f)) {
            rows = editor->ListView1.Count();
            last = editor->ListView1.ItemText(rows - 1, 0);
        }
        return IDCANCEL;
    };
    EditTagsOfFiles(many, POINT{0, 0}, Host(), false, tmBoth);
    EXPECT_EQ(rows, MaxTagEditorRows);
    EXPECT_EQ(last, "m" + std::to_string(MaxTagEditorRows - 1) + ".mp3");
    char text[256];
    std::snprintf(text, sizeof text, LoadResString(MSG_TAGED_TOO_MANY_FILES).c_str(), MaxTagEditorRows + 1,
                  MaxTagEditorRows);
    ASSERT_EQ(prompter.Messages.size(), 1u) << prompter.Messages.back().text;
    EXPECT_EQ(prompter.Messages[0].text, text);
}
