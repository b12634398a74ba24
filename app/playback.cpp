// The main window's playback: the test-playback bar (history of the files a
// rip made, play, stop, pause, position slider and time) with the media
// player or an external player driven by WM_USER commands; the wave-out
// thread of the run; analog play on the drives; and the window's side of
// digital play (the command, the CD player panel, the play positions).
#include <vector>

#include "app/exenames.h"
#include "app/testplay.h"
#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/cdplayerpanel.h"
#include "extraction/playplan.h"
#include "extraction/waveout_win.h"
#include "resources/msgids.h"
#include "resources/tracklist.h"
#include "settings/configstore.h"

namespace wendrix {

namespace {

bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A command to the external player; a player that does not answer within
// a few seconds counts as answering 0.
LRESULT SendToPlayer(HWND player, WPARAM wp, LPARAM command) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(player, WM_USER, wp, command, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &answer)) return 0;
    return LRESULT(answer);
}

constexpr int IdleSliderMax = 240;

}  // namespace

TForm1::TPlaybackBinder::TPlaybackBinder(TForm1* f) { f->BindPlayback(); }

void TForm1::BindPlayback() {
    OnClick(IDC_SPEEDBUTTON2, [this] { SpeedButton2Click(); });
    OnClick(IDC_SPEEDBUTTON1, [this] { SpeedButton1Click(); });
    OnClick(IDC_SPEEDBUTTON3, [this] { SpeedButton3Click(); });
    OnClick(IDC_CLEARHISTORY, [this] { ClearHistoryClick(); });
    OnCommand(IDC_COMBOBOX1, CBN_SELCHANGE, [this] { ComboBox1Change(); });
    OnDrawItem(IDC_COMBOBOX1, [this](DRAWITEMSTRUCT& di) { ComboBox1DrawItem(di); });
    OnMessage(WM_HSCROLL, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        if (reinterpret_cast<HWND>(lp) == CustomTrackBar1.Handle() && LOWORD(wp) != TB_ENDTRACK) CustomTrackBar1Change();
        return 0;
    });
    OnMessage(MM_MCINOTIFY, [this](WPARAM, LPARAM) -> LRESULT {
        MediaPlayer1Notify();
        return 0;
    });
    OnMessage(wx::WM_PLAY_POSITION, [this](WPARAM wp, LPARAM) -> LRESULT {
        WMPlayPosition(std::int32_t(wp));
        return 0;
    });
    OnClick(IDM_TRACK_DIGITALPLAY, [this] { DirectPlay(); });

    // What the rip road asks of playback.
    wx::TRipHost& h = Rip().Host();
    h.StopTestPlay = [this] { SpeedButton1Click(); };
    h.ClearTestPlay = [this] { ClearPlayHistory(); };
    h.AddTestPlayFile = [this](const std::string& file) { AddPlayHistory(file); };
    h.OpenWaveOut = [this](int device, int preRead, int volume, bool play) {
        return WaveOutThread && WaveOutThread->OpenDevice(device, preRead, volume, !play);
    };
    h.StopWaveOut = [this] {
        if (!WaveOutThread) return;
        WaveOutThread->Post(wx::WM_WAVEOUT_STOP);
        // Stopped before the run ends, so that a STOP still on its way
        // cannot stop the next run's device.
        for (int i = 0; i < 200 && WaveOutThread->GetPlayState() != wx::WaveOutStopped; ++i)
            WaveOutThread->WaitForStopOrSeek(10);
    };
    h.ShowCDPlayer = [this] { ShowCDPlayer(); };
    Rip().OnDigitalPlayEnd = [] {
        if (!CDPlayer) return;
        CDPlayer->CloseAllowed = true;
        CDPlayer->Close();
    };
}

// ---- The wave-out thread --------------------------------------------------------

void TForm1::CreateWaveOutThread() {
    MediaPlayer1.NotifyWindow = Handle();
    WaveOutThread = wx::NewWaveOutThread(Handle()).release();
    Rip().Host().WaveOut = WaveOutThread;
}

void TForm1::FreeWaveOutThread() {
    if (RipControl) RipControl->Host().WaveOut = nullptr;
    delete WaveOutThread;
    WaveOutThread = nullptr;
    MediaPlayer1.Close();
}

