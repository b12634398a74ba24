#include "extraction/cdplayerpanel.h"

#include "classlib/app.h"
#include "extraction/playplan.h"
#include "extraction/waveout.h"
#include "extraction/wendrisub.h"

namespace wx {

namespace {

constexpr UINT_PTR LevelTimerId = 1;
constexpr UINT LevelTimerMs = 75;
const COLORREF White = RGB(255, 255, 255);
const COLORREF Silver = RGB(192, 192, 192);

}  // namespace

TCDPlayer::TCDPlayer(TComponent* owner, TCDPlayerHost host) : TForm(owner, "TCDPLAYER"), h_(std::move(host)) {
    TLevelMeter::Register();
    levelTimer_ = new TTimer(this, LevelTimerId, LevelTimerMs, [this] { TimerOnTimer(); });
    OnClick(IDC_CDP_PREVTRACK, [this] { CDTrPrev(); });
    OnClick(IDC_CDP_NEXTTRACK, [this] { CDTrNext(); });
    OnClick(IDC_CDP_PAUSERESUME, [this] { CDPause(); });
    OnClick(IDC_CDP_STOPPLAY, [this] { CDStop(); });
    OnClick(IDC_CDP_PREVREW, [this] { CDPrev(); });
    OnClick(IDC_CDP_NEXTREW, [this] { CDNext(); });
    OnClick(IDC_CDP_MODE, [this] { Button1Click(); });
    // Escape asks to close, as the close box would.
    OnClick(IDCANCEL, [this] { Close(); });
    OnCommand(IDC_CDP_TIMECODE, STN_DBLCLK, [this] { FormDblClick(); });
}

void TCDPlayer::FormCreate() {
    savedMainState_ = SW_RESTORE;
    paused_ = false;
    silver_ = false;
    CloseAllowed = false;
    for (TLevelMeter* m : {LeftLevelMeter(), RightLevelMeter()}) {
        if (!m) continue;
        m->Direction = lvVertical;
        m->SetDispMode(lvLiner);
        m->SetMax(32768);
        m->SetBandWidth(45);
        m->AutoUpdate = true;
        m->DispLevel = false;
        m->RebuildScale();
        m->SetLevel(0);
    }
    // The time code in a large face of the form's font.
    LOGFONTA lf{};
    HFONT formFont = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
    if (formFont && GetObjectA(formFont, sizeof lf, &lf)) {
        RECT r{};
        GetClientRect(TimeCode.Handle(), &r);
        lf.lfHeight = -(r.bottom - r.top) * 2 / 3;
        lf.lfWidth = 0;
        lf.lfWeight = FW_BOLD;
        // A bitmap face does not grow: the digits take a scalable one.
        HDC dc = GetDC(Handle());
        HGDIOBJ old = SelectObject(dc, formFont);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(Handle(), dc);
        if (!(tm.tmPitchAndFamily & TMPF_TRUETYPE)) lstrcpynA(lf.lfFaceName, "Tahoma", LF_FACESIZE);
        timeFont_ = CreateFontIndirectA(&lf);
        if (timeFont_) SendMessageA(TimeCode.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(timeFont_), FALSE);
    }
    // The panel behind the time code is drawn off screen first.
    SetWindowLongA(Handle(), GWL_EXSTYLE, GetWindowLongA(Handle(), GWL_EXSTYLE) | WS_EX_COMPOSITED);
}

void TCDPlayer::FormShow() {
    if (h_.Left && h_.Top)
        SetWindowPos(Handle(), nullptr, *h_.Left, *h_.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    levelTimer_->SetEnabled(true);
}

bool TCDPlayer::FormCloseQuery() {
    if (CloseAllowed) return true;
    // The play ends first; its end closes the panel.
    CDStop();
    return false;
}

void TCDPlayer::FormDestroy() {
    levelTimer_->SetEnabled(false);
    const RECT r = Bounds();
    if (h_.Left) *h_.Left = r.left;
    if (h_.Top) *h_.Top = r.top;
    TForm* main = Application.MainForm();
    if (main && main->Handle() && IsIconic(main->Handle())) ShowWindow(main->Handle(), savedMainState_);
    if (timeFont_) {
        SendMessageA(TimeCode.Handle(), WM_SETFONT, 0, FALSE);
        DeleteObject(timeFont_);
        timeFont_ = nullptr;
    }
}

bool TCDPlayer::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == TimeCode.Handle()) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, silver_ ? Silver : White);
        SetBkColor(dc, RGB(0, 0, 0));
        result = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
        return true;
    }
    if (msg == WM_LBUTTONDBLCLK) {
        FormDblClick();
        result = 0;
        return true;
    }
    return false;
}

