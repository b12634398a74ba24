// The main window's CDDB commands: the disc dialog opened by the user, the
// automatic lookup of an inserted disc in the search window of the run,
// the album folder it may create, and the media-change poll that starts it.
#include <memory>

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "discinfo/cddbdwn.h"
#include "discinfo/cddbfrm.h"
#include "output/renamefrm.h"
#include "resources/msgids.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

void CreateCDDBSearch() { wx::CDDBSearch = new wx::TCDDBSearch(); }

void FreeCDDBSearch() {
    delete wx::CDDBSearch;
    wx::CDDBSearch = nullptr;
}

namespace {

// The settings file and the local disc database of one dialog.
struct TCddbFiles {
    TProfileIniFile Settings{SettingsFileName};
    TProfileIniFile LocalDb{wx::kLocalDbFileName};
};

}  // namespace

wx::TCddbFormHost TForm1::CddbHost(TCustomIniFile& settings, TCustomIniFile& localDb) {
    wx::TCddbFormHost h;
    h.Tracks = &Tracks;
    h.RefreshTrackList = [this] { RefreshTrackList(); };
    h.VolumeId = [this](int drive) {
        std::string path, id;
        GetVolumeID(drive, path, id);
        return id;
    };
    h.SetTrackCell = [this](int track, int column, const std::string& text) {
        if (track >= 1 && track <= TrackList.Count()) TrackList.SetSubItem(track - 1, column, text);
    };
    h.DiscPresent = [this] { return IsDiscPresent(); };
    h.AutoRefresh = [] { return ConfigForm && ConfigForm->IsAutoRefTrList.Checked; };
    h.FileNamesAfterLookup = [] { return ConfigForm && ConfigForm->CDDBFilenameset.Checked; };
    h.FileName = [](int track, const std::string& title, const std::string& artist, const std::string& album,
                    const std::string& genre, std::string& name) {
        if (!ConfigForm) return false;
        bool error = false;
        ConfigForm->GetCurrentFilename(track, title, artist, album, genre, name, error);
        return !error;
    };
    h.JapaneseMode = [] { return JapaneseMode; };
    h.Settings = &settings;
    h.LocalDb = &localDb;
    return h;
}

void TForm1::ShowCDDBForm() {
    wx::CDDBAutoMode = false;
    TCddbFiles files;
    wx::TCDDBForm form(this, CddbHost(files.Settings, files.LocalDb));
    form.ShowModal(Handle());
}

void TForm1::RefreshDataBase(bool ask) {
    if (RefreshingDataBase) return;
    RefreshingDataBase = true;
    RefreshTrackList();
    bool succeeded = false;
    if (Tracks.TrackCount > 0 && ask && wx::CDDBSearch &&
        wx::MessageBoxRes(MSG_CDDB_AUTO_ASK, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
        wx::CDDBAutoMode = true;
        wx::CDDBAutoSucceeded = false;
        TCddbFiles files;
        auto form = std::make_unique<wx::TCDDBForm>(wx::CDDBSearch, CddbHost(files.Settings, files.LocalDb),
                                                    wx::CDDBSearch);
        wx::CDDBSearch->Attach(form.get());
        // Without a disc identity the dialog is discarded at once and the
        // search window does not open.
        if (form->StartAutomatic(Handle())) wx::CDDBSearch->ShowModal(Handle());
        wx::CDDBSearch->Detach();
        form.reset();
        succeeded = wx::CDDBAutoSucceeded;
    }
    if (succeeded && ConfigForm) {
        if (ConfigForm->CDDBCreateFolder.Checked) {
            TRenameForm ask(this);
            ask.CaptionText = wx::LoadResString(MSG_CDDB_FOLDER_CAPTION);
            ask.LabelText = wx::LoadResString(MSG_CDDB_FOLDER_LABEL) + ConfigForm->CurrentDirEdit.Text;
            bool error = false;
            ConfigForm->GetCurrentFolfername(wx::CDDBAutoArtist, wx::CDDBAutoTitle, wx::CDDBAutoGenre, ask.Text, error);
            if (ask.ShowModal(Handle()) == IDOK) {
                const std::string path =
                    wx::StripTrailingBackslash(ConfigForm->CurrentDirEdit.Text + "\\" + ask.Text);
                CreateMultiLevelFolder(path);
                DirectoryChange(path + "\\");
            }
        }
        if (ConfigForm->CDDBafterAllsel.Checked) SelectAllTrClick();
    }
    RefreshingDataBase = false;
}

void TForm1::CreateMultiLevelFolder(const std::string& path) {
    if (path.size() <= 3) return;
    // Each prefix before a backslash (never the trail byte of a double-byte
    // character), then the whole path.
    for (std::size_t i = 0; i < path.size(); i += wx::SjisCharLength(path, i))
        if (path[i] == '\\' && i > 0) CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

void TForm1::Timer2Timer() {
    // A disc inserted or removed: its table of contents in the track list,
    // and the lookup when the settings ask for it.
    if (MediaChanged()) RefreshDataBase(ConfigForm && ConfigForm->AutoCDDBConnectApplied);
}

}  // namespace wendrix
