// Driven by batch_e2e.sh: the batch encode list and the tag editor through
// the real program, as a user works them.  WAV files are dropped on the
// list from this process by OLE drag and drop and added through the open
// dialog, tagged, encoded through the GOGO stand-in and through lame.exe
// as the external encoder; the tag editor reads and writes comma- and
// tab-separated files and gives its tags to a rip.  The script checks the
// MP3 files with ffmpeg and mutagen afterwards.
//
// Environment: WX_E2E_DIR, the prepared folder (Windows path) holding
// app\wendrix.exe with the stand-ins and the demo disc, the WAV files in
// in_gogo\ and in_lame\, and tools\lame.exe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/tests/guidriver.h"
#include "resources/encodefrm.h"
#include "resources/id3tageditform.h"
#include "resources/tagforms.h"
#include "resources/wendrixn.h"

using namespace guidriver;

namespace {


std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class BatchE2E : public ::testing::Test {
protected:
    void StartProgram(const std::string& extra, bool english = false) {
        std::string s = "[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\nDispResult=No\r\nWorkingDir=" + Dir() +
                        "\\work\\\r\n";
        if (english) s += "Language=ENGLISH\r\n";
        s += "[DEVICES_0]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=PLEXTOR\r\nDriveType=CD-ROM\r\n";
        WriteText(AppDir() + "\\wndrxn.ini", s + extra);
        CopyFileA((Dir() + "\\wnaspi32.ini").c_str(), (AppDir() + "\\wnaspi32.ini").c_str(), FALSE);
        SetEnvironmentVariableA("WX_ASPI_CONFIG", (AppDir() + "\\wnaspi32.ini").c_str());
        CreateDirectoryA((Dir() + "\\work").c_str(), nullptr);
        CreateDirectoryA(Out().c_str(), nullptr);
        this->english = english;
        ASSERT_TRUE(prog.Start(AppDir() + "\\wendrix.exe", "\"" + Out() + "\"", AppDir()));
        ASSERT_NE(prog.WaitMain("Wendrix for Windows", 30000), nullptr) << "no main window";
        pid = prog.pi.dwProcessId;
        process = prog.pi.hProcess;
        tracks = FindChild(prog.Main, IDC_TRACKLIST);
        toolbar = FindChild(prog.Main, IDC_TOOLBAR2);
        ASSERT_NE(tracks, nullptr);
        for (int t = 0; t < 15000 && ListCount(tracks) != 4; t += 50) Sleep(50);
        ASSERT_EQ(ListCount(tracks), 4);
    }
    void TearDown() override {
        if (prog.Main && IsWindow(prog.Main)) {
            // The window refuses to close while the file manager re-lists
            // the folder the rip wrote into.
            const bool ended = prog.Close(20000);
            std::string open;
            if (!ended)
                for (HWND w : Dialogs(pid)) open += " [" + Utf8(WindowText(w)) + ": " + Utf8(BoxText(w)) + "]";
            EXPECT_TRUE(ended) << "the program did not end;" << open;
        }
    }
    std::string Out() const { return Dir() + "\\mp3"; }
    std::string T(const std::string& ja, const std::string& en) const { return english ? en : Sjis(ja); }

    // A message box with this text, answered with a button.
    bool Answer(const std::string& text, int button, int ms = 30000) {
        std::string other;
        HWND box = ExpectDialog(pid, text, ms, other);
        if (!box) {
            ADD_FAILURE() << "no box \"" << Utf8(text) << "\"; " << other;
            return false;
        }
        Press(box, button);
        return WaitGone(box, 5000);
    }
    // The compression button's drop-down, then its last entry.
    HWND OpenEncodeList() {
        EXPECT_TRUE(ClickToolButtonArrow(process, toolbar, IDT_TOOLEXTENCODE));
        HWND popup = WaitPopupMenu(pid, 10000);
        EXPECT_NE(popup, nullptr) << "no drop-down";
        if (!popup) return nullptr;
        MenuMnemonic(popup, 'b');
        HWND form = WaitDialog(pid, T("ﾌｧｲﾙのｴﾝｺｰﾄﾞ", "Encode files"), 10000);
        EXPECT_NE(form, nullptr) << "no encode list";
        return form;
    }
    // The list's pop-up menu on a row, one entry by its letter.
    void RowMenu(HWND list, int row, char letter) {
        ASSERT_TRUE(RightClickRow(process, list, row));
        HWND popup = WaitPopupMenu(pid, 10000);
        ASSERT_NE(popup, nullptr) << "no pop-up menu";
        MenuMnemonic(popup, letter);
    }
    bool WaitCount(HWND list, int n, int ms = 10000) {
        for (int t = 0; t < ms; t += 50) {
            if (ListCount(list) == n) return true;
            Sleep(50);
        }
        return false;
    }
    void SelectOnly(HWND list, int row) {
        for (int i = 0; i < ListCount(list); ++i) ListSelect(process, list, i, i == row);
    }
    // The tag dialog for a row, filled and confirmed.
    void TagRow(HWND list, int row, const std::string& title, const std::string& artist) {
        SelectOnly(list, row);
        RowMenu(list, row, 'i');
        HWND tag = WaitDialog(pid, T("ID3タグ編集", "Edit ID3 tag"), 10000);
        ASSERT_NE(tag, nullptr) << "no tag dialog";
        SetText(GetDlgItem(tag, IDC_ID3_TITLE), title);
        SetText(GetDlgItem(tag, IDC_ID3_ARTIST), artist);
        SetText(GetDlgItem(tag, IDC_ID3_YEAR), "2026");
        Press(tag, IDOK);
        ASSERT_TRUE(WaitGone(tag, 5000));
    }
    void Remove(HWND list, int row) {
        const int n = ListCount(list);
        SelectOnly(list, row);
        RowMenu(list, row, english ? 'r' : 'd');
        ASSERT_TRUE(WaitCount(list, n - 1));
    }

    TProgram prog;
    DWORD pid = 0;
    HANDLE process = nullptr;
    HWND tracks = nullptr, toolbar = nullptr;
    bool english = false;
};

const char kGogo[] = "[Format]\r\nOutputType=MP3\r\n[MP3]\r\nEncodeType=GOGO\r\nBitRate=128K\r\n";

}  // namespace

