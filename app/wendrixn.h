// The main window TForm1 and the process-wide values of the main unit.
//
// TForm1 is one class whose methods live in several files, one per area of
// the window.  Each area adds members only in its own section below and
// defines its methods in its own .cpp file:
//   frame                      app/wendrixn.cpp, app/wendrixn_layout.cpp
//   settings link              app/configlink.cpp
//   track list & rip control   app/tracklist.cpp and the rip-control units
//   file manager               app/filer*.cpp
//   test playback              app/playback.cpp
//   CDDB                       app/cddbsearch.cpp
//   CD-TEXT and SSTP notices   app/cdtextlink.cpp
//   batch list & tag editor    app/batchlink.cpp
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/DrivePanel.h"
#include "app/MyCustomListView.h"
#include "app/CustomTrackBar.h"
#include "app/fileritem.h"
#include "app/filercmds.h"
#include "app/filertree.h"
#include "app/mon.h"
#include "app/wincfg.h"
#include "discinfo/cddbfrm.h"
#include "app/wendrix.h"
#include "classlib/controls.h"
#include "classlib/form.h"
#include "classlib/mediaplayer.h"
#include "classlib/panels.h"
#include "classlib/stringlist.h"
#include "classlib/thread.h"
#include "extraction/DriveCmds.h"
#include "extraction/TrackTable.h"
#include "extraction/ripcontrol.h"
#include "output/id3tageditform.h"
#include "resources/wendrixn.h"
#include "settings/configform.h"
#include "settings/mainkeys.h"

#include <shellapi.h>
#include <shlobj.h>

class TAcmDrv;
class TCustomIniFile;
namespace wx {
class TRipControl;
class TGogoTea;
class TTVQEnc;
class TWin32Aspi;
class TWaveOutThread;
class TCDPlayer;
}  // namespace wx
class TVerifyRslt;
class TProgressForm;
namespace filer {
class TShellNamespace;
}

namespace wendrix {

// ---- Process-wide values, set by InitMainUnit before any window ----------
extern std::string SettingsFileName;  // program folder + "\wndrxn.ini"
extern bool JapaneseMode;             // message 65311 reads "JAPANESE"
extern std::string LocaleAbbrev;      // system locale's language abbreviation, upper case
using TDiskFreeEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
extern TDiskFreeEx DiskFreeEx;        // GetDiskFreeSpaceExA, or null
// The file list's extension filter, AutoRefresh and the main window's keys
// (MainWindowKeys) are the settings store's (settings/mainkeys.h).
// Windows that are open or null.
extern TVerifyRslt* VerifyRslt;
extern wx::TCDPlayer* CDPlayer;
extern TProgressForm* ProgressForm;

void InitMainUnit();
void FinalizeMainUnit();

class TForm1;
extern TForm1* Form1;

class TForm1 : public wx::TForm {
public:
    TForm1();
    ~TForm1() override;

    // =====================================================================
    // Frame
    // =====================================================================
    wx::TCoolBar CoolBar1;
    wx::TToolBar ToolBar1{this, IDC_TOOLBAR1};
    wx::TToolBar ToolBar2{this, IDC_TOOLBAR2};
    wx::TPanel Panel2, Panel3, Panel7, Panel4, Panel1;
    wx::TSplitter Splitter1, Splitter2;
    wx::TStatusBar StatusBar1{this, IDC_STATUSBAR1};
    wx::TStatusBar StatusBar4{this, IDC_STATUSBAR4};  // owner-drawn bar above the track list
    wx::TStatusBar StatusBar2{this, IDC_STATUSBAR2};  // bar above the file list
    // Image lists: tool bar 2 (disabled and hot), small images, drive images.
    wx::TImageList ActionDisableImage, ActionEnableImage, Small, DrvImage;
    // The drop-down menus (one menu resource, six drop-downs and EncodeMenu).
    wx::TMenu MainMenus;
    HMENU FilePulldown = nullptr, ExecPullDown = nullptr, ConfigPullDown = nullptr, ViewPullDown = nullptr,
          ToolPullDown = nullptr, HelpPullDown = nullptr, EncodeMenu = nullptr, AllangeIcons1 = nullptr;
    HACCEL Accelerators = nullptr;
    wx::TTimer* Timer1 = nullptr;  // 500 ms: test playback
    wx::TTimer* Timer2 = nullptr;  // 2000 ms: media-change poll
    wx::TWin32Aspi* Win32Aspi1 = nullptr;
    TAcmDrv* AcmDrv = nullptr;
    wx::TGogoTea* GogoEncoder = nullptr;
    wx::TTVQEnc* TwinVQEncoder = nullptr;
    std::int32_t CDPlayerLeft = 0, CDPlayerTop = 0;
    std::int32_t TrackPanelHeight = 180;
    std::string HelpFile;
    bool ClassDriverInUse = false;      // the class-driver flag of the transport check
    bool StartupAborted = false;        // the transport or memory check ended the start
    bool FirstShowDone = false;         // the first show's settings load and drive scan have run
    // The check's part for a system whose ASPI layer has no adapter: the
    // Windows 9x registry offer, or the pass-through transport on NT.
    void NoAspiTransport(DWORD platform);
    HKEY RegistryRoot = HKEY_LOCAL_MACHINE;  // of the ATAPI exclusion value
    std::array<std::string, 100> TextSlots{};  // shared with the CD-TEXT viewer
    std::array<std::uint8_t, 64 + 32> AspiBufferArea{};
    std::uint8_t* AspiBuffer = nullptr;

