// The main window's link to the batch encode list and the tag editor: what
// they borrow from the window, and the hand-over of files.
#include "app/wendrixn.h"
#include "classlib/sjis.h"
#include "output/acmmgr32.h"
#include "output/encodefrm.h"
#include "output/encodelist.h"
#include "output/gogotea.h"
#include "output/wmaudiosdk.h"
#include "settings/configform.h"
#include "settings/configstore.h"
#include "settings/profileini.h"

namespace wendrix {

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : wx::IncludeTrailingBackslash(folder) + name;
}

// Output, encoder and ID3 tag settings of the settings dialog, shown over
// the window that asked.
void ShowSettingsPage(HWND owner, int page) {
    if (!ConfigDialog) return;
    ConfigDialog->ShowPage(page);
    ConfigDialog->ShowModal(owner);
}

constexpr int kTagSettingsPage = 4;

}  // namespace

TTagEditorHost TForm1::TagEditorHost(TCustomIniFile* settings) {
    TTagEditorHost h;
    h.Tracks = &Tracks;
    h.Config = ConfigForm;
    h.Settings = settings;
    h.ShowFileName = [this](int track) {
        if (track >= 1 && track <= TrackList.Count() && track < wx::LeadOutSlot)
            TrackList.SetSubItem(track - 1, 5, Tracks.Slots[track].FileStem);
    };
    h.ShowTagSettings = [](HWND owner) { ShowSettingsPage(owner, kTagSettingsPage); };
    h.JapaneseMode = JapaneseMode;
    return h;
}

void TForm1::OpenEncodeList(const std::vector<std::string>& paths) {
    if (!ConfigForm || !AcmDrv) return;
    TProfileIniFile ini(SettingsFileName);
    TEncodeHost h;
    h.Driver = AcmDrv;
    h.Config = ConfigForm;
    h.WmaAvailable = IsWmaLibraryLoaded();
    h.TwinVqAvailable = TwinVQEncoder != nullptr;
    h.Settings = &ini;
    h.StatusString = [] { return ConfigDialog ? ConfigDialog->Logic.MakeMP3StatusString() : std::string(); };
    h.SyncEncoderChoice = [this] {
        if (ConfigDialog) ConfigDialog->Logic.UseL3EncClick(GogoEncoder != nullptr, GogoEncoder ? GogoEncoder->VersionCode() : 0);
    };
    h.ApplySettings = [this] { ApplySettings(); };
    h.ShowSettings = [](HWND owner, int page) { ShowSettingsPage(owner, page); };
    h.RefreshFiler = [this] { RefreshFiler(); };
    TEncodeForm form(this, h);
    for (const std::string& p : paths)
        if (!form.AddFile(p)) break;
    form.ShowModal(Handle());
}

void TForm1::EncodeFiles(const std::vector<std::string>& names, const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& n : names)
        if (wx::IsWavFileName(n)) paths.push_back(InFolder(folder, n));
    if (!paths.empty()) OpenEncodeList(paths);
}

void TForm1::EditID3Tag(const std::vector<std::string>& names, const std::string& folder, POINT at) {
    if (!ConfigForm || names.empty()) return;
    std::vector<std::string> paths;
    for (const std::string& n : names) paths.push_back(InFolder(folder, n));
    TProfileIniFile ini(SettingsFileName);
    EditTagsOfFiles(paths, at, TagEditorHost(&ini), IsWmaLibraryLoaded(), ConfigForm->ID3TagType.ItemIndex());
}

}  // namespace wendrix