// GOGO: files dropped and added, one tagged; an output that is a source is
// refused; a 22 kHz file and a broken file end runs with the format text;
// the last run goes through.
TEST_F(BatchE2E, ListThroughGogo) {
    ASSERT_NO_FATAL_FAILURE(StartProgram(kGogo));
    HWND form = OpenEncodeList();
    ASSERT_NE(form, nullptr);
    HWND list = FindChild(form, IDC_ENC_LIST);
    HWND status = FindChild(form, IDC_ENC_STATUS);
    const std::string in = Dir() + "\\in_gogo\\";
    const std::string a = in + "a1.wav", two = in + Sjis("曲二.wav");
    ASSERT_TRUE(DropFiles(list, {a, two, in + "b22k.wav"})) << "the drop was refused";
    ASSERT_TRUE(WaitCount(list, 3));
    EXPECT_EQ(ListText(process, list, 1, 0), Sjis("曲二.wav"));
    EXPECT_EQ(ListText(process, list, 1, 1), Sjis("曲二.mp3"));

    // The broken file through the open dialog.
    SelectOnly(list, 0);
    RowMenu(list, 0, 'a');
    HWND open = WaitDialog(pid, Sjis("エンコードするﾌｧｲﾙの選択"), 10000);
    ASSERT_NE(open, nullptr) << "no open dialog";
    ASSERT_TRUE(AnswerFileDialog(open, in + "broken.wav"));
    ASSERT_TRUE(WaitCount(list, 4));
    EXPECT_EQ(ListText(process, list, 3, 0), "broken.wav");

    TagRow(list, 0, Sjis("最初の曲"), Sjis("演奏者"));
    EXPECT_EQ(ListText(process, list, 0, 2), Sjis("あり"));
    EXPECT_EQ(ListText(process, list, 0, 3), Sjis("最初の曲"));

    // Row 2's output set to row 1's source: refused, the source untouched.
    const std::string before = ReadAll(a);
    SelectOnly(list, 1);
    ASSERT_TRUE(DoubleClickRow(process, list, 1));
    HWND save = WaitDialog(pid, Sjis("出力ﾌｧｲﾙ名の設定"), 10000);
    ASSERT_NE(save, nullptr) << "no output-name dialog";
    ASSERT_TRUE(AnswerFileDialog(save, a));
    ASSERT_TRUE(WaitGone(save, 5000));
    EXPECT_EQ(ListText(process, list, 1, 1), a);
    Press(form, IDC_ENC_START);
    EXPECT_TRUE(Answer(Sjis("1 番目の変換元ﾌｧｲﾙと同じです"), IDOK));
    EXPECT_EQ(ReadAll(a), before);
    ASSERT_TRUE(DoubleClickRow(process, list, 1));
    save = WaitDialog(pid, Sjis("出力ﾌｧｲﾙ名の設定"), 10000);
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(AnswerFileDialog(save, in + Sjis("曲二.mp3")));
    ASSERT_TRUE(WaitGone(save, 5000));
    Screenshot(Shots(), "encode_filled_ja");

    // Run 1: the 22 kHz file ends it.
    Press(form, IDC_ENC_START);
    for (int t = 0; t < 20000; t += 50) {
        if (StatusText(process, status, 1).find(Sjis("曲二.wav を")) != std::string::npos) break;
        Sleep(50);
    }
    Screenshot(Shots(), "encode_running_ja");
    EXPECT_TRUE(Answer(Sjis("44100Hz 16bit ｽﾃﾚｵのWAVEﾌｧｲﾙのみ変換可能です."), IDOK));
    EXPECT_EQ(ListText(process, list, 0, 11), Sjis("完了"));
    EXPECT_EQ(ListText(process, list, 2, 11), Sjis("44100Hz 16bit ｽﾃﾚｵのWAVEﾌｧｲﾙのみ変換可能です."));
    Sleep(300);
    EXPECT_EQ(WaitDialog(pid, Sjis("圧縮を完了しました"), 0), nullptr);

    // Run 2 without it: the finished outputs are asked about, then the
    // broken file ends the run.
    Remove(list, 2);
    Press(form, IDC_ENC_START);
    EXPECT_TRUE(Answer(Sjis(" 1 番目の指定出力ﾌｧｲﾙ a1.mp3 は既に存在します."), IDOK));
    EXPECT_TRUE(Answer(Sjis(" 2 番目の指定出力ﾌｧｲﾙ 曲二.mp3 は既に存在します."), IDOK));
    EXPECT_TRUE(Answer(Sjis("44100Hz 16bit ｽﾃﾚｵのWAVEﾌｧｲﾙのみ変換可能です."), IDOK));
    Sleep(300);
    EXPECT_EQ(WaitDialog(pid, Sjis("圧縮を完了しました"), 0), nullptr);

    // Run 3: the good files only, to the end.
    Remove(list, 2);
    Press(form, IDC_ENC_START);
    EXPECT_TRUE(Answer(Sjis("a1.mp3 は既に存在します."), IDOK));
    EXPECT_TRUE(Answer(Sjis("曲二.mp3 は既に存在します."), IDOK));
    EXPECT_TRUE(Answer(Sjis("圧縮を完了しました."), IDOK));
    Press(form, IDC_ENC_CLOSE);
    EXPECT_TRUE(WaitGone(form, 5000));
}