    // Reads the main window's keys (MainWindowKeys) and applies them.
    bool GetWinCfg();
    // Brings MainWindowKeys up to the window as it stands (geometry, views,
    // columns, file manager), for the settings store to write.
    void UpdateMainWindowKeys();
    void GetCenter(wx::TForm& dialog) const;
    // Positions a dialog rect on the main window's monitor (no window needed).
    POINT CenterPoint(int width, int height) const;
    bool IsUseWAVE() const;
    // A transport is in use: ASPI with an adapter, or the class driver.
    bool TransportInUse() const;

    // Commands of the frame.
    void Exit1Click();
    void ToolConfigBtnClick();
    void ConfigButtonClick() { ToolConfigBtnClick(); }
    void ToolCDDBBtnClick();
    void ToolExtEncodeClick();
    void ExecPullDownPopup();
    void PopupDispToolBarClick();
    void PopupDispPlayPanelClick();
    void ExecNormzClick();
    void DriveBenchClick();
    void HelpTopix1Click();
    void KeySearchClick();
    void About1Click();
    void WAVEOutClick(int tag);
    void Splitter1Moved();
    void Splitter2Moved();
    void Panel2Resize();
    void Panel3Resize();
    void StatusBar4DblClick();
    void StatusBar4DrawPanel(DRAWITEMSTRUCT& di);
    // Opens a drop-down menu of ToolBar1 under its button.
    void OpenPulldown(int button);
    void SetToolExtEncodeImage();
    // The text of the owner-drawn bar above the track list.
    std::string StatusBar4Text;
    void SetStatusBar4Text(const std::string& text);
    // Menu images of the compression item (WAVE and compressed).
    HBITMAP MenuWaveBitmap = nullptr, MenuEncodeBitmap = nullptr;
    // Commands whose windows are not built yet stay disabled.
    void DisableUnbuiltCommands();
    // Window layout.
    void Realign();

    // =====================================================================
    // Settings link (app/configlink.cpp)
    // =====================================================================
    // The store's start-up at the first show, and the save at close.
    void ConfigStartUp();
    void ConfigStore();
    // The settings dialog's apply (OK) and its modal showing.
    void ApplySettings();
    void ShowConfigDialog();
    // What the settings dialog asks of the main window.
    class THost : public TConfigHost {
    public:
        explicit THost(TForm1& f) : f_(f) {}
        wx::TWin32Aspi* Aspi() override { return f_.Win32Aspi1; }
        TAcmDrv* AcmDrv() override { return f_.AcmDrv; }
        wx::TGogoTea* GogoEncoder() override { return f_.GogoEncoder; }
        void SetStatusText(const std::string& text) override;
        void SetEncodeButton(int image, const std::string& caption) override;
        void CheckEncodeMenu(int outputMethod) override;
        void RefreshTrackList() override { f_.RefreshTrackList(); }
        void PlayStop() override { f_.PlayStop(-1); }
        void StopTestPlayback() override { f_.SpeedButton1Click(); }
        void RefreshFileList() override { f_.RefreshFiler(); }
        void ResetPlayList() override { f_.ComboBox1.SetItemIndex(0); }
        bool DispCDROM() override { return f_.IsDispCDROM; }
        void SetDispCDROM(bool on) override { f_.IsDispCDROM = MainWindowKeys.IsDispCDROM = on; }

    private:
        TForm1& f_;
    };
    THost ConfigHost{*this};

