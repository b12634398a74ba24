// The main window's CD-TEXT command, which opens the viewer over the track
// table, and the SSTP notices of the rip completion.
#include "app/wendrixn.h"
#include "classlib/app.h"
#include "discinfo/cdtextview.h"
#include "discinfo/pellora_win.h"
#include "resources/msgids.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {
// The settings dialog's page "ID3タグ設定".
constexpr int kTagSettingsPage = 4;
}  // namespace

TForm1::TCdTextBinder::TCdTextBinder(TForm1* f) {
    f->OnClick(IDT_TOOLCDTEXTBTN, [f] { f->ToolCDTextBtnClick(); });
    f->OnClick(IDM_CDTEXTT1, [f] { f->ToolCDTextBtnClick(); });
    f->Rip().Host().SendMsgToPellora = [f](const std::string& text) { return f->SendMsgToPellora(text); };
}

void TForm1::ToolCDTextBtnClick() {
    if (!ConfigForm) return;
    TProfileIniFile ini(SettingsFileName);
    wx::TCDTEXTForm* viewer = nullptr;
    wx::TCdTextHost h;
    h.Tracks = &Tracks;
    h.Exec = &Executor();
    h.Drive = [this] { return SelectedDrive(); };
    h.RefreshTrackList = [this] { RefreshTrackList(); };
    h.SetTrackCell = [this](int track, int column, const std::string& text) {
        if (track >= 1 && track <= TrackList.Count()) TrackList.SetSubItem(track - 1, column, text);
    };
    h.ShowConfig = [&viewer] {
        if (!ConfigDialog) return;
        ConfigDialog->ShowPage(kTagSettingsPage);
        ConfigDialog->ShowModal(viewer ? viewer->Handle() : nullptr);
    };
    h.FileName = [](int track, const std::string& title, const std::string& artist, const std::string& album,
                    const std::string& genre, std::string& name) {
        bool error = false;
        ConfigForm->GetCurrentFilename(track, title, artist, album, genre, name, error);
        return !error;
    };
    h.JapaneseMode = [] { return JapaneseMode; };
    h.AutoRefresh = [] { return ConfigForm && ConfigForm->IsAutoRefTrList.Checked; };
    h.Settings = &ini;
    wx::TCDTEXTForm form(this, std::move(h));
    viewer = &form;
    form.ShowModal(Handle());
}

bool TForm1::SendMsgToPellora(const std::string& scriptText) {
    if (!ConfigForm) return false;
    return wx::SendPelloraNotice(scriptText, JapaneseMode, ConfigForm->PelloraIPAddress.Text,
                                 ConfigForm->PelloraPort.Text, wx::LoadResString(MSG_REVISION));
}

}  // namespace wendrix