// lame.exe as the external encoder, in English: the 22 kHz file is refused
// before the encoder sees it; the others are encoded and tagged.
TEST_F(BatchE2E, ListThroughLameInEnglish) {
    ASSERT_NO_FATAL_FAILURE(StartProgram("[Format]\r\nOutputType=MP3\r\n[MP3]\r\nEncodeType=Other\r\nExtCmdType=1\r\nBitRate=128K\r\nEncoder=" +
                     Dir() + "\\tools\\lame.exe\r\n",
                 true));
    HWND form = OpenEncodeList();
    ASSERT_NE(form, nullptr);
    HWND list = FindChild(form, IDC_ENC_LIST);
    const std::string in = Dir() + "\\in_lame\\";
    ASSERT_TRUE(DropFiles(list, {in + "b22k.wav", in + "c1.wav", in + "c2.wav"}));
    ASSERT_TRUE(WaitCount(list, 3));
    TagRow(list, 1, "Second Take", "Lame Ensemble");
    Press(form, IDC_ENC_START);
    EXPECT_TRUE(Answer("Only 44100 Hz 16-bit stereo WAVE files can be converted.", IDOK));
    Remove(list, 0);
    Screenshot(Shots(), "encode_filled_en");
    Press(form, IDC_ENC_START);
    EXPECT_TRUE(Answer("Compression finished.", IDOK, 60000));
    EXPECT_EQ(ListText(process, list, 0, 11), "Done");
    EXPECT_EQ(ListText(process, list, 1, 11), "Done");
    Press(form, IDC_ENC_CLOSE);
    EXPECT_TRUE(WaitGone(form, 5000));

    // The tag editor and its column-fill prompt in English.
    ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLID3BTN));
    HWND editor = WaitDialog(pid, "ID3 Tag Editor", 10000);
    ASSERT_NE(editor, nullptr) << "no tag editor";
    PostMessageA(editor, WM_COMMAND, IDM_TAGED_SETALLCOL, 0);
    HWND fill = WaitDialog(pid, "Fill a column", 10000);
    ASSERT_NE(fill, nullptr) << "no column-fill prompt";
    Screenshot(Shots(), "tageditor_fill_en");
    Press(fill, IDCANCEL);
    ASSERT_TRUE(WaitGone(fill, 5000));
    PostMessageA(editor, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(editor, 5000));
}