    // =====================================================================
    // Track list & rip control (app/tracklist.cpp, rip-control units)
    // =====================================================================
    // The track pop-up's shortcuts (Ctrl+I, Ctrl+B, Ctrl+S, Ctrl+A) are keys
    // of the track list itself (TrackListKeyDown), so they act only while it
    // has the focus.  The columns and their widths are made by the frame
    // (TrColW0..6).
    TMyCustomListView TrackList{this, IDC_TRACKLIST};
    wx::TThread* RipThread = nullptr;   // the running rip thread, or null
    bool RipRunActive = false;
    std::string BaseFileName;           // chosen with the save dialog
    bool TestPlayRequested = false;
    // Re-reads the table of contents of the selected drive.
    void RefreshTrackList();
    wx::TTrackTable Tracks;             // slots 1..n, the lead-out in slot 100
    std::unique_ptr<wx::TRipControl> RipControl;
    std::unique_ptr<wx::TSrbExecutor> DriveExec;
    int CurrentTrackRow = -1;
    bool RefreshingTrackList = false;
    // Binds the track list's commands and notices while the form is built.
    struct TTrackListBinder {
        explicit TTrackListBinder(TForm1* f);
    } TrackListBinder{this};
    void BindTrackList();
    wx::TSrbExecutor& Executor();
    wx::TRipControl& Rip();
    void UpdateRipHost();
    // The address of the drive selected in the device table.
    wx::TDriveAddress SelectedDrive() const;
    // The folder the rip command writes into: the start folder until the
    // file manager lists folders (the argument, BootDir, the current folder).
    std::string ListedFolder() const;
    void dispTrack(int adapter, int target, int lun);
    void FillTrackList();
    void RefreshTrackItem(int track);
    int GetTrackNum(int lba) const;
    void GetVolumeID(int drive, std::string& path, std::string& mediaId) const;
    // Two probes of the selected drive; and whether the presence of a disc
    // differs from the list (the media poll's test).
    bool IsDiscPresent();
    bool MediaChanged();
    void TrackListSelectItem(int row, bool selected);
    void SelectAllTrClick();
    void SelectNextTrack();
    // Enter, Space, "I" and the pop-up's Ctrl shortcuts; true when the key
    // was the list's.
    bool TrackListKeyDown(WORD vk);
    void ShowTrackPopup(POINT at);
    void TrackRPopupMenuPopup(HMENU menu);
    void StatusBar4MouseUp(POINT at);
    void DriveChangeClick(int index);
    void CDPlayClick();
    void CDStopClick();
    void ToolRipStartClick(bool fromFolder = false);
    void PopupRipStartClick();
    void SetBaseFilenameClick();
    void LoadListClick();
    void ID31Click();
    // The tag editor over the disc's tracks.
    void ToolID3BtnClick();
    // An editor row back into a track's tags (no content: no tag) and the
    // track's row.
    void StoreTagRow(int track, const wx::TTagRow& row);
    // The rip range, name and pre-emphasis of the one selected track
    // (double-click, Enter, 取り込みﾊﾟﾗﾒｰﾀの設定).
    void TrackListDblClick();
    // The drive benchmark (ツール menu).
    void StartBenchMark();

    // =====================================================================
    // File manager (app/filer*.cpp)
    // =====================================================================
    // F5 arrives as IDM_FULLREFRESH; the view and sort items of the View
    // menu (IDM_DISPICON1 .. IDM_DOWNSORT) are checked by GetWinCfg and
    // read back by UpdateMainWindowKeys.
    TDrivePanel DrivePanel1;
    wx::TTreeView TreeView1{this, IDC_TREEVIEW1};
    TMyCustomListView ListView1{this, IDC_LISTVIEW1};
    TFilerItemList ItemList;
    std::string BootDir;
    bool IsDispCDROM = true;
    // Busy flags: the pane's only guard against re-entry.
    bool TreeBusy = false, ListBusy = false;
    bool DirChanging = false, NoticeActive = false, TreeRefreshPending = false;
    // Notices are taken in bursts: each marks what is to be refreshed, and
    // one timer carries all marks out once the pane is idle.
    bool ListRefreshPending = false, NoticeTimerArmed = false;
    std::string ListMonitorPath;
    // A drag is over the tree, the list or the drive bar.
    bool TreeDragOver = false, ListDragOver = false, DriveDragOver = false;
    bool DragActive = false;
    // The shell, the tree control and the rules between them.
    std::shared_ptr<filer::TShellNamespace> Shell;
    std::unique_ptr<filer::TTreeSink> TreeSink;
    std::unique_ptr<filer::TFilerTree> Filer;
    HIMAGELIST SysLargeImages = nullptr, SysSmallImages = nullptr;
    HICON CdDriveIcon = nullptr;
    HTREEITEM LastListedNode = nullptr;
    // The folder item of the listing (the rows' icons are looked up in it).
    std::shared_ptr<TNsItem> ListedFolderItem;
    bool ComInitialized = false;
    bool FilerClosePosted = false;  // the shell could not be set up
    // Marks read by the drag code: a selection made by the user, a double click.
    bool UserSelectedNode = false, DoubleClickMark = false;
    std::unique_ptr<TMonitorDirectory> TreeMonitor, ListMonitor;
    int TreeMonitorSlot = -1, ListMonitorSlot = -1;
    // The listing: the listed folder (a drive root keeps its backslash),
    // the path the list monitor watches (with trailing backslash), the
    // items seen, their bytes and the row last selected.
    std::string ListedFolderPath, ListedPath;
    int ListItemCount = 0;
    std::uint64_t ByteTotal = 0;
    int LastSelectedRow = -1;
    bool SortDescending = false;

