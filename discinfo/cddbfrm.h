// The CDDB disc dialog: the disc's artist, title, category, year, genre and
// one title and extended text per track, from a CDDB server (query and
// read), from the local disc database or typed in; copied into the main
// window's track table as tags and output file names; submitted back to
// the server.  The same dialog runs hidden for the automatic lookup of an
// inserted disc, inside the search window (cddbdwn.h).
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "classlib/panels.h"
#include "discinfo/cddbaccess.h"
#include "discinfo/cddbcfg.h"
#include "discinfo/cddbui.h"
#include "discinfo/disccopy.h"
#include "extraction/TrackTable.h"
#include "resources/cddbfrm.h"

class TCustomIniFile;

namespace wx {

class TCDDBSearch;

// What the dialog needs from the main window and the settings.
struct TCddbFormHost {
    TTrackTable* Tracks = nullptr;
    // Reads the table of contents again into the table and the track list.
    std::function<void()> RefreshTrackList;
    // The media identity of the disc in the table (drive 0 = A .. 25 = Z,
    // -1 any); empty when there is none.
    std::function<std::string(int drive)> VolumeId;
    // A text in the track list row of a track (column 5: the file name,
    // column 6: the tag mark).
    std::function<void(int track, int column, const std::string& text)> SetTrackCell;
    // Two probes of the selected drive: a disc is in.
    std::function<bool()> DiscPresent;
    // The settings' IsAutoRefTrList and CDDBFilenameset boxes.
    std::function<bool()> AutoRefresh;
    std::function<bool()> FileNamesAfterLookup;
    TNameBuilder FileName;
    std::function<bool()> JapaneseMode;
    // The settings file ([CDDB], [CDDBServersList]) and the local disc
    // database; either may be null (nothing is read or kept then).
    TCustomIniFile* Settings = nullptr;
    TCustomIniFile* LocalDb = nullptr;
    // The network of the jobs; null: Windows Sockets.
    TCddbNetwork* Network = nullptr;
    // The submit file; empty: the system's temporary folder.
    std::string SubmitFile;
};

// Globals of the automatic lookup.
extern bool CDDBAutoMode;
extern bool CDDBAutoSucceeded;
extern std::string CDDBAutoArtist;
extern std::string CDDBAutoTitle;
extern std::string CDDBAutoGenre;

// The eleven CDDB categories, in the order of the category box.
extern const char* const CddbCategories[11];

// The submit file of the run: the temporary folder + "\wendrix_cddbtmp.$$$".
std::string CddbSubmitFilePath();

// One track record of the dialog (track 1..n, the lead-out at n + 1).
struct TCddbTrackRecord {
    std::uint8_t StartMinute = 0, StartSecond = 0, StartFrame = 0;
    std::int32_t StartFrames = 0;  // minute * 4500 + second * 75 + frame
    std::int32_t Length = 0;       // sectors
    std::string Title;             // at most 255 bytes
    std::string Extended;          // at most 255 bytes
};

class TCDDBForm : public TForm, private TCddbJobUi {
public:
    // search: the automatic lookup's window (the dialog then runs hidden
    // and starts its query when it is created); null for the dialog the
    // user opens.
    TCDDBForm(TComponent* owner, TCddbFormHost host, TCDDBSearch* search = nullptr);
    ~TCDDBForm() override;

    TListView ListView1{this, IDC_CDDB_LIST};
    TEdit ArtistEdit{this, IDC_CDDB_ARTIST};
    TEdit TitleEdit{this, IDC_CDDB_TITLE};
    TComboBox CategoryBox{this, IDC_CDDB_CATEGORY};
    TEdit YearEdit{this, IDC_CDDB_YEAR};
    TComboBox GenreBox{this, IDC_CDDB_GENRE};
    TButton SpeedButton4{this, IDC_CDDB_SEND};
    TButton SpeedButton3{this, IDC_CDDB_RECEIVE};
    TButton SpeedButton2{this, IDC_CDDB_SETTAGS};
    TButton SpeedButton1{this, IDC_CDDB_SETNAMES};
    TButton SiteListBtn{this, IDC_CDDB_SITES};
    TStatusBar StatusBar1{this, IDC_CDDB_STATUS};

