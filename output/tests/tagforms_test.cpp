// The tag dialog, the genre picker and the name prompt against real
// controls (under Wine), scripted through the prompter seam.
#include <gtest/gtest.h>

#include <string>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "output/genrelist.h"
#include "output/id3edit.h"
#include "output/id3genresel.h"
#include "output/mp3defs.h"
#include "output/renamefrm.h"

using namespace wx;

namespace {

class TagForms : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }
    void SetUp() override { ResetGenreSettings(); }
    void TearDown() override { ResetGenreSettings(); }
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
};

std::vector<std::string> Items(const TComboBox& box) {
    std::vector<std::string> v;
    for (int i = 0; i < box.Count(); ++i) v.push_back(box.Item(i));
    return v;
}

std::string Selected(const TComboBox& box) { return box.ItemIndex() < 0 ? "" : box.Item(box.ItemIndex()); }

wx::TTrackRecord Record() {
    wx::TTrackRecord r;
    r.Title = "Title";
    r.Artist = "Artist";
    r.Album = "Album";
    r.Year = "1999";
    r.Comment = "Comment";
    r.Copyright = "Copy";
    r.TrackText = "3/9";
    r.Genre = 17;
    return r;
}

// 亜 (0x88 0x9F)
const std::string kA = "\x88\x9F";

}  // namespace

TEST_F(TagForms, TagDialogShowsTheRecordAndStoresEdits) {
    GenreDisplaySet.set(8);
    GenreDisplaySet.set(0);
    GenreDisplaySet.set(24);
    wx::TTrackRecord r = Record();
    TID3Form form;
    form.TagRecord = &r;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(form.Caption(), "ID3\x83\x5E\x83\x4F\x95\xD2\x8F\x57");  // ID3タグ編集
        EXPECT_EQ(form.TitleEdit.Text(), "Title");
        EXPECT_EQ(form.ArtistEdit.Text(), "Artist");
        EXPECT_EQ(form.AlbumEdit.Text(), "Album");
        EXPECT_EQ(form.YearEdit.Text(), "1999");
        EXPECT_EQ(form.CommentEdit.Text(), "Comment");
        EXPECT_EQ(form.CopyrightEdit.Text(), "Copy");
        EXPECT_EQ(form.TrackEdit.Text(), "3/9");
        // Display set plus the record's genre, sorted after "-None-".
        EXPECT_EQ(Items(form.GenreBox), (std::vector<std::string>{"-None-", "Blues", "Jazz", "Rock", "Soundtrack"}));
        EXPECT_EQ(Selected(form.GenreBox), "Rock");
        form.TitleEdit.SetText("New " + kA);
        form.YearEdit.SetText("2002");
        form.GenreBox.SetItemIndex(2);
        form.Button1.Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_EQ(r.Title, "New " + kA);
    EXPECT_EQ(r.Year, "2002");
    EXPECT_EQ(r.Genre, 8);
    EXPECT_EQ(r.Artist, "Artist");
    EXPECT_TRUE(r.HasTag);
}

TEST_F(TagForms, EmptyDialogWithNoGenreIsCancel) {
    wx::TTrackRecord r;
    r.Genre = -1;
    r.Title = "";
    TID3Form form;
    form.TagRecord = &r;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(Selected(form.GenreBox), "-None-");
        form.Button1.Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    EXPECT_FALSE(r.HasTag);
    EXPECT_EQ(r.Genre, -1);

    // Cancel after edits leaves the record alone.
    wx::TTrackRecord kept = Record();
    form.TagRecord = &kept;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        form.TitleEdit.SetText("changed");
        form.Button2.Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    EXPECT_EQ(kept.Title, "Title");
    EXPECT_FALSE(kept.HasTag);
}

TEST_F(TagForms, NoGenreStoresFreeNumberOrMinusOne) {
    for (const bool allow : {false, true}) {
        wx::TTrackRecord r;
        TID3Form form;
        form.TagRecord = &r;
        form.AllowNoGenre = allow;
        prompter.OnModal = [&](TForm&) -> INT_PTR {
            form.TitleEdit.SetText("t");
            form.Button1.Click();
            return 0;
        };
        EXPECT_EQ(form.ShowModal(), IDOK);
        EXPECT_EQ(r.Genre, allow ? -1 : 148) << allow;
    }
}