    void SetEventList();
    // While the pane is busy the window does not close; the close asked
    // for then comes once the pane is idle.
    bool PaneRefusesClose();
    void InitFiler();
    void FinalizeFiler();
    void InitializePidls();
    void InitializeComboBox();
    void GetDrivePidls();
    bool ExpandTreeView(HTREEITEM node, const std::string& path);
    // Path of a tree node's folder (no trailing backslash); without a node,
    // of the folder selected in the tree.
    std::string GetFilePathAt(HTREEITEM node) const;
    std::string GetFilePathAt() const;
    // The same folders, and a row of the list, by their exact (wide) names:
    // the names file operations act on.
    std::wstring ExactFolder(HTREEITEM node) const;
    std::wstring ExactFolder() const;
    std::wstring ExactRowPath(const TFilerItem& rec) const;
    void DirectoryChange(const std::string& path);
    void RefreshTree(HTREEITEM node);
    void AllClear();
    void TreeView1Expanding(HTREEITEM node);
    void TreeView1Change(HTREEITEM node);
    void DrivePanel1DriveClick(int index, int x, int y, int button);
    void FullRefreshClick();
    // Re-lists the folder selected in the tree, keeping the view.
    void RefreshFiler();
    void WMDirectoryChanged(int slot);
    // Carries out the refreshes the notices asked for, or waits again while
    // the pane is busy.
    void ProcessNotices();
    void ArmNoticeTimer();
    void WMDeviceChange(WPARAM event, LPARAM data);
    // The file list.
    void RefreshListView(const std::string& mask, bool selectFirst);
    std::string ListView1Data(int item, int sub);
    int ListView1Image(int item);
    void RefreshSort();
    void SortClick(UINT item);
    void UpSortClick();
    void DownSortClick();
    void ListView1ColumnClick(int column);
    void DoIcon1Click();
    void DoDetailClick();
    void SwitchView(UINT item, LONG style);
    void ListView1DblClick();
    void ExecParam(const TFilerItem& rec);
    void ClearSelectItem();
    bool LargeIconView() const;
    // Monitors: a new one in place of the old (filter, sub-tree).
    void ReplaceMonitor(std::unique_ptr<TMonitorDirectory>& monitor, int& slot, const std::string& path, DWORD filter,
                        bool subTree);
    // The user's place in the list, kept over a re-list.
    // A row by what it stands for: its name, and the exact name.
    struct TRowKey {
        std::string Name;
        std::wstring WideName;
        bool operator<(const TRowKey& o) const { return std::tie(Name, WideName) < std::tie(o.Name, o.WideName); }
        bool operator==(const TRowKey& o) const { return Name == o.Name && WideName == o.WideName; }
    };
    static TRowKey KeyOf(const TFilerItem& r) { return TRowKey{r.Name, r.WideName}; }
    struct TListPlace {
        bool Valid = false;
        int Focused = -1, LastVisible = -1, Origin = 0;
        TRowKey LastName;
    };
    TListPlace RememberListPlace() const;
    void RestoreListPlace(const TListPlace& place, bool byName);
    void DriveContextMenu(POINT at);
    struct TFilerBinder {
        explicit TFilerBinder(TForm1* f);
    } FilerBinder{this};
    void BindFiler();