void TCDPlayer::SetTimeCode(const std::string& text) {
    if (Handle()) TimeCode.SetText(text);
}

void TCDPlayer::PlayingState() {
    silver_ = false;
    paused_ = false;
    for (TButton* b : {&PrevTrack, &NextTrack, &PauseResume, &StopPlay, &PrevRew, &NextRew}) b->SetEnabled(true);
    InvalidateRect(TimeCode.Handle(), nullptr, TRUE);
}

void TCDPlayer::PausingState() {
    silver_ = true;
    for (TButton* b : {&PrevTrack, &NextTrack, &PauseResume, &StopPlay, &PrevRew, &NextRew}) b->SetEnabled(true);
    InvalidateRect(TimeCode.Handle(), nullptr, TRUE);
}

void TCDPlayer::Seek(std::int32_t lba) {
    PlayingState();
    if (h_.PostWaveOut) h_.PostWaveOut(WM_WAVEOUT_PLAY, lba);
}

// A seek plays on (and ends a pause); a move that goes nowhere keeps it.
void TCDPlayer::CDNext() {
    if (!h_.Tracks || !h_.PlayLba) return;
    const TPanelMove m = SkipForward(*h_.Tracks, *h_.PlayLba);
    if (m.Kind == TPanelMove::Stop)
        CDStop();
    else if (m.Kind == TPanelMove::Seek)
        Seek(m.Lba);
}

void TCDPlayer::CDPrev() {
    if (!h_.Tracks || !h_.PlayLba) return;
    const TPanelMove m = SkipBack(*h_.Tracks, *h_.PlayLba);
    if (m.Kind == TPanelMove::Seek) Seek(m.Lba);
}

void TCDPlayer::CDTrNext() {
    if (!h_.Tracks || !h_.PlayTrack) return;
    const TPanelMove m = wx::NextTrack(*h_.Tracks, *h_.PlayTrack);
    if (m.Kind == TPanelMove::Seek) Seek(m.Lba);
}

void TCDPlayer::CDTrPrev() {
    if (!h_.Tracks || !h_.PlayTrack || !h_.PlayLba) return;
    const TPanelMove m = wx::PrevTrack(*h_.Tracks, *h_.PlayTrack, *h_.PlayLba);
    if (m.Kind == TPanelMove::Seek) Seek(m.Lba);
}

void TCDPlayer::CDPause() {
    if (h_.PostWaveOut) h_.PostWaveOut(paused_ ? WM_WAVEOUT_RESUME : WM_WAVEOUT_PAUSE, 0);
    paused_ = !paused_;
    if (paused_)
        PausingState();
    else
        PlayingState();
}

void TCDPlayer::CDStop() {
    silver_ = false;
    InvalidateRect(TimeCode.Handle(), nullptr, TRUE);
    if (h_.PostWaveOut) h_.PostWaveOut(WM_WAVEOUT_STOP, 0);
}

void TCDPlayer::Button1Click() {
    if (!h_.TimeDisplayMode) return;
    *h_.TimeDisplayMode = (*h_.TimeDisplayMode + 1) % 3;
    // While paused no position comes: the time code is drawn anew now.
    TForm* main = Application.MainForm();
    if (paused_ && main && h_.PlayLba)
        PostMessageA(main->Handle(), WM_PLAY_POSITION, WPARAM(*h_.PlayLba), 0);
}

void TCDPlayer::FormDblClick() {
    TForm* main = Application.MainForm();
    HWND mainWnd = main ? main->Handle() : nullptr;
    if (!mainWnd) return;
    if (IsIconic(mainWnd)) {
        ShowWindow(mainWnd, savedMainState_);
        ShowWindow(Handle(), SW_RESTORE);
        SetForegroundWindow(Handle());
    } else {
        savedMainState_ = IsZoomed(mainWnd) ? SW_SHOWMAXIMIZED : SW_RESTORE;
        ShowWindow(mainWnd, SW_MINIMIZE);
        ShowWindow(Handle(), SW_MINIMIZE);
    }
}

void TCDPlayer::TimerOnTimer() {
    if (!h_.Levels) return;
    static const bool nt = IsWindowsNT();
    std::uint32_t left = 0, right = 0;
    if (!TakeLevel(*h_.Levels, nt, left, right)) return;
    if (TLevelMeter* m = LeftLevelMeter()) m->SetLevel(std::int32_t(left));
    if (TLevelMeter* m = RightLevelMeter()) m->SetLevel(std::int32_t(right));
}

}  // namespace wx