TEST_F(TagForms, GenreOutsideTheDisplaySetStaysSelectedThroughTheCheckBox) {
    GenreDisplaySet.set(0);
    wx::TTrackRecord r = Record();
    r.Genre = 146;  // JPop, not in the display set
    TID3Form form;
    form.TagRecord = &r;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(Selected(form.GenreBox), "JPop");
        form.CheckBox1.Send(BM_CLICK);  // all genres, number order
        EXPECT_EQ(form.GenreBox.Count(), 257);
        EXPECT_EQ(form.GenreBox.Item(1), "Blues");
        EXPECT_EQ(Selected(form.GenreBox), "JPop");
        form.GenreBox.SetItemIndex(18);  // Rock
        form.CheckBox1.Send(BM_CLICK);  // back to the display set plus Rock
        EXPECT_EQ(Items(form.GenreBox), (std::vector<std::string>{"-None-", "Blues", "Rock"}));
        EXPECT_EQ(Selected(form.GenreBox), "Rock");
        form.GenreBox.SetItemIndex(0);
        form.CheckBox1.Send(BM_CLICK);
        form.CheckBox1.Send(BM_CLICK);
        EXPECT_EQ(Selected(form.GenreBox), "-None-");
        return IDCANCEL;
    };
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
}

TEST_F(TagForms, ClearKeepsTheTrackNumber) {
    wx::TTrackRecord r = Record();
    TID3Form form;
    form.TagRecord = &r;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        form.Button3.Click();
        EXPECT_EQ(form.TitleEdit.Text(), "");
        EXPECT_EQ(form.ArtistEdit.Text(), "");
        EXPECT_EQ(form.AlbumEdit.Text(), "");
        EXPECT_EQ(form.YearEdit.Text(), "");
        EXPECT_EQ(form.CommentEdit.Text(), "");
        EXPECT_EQ(form.CopyrightEdit.Text(), "");
        EXPECT_EQ(Selected(form.GenreBox), "-None-");
        EXPECT_EQ(form.TrackEdit.Text(), "3/9");
        form.Button1.Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), IDOK);  // the track number is still there
    EXPECT_EQ(r.Title, "");
    EXPECT_EQ(r.TrackText, "3/9");
    EXPECT_EQ(r.Genre, 148);
}

TEST_F(TagForms, TextLimitAndRecordLengths) {
    wx::TTrackRecord r = Record();
    TID3Form form;
    form.TagRecord = &r;
    form.TextLimit = 30;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        for (int i = 0; i < 40; ++i) form.TitleEdit.Send(WM_CHAR, 'x');
        EXPECT_EQ(form.TitleEdit.Text(), std::string(30, 'x'));
        // Longer texts set by program are cut to the record's lengths,
        // never inside a character.
        std::string year = "199";
        for (int i = 0; i < 4; ++i) year += kA;  // 11 bytes
        form.YearEdit.SetText(year);
        form.TrackEdit.SetText("12345678901");
        std::string comment = "c";
        for (int i = 0; i < 150; ++i) comment += kA;
        form.CommentEdit.SetText(comment);
        form.Button1.Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_EQ(r.Title, std::string(30, 'x'));
    EXPECT_EQ(r.Year, "199" + kA + kA + kA);
    EXPECT_EQ(r.TrackText, "1234567890");
    EXPECT_LE(r.Comment.size(), 255u);
    EXPECT_EQ(r.Comment.size() % 2, 1u);  // "c" and whole characters
}

TEST_F(TagForms, EnterWalksTheEditsByTabPosition) {
    wx::TTrackRecord r = Record();
    TID3Form form;
    form.TagRecord = &r;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        const std::pair<TEdit*, HWND> steps[] = {
            {&form.TitleEdit, form.AlbumEdit.Handle()},     {&form.AlbumEdit, form.ArtistEdit.Handle()},
            {&form.ArtistEdit, form.YearEdit.Handle()},     {&form.YearEdit, form.GenreBox.Handle()},
            {&form.CommentEdit, form.CopyrightEdit.Handle()}, {&form.CopyrightEdit, form.Button1.Handle()},
        };
        for (const auto& [edit, next] : steps) {
            edit->SetFocus();
            edit->Send(WM_CHAR, VK_RETURN);
            EXPECT_EQ(GetFocus(), next) << edit->Id();
        }
        EXPECT_FALSE(form.TitleEditKeyPress(IDC_ID3_TRACK, '\r'));
        EXPECT_FALSE(form.TitleEditKeyPress(IDC_ID3_TITLE, 'a'));
        EXPECT_EQ(form.ModalResult(), 0);  // Enter in the edits did not close the dialog
        return IDCANCEL;
    };
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
}