    // ---- File operations, context menu, drag and drop
    // (app/filerops.cpp, app/dragdrop.cpp)
    bool EventListSet = false;
    IDropTarget *TreeTarget = nullptr, *ListTarget = nullptr, *DriveTarget = nullptr;
    bool OleInitialized = false;
    // The drag start (x -1: none), the node pressed, the list pressed last,
    // the node with the drop highlight.
    POINT DragStart{-1, -1};
    HTREEITEM DragNode = nullptr, DropHighlightNode = nullptr;
    bool ListArmed = false;
    // The shell menu being tracked, and the program's own command ids in it.
    IContextMenu2* ContextMenu2 = nullptr;
    std::vector<unsigned> OwnMenuIds;
    // Tracks dragged from the track list: the press, the drag, the list row lit.
    POINT TrackPress{-1, -1};
    bool TrackDragging = false;
    int TrackDropRow = -1;
    void AttachPaneHandlers();
    void BindFilerCommands();
    void CreateDropTargets();
    void RevokeDropTargets();
    void ListView1KeyDown(bool fromTree, unsigned key, bool shift);
    int SHFileOperation_Local(SHFILEOPSTRUCTW& op);
    // A rename or attribute target, copied out of its record so that a
    // re-list during the command's forms cannot take it away.
    struct TControlTarget {
        std::wstring Path;
        std::string Name;
        std::uint32_t Attr = 0, Time = 0;
    };
    void BrowseDeleteMoveCopyFile(bool fromTree, unsigned key, bool shift);
    void BrowseControlFile(bool fromTree, unsigned key);
    bool ChangeName(const TControlTarget& target, bool& changed);
    bool ChangeAttr(const TControlTarget& target, bool& changed);
    // A copy or move into dest that cannot be done, reported; true when refused.
    bool RefuseCarry(const std::vector<std::wstring>& sources, const std::wstring& dest, bool move);
    void MakeDirectory();
    void EditFile();
    void SelectNextItem();
    void GoUpperNode();
    void ExecItem();
    void BrowseDrive();
    void ShowListPopup(POINT at);
    void PopupAllSelectClick();
    void PopupLinkPasteClick(bool asShortcuts);
    bool ListView1ContextPopup(POINT at);
    bool TreeView1ContextPopup(POINT at);
    // The shell's menu for the list's selection, the tree's highlighted
    // node or the drive under the point: -1 when a shell command ran.
    int ContextMenu(HWND control, POINT at);
    void AddMP3Menu(HMENU menu, const filer::TFileClasses& classes);
    void RefreshListClick();
    void PlayFiles(const std::vector<std::string>& names, const std::string& folder);
    void StartShellDrag(IShellFolder* parent, const std::vector<LPCITEMIDLIST>& items);
    void TreeView1MouseDown(bool right, POINT at);
    void TreeView1MouseMove(POINT at);
    void TreeView1MouseUp(bool right, POINT at);
    void ListView1MouseDown(POINT at);
    void ListView1MouseMove(POINT at);
    void ListView1MouseUp(bool right, POINT at);
    void TrackListMouseDown(POINT at);
    void TrackListMouseMove(POINT at);
    void TrackListMouseUp(POINT at);
    bool TrackDragOver(POINT screen);
    void TrackListEndDrag(bool drop, POINT screen);