// The tag editor over the disc: a comma-separated file with Shift-JIS
// texts in, one row edited, the table out with tabs; file names from the
// tags; the tags given to the tracks and ripped into MP3 files.
TEST_F(BatchE2E, TagEditorRoundTripIntoARip) {
    ASSERT_NO_FATAL_FAILURE(StartProgram(kGogo));
    const std::string csvIn = Dir() + "\\tags\\in.csv", csvOut = Dir() + "\\tags\\out.csv";
    CreateDirectoryA((Dir() + "\\tags").c_str(), nullptr);
    const std::string row1 = Sjis("ソナタ第一番,演奏者表,アルバム,2001,Classical,1,コメント,著作権");
    const std::string row2 = Sjis("二曲目,演奏者表,アルバム,2001,Jazz,2,,");
    const std::string row3 = Sjis("三曲目,演奏者表,アルバム,2001,-None-,3,,");
    const std::string row4 = Sjis("四曲目,演奏者表,アルバム,2001,Rock,4,,");
    WriteText(csvIn, row1 + "\r\n" + row2 + "\r\n" + row3 + "\r\n" + row4 + "\r\n");

    ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLID3BTN));
    HWND editor = WaitDialog(pid, Sjis("ID3タグエディタ"), 10000);
    ASSERT_NE(editor, nullptr) << "no tag editor";
    HWND list = FindChild(editor, IDC_TAGED_LIST);
    ASSERT_EQ(ListCount(list), 4);
    Press(editor, IDC_TAGED_SPEED1);
    HWND open = WaitDialog(pid, Sjis("読み込むCSVﾌｧｲﾙの指定"), 10000);
    ASSERT_NE(open, nullptr) << "no open dialog";
    ASSERT_TRUE(AnswerFileDialog(open, csvIn));
    ASSERT_TRUE(WaitGone(open, 5000));
    for (int t = 0; t < 5000 && ListText(process, list, 0, 1).empty(); t += 50) Sleep(50);
    EXPECT_EQ(ListText(process, list, 0, 1), Sjis("ソナタ第一番"));
    EXPECT_EQ(ListText(process, list, 3, 5), "Rock");

    // Row 2 in the tag dialog (Enter on the row).
    SelectOnly(list, 1);
    LVITEMA it{};
    TRemote mem(process, sizeof it);
    it.stateMask = it.state = LVIS_FOCUSED;
    mem.Write(&it, sizeof it);
    SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(mem.Ptr()));
    ASSERT_TRUE(DoubleClickRow(process, list, 1));
    HWND tag = WaitDialog(pid, Sjis("ID3タグ編集"), 10000);
    ASSERT_NE(tag, nullptr) << "no tag dialog";
    char title[256] = {};
    SendMessageA(GetDlgItem(tag, IDC_ID3_TITLE), WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title));
    EXPECT_EQ(std::string(title), Sjis("二曲目"));
    SetText(GetDlgItem(tag, IDC_ID3_TITLE), Sjis("二曲目・改"));
    Press(tag, IDOK);
    ASSERT_TRUE(WaitGone(tag, 5000));
    EXPECT_EQ(ListText(process, list, 1, 1), Sjis("二曲目・改"));
    Screenshot(Shots(), "tageditor_ja");

    // Out with the tab filter.
    Press(editor, IDC_TAGED_SPEED2);
    HWND save = WaitDialog(pid, Sjis("保存するCSVﾌｧｲﾙ名の指定"), 10000);
    ASSERT_NE(save, nullptr) << "no save dialog";
    HWND filter = FindChild(save, 0x470);
    ASSERT_NE(filter, nullptr);
    SendMessageA(filter, CB_SETCURSEL, 1, 0);
    SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), LPARAM(filter));
    ASSERT_TRUE(AnswerFileDialog(save, csvOut));
    ASSERT_TRUE(WaitGone(save, 5000));
    for (int t = 0; t < 5000 && ReadAll(csvOut).empty(); t += 50) Sleep(50);
    auto tabs = [](std::string s) {
        for (char& c : s)
            if (c == ',') c = '\t';
        return s;
    };
    EXPECT_EQ(ReadAll(csvOut), tabs(row1) + "\r\n" + tabs(Sjis("二曲目・改,演奏者表,アルバム,2001,Jazz,2,,")) +
                                   "\r\n" + tabs(row3) + "\r\n" + tabs(row4) + "\r\n");

    // File names from the tags, then the tags to the tracks.
    Press(editor, IDC_TAGED_SPEED4);
    EXPECT_TRUE(Answer(Sjis("作成ファイル名を設定しました."), IDOK));
    Press(editor, IDC_TAGED_SPEED3);
    EXPECT_TRUE(Answer(Sjis("各トラックのID3タグを設定しました."), IDOK));
    EXPECT_TRUE(WaitGone(editor, 5000));
    EXPECT_EQ(ListText(process, tracks, 0, 6), Sjis("あり"));
    EXPECT_EQ(ListText(process, tracks, 0, 5), Sjis("ソナタ第一番"));

    // Tracks 1 and 2 ripped with their tags.
    for (int i = 0; i < 4; ++i) ListSelect(process, tracks, i, i < 2);
    ASSERT_TRUE(ClickToolButton(process, toolbar, IDT_TOOLRIPSTART));
    EXPECT_TRUE(Answer(Sjis("に読み出したデータを書き出します"), IDOK));
    EXPECT_TRUE(Answer(Sjis("データ取り込みを終了しました"), IDOK, 120000));
}