TEST_F(TagForms, GenrePicker) {
    GenreDisplaySet.set(8);
    GenreDisplaySet.set(0);
    TID3GenreSelect pick;
    pick.PresetGenre = 17;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(Items(pick.GenreComboBox), (std::vector<std::string>{"-None-", "Blues", "Jazz", "Rock"}));
        EXPECT_EQ(Selected(pick.GenreComboBox), "Rock");
        pick.CheckBox1.Send(BM_CLICK);
        EXPECT_EQ(pick.GenreComboBox.Count(), 257);
        EXPECT_EQ(Selected(pick.GenreComboBox), "Rock");
        pick.GenreComboBox.SetItemIndex(147);  // JPop
        pick.CheckBox1.Send(BM_CLICK);
        EXPECT_EQ(Items(pick.GenreComboBox), (std::vector<std::string>{"-None-", "Blues", "Jazz", "JPop"}));
        EXPECT_EQ(Selected(pick.GenreComboBox), "JPop");
        pick.Button1.Click();
        return 0;
    };
    EXPECT_EQ(pick.ShowModal(), IDOK);
    EXPECT_EQ(pick.SelectedText, "JPop");

    TID3GenreSelect none;
    none.PresetGenre = -1;
    none.HasPosition = true;
    none.Left = 33;
    none.Top = 44;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(Selected(none.GenreComboBox), "-None-");
        EXPECT_EQ(none.Bounds().left, 33);
        EXPECT_EQ(none.Bounds().top, 44);
        return IDCANCEL;
    };
    EXPECT_EQ(none.ShowModal(), IDCANCEL);
    EXPECT_EQ(none.SelectedText, "");

    TID3GenreSelect byDefault;  // PresetGenre 0
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(Selected(byDefault.GenreComboBox), "Blues");
        byDefault.Button1.Click();
        return 0;
    };
    EXPECT_EQ(byDefault.ShowModal(), IDOK);
    EXPECT_EQ(byDefault.SelectedText, "Blues");
}

TEST_F(TagForms, RenamePrompt) {
    TRenameForm f;
    f.CaptionText = "\x96\xBC\x91\x4F";  // 名前
    f.LabelText = "New name:";
    f.Text = "old";
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        EXPECT_EQ(f.Caption(), f.CaptionText);
        EXPECT_EQ(f.Label1.Text(), "New name:");
        EXPECT_EQ(f.Edit1.Text(), "old");
        f.Edit1.SetText("new");
        f.Button1.Click();
        return 0;
    };
    EXPECT_EQ(f.ShowModal(), 1);
    EXPECT_EQ(f.Text, "new");
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        f.Edit1.SetText("other");
        f.Button2.Click();
        return 0;
    };
    EXPECT_EQ(f.ShowModal(), 2);
    EXPECT_EQ(f.Text, "new");
}

TEST_F(TagForms, DialogsAreCentredOnTheScreen) {
    TRenameForm f;
    prompter.OnModal = [&](TForm&) -> INT_PTR {
        const RECT r = f.Bounds();
        const HMONITOR m = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        GetMonitorInfoA(m, &mi);
        const int w = r.right - r.left, h = r.bottom - r.top;
        EXPECT_EQ(r.left, std::max<LONG>(mi.rcMonitor.left, mi.rcMonitor.left + (mi.rcMonitor.right - mi.rcMonitor.left) / 2 - w / 2));
        EXPECT_EQ(r.top, std::max<LONG>(mi.rcMonitor.top, mi.rcMonitor.top + (mi.rcMonitor.bottom - mi.rcMonitor.top) / 2 - h / 2));
        return IDCANCEL;
    };
    f.ShowModal();
}

// Real modal windows driven by keys: Enter in the name prompt is OK,
// Escape is Cancel; in the tag dialog Enter in the track number is OK.
TEST_F(TagForms, KeysInRealModalDialogs) {
    struct Restore {
        TPrompter* previous;
        ~Restore() { SetPrompter(previous); }
    } restore{SetPrompter(nullptr)};
    for (const WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        TRenameForm f;
        f.Text = "typed";
        f.OnMessage(WM_SHOWWINDOW, [&](WPARAM, LPARAM) -> LRESULT {
            PostMessageA(f.Edit1.Handle(), WM_KEYDOWN, key, 0);
            return 0;
        });
        EXPECT_EQ(f.ShowModal(), key == VK_RETURN ? IDOK : IDCANCEL);
    }
    wx::TTrackRecord r = Record();
    TID3Form form;
    form.TagRecord = &r;
    form.OnMessage(WM_SHOWWINDOW, [&](WPARAM, LPARAM) -> LRESULT {
        PostMessageA(form.TitleEdit.Handle(), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(form.TitleEdit.Handle(), WM_CHAR, VK_RETURN, 0);
        PostMessageA(form.Handle(), WM_APP, 0, 0);
        return 0;
    });
    form.OnMessage(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        EXPECT_EQ(GetFocus(), form.AlbumEdit.Handle());
        EXPECT_NE(form.Handle(), nullptr);
        PostMessageA(form.TrackEdit.Handle(), WM_KEYDOWN, VK_RETURN, 0);
        return 0;
    });
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_TRUE(r.HasTag);
}