// ---- Analog play ------------------------------------------------------------------

void TForm1::PlayStop(int drive) {
    if (!ConfigForm || ConfigForm->DeviceCount <= 0) return;
    std::vector<wx::TDriveAddress> drives;
    for (int i = 0; i < ConfigForm->DeviceCount; ++i) {
        wx::TDriveAddress d;
        d.Adapter = std::uint8_t(ConfigForm->Devices[i].Adapter);
        d.Target = std::uint8_t(ConfigForm->Devices[i].Target);
        d.Lun = std::uint8_t(ConfigForm->Devices[i].Lun);
        drives.push_back(d);
    }
    wx::TDriveCommands(Executor()).PlayStop(drives, drive);
}

int TForm1::IsPlaying(int drive) {
    if (!ConfigForm || drive < 0 || drive >= ConfigForm->DeviceCount) return -1;
    const TDeviceEntry& e = ConfigForm->Devices[drive];
    wx::TDriveAddress d;
    d.Adapter = std::uint8_t(e.Adapter);
    d.Target = std::uint8_t(e.Target);
    d.Lun = std::uint8_t(e.Lun);
    d.IgnoreTargetStat = e.IgnoreTargetStat;
    return wx::TDriveCommands(Executor()).IsPlaying(d);
}

// ---- Digital play ----------------------------------------------------------------------

void TForm1::DirectPlay() {
    UpdateRipHost();
    Rip().DirectPlay();
}

void TForm1::ShowCDPlayer() {
    // A play that has already ended has nothing to show.
    if (!Rip().Running()) return;
    wx::TCDPlayerHost h;
    h.Tracks = &Tracks;
    h.Levels = &Rip().LevelRing;
    h.PlayLba = &PlayLba;
    h.PlayTrack = &PlayTrack;
    h.TimeDisplayMode = &TimeDisplayMode;
    h.PostWaveOut = [this](std::uint32_t msg, std::intptr_t lp) {
        if (WaveOutThread) WaveOutThread->Post(msg, lp);
    };
    h.Left = &CDPlayerLeft;
    h.Top = &CDPlayerTop;
    PlayTrack = Rip().CurrentTrack();
    PlayLba = PlayTrack >= 1 && PlayTrack < wx::LeadOutSlot ? Tracks.Slots[PlayTrack].StartLba : 0;
    wx::TCDPlayer panel(this, h);
    CDPlayer = &panel;
    panel.ShowModal(Handle());
    CDPlayer = nullptr;
}

void TForm1::WMPlayPosition(std::int32_t position) {
    if (!CDPlayer || Tracks.TrackCount <= 0) return;
    const wx::TPlayTime p = wx::PlayPositionText(Tracks, position, TimeDisplayMode);
    if (!p.Shown) return;
    PlayTrack = p.Track;
    PlayLba = p.Lba;
    if (p.Text != CDPlayer->TimeCode.Text()) {
        CDPlayer->SetTimeCode(p.Text);
        wx::Application.Title = p.Text;
    }
}

// ---- The history ------------------------------------------------------------------

void TForm1::AddPlayHistory(const std::string& file) {
    const int i = ComboBox1.Add(wx::SjisFileNameOnly(file));
    PlayHistory.Add(wx::SjisUpperCase(file));
    ComboBox1.SetItemIndex(i);
}

void TForm1::ClearPlayHistory() {
    ComboBox1.Clear();
    PlayHistory.Clear();
}

