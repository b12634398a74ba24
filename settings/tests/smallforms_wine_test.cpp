// The small setting dialogs on their real windows under Wine, worked inside
// the scripted prompter's modal turn: the normalization dialog (live edits,
// the level from a reference file, files that cannot be measured), the
// genre display dialog (checks, names, cancel), the drive information
// window, the GOGO dialog's value labels and help contexts, and the
// settings dialog's folder and program pickers.  Texts are
// written in UTF-8 and compiled to code page 932.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <fstream>
#include <map>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/mp3defs.h"
#include "resources/msgids.h"
#include "resources/smallforms.h"
#include "settings/configform.h"
#include "settings/configstore.h"
#include "settings/smallforms.h"

namespace {

std::string Text(HWND w) {
    char buf[512] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A track bar moved to a position, as a drag ends.
void Slide(HWND dialog, int id, int position) {
    HWND bar = GetDlgItem(dialog, id);
    SendMessageA(bar, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(bar));
}

int Position(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0)); }

void SelectRow(HWND list, int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// A name typed into the genre dialog's edit and applied with Enter.
void Rename(HWND dialog, const std::string& name) {
    HWND edit = GetDlgItem(dialog, IDC_GENREDISP_EDIT1);
    SetWindowTextA(edit, name.c_str());
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
}

std::string RowName(HWND list, int row) {
    char buf[256] = {};
    ListView_GetItemText(list, row, 1, buf, sizeof buf);
    return buf;
}

}  // namespace