// The benchmark (batch_e2e.sh --bench, by hand): the files in the bench folder
// encoded from the list, through lame.exe and through the GOGO stand-in;
// the wall time from the start button to the end message goes to
// bench_<name>.txt.
class BatchBench : public BatchE2E {
public:
    void Run(const std::string& settings, const std::string& name) {
        ASSERT_NO_FATAL_FAILURE(StartProgram(settings));
        HWND form = OpenEncodeList();
        ASSERT_NE(form, nullptr);
        HWND list = FindChild(form, IDC_ENC_LIST);
        std::vector<std::string> files;
        for (int i = 1; i <= 10; ++i) files.push_back(Dir() + "\\bench\\take" + std::to_string(i) + ".wav");
        ASSERT_TRUE(DropFiles(list, files));
        ASSERT_TRUE(WaitCount(list, 10));
        Screenshot(Shots(), "cpu_" + name + "_start");
        const DWORD start = GetTickCount();
        Press(form, IDC_ENC_START);
        EXPECT_TRUE(Answer(Sjis("圧縮を完了しました."), IDOK, 3600000));
        const DWORD end = GetTickCount();
        Screenshot(Shots(), "cpu_" + name + "_end");
        std::ofstream(Dir() + "\\bench_" + name + ".txt") << (end - start) / 1000.0 << "\n";
        Press(form, IDC_ENC_CLOSE);
        EXPECT_TRUE(WaitGone(form, 5000));
    }
};

TEST_F(BatchBench, DISABLED_Lame) {
    Run("[Format]\r\nOutputType=MP3\r\n[MP3]\r\nEncodeType=Other\r\nExtCmdType=1\r\nBitRate=128K\r\nEncoder=" + Dir() +
            "\\tools\\lame.exe\r\n",
        "lame");
}

TEST_F(BatchBench, DISABLED_Gogo) { Run(kGogo, "gogo"); }