void TForm1::ComboBox1DrawItem(DRAWITEMSTRUCT& di) {
    HDC dc = di.hDC;
    const bool selected = (di.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &di.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (int(di.itemID) < 0) return;
    const std::string text = ComboBox1.Item(int(di.itemID));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT r = di.rcItem;
    r.left += 2;
    DrawTextA(dc, text.c_str(), int(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void TForm1::ComboBox1Change() {
    if (TestPlaying) SpeedButton1Click();
}

void TForm1::ClearHistoryClick() {
    SpeedButton1Click();
    ClearPlayHistory();
}

// ---- The bar ---------------------------------------------------------------------------

void TForm1::SpeedButton2Click() {
    if (!TestPlaying) {
        if (PlayHistory.Empty()) return;
        int i = ComboBox1.ItemIndex();
        if (i < 0 || i >= int(PlayHistory.Count())) i = 0;
        const std::string file = PlayHistory[std::size_t(i)];
        const bool useMediaPlayer = ConfigForm && ConfigForm->UseMediaPlayer.Checked;
        const int pct = SliderPercent(CustomTrackBar1.Position(), CustomTrackBar1.Max());
        TestInMediaPlayer = PlaysInMediaPlayer(file, useMediaPlayer);
        if (!TestInMediaPlayer) {
            if (!SetExtPlayerFile(file)) return;
            const int length = IsLivingPlayer() ? int(SendToPlayer(PlayerWindow, 1, PlayerPosition)) : 0;
            CustomTrackBar1.SetRange(0, length);
            const int ms = int(std::int64_t(pct) * length * 1000 / 100);
            SetPlayingPos(ms);
            SliderPosition = ms / 1000;
            CustomTrackBar1.SetPosition(SliderPosition);
            Label6.SetText(PlayTimeText(std::uint32_t(ms)));
            TestPlaying = true;
        } else {
            MediaPlayer1.FileName = file;
            MediaPlayer1.DeviceType.clear();
            TestPlaying = true;
            if (!MediaPlayer1.Open() || !MediaPlayer1.SetTimeFormat(MCI_FORMAT_MILLISECONDS)) {
                MediaPlayer1.Close();
                TestPlaying = false;
                return;
            }
            const std::uint32_t length = MediaPlayer1.Length();
            CustomTrackBar1.SetRange(0, int(length / 1000));
            const std::uint32_t at = std::uint32_t(std::uint64_t(pct) * length / 100);
            MediaPlayer1.SetPosition(at);
            SliderPosition = int(at / 1000);
            CustomTrackBar1.SetPosition(SliderPosition);
            Label6.SetText(PlayTimeText(at));
        }
    }
    if (TestPlaying) {
        if (TestInMediaPlayer) {
            MediaPlayer1.Notify = true;
            MediaPlayer1.Play();
        }
        SpeedButton2.SetEnabled(false);
        SpeedButton1.SetEnabled(true);
        SpeedButton3.SetEnabled(TestInMediaPlayer);
        Timer1->SetEnabled(true);
    }
}

void TForm1::SpeedButton1Click() {
    if (TestPlaying) {
        TestPlaying = false;
        Timer1->SetEnabled(false);
        CustomTrackBar1.SetRange(0, IdleSliderMax);
        if (TestInMediaPlayer)
            MediaPlayer1.Close();
        else
            StopPlayer();
        SpeedButton2.SetEnabled(true);
        SpeedButton1.SetEnabled(false);
        SpeedButton3.SetEnabled(false);
    }
    SliderPosition = 0;
    CustomTrackBar1.SetPosition(0);
    Label6.SetText("00:00");
}

void TForm1::SpeedButton3Click() {
    if (!TestPlaying || !TestInMediaPlayer || MediaPlayer1.Mode() != wx::mpPlaying) return;
    Timer1->SetEnabled(false);
    SpeedButton2.SetEnabled(true);
    SpeedButton3.SetEnabled(false);
    MediaPlayer1.Pause();
}

void TForm1::Timer1Timer() {
    if (!TestPlaying) return;
    const std::uint32_t ms = TestInMediaPlayer ? MediaPlayer1.Position() : std::uint32_t(std::max(0, GetPlayingPos()));
    // Setting the slider sends no change notice: the bar only notes where it is.
    SliderPosition = int(ms / 1000);
    CustomTrackBar1.SetPosition(SliderPosition);
    Label6.SetText(PlayTimeText(ms));
}

void TForm1::CustomTrackBar1Change() {
    const int now = CustomTrackBar1.Position();
    if (now == SliderPosition) return;
    SliderPosition = now;
    if (!TestPlaying) return;
    const std::uint32_t ms = std::uint32_t(now) * 1000;
    int mode;
    if (TestInMediaPlayer) {
        mode = MediaPlayer1.Mode();
        MediaPlayer1.SetPosition(ms);
    } else {
        mode = GetExtPlayingMode();
        SetPlayingPos(int(ms));
    }
    Label6.SetText(PlayTimeText(ms));
    if (mode == wx::mpPlaying && TestInMediaPlayer) {
        MediaPlayer1.Notify = true;
        MediaPlayer1.Play();
    }
}

void TForm1::MediaPlayer1Notify() {
    // The end of the file: stopped while it was playing (not paused).
    if (TestInMediaPlayer && TestPlaying && MediaPlayer1.Mode() == wx::mpStopped && SpeedButton3.Enabled())
        SpeedButton1Click();
}

// ---- The external player ----------------------------------------------------------------

HWND TForm1::BootupPlayer(std::string& message, bool& wasRunning) {
    message.clear();
    wasRunning = false;
    const std::string path = ConfigForm ? ConfigForm->UsePlayer.Text : std::string();
    if (path.empty()) {
        message = wx::LoadResString(MSG_NO_PLAYER);
        return NoWindow();
    }
    if (!FileExists(path)) {
        message = wx::LoadResString(MSG_PLAYER_NOT_FOUND);
        return NoWindow();
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        message = wx::LoadResString(MSG_PLAYER_START_FAILED);
        return NoWindow();
    }
    // Until it takes input; a program that hands over to a running one ends
    // at once.
    WaitForInputIdle(pi.hProcess, 10000);
    HWND w;
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT) {
        wasRunning = false;
        w = FindProcessWindow(pi.dwProcessId);
    } else {
        wasRunning = true;
        w = FindWindowByExeName(wx::SjisFileNameOnly(path));
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (w == NoWindow()) message = wx::LoadResString(MSG_PLAYER_START_FAILED);
    return w;
}

bool TForm1::IsLivingPlayer() {
    if (PlayerWindow != NoWindow() && IsWindow(PlayerWindow) && GetWindowLongA(PlayerWindow, GWL_STYLE) != 0)
        return true;
    SpeedButton2.SetEnabled(true);
    SpeedButton1.SetEnabled(false);
    SpeedButton3.SetEnabled(false);
    PlayerWindow = NoWindow();
    TestPlaying = false;
    return false;
}

bool TForm1::SetExtPlayerFile(const std::string& fileName) {
    if (!IsLivingPlayer()) {
        std::string message;
        bool wasRunning = false;
        PlayerWindow = BootupPlayer(message, wasRunning);
        if (PlayerWindow == NoWindow()) {
            wx::ShowMessageBox(message, MB_OK | MB_ICONERROR, Handle());
            TestPlaying = false;
            return false;
        }
    }
    PlayerFile = fileName;
    const bool nt = wx::IsWindowsNT();
    SendToPlayer(PlayerWindow, 0, PlayerClear);
    if (nt) Sleep(100);
    // The name goes byte by byte, then a 0.  Each byte is sent, as the
    // commands around it are: a sent message is taken before any posted
    // one, so posted bytes could reach the player after the play command.
    for (char c : fileName) SendToPlayer(PlayerWindow, WPARAM(static_cast<unsigned char>(c)), PlayerAddByte);
    SendToPlayer(PlayerWindow, 0, PlayerAddByte);
    if (nt) Sleep(100);
    SendToPlayer(PlayerWindow, 0, PlayerPlay);
    SendToPlayer(PlayerWindow, 0, PlayerSeek);
    SendToPlayer(PlayerWindow, 0, PlayerPlay);
    return true;
}

void TForm1::StopPlayer() {
    if (!IsLivingPlayer()) return;
    SendToPlayer(PlayerWindow, 0, PlayerClear);
    SendToPlayer(PlayerWindow, 0, PlayerPlay);
}

int TForm1::GetExtPlayingMode() {
    if (!IsLivingPlayer()) return wx::mpNotReady;
    return ExternalPlayerMode(SendToPlayer(PlayerWindow, 0, PlayerState));
}

int TForm1::GetPlayingPos() {
    if (!IsLivingPlayer()) return 0;
    return int(SendToPlayer(PlayerWindow, 0, PlayerPosition));
}

void TForm1::SetPlayingPos(int ms) {
    if (!IsLivingPlayer()) return;
    SendToPlayer(PlayerWindow, WPARAM(ms), PlayerSeek);
}

}  // namespace wendrix