TEST(SmallForms, NormalizationEditsLiveAndTakesTheLevelOfAReferenceFile) {
    NormalizeMethod = 1;
    NormalizeLevel = 3000;
    NormalizeAllowPeakOver = true;
    NormalizeFixPeakOver = false;
    wx::TScriptedPrompter p;
    wx::TPrompterGuard guard(p);
    p.FileAnswers = {"C:\\half.wav", "C:\\quarter.wav", "", "C:\\silent.wav"};
    struct TCall {
        std::string file;
        bool raw, percentile, clip, average;
    };
    std::vector<TCall> calls;
    TNormalizeForm form(nullptr);
    form.CalcFactor = [&](const std::string& file, bool raw, bool percentile, bool clip, bool average) -> std::int64_t {
        calls.push_back({file, raw, percentile, clip, average});
        return file == "C:\\half.wav" ? 20000 : file == "C:\\quarter.wav" ? 5000 : 0;
    };
    std::vector<int> levels;
    p.OnModal = [&](wx::TForm& f) -> INT_PTR {
        HWND w = f.Handle();
        // The controls show the four settings.
        EXPECT_EQ(SendDlgItemMessageA(w, IDC_NORM_METHOD, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(Position(w, IDC_NORM_LEVEL), 3000);
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_NORM_ALLOWPEAKOVER), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_NORM_FIXOVERPOINT), BST_UNCHECKED);
        // Every change is in effect at once.
        SendDlgItemMessageA(w, IDC_NORM_METHOD, CB_SETCURSEL, 0, 0);
        SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_NORM_METHOD, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(w, IDC_NORM_METHOD)));
        EXPECT_EQ(NormalizeMethod, 0);
        Click(w, IDC_NORM_FIXOVERPOINT);
        EXPECT_TRUE(NormalizeFixPeakOver);
        Slide(w, IDC_NORM_LEVEL, 7000);
        EXPECT_EQ(NormalizeLevel, 7000);
        // A factor of 20000 halves the level to 5000; 5000 asks for 20000,
        // which the bar holds at 10000; a cancelled file choice and a file
        // that cannot be measured change nothing.
        for (int i = 0; i < 4; ++i) {
            Click(w, IDC_NORM_AUTOCONFIG);
            levels.push_back(NormalizeLevel);
        }
        EXPECT_EQ(Position(w, IDC_NORM_LEVEL), NormalizeLevel);
        return IDOK;
    };
    form.ShowModal(nullptr);
    EXPECT_EQ(levels, (std::vector<int>{5000, 10000, 10000, 10000}));
    ASSERT_EQ(calls.size(), 3u);
    // raw false, percentile = FixPeakOver, clip = AllowPeakOver, average = method is not 0.
    EXPECT_EQ(calls[0].file, "C:\\half.wav");
    EXPECT_FALSE(calls[0].raw);
    EXPECT_TRUE(calls[0].percentile);
    EXPECT_TRUE(calls[0].clip);
    EXPECT_FALSE(calls[0].average);
    ASSERT_EQ(p.FileDialogs.size(), 4u);
    EXPECT_EQ(p.FileDialogs[0], "設定する基準音声ファイルの選択");
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_EQ(p.Messages[0].text, "正常にパラメータを設定できませんでした");
    EXPECT_EQ(p.Messages[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

    // The normalizer itself with a file that is no WAV file.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string junk = std::string(temp) + "wx_normalize_junk.wav";
    std::ofstream(junk, std::ios::binary) << "not a sound file";
    p.FileAnswers = {junk};
    p.Messages.clear();
    TNormalizeForm real(nullptr);
    p.OnModal = [&](wx::TForm& f) -> INT_PTR {
        Click(f.Handle(), IDC_NORM_AUTOCONFIG);
        return IDOK;
    };
    real.ShowModal(nullptr);
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_EQ(p.Messages[0].text, "正常にパラメータを設定できませんでした");
    EXPECT_EQ(NormalizeLevel, 10000);
    std::remove(junk.c_str());
}

TEST(SmallForms, GenreDisplayKeepsChecksAndNamesOnlyWhenSet) {
    ResetGenreSettings();
    GenreDisplaySet.set();
    UserGenreNames[5] = "Eigen";
    wx::TScriptedPrompter p;
    wx::TPrompterGuard guard(p);
    {
        TGenreDispForm form(nullptr);
        p.OnModal = [&](wx::TForm& f) -> INT_PTR {
            HWND w = f.Handle(), list = GetDlgItem(w, IDC_GENREDISP_LIST);
            EXPECT_EQ(ListView_GetItemCount(list), 256);
            EXPECT_EQ(RowName(list, 0), "Blues");
            EXPECT_EQ(RowName(list, 5), "Eigen");
            EXPECT_TRUE(ListView_GetCheckState(list, 200));
            SelectRow(list, 9);
            EXPECT_EQ(Text(GetDlgItem(w, IDC_GENREDISP_LABEL1)), "9=");
            EXPECT_EQ(Text(GetDlgItem(w, IDC_GENREDISP_EDIT1)), "Metal");
            Rename(w, "Metal");  // its own name: no name of the user's
            SelectRow(list, 5);
            Rename(w, "");  // removes the user's name
            SelectRow(list, 10);
            Rename(w, "  Neu ");  // blanks trimmed
            EXPECT_EQ(RowName(list, 10), "Neu");
            Click(w, IDC_GENREDISP_BUTTON2);
            EXPECT_FALSE(ListView_GetCheckState(list, 0));
            ListView_SetCheckState(list, 3, TRUE);
            Click(w, IDOK);
            return 0;
        };
        EXPECT_EQ(form.ShowModal(nullptr), IDOK);
    }
    std::bitset<256> only3;
    only3.set(3);
    EXPECT_EQ(GenreDisplaySet, only3);
    EXPECT_EQ(UserGenreNames[5], "");
    EXPECT_EQ(UserGenreNames[9], "");
    EXPECT_EQ(UserGenreNames[10], "Neu");

    // Cancel after edits and check changes leaves both as they were.
    {
        TGenreDispForm form(nullptr);
        p.OnModal = [&](wx::TForm& f) -> INT_PTR {
            HWND w = f.Handle(), list = GetDlgItem(w, IDC_GENREDISP_LIST);
            Click(w, IDC_GENREDISP_BUTTON1);
            EXPECT_TRUE(ListView_GetCheckState(list, 100));
            SelectRow(list, 10);
            Rename(w, "Anders");
            return IDCANCEL;
        };
        EXPECT_EQ(form.ShowModal(nullptr), IDCANCEL);
    }
    EXPECT_EQ(GenreDisplaySet, only3);
    EXPECT_EQ(UserGenreNames[10], "Neu");
    ResetGenreSettings();
}

TEST(SmallForms, DriveInformationShowsEachFieldBesideItsCaption) {
    wx::TInquiryInfo i;
    i.Qualifier = 1;
    i.DeviceType = 5;
    i.Removable = true;
    i.IsoVersion = 2;
    i.EcmaVersion = 3;
    i.AnsiVersion = 4;
    i.Aenc = true;
    i.ResponseFormat = 6;
    i.RelAdr = true;
    i.WBus16 = false;
    i.Sync = true;
    i.Linked = false;
    i.CmdQue = true;
    i.SoftReset = false;
    i.Vendor = "VENDOR";
    i.Product = "PRODUCT";
    i.Revision = "1.23";
    i.TrmIop = true;
    i.WBus32 = false;
    i.VendorSpecific = "SPECIFIC";
    const std::map<std::string, std::string> expected = {
        {"ｸｵﾘﾌｧｲｱ", "1"}, {"ﾃﾞﾊﾞｲｽﾀｲﾌﾟｺｰﾄﾞ", "5"}, {"RMB(リムーバブル)", "あり"}, {"ISO Version", "2"},
        {"ECMA Version", "3"}, {"ANSI Version", "4"}, {"AENC", "あり"}, {"ﾚｽﾎﾟﾝｽﾃﾞｰﾀﾌｫｰﾏｯﾄ", "6"},
        {"相対ﾌﾞﾛｯｸｱｸｾｽ機能", "あり"}, {"16bit Wide転送", "なし"}, {"同期転送", "あり"}, {"コマンドリンク", "なし"},
        {"ﾀｸﾞ付きｺﾏﾝﾄﾞｷｭｰｲﾝｸﾞ", "あり"}, {"ｿﾌﾄﾘｾｯﾄｺﾝﾃﾞｨｼｮﾝ", "なし"}, {"ベンダID", "VENDOR"},
        {"プロダクトＩＤ", "PRODUCT"}, {"プロダクトリビジョンレベル", "1.23"}, {"Terminate I/O ﾒｯｾｰｼﾞのｻﾎﾟｰﾄ", "あり"},
        {"32bit Wide転送", "なし"}, {"ベンダユニーク", "SPECIFIC"}};
    wx::TScriptedPrompter p;
    wx::TPrompterGuard guard(p);
    std::map<std::string, std::string> shown;
    std::string caption;
    p.OnModal = [&](wx::TForm& f) -> INT_PTR {
        caption = Text(f.Handle());
        for (int k = 0; k < 20; ++k)
            shown[Text(GetDlgItem(f.Handle(), IDC_DEVINFO_LABEL1 + 2 * k))] =
                Text(GetDlgItem(f.Handle(), IDC_DEVINFO_LABEL2 + 2 * k));
        return IDOK;
    };
    TDevInfoForm form(nullptr, i);
    form.ShowModal(nullptr);
    EXPECT_EQ(caption, "CD-ROMの機能");
    EXPECT_EQ(shown, expected);
}

TEST(SmallForms, GogoDialogValueLabelsHelpPagesAndOk) {
    TConfigStore s;
    s.GogoAdvFilter = s.GogoAdvJSSet = true;
    s.GogoFormatType = gftRiffMP3;
    wx::TScriptedPrompter p;
    wx::TPrompterGuard guard(p);
    TGogoForm form(nullptr, s, nullptr);  // no library: plain MP3 only
    std::vector<std::string> labels;
    std::vector<int> contexts;
    bool container = true;
    p.OnModal = [&](wx::TForm& f) -> INT_PTR {
        HWND w = f.Handle();
        container = IsWindowEnabled(GetDlgItem(w, IDC_GOGO1_OUTFORMATBOX)) != FALSE;
        for (auto [bar, label, pos] : {std::tuple{IDC_GOGO2_FILTERLOWBAR, IDC_GOGO2_FILTERLOW, 5},
                                       std::tuple{IDC_GOGO2_FILTERHIGHBAR, IDC_GOGO2_FILTERHIGH, 100},
                                       std::tuple{IDC_GOGO3_BITRATEDIFFBAR, IDC_GOGO3_BITRATEDIFFRATIO, 0},
                                       std::tuple{IDC_GOGO3_MSTHSRATIOBAR, IDC_GOGO3_MSTHSRATIO, 60},
                                       std::tuple{IDC_GOGO3_BITRATEDIFFBAR, IDC_GOGO3_BITRATEDIFFRATIO, 100}}) {
            Slide(w, bar, pos);
            labels.push_back(Text(GetDlgItem(w, label)));
        }
        for (int page : {1, 2, 0}) {
            form.ShowPage(page);
            contexts.push_back(form.HelpContext());
        }
        Click(w, IDOK);
        return 0;
    };
    EXPECT_EQ(form.ShowModal(nullptr), IDOK);
    EXPECT_FALSE(container);
    EXPECT_EQ(labels, (std::vector<std::string>{"0.05", "1.00", "67%/33%", "0.60", "50%/50%"}));
    EXPECT_EQ(contexts, (std::vector<int>{5083, 5084, 5065}));
    EXPECT_EQ(s.GogoMinFilter, 5);
    EXPECT_EQ(s.GogoHighFilter, 100);
    EXPECT_EQ(s.GogoMSThs, 60);
    EXPECT_EQ(s.GogoBitrateDiff, 100);
    EXPECT_EQ(s.GogoFormatType, gftMP3);
    // The split label at every position of its bar: the shares of
    // x = position/3 + 200/3, each rounded, halves to even.
    for (int p = 0; p <= 100; ++p) {
        char want[32];
        std::snprintf(want, sizeof want, "%.2ld%%/%.2ld%%", std::lrint((400.0 - p) / 6.0), std::lrint((p + 200.0) / 6.0));
        EXPECT_EQ(TGogoForm::SplitText(p), want) << "position " << p;
    }
    EXPECT_EQ(TGogoForm::SplitText(1), "66%/34%");
    EXPECT_EQ(TGogoForm::SplitText(50), "58%/42%");
}

// The folder and program pickers of the settings dialog: their titles, the
// folder they start at (no trailing backslash, but one after a drive) and
// what becomes of the answer; the help context of each page.
TEST(SettingsDialog, PickersAndHelpContexts) {
    TConfigForm form(nullptr);
    std::vector<int> contexts;
    for (int page = 0; page < 6; ++page) {
        form.ShowPage(page);
        contexts.push_back(form.HelpContext());
    }
    form.ShowPage(1);
    for (int method : {1, 2, 3}) {
        form.Store.SelReadMethod.SetItemIndex(method);
        contexts.push_back(form.HelpContext());
    }
    form.Store.SelReadMethod.SetItemIndex(-1);
    contexts.push_back(form.HelpContext());
    EXPECT_EQ(contexts, (std::vector<int>{5000, 5009, 5038, 5043, 5100, 5051, 5010, 5011, 5012, 5000}));

    std::vector<std::pair<std::string, std::string>> asked;  // title, start folder or filter
    std::vector<std::string> answers = {"D:\\Out", "", "D:\\Album\\", "", "C:\\bin\\lame.exe", "C:\\bin\\play.exe",
                                        "C:\\bin\\edit.exe", ""};
    std::size_t next = 0;
    form.PickFolder = [&](const std::string& title, const std::string& initial) {
        asked.push_back({title, initial});
        return answers[next++];
    };
    form.PickFile = [&](const std::string& title, const std::string& filter, const std::string& ext) {
        asked.push_back({title, filter + " " + ext});
        return answers[next++];
    };
    form.Store.WEdit1.Text = "C:\\";
    form.Button1Click();
    EXPECT_EQ(form.Store.WEdit1.Text, "D:\\Out\\");
    form.Button1Click();  // cancelled: the folder stays
    EXPECT_EQ(form.Store.WEdit1.Text, "D:\\Out\\");
    form.Store.CurrentDirEdit.Text = "E:\\Music";
    form.Button8Click();
    EXPECT_EQ(form.Store.CurrentDirEdit.Text, "D:\\Album\\");
    form.Button8Click();
    EXPECT_EQ(form.Store.CurrentDirEdit.Text, "D:\\Album\\");
    form.Button3Click();
    form.Button4Click();
    form.Button5Click();
    form.Store.UsePlayer.Text = "kept.exe";
    form.Button4Click();  // cancelled
    EXPECT_EQ(form.Store.ProgramEdit.Text, "C:\\bin\\lame.exe");
    EXPECT_EQ(form.Store.UsePlayer.Text, "kept.exe");
    EXPECT_EQ(form.Store.UseEditor.Text, "C:\\bin\\edit.exe");
    const std::string filter = "ﾌﾟﾛｸﾞﾗﾑ(*.EXE)|*.EXE|すべてのﾌｧｲﾙ(*.*)|*.* EXE";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ﾜｰｸﾃﾞｨﾚｸﾄﾘの選択", "C:\\"},
        {"ﾜｰｸﾃﾞｨﾚｸﾄﾘの選択", "D:\\Out"},
        {"アルバムフォルダを作成する場所", "E:\\Music"},
        {"アルバムフォルダを作成する場所", "D:\\Album"},
        {"使用する外部エンコーダの選択", filter},
        {"使用するプレイヤーの選択", filter},
        {"ファイラーで使用するエディタの選択", filter},
        {"使用するプレイヤーの選択", filter}};
    EXPECT_EQ(asked, expected);
}