    // =====================================================================
    // Test playback and digital play (app/playback.cpp)
    // =====================================================================
    wx::TButton SpeedButton2{this, IDC_SPEEDBUTTON2};  // play
    wx::TButton SpeedButton1{this, IDC_SPEEDBUTTON1};  // stop
    wx::TButton SpeedButton3{this, IDC_SPEEDBUTTON3};  // pause
    wx::TButton ClearHistory{this, IDC_CLEARHISTORY};
    wx::TComboBox ComboBox1{this, IDC_COMBOBOX1};
    TCustomTrackBar CustomTrackBar1{this, IDC_CUSTOMTRACKBAR1};
    wx::TControl Label6{this, IDC_LABEL6};
    wx::TMediaPlayer MediaPlayer1;
    // The test-playback history: entry i is the full path (upper-cased) of
    // item i of ComboBox1, which shows the file name.
    wx::TStringList PlayHistory;
    HWND PlayerWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));
    std::string PlayerFile;
    bool TestPlaying = false;
    // The file being played is in the media player (not the external one).
    bool TestInMediaPlayer = false;
    int SliderPosition = 0;  // the slider's position the bar last knew
    // Digital play: the time code's mode (0 into the track, 1 left in the
    // track, 2 left on the disc), the last reported position and its track.
    int TimeDisplayMode = 0;
    std::int32_t PlayLba = 0;
    int PlayTrack = 0;
    wx::TWaveOutThread* WaveOutThread = nullptr;
    // Binds the bar's controls, the play messages and the digital-play
    // command while the form is built.
    struct TPlaybackBinder {
        explicit TPlaybackBinder(TForm1* f);
    } PlaybackBinder{this};
    void BindPlayback();
    void CreateWaveOutThread();
    void FreeWaveOutThread();
    // The bar: play, stop (also called by the rip, the settings dialog,
    // digital play and the file manager), pause, the slider, the history.
    void SpeedButton2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void Timer1Timer();
    void CustomTrackBar1Change();
    void MediaPlayer1Notify();
    void ComboBox1Change();
    void ClearHistoryClick();
    void ComboBox1DrawItem(DRAWITEMSTRUCT& di);
    // The rip road's history: a made file added (and selected), or all gone.
    void AddPlayHistory(const std::string& file);
    void ClearPlayHistory();
    // The external player: found or started (NoWindow and the message when
    // that fails); one file played; stopped; its state, position and length.
    HWND BootupPlayer(std::string& message, bool& wasRunning);
    bool SetExtPlayerFile(const std::string& fileName);
    void StopPlayer();
    bool IsLivingPlayer();
    int GetExtPlayingMode();
    int GetPlayingPos();
    void SetPlayingPos(int ms);
    // Analog play: stops it on drive (-1: every drive of the list); the
    // track the drive plays, or -1.
    void PlayStop(int drive);
    int IsPlaying(int drive);
    // Digital play of the selected tracks, its panel and its positions.
    void DirectPlay();
    void ShowCDPlayer();
    void WMPlayPosition(std::int32_t position);

    // =====================================================================
    // Batch encode list & tag editor (app/batchlink.cpp)
    // =====================================================================
    // The file manager's hand-over: WAV files (names in folder, the folder
    // with or without its trailing backslash) to the batch encode list,
    // shown when at least one name is a WAV file; MP3, WMA and TwinVQ
    // files to tag editing, the one-file dialog placed at `at`.
    void EncodeFiles(const std::vector<std::string>& names, const std::string& folder);
    void EditID3Tag(const std::vector<std::string>& names, const std::string& folder, POINT at);
    // The compression drop-down's entry: the list, empty or not.
    void OpenEncodeList(const std::vector<std::string>& paths);
    // What the tag editor borrows from the main window.
    TTagEditorHost TagEditorHost(TCustomIniFile* settings);

    // =====================================================================
    // CDDB (app/cddbsearch.cpp)
    // =====================================================================
    bool CDDBStartedByUser = false;
    bool RefreshingDataBase = false;
    void ShowCDDBForm();
    // Re-reads the disc and, when ask is set and the user agrees, looks it
    // up in the search window; then the album folder and the selection the
    // settings ask for.
    void RefreshDataBase(bool ask);
    // Creates every missing folder along the path.
    static void CreateMultiLevelFolder(const std::string& path);
    // What the CDDB dialog reaches of the window and the settings.
    wx::TCddbFormHost CddbHost(TCustomIniFile& settings, TCustomIniFile& localDb);
    // The media-change poll.
    void Timer2Timer();

    // =====================================================================
    // CD-TEXT viewer and SSTP notices (app/cdtextlink.cpp)
    // =====================================================================
    // The CD-TEXT tool button and menu item: the viewer, modal.
    void ToolCDTextBtnClick();
    // One notice of the rip completion to the SSTP target (Japanese mode
    // only); false when the send failed, which silences the rest of the run.
    bool SendMsgToPellora(const std::string& scriptText);
    struct TCdTextBinder {
        explicit TCdTextBinder(TForm1* f);
    } CdTextBinder{this};

protected:
    void FormCreate() override;
    void FormShow() override;
    bool FormCloseQuery() override;
    void FormClose() override;
    // Logoff or shutdown (WM_ENDSESSION): the rip cancelled, the settings stored.
    void EndSession();
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void BuildFrame();
    void BuildToolBars();
    void BuildImageLists();
    void BindCommands();
    void TransportCheck();
    // The first show's work, run from the queue once the window has painted.
    void FirstShow();
    wx::TAlignLayout layout_;  // the form's own children
    bool closing_ = false;
};

// The settings store and the CDDB search window of the run (created after
// the main window, freed after its message loop).
void CreateConfigForm();
void FreeConfigForm();
void CreateCDDBSearch();
void FreeCDDBSearch();

}  // namespace wendrix