    // The automatic lookup: creates the hidden window, whose show step
    // starts the query.  False when the dialog was discarded at once (no
    // disc identity): nothing runs then.
    bool StartAutomatic(HWND owner);
    bool Discarded() const { return discarded_; }

    // Commands.
    bool GetDiscInfoEx();
    void StartInternet();
    void GetSiteInformation();
    void ExecAbort();
    void ReceiveClick();
    void SendClick();
    void SendInformation();
    bool CheckInformation();
    bool CheckInformationJP();
    void SetMP3TaginfoClick();
    void SetFilenameClick();
    void RefreshClick();
    void ImportDBClick();
    void ExportDBClick();
    void OptionClick();
    void CategoryBoxChange();
    void YearEditChange();
    void EditTrack(int row);
    void CDriveMenuClick(HMENU menu);
    void NoFixedDriveClick(int drive);
    void Timer1Timer();
    void EnableControls(bool on);
    void RefreshView();

    // State, for the window's tests.
    bool JobRunning() const { return job_ != nullptr; }
    const TCddbConfig& Config() const { return cfg_; }
    TCddbConfig& Config() { return cfg_; }
    int TrackCount() const { return n_; }
    const TCddbTrackRecord& Track(int i) const { return tracks_[static_cast<std::size_t>(i)]; }
    const std::string& Identity() const { return identity_; }
    std::int32_t RevisionToSubmit() const { return revision_; }
    std::int32_t ReceivedRevision() const { return receivedRevision_; }
    int Drive() const { return cfg_.Drive; }
    bool TimerOn() const;
    // The disc fields as the dialog keeps them.
    const std::string& Artist() const { return artist_; }
    const std::string& Title() const { return title_; }
    const std::string& Category() const { return category_; }
    const std::string& Year() const { return year_; }
    const std::string& GenreText() const { return genreText_; }

protected:
    void FormCreate() override;
    void FormShow() override;
    bool FormCloseQuery() override;
    void FormClose() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // The job's user-interface steps (run on this thread).
    void ShowStatus(const std::string& text) override;
    bool AskProxyPassword(std::string& password) override;
    void ShowServerMessage(const std::vector<std::string>& lines) override;
    int ChooseMatch(const std::vector<std::string>& items) override;
    void ShowRefusal(const std::string& text) override;

    void WMCDDBResult();
    void ShowStep();
    void ClearDisc();
    void ResetDiscFields();
    void FillTrackItems();
    void StartJob(std::unique_ptr<TCDDBAccess> job);
    std::unique_ptr<TCDDBAccess> NewJob(TCddbMode mode);
    TCDDBNetSettings SetNetwork() const;
    TCddbDisc DiscForCopy() const;
    int TagGenre() const;
    bool HasMainTracks() const;
    void Layout();
    void SetServerPanel(UINT id);
    bool CheckFields(bool iso);
    void BumpRevision();
    std::vector<std::int32_t> StartFrames() const;
    std::string DiscIdText() const;

    TCddbFormHost h_;
    TCDDBSearch* search_;
    TCddbConfig cfg_;
    TCddbDialogUi dialogs_;
    std::unique_ptr<TCDDBAccess> job_;
    TTimer* timer_ = nullptr;
    TImageList images_;
    // Disc fields.
    std::string artist_, title_, category_, year_, genreText_, receivedGenre_, identity_;
    int n_ = 0;
    std::int32_t leadOut_ = 0;
    std::int32_t revision_ = 0;
    std::int32_t receivedRevision_ = -1;
    bool received_ = false;
    std::array<TCddbTrackRecord, kCddbDialogTracks + 2> tracks_{};
    bool discarded_ = false;
    bool refreshOn_ = true;
    bool sized_ = false;
};

}  // namespace wx
