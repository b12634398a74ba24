#include "extraction/ripcontrol.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <shlobj.h>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "extraction/MSCDEXCALL.h"
#include "extraction/Verify.h"
#include "extraction/Win32Aspi.h"
#include "extraction/playplan.h"
#include "extraction/progress.h"
#include "extraction/setfname.h"
#include "extraction/spdrslt.h"
#include "extraction/wendrisub_win.h"
#include "output/acmmgr32.h"
#include "output/acmparams.h"
#include "output/dlgcenter.h"
#include "output/sinksetup.h"
#include "output/wmttag.h"
#include "resources/msgids.h"

namespace wx {

std::string Format(const std::string& pattern, ...) {
    va_list ap;
    va_start(ap, pattern);
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, pattern.c_str(), copy);
    va_end(copy);
    std::string out(n > 0 ? std::size_t(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, pattern.c_str(), ap);
    va_end(ap);
    return out;
}

std::string FormatSeconds(std::uint32_t s) {
    if (s < 60) return Format(LoadResString(MSG_RIP_SECONDS), int(s));
    return Format(LoadResString(MSG_RIP_MINUTES_SECONDS), int(s / 60), int(s % 60));
}

namespace {

// Message box owned by the main window, caption the application title.
int Ask(UINT flags, const std::string& text) { return ShowMessageBox(text, flags); }

bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The drive letter of a path ("C:\..." gives 3), 0 when it has none.
int DriveNumber(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return 0;
    const char c = path[0];
    if (c >= 'a' && c <= 'z') return c - 'a' + 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
    return 0;
}

}  // namespace

TRipControl::TRipControl(TRipHost host) : h_(std::move(host)) {}

TRipControl::~TRipControl() {
    if (thread_) {
        thread_->Terminate();
        if (h_.AcmDrv) h_.AcmDrv->AbortRequested = true;
        thread_->WaitFor();
    }
}

std::string TRipControl::Text(unsigned id) const { return LoadResString(id); }

void TRipControl::SendNotice(const std::string& notice) {
    if (sstp_ && h_.SendMsgToPellora) sstp_ = h_.SendMsgToPellora(notice);
}

void TRipControl::Attach(TForm& form) {
    form.OnMessage(WM_RIP_PROGRESS, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        WMRipProgress(int(wp), int(lp));
        return 0;
    });
    form.OnMessage(WM_RIP_TIMEOUT, [this](WPARAM, LPARAM) -> LRESULT {
        TimeoutFlag = true;
        return 0;
    });
    form.OnMessage(WM_RIP_DONE, [this](WPARAM, LPARAM lp) -> LRESULT {
        WMRipDone(reinterpret_cast<TTransferRecord*>(lp));
        return 0;
    });
    form.OnMessage(WM_RIP_PHASE, [this](WPARAM wp, LPARAM) -> LRESULT {
        WMRipPhase(int(wp));
        return 0;
    });
    form.OnMessage(WM_RIP_STATUS, [this](WPARAM, LPARAM lp) -> LRESULT {
        WMRipStatus(reinterpret_cast<char*>(lp));
        return 0;
    });
    form.OnMessage(WM_RIP_LEVEL, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        WMLevelMeter(std::uint32_t(wp), std::uint32_t(lp));
        return 0;
    });
}

TDriveAddress TRipControl::Drive() const {
    TDriveAddress d;
    if (const TDeviceEntry* e = h_.Config->SelectedDevice()) {
        d.Adapter = std::uint8_t(e->Adapter);
        d.Target = std::uint8_t(e->Target);
        d.Lun = std::uint8_t(e->Lun);
        d.IgnoreTargetStat = e->IgnoreTargetStat;
    }
    return d;
}

int TRipControl::Rows() const { return h_.TrackList ? h_.TrackList->Count() : 0; }

bool TRipControl::RowSelected(int row) const { return h_.TrackList && h_.TrackList->Selected(row); }

// ---- The rip command ---------------------------------------------------------

void TRipControl::ToolRipStartClick(bool fromFolderDrop) {
    if (running_) {
        // The end of a run lets messages through (its report and end
        // message, the file list read again) while the run is still on: a
        // start asked for then follows once the run is over instead of
        // being lost.
        if (ending_) startAfterRun_ = fromFolderDrop ? 1 : 0;
        return;
    }
    startAfterRun_ = -1;
    // From here to the end of the run the main window refuses to close: the
    // questions and the drive's spin-up let messages through before any rip
    // thread exists, while the first track's output is open already.
    ++starting_;
    struct TStarted {
        int& n;
        ~TStarted() { --n; }
    } started{starting_};
    StartRun(fromFolderDrop);
    while (startAfterRun_ >= 0 && !running_) {
        const bool fromFolder = startAfterRun_ == 1;
        startAfterRun_ = -1;
        StartRun(fromFolder);
    }
}

void TRipControl::StartRun(bool fromFolderDrop) {
    const TMediaTimerPause pause(h_);
    TConfigStore& c = *h_.Config;

    if (!h_.TrackList || h_.TrackList->SelectedCount() == 0) return;
    if (fromFolderDrop) {
        OutputFolder = IncludeTrailingBackslash(RipTargetFolder);
    } else {
        OutputFolder = IncludeTrailingBackslash(StripTrailingBackslash(h_.ListedFolder ? h_.ListedFolder() : ""));
        if (Ask(MB_OKCANCEL | MB_ICONQUESTION, Format(Text(MSG_RIP_CONFIRM_FOLDER), OutputFolder.c_str())) != IDOK)
            return;
    }
    if (c.GetModeOfHispeedBurstRead() && RipCacheBuffer.Size < 1048576) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_BURST_MEMORY));
        return;
    }
    if (c.IsUseWMT() && !h_.WmaAvailable) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_NO_WMA));
        return;
    }
    if (c.IsUseVQF() && !(h_.AcmDrv && h_.AcmDrv->TwinVqEncoder)) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_NO_TVQ));
        return;
    }
    const std::string root = OutputFolder.substr(0, 3);
    if (GetDriveTypeA(root.c_str()) == DRIVE_CDROM) return;
    if (!CheckExistsFiles(OutputFolder)) return;
    if (!GetEncoderOption(encoderOption_)) return;

    StopAnalogPlay();
    mscdex_ = c.CheckBox14.Checked && IsWindows9x();
    c.CheckBox14.Checked = mscdex_;
    if (mscdex_ && !MscdexOpen(0)) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_MSCDEX_FAILED));
        mscdex_ = false;
        return;
    }
    if (!CheckCells()) {
        if (mscdex_) MscdexClose();
        mscdex_ = false;
        return;
    }
    const int kind = EffectiveReadCommand(c.ComboBox1.ItemIndex());
    overlap_ = (c.GetModeOf1passZitterCheck() && kind != rcPioneer) ? 4 : 0;
    if (h_.StopTestPlay) h_.StopTestPlay();
    if (h_.ClearTestPlay) h_.ClearTestPlay();
    if (!PrepareDrive()) return;
    TransferData();
}

void TRipControl::StopAnalogPlay() {
    const TConfigStore& c = *h_.Config;
    std::vector<TDriveAddress> drives;
    for (int i = 0; i < c.DeviceCount; ++i) {
        TDriveAddress d;
        d.Adapter = std::uint8_t(c.Devices[i].Adapter);
        d.Target = std::uint8_t(c.Devices[i].Target);
        d.Lun = std::uint8_t(c.Devices[i].Lun);
        drives.push_back(d);
    }
    TDriveCommands(*h_.Exec).PlayStop(drives, -1);
}

bool TRipControl::PrepareDrive() {
    const TConfigStore& c = *h_.Config;
    TDriveCommands cmds(*h_.Exec);
    const TDriveAddress d = Drive();
    if (!cmds.IsDeviceIn(d) || !cmds.IsDeviceIn(d)) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_NO_MEDIA));
        if (h_.ReadToc) h_.ReadToc();
        DiscStateFlag = true;
        if (mscdex_) MscdexClose();
        mscdex_ = false;
        return false;
    }
    const int kind = EffectiveReadCommand(c.ComboBox1.ItemIndex());
    spinChanged_ = false;
    if (!mscdex_) SetDriveModes(cmds, d, kind);
    return true;
}

// The drive's read mode for the read command `kind`, and its speed from the
// settings; the speed it had is kept for the end of the run.
void TRipControl::SetDriveModes(TDriveCommands& cmds, const TDriveAddress& d, int kind) {
    const TConfigStore& c = *h_.Config;
    cmds.GetMode(d);
    if (kind == rcToshiba) cmds.ChangeMode(d);
    if (kind == rcExtend) cmds.ChangeExtendMode(d);
    savedSpin_ = cmds.GetSpinMode(d);
    spinBySetCdSpeed_ = true;
    if (c.CheckBox2.Checked) {
        cmds.SetSpinMode(d, c.SpinEdit2.Value());
        spinBySetCdSpeed_ = cmds.SpeedBySetCdSpeed();
    }
}

void TRipControl::DirectPlay() {
    if (running_ || starting_ > 0) return;
    ++starting_;
    struct TStarted {
        int& n;
        ~TStarted() { --n; }
    } started{starting_};
    TConfigStore& c = *h_.Config;
    AbortFlag = false;
    const TMediaTimerPause pause(h_);
    StopAnalogPlay();
    if (h_.StopTestPlay) h_.StopTestPlay();
    // Without a drive there is nothing to play from.
    if (!c.SelectedDevice()) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_NO_MEDIA));
        return;
    }
    mscdex_ = c.CheckBox14.Checked && IsWindows9x();
    if (mscdex_ && !MscdexOpen(0)) {
        Ask(MB_OK | MB_ICONERROR, Text(MSG_MSCDEX_FAILED));
        mscdex_ = false;
        return;
    }
    if (!PrepareDrive()) return;
    TransferData(true);
}

int TRipControl::PrepareDigitalPlay(int track, TTransferRecord& r) {
    const TConfigStore& c = *h_.Config;
    const TTrackTable& tt = *h_.Tracks;
    if (track > tt.TrackCount || track >= LeadOutSlot) return 3;
    const TTrackRecord& t = tt.Slots[track];
    if (!t.IsAudio || !RowSelected(track - 1)) return 1;
    const TDeviceEntry* e = c.SelectedDevice();
    if (!e) return 3;
    if (!FillDigitalPlayRange(tt, track, c.SpinEdit1.Value(), r)) return 1;
    r.Adapter = e->Adapter;
    r.Target = e->Target;
    r.Lun = e->Lun;
    r.PortNumber = e->PortNumber;
    r.ReadCommand = std::uint8_t(EffectiveReadCommand(c.ComboBox1.ItemIndex()));
    r.SectorsPerRead = c.SpinEdit1.Value();
    r.OverlapSectors = c.DigitalPlayZC.Checked ? 4 : 0;
    r.SkipLeadSilence = c.CheckBox1.Checked;
    r.SkipTrailSilence = c.CheckBox1E.Checked;
    r.VerifyRead = false;
    r.OnePassJitter = false;
    r.SwapChannels = c.CheckBox12.Checked;
    r.NotifyWindow = h_.MainForm ? h_.MainForm->Handle() : nullptr;
    r.SendAspiCommand = h_.Aspi ? h_.Aspi->GetSendCommandProc() : nullptr;
    r.GetAspiSupportInfo = h_.Aspi ? h_.Aspi->GetSupportInfoProc() : nullptr;
    r.OutputDriver = nullptr;
    r.MaxRetry = c.MaxRetry;
    r.UseMscdex = mscdex_;
    r.PollStatus = c.CheckBox15.Checked;
    r.ThreadPriority = c.CustomTrackBar1.Position();
    r.SeekEachRead = c.GetModeOfSeekCheck();
    r.TwoPass = false;
    r.IgnoreTargetStatus = e->IgnoreTargetStat;
    r.WorkFolder = c.WEdit1.Text;
    r.TrackNumber = track;
    r.UseReadWait = c.CheckBox10.Checked;
    r.ReadWaitMs = c.WaitTime();
    r.SpinUp = c.CheckBox13.Checked;
    r.DigitalPlay = true;
    r.VolumePercent = std::uint16_t(c.RatioEdit.Value());
    r.DummyRead = c.GetModeOfDummyRead();
    r.UseAspi = UseAspi;
    r.PreReadSize = c.PreReadWaveSize.Position();
    r.NormalizeMode = 0;
    r.NormalizeTarget = 3276700;
    r.WaveOutThread = h_.WaveOut;
    r.BenchmarkBytes = 0;
    r.NoNullAreaCount = true;
    return 0;
}

void TRipControl::DispDigitalPlayStatus() {
    Application.Title = "Wendrix for Windows";
    if (sessionEnded_) return;
    if (TimeoutFlag)
        Ask(MB_OK | MB_ICONWARNING, Text(MSG_PLAY_DRIVE_TIMEOUT));
    else if (!AbortFlag)
        Ask(MB_OK | MB_ICONINFORMATION, Text(MSG_DIGITAL_PLAY_DONE));
    else
        Ask(MB_OK | MB_ICONWARNING, Text(MSG_DIGITAL_PLAY_ABORTED));
}

bool TRipControl::CheckCells() {
    const TCellCheck r = wx::CheckCells(*h_.Tracks, Rows(), [this](int row) { return RowSelected(row); });
    if (r.MissingNameTrack > 0) {
        Ask(MB_OK | MB_ICONERROR, Format(Text(MSG_RIP_TRACK_NO_NAME), r.MissingNameTrack));
        return false;
    }
    if (!r.Ok) Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_NO_RANGE));
    return r.Ok;
}

void TRipControl::SetFileNameToTrack(const std::string& name, int track) {
    if (track < 1 || Rows() < track) return;
    const std::string stem = StemFromTypedName(name);
    h_.Tracks->Slots[track].FileStem = stem;
    h_.TrackList->SetSubItem(track - 1, 5, stem);  // "作成ファイル名"
}

bool TRipControl::CheckExistsFiles(const std::string& folder) {
    TTrackTable& t = *h_.Tracks;
    for (int row = h_.TrackList->NextSelected(-1); row >= 0; row = h_.TrackList->NextSelected(row)) {
        const int track = row + 1;
        if (track >= LeadOutSlot) break;
        const std::string stem = TrimSpaces(t.Slots[track].FileStem);
        if (stem.empty()) {
            TFileNameSetForm form(h_.MainForm);
            form.Question = Format(Text(MSG_RIP_NAME_MISSING), track);
            const INT_PTR answer = form.ShowModal();
            const std::string typed = TrimSpaces(form.Text);
            if (answer == IDCANCEL || typed.empty() || (answer != IDYES && answer != mrYesToAll)) return false;
            if (answer == IDYES) {
                SetFileNameToTrack(typed, track);
            } else {
                for (int r = row; r >= 0; r = h_.TrackList->NextSelected(r)) {
                    if (r + 1 >= LeadOutSlot) break;
                    if (r == row || TrimSpaces(t.Slots[r + 1].FileStem).empty())
                        SetFileNameToTrack(NumberedStem(typed, r + 1), r + 1);
                }
            }
            row = -1;  // the walk starts again from the first row
            continue;
        }
        if (!IsValidFileName(stem)) {
            Ask(MB_OK | MB_ICONERROR, Format(Text(MSG_RIP_NAME_INVALID), track));
            return false;
        }
    }
    // The names the rip will write (the same builder as the request's), of
    // the tracks it will take.  Two tracks with one name would leave only
    // the later one: refused before anything is asked or read.
    std::vector<int> tracks;
    std::vector<std::string> files;
    for (int row = h_.TrackList->NextSelected(-1); row >= 0; row = h_.TrackList->NextSelected(row)) {
        const int track = row + 1;
        if (track >= LeadOutSlot) break;
        if (!t.Slots[track].IsAudio || !IsRippableRange(t.Slots[track])) continue;
        tracks.push_back(track);
        files.push_back(BuildOutputName(*h_.Config, folder, t.Slots[track]).Final);
    }
    const auto [first, second] = FindSameName(files);
    if (first >= 0) {
        Ask(MB_OK | MB_ICONERROR, Format(Text(MSG_RIP_SAME_NAME), tracks[std::size_t(first)],
                                         tracks[std::size_t(second)], files[std::size_t(second)].c_str()));
        return false;
    }
    // An old file is replaced only when its track's new output is finished
    // (the output driver writes under a temporary name): here it is only
    // checked that it can be replaced.
    for (const std::string& file : files) {
        if (!FileExists(file)) continue;
        if (Ask(MB_OKCANCEL | MB_ICONQUESTION, Format(Text(MSG_RIP_OVERWRITE), file.c_str())) != IDOK) return false;
        if (!CanReplaceOutput(file)) {
            Ask(MB_OK | MB_ICONERROR, Format(Text(MSG_RIP_LOCKED), file.c_str()));
            return false;
        }
    }
    return true;
}

bool TRipControl::GetEncoderOption(std::string& options) { return wx::GetEncoderOption(*h_.Config, options); }

std::int64_t TRipControl::GetAllTrackFrames() {
    return wx::GetAllTrackFrames(*h_.Tracks, Rows(), [this](int row) { return RowSelected(row); });
}

int TRipControl::GetRemainTrack() {
    return wx::GetRemainTrack(Rows(), currentTrack_, [this](int row) { return RowSelected(row); });
}

bool TRipControl::isUseEmph(int track) {
    if (track < 1 || track >= LeadOutSlot) return false;
    return IsUseEmph(*h_.Config, h_.Tracks->Slots[track]);
}

std::int64_t TRipControl::GetFolderFree(const std::string& folder) {
    if (folder.empty()) return -1;
    const std::string f = IncludeTrailingBackslash(folder);
    if (h_.DiskFree) return h_.DiskFree(f);
    ULARGE_INTEGER caller{}, total{}, free{};
    if (!GetDiskFreeSpaceExA(f.c_str(), &caller, &total, &free)) return -1;
    return std::int64_t(caller.QuadPart);
}

std::int64_t TRipControl::GetDiskFree(int drive) {
    if (drive < 1 || drive > 26) return -1;
    const std::string root = std::string(1, char('A' + drive - 1)) + ":\\";
    if (h_.DiskFree) return h_.DiskFree(root);
    ULARGE_INTEGER caller{}, total{}, free{};
    if (!GetDiskFreeSpaceExA(root.c_str(), &caller, &total, &free)) return -1;
    return std::int64_t(caller.QuadPart);
}

// ---- The run -------------------------------------------------------------------

void TRipControl::TransferData(bool digitalPlay) {
    TConfigStore& c = *h_.Config;
    if (sessionEnded_) return;  // the program is about to end with the session
    running_ = true;
    AbortFlag = false;
    TimeoutFlag = false;
    failedTrack_ = 0;
    failedWhy_.clear();
    results_.clear();
    if (h_.StopTestPlay) h_.StopTestPlay();
    sstp_ = c.IsSendPellora.Checked;

    TTransferRecord r = EmptyTransferRecord();
    int answer = 1;
    int t = 1;
    for (; t <= h_.Tracks->TrackCount + 1; ++t) {
        r = EmptyTransferRecord();
        answer = digitalPlay ? PrepareDigitalPlay(t, r) : PrepareTransfer(t, r);
        if (answer != 1) break;
    }
    auto failedStart = [&] {
        // Nothing ran: the drive goes back as at the end of a run.
        if (mscdex_) MscdexClose();
        if (!mscdex_) RestoreDrive(EffectiveReadCommand(c.ComboBox1.ItemIndex()));
        mscdex_ = false;
        DiscStateFlag = true;
        running_ = false;
        if (h_.MediaTimer) h_.MediaTimer(true);
    };
    if (answer != 0 || t > h_.Tracks->TrackCount) {
        const unsigned msg = answer == 4 ? MSG_RIP_ENCODER_SETUP : answer == 2 ? MSG_FILE_OPEN_FAILED : MSG_RIP_RANGE_ERROR;
        // A refusal that showed its own box (the disk space) shows no second.
        if (!(answer == 2 && prepareShown_)) Ask(MB_OK | MB_ICONERROR, Text(msg));
        failedStart();
        return;
    }
    if (c.CheckBox13.Checked && r.ReadCommand != rcAtapi) {
        TDriveCommands cmds(*h_.Exec);
        cmds.StartSpinUp(Drive(), std::uint32_t(r.StartLba), [] { Application.ProcessMessages(); Sleep(2000); });
        // The session ended while the drive spun up: the track's output goes.
        if (AbortFlag) {
            if (h_.AcmDrv) h_.AcmDrv->Discard();
            failedStart();
            if (OnRunEnd) OnRunEnd();
            return;
        }
    }
    currentTrack_ = t;
    currentStartLba_ = r.StartLba;
    LevelRing.Clear();
    if (digitalPlay || r.MonitorOutput) {
        const bool opened = h_.OpenWaveOut && h_.OpenWaveOut(c.WaveDeviceIndex - 1, c.PreReadWaveSize.Position(),
                                                             c.RatioEdit.Value(), digitalPlay);
        if (!opened) {
            if (h_.MediaTimer) h_.MediaTimer(true);
            Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_WAVE_DEVICE));
            if (digitalPlay) {
                failedStart();
                return;
            }
            r.MonitorOutput = false;
        }
    }
    startTick_ = GetTickCount();
    trackCount_ = 1;
    elapsedSum_ = audioSum_ = 0;
    if (digitalPlay) {
        // The CD player panel is shown while the play runs; the end of the
        // play closes it.
        StartThread(r);
        if (h_.ShowCDPlayer) h_.ShowCDPlayer();
        while (running_) {
            MSG m;
            const BOOL got = GetMessageA(&m, nullptr, 0, 0);
            if (got <= 0) {
                if (got == 0) PostQuitMessage(int(m.wParam));  // for the loop outside
                break;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        running_ = false;
        if (h_.RunState) h_.RunState(nullptr, false);
        if (h_.MediaTimer) h_.MediaTimer(true);
        DispDigitalPlayStatus();
        if (OnRunEnd) OnRunEnd();
        return;
    }
    if (c.CheckBox18.Checked) {
        report_ = std::make_unique<TVerifyRslt>(h_.MainForm);
        report_->Clear();
    }
    progress_ = std::make_unique<TProgressForm>(h_.MainForm);
    progress_->HideLevelMeters = !c.DispLevelMeter.Checked;
    progress_->OnCancel = [this] { Cancel(); };
    totalSectors_ = GetAllTrackFrames();
    doneSectors_ = 0;
    StartThread(r);
    progress_->ShowModal(h_.MainForm ? h_.MainForm->Handle() : nullptr);
    // The progress window closes at the end of the run; a scripted one may
    // come back early, so the messages are pumped until the run is over.
    while (running_) {
        MSG m;
        const BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(int(m.wParam));  // for the loop outside
            break;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    progress_.reset();
    report_.reset();
    running_ = ending_ = false;
    if (h_.RunState) h_.RunState(nullptr, false);
    if (h_.MediaTimer) h_.MediaTimer(true);
    if (OnRunEnd) OnRunEnd();
}

int TRipControl::PrepareTransfer(int track, TTransferRecord& r) {
    TConfigStore& c = *h_.Config;
    TTrackTable& tt = *h_.Tracks;
    if (track > tt.TrackCount || track >= LeadOutSlot) return 3;
    TTrackRecord& t = tt.Slots[track];
    if (!t.IsAudio || !RowSelected(track - 1)) return 1;
    if (!IsRippableRange(t)) return 1;
    prepareWhy_.clear();
    prepareShown_ = false;
    const std::int32_t start = t.StartLba + t.RangeStart;
    const std::int32_t end = t.StartLba + t.RangeEnd + 1;

    const std::int64_t raw = std::int64_t(end - start) * 2352 + 18;
    std::uint32_t avg = 176400;
    if (c.IsUseWAVE()) {
        const auto* f = reinterpret_cast<const WAVEFORMATEX*>(c.OutputWaveFormat.data());
        if (f->nAvgBytesPerSec) avg = f->nAvgBytesPerSec;
    } else if (c.IsUseWMT()) {
        avg = std::uint32_t(c.GetWMTBitrate() / 8);
    } else if (c.IsUseVQF()) {
        avg = std::uint32_t(c.GetVQFBitrate() * 1000 / 8);
    } else if (c.IsUseMP3()) {
        const int i = c.bitratebox.ItemIndex() < 0 ? 8 : c.bitratebox.ItemIndex();
        avg = std::uint32_t(std::atoi(AcmMp3BitrateTexts[i]) / 8);
    }
    const std::int64_t estimate = std::int64_t(end - start) * avg / 75;

    const TOutputName name = BuildOutputName(c, OutputFolder, t);
    TagFlag = name.Tagged;
    if (c.CheckBox4.Checked) {
        // The folder's own free space: it may be a volume mounted there.
        const std::int64_t free = GetFolderFree(OutputFolder);
        if (free >= 0 && free < estimate) {
            Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_DISK_FULL));
            prepareWhy_ = Text(MSG_RIP_DISK_FULL);
            prepareShown_ = true;
            DiscStateFlag = true;
            return 2;
        }
        if (c.GetModeOf2passZitterCheck()) {
            std::int64_t need = c.GetModeOfVerifyCheck() ? raw * 3 * 13 / 10 : raw;
            const int workDrive = DriveNumber(c.WEdit1.Text);
            if (workDrive == DriveNumber(OutputFolder)) need += estimate;
            const std::int64_t workFree = GetFolderFree(c.WEdit1.Text);
            if (workFree >= 0 && workFree < need) {
                Ask(MB_OK | MB_ICONERROR, Text(MSG_RIP_TEMP_FULL));
                prepareWhy_ = Text(MSG_RIP_TEMP_FULL);
                prepareShown_ = true;
                DiscStateFlag = true;
                return 2;
            }
        }
    }

    // The output driver for this track.
    TAcmDrv& drv = *h_.AcmDrv;
    const bool emphasisKept = t.PreEmphasis && !IsUseEmph(c, t);
    const bool ok = SetupOutputDriver(drv, c, t.HasTag ? &t : nullptr, emphasisKept, encoderOption_);
    if (!ok) return 4;
    if (!drv.Open(name.Written)) {
        prepareWhy_ = drv.ErrorText();
        return 2;
    }

    if (h_.AddTestPlayFile) h_.AddTestPlayFile(name.Final);

    const TDeviceEntry* e = c.SelectedDevice();
    r.Adapter = e ? e->Adapter : 0;
    r.Target = e ? e->Target : 0;
    r.Lun = e ? e->Lun : 0;
    r.StartLba = start;
    r.EndLba = end;
    r.LastReadableLba = tt.Slots[LeadOutSlot].StartLba - 1;
    r.ReadCommand = std::uint8_t(EffectiveReadCommand(c.ComboBox1.ItemIndex()));
    r.SectorsPerRead = c.SpinEdit1.Value();
    r.TrackNumber = track;
    r.OverlapSectors = overlap_;
    r.MaxRetry = c.MaxRetry;
    r.ReadWaitMs = c.WaitTime();
    r.SkipLeadSilence = c.CheckBox1.Checked;
    r.VerifyRead = c.GetModeOfVerifyCheck();
    r.SkipTrailSilence = c.CheckBox1E.Checked;
    r.OnePassJitter = c.GetModeOf1passZitterCheck();
    r.SwapChannels = c.CheckBox12.Checked;
    r.NotifyWindow = h_.MainForm ? h_.MainForm->Handle() : nullptr;
    r.SendAspiCommand = h_.Aspi ? h_.Aspi->GetSendCommandProc() : nullptr;
    r.GetAspiSupportInfo = h_.Aspi ? h_.Aspi->GetSupportInfoProc() : nullptr;
    r.OutputDriver = h_.AcmDrv;
    r.ThreadPriority = c.CustomTrackBar1.Position();
    r.UseReadWait = c.CheckBox10.Checked;
    r.UseMscdex = mscdex_;
    r.PollStatus = c.CheckBox15.Checked;
    r.SeekEachRead = c.GetModeOfSeekCheck();
    r.TwoPass = c.GetModeOf2passZitterCheck();
    r.SpinUp = c.CheckBox13.Checked;
    r.WorkFolder = c.WEdit1.Text;
    r.EncoderOptions = encoderOption_;
    r.EncoderProgram = c.ProgramEdit.Text;
    r.OutputFileName = name.Final;
    r.UseExternalEncoder = c.IsUseL3Enc();
    r.IgnoreTargetStatus = e && e->IgnoreTargetStat;
    r.DigitalPlay = false;
    r.VolumePercent = std::uint16_t(c.RatioEdit.Value());
    r.DummyRead = c.GetModeOfDummyRead();
    r.UseAspi = UseAspi;
    r.PortNumber = e ? e->PortNumber : 0;
    r.BurstRead = c.GetModeOfHispeedBurstRead();
    r.RereadFailed = c.GetModeOfBurstErrorCorrect();
    r.NoWriteOnVerifyError = c.GetModeOfBurstErrorNoWrite();
    r.PreReadSize = c.PreReadWaveSize.Position();
    r.TwoStage = c.GetModeOfWriteCache();
    r.LevelMeter = c.DispLevelMeter.Checked;
    r.Normalize = c.ExecNormalize.Checked;
    r.NormalizeMode = NormalizeMethod;
    r.NormalizeTarget = NormalizeLevel;
    r.NormalizePercentile = NormalizeFixPeakOver;
    r.ClipRestore = NormalizeAllowPeakOver;
    r.MonitorOutput = c.UseWaveMonitor.Checked;
    r.DeEmphasis = IsUseEmph(c, t);
    r.WaveOutThread = h_.WaveOut;
    r.PlayList[0] = -1;
    r.BenchmarkBytes = 0;
    r.UseWriteThread = c.UseMultiThreadWrite.Checked && !c.IsUseGogoDLL() && !c.IsUseVQF();
    r.NoNullAreaCount = !(c.ChkNullErr.Checked && c.CheckBox18.Checked);
    return 0;
}

void TRipControl::SetRunThread(std::unique_ptr<TExecuteAspiThread> t) { thread_ = std::move(t); }

std::vector<std::pair<std::string, std::string>> SetResultTexts(const TTransferRecord& r) {
    const std::int32_t ms[4] = {r.BenchInnerNormalMs, r.BenchOuterNormalMs, r.BenchInnerBurstMs, r.BenchOuterBurstMs};
    const std::int32_t err[4] = {r.BenchInnerNormalErrors, r.BenchOuterNormalErrors, r.BenchInnerBurstErrors,
                                 r.BenchOuterBurstErrors};
    const TBenchFigures b = BenchmarkFigures(r.BenchReads, r.SectorsPerRead, r.BenchInnerLba, r.BenchOuterLba, ms, err);
    std::vector<std::pair<std::string, std::string>> out;
    const char* const labels[4] = {"NInSpeed", "NOutSpeed", "BInSpeed", "BOutSpeed"};
    for (int i = 0; i < 4; ++i)
        out.emplace_back(labels[i], b.Rate[i] < 0 ? LoadResString(MSG_BENCH_NOT_MEASURED)
                                                  : Format(LoadResString(MSG_BENCH_SPEED), b.Rate[i] / 1000,
                                                           b.Rate[i] / 176400, b.Errors[i]));
    int m, s, f;
    SplitMsf(b.Sectors, m, s, f);
    out.emplace_back("MLength", Format(LoadResString(MSG_BENCH_LENGTH), int(b.Bytes), m, s, f));
    auto area = [&](std::int32_t first, std::int32_t last) {
        int m1, s1, f1, m2, s2, f2;
        SplitMsf(first, m1, s1, f1);
        SplitMsf(last, m2, s2, f2);
        return Format(LoadResString(MSG_BENCH_AREA), m1, s1, f1, m2, s2, f2);
    };
    out.emplace_back("MInside", area(b.InnerFirst, b.InnerLast));
    out.emplace_back("MOutside", area(b.OuterFirst, b.OuterLast));
    return out;
}

void GetVolumeID(const TTrackTable& table, int driveIndex, std::string& path, std::string& mediaId) {
    path.clear();
    mediaId.clear();
    const std::uint32_t id = MediaIdentity(table);
    if (id == 0) return;
    std::vector<int> cd;
    for (int d = 0; d < 26; ++d) {
        const std::string root = std::string(1, char('A' + d)) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_CDROM) continue;
        cd.push_back(d);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, root.c_str(), nullptr);
        Sleep(10);
        char name[MAX_PATH];
        DWORD serial = 0, maxLen = 0, flags = 0;
        GetVolumeInformationA(root.c_str(), name, sizeof name, &serial, &maxLen, &flags, nullptr, 0);
    }
    const int d = ChooseVolumeDrive(cd, driveIndex);
    if (d < 0) return;
    path = std::string(1, char('A' + d)) + ":\\track01.cda";
    mediaId = Format("%X", unsigned(id));
}

void TRipControl::StartThread(const TTransferRecord& r) {
    current_ = r;
    TRipContext ctx = h_.Context ? h_.Context() : TRipContext{};
    thread_ = std::make_unique<TExecuteAspiThread>(r, ctx);
    if (h_.RunState) h_.RunState(thread_.get(), running_);
}

void TRipControl::Cancel() {
    AbortFlag = true;
    if (thread_) {
        thread_->Terminate();
        if (h_.AcmDrv) h_.AcmDrv->AbortRequested = true;
    }
}

// ---- Messages of the rip thread ----------------------------------------------------

void TRipControl::WMRipProgress(int percent, int track) {
    if (!progress_ || !progress_->Handle()) return;
    if (percent < 0) {
        progress_->ProgressBar1.SetPosition(0);
        progress_->Label2.SetText("");
        Application.Title = Format(Text(MSG_RIP_TITLE_EXTERNAL), track);
    } else {
        progress_->ProgressBar1.SetPosition(percent);
        progress_->Label2.SetText(Format(Text(MSG_RIP_PERCENT), percent));
        Application.Title = Format(Text(MSG_RIP_TRACK_TITLE), track, percent);
    }
}

void TRipControl::WMRipPhase(int phase) {
    if (!progress_ || !progress_->Handle()) return;
    progress_->PlayAnimation(phase != 0 ? "COMPRESS" : "RIPPING");
}

void TRipControl::WMRipStatus(char* text) {
    if (progress_ && progress_->Handle() && text) progress_->Label4.SetText(SjisCut(text, 255));
    FreeStatusText(text);
}

void TRipControl::WMLevelMeter(std::uint32_t left, std::uint32_t right) {
    if (progress_ && progress_->Handle()) {
        if (TLevelMeter* m = progress_->RightLevelMeter()) m->SetLevel(std::int32_t(right));
        if (TLevelMeter* m = progress_->LeftLevelMeter()) m->SetLevel(std::int32_t(left));
        return;
    }
    LevelRing.Put(left, right, !IsWindows9x());
}

void TRipControl::AddReportRow(const TTransferRecord& r) {
    if (!report_) return;
    static const char* const classes[4] = {"OK", "S1", "S2", "NG"};
    const TConfigStore& c = *h_.Config;
    const bool jitter = c.GetModeOf1passZitterCheck() || c.GetModeOf2passZitterCheck();
    const bool verify = c.GetModeOfVerifyCheck();
    TVerifyRslt::TRow row;
    row.push_back(std::to_string(currentTrack_));
    row.push_back(r.ResultClass < 4 ? classes[r.ResultClass] : "NG");
    row.push_back(std::to_string(r.ScsiErrors));
    row.push_back(jitter ? std::to_string(r.JitterCorrections) : "-");
    row.push_back(verify ? std::to_string(r.VerifyRereads) : "-");
    row.push_back(verify ? std::to_string(r.AverageCorrections) : "-");
    row.push_back(r.NoNullAreaCount ? "-" : std::to_string(r.NullAreas));
    report_->AddRow(row);
}

void TRipControl::WriteTags(const TTransferRecord& r) {
    if (!TagFlag || currentTrack_ < 1 || currentTrack_ >= LeadOutSlot) return;
    const TConfigStore& c = *h_.Config;
    const TTrackRecord& t = h_.Tracks->Slots[currentTrack_];
    const bool mp3 = c.IsUseMP3() && !c.IsUseGogoWAVE() && !c.IsUseGogoRMP();
    if (!mp3 && !c.IsUseWMT()) return;
    tagio::WriteTagsAfterRip(r.OutputFileName, t, mp3, IsUseEmph(c, t), c.ID3TagType.ItemIndex());
}

void TRipControl::WMRipDone(TTransferRecord* result) {
    if (thread_) {
        thread_->Terminate();
        thread_->WaitFor();
        thread_.reset();
        if (h_.RunState) h_.RunState(nullptr, running_);
    }
    if (!result) return;
    const TTransferRecord r = *result;
    FreeResultBlock(result);
    results_.push_back(r);
    const TConfigStore& c = *h_.Config;
    const bool bench = r.BenchmarkBytes > 0;
    const bool play = r.DigitalPlay;
    if (bench || play) {
        if (bench && OnBenchmarkDone) OnBenchmarkDone(r);
        EndRun(r);
        return;
    }

    if (progress_ && progress_->Handle() && currentTrack_ >= 1 && currentTrack_ < LeadOutSlot) {
        doneSectors_ += RangeSectors(h_.Tracks->Slots[currentTrack_]);
        const int pct = totalSectors_ > 0 ? int(doneSectors_ * 100 / totalSectors_) : 100;
        progress_->ProgressBar2.SetPosition(pct > 100 ? 100 : pct);
    }
    AddReportRow(r);
    WriteTags(r);

    if (AbortFlag || c.MaxRetry < 0) {
        SendNotice(Text(MSG_SSTP_ABORT));
        EndRun(r);
        return;
    }
    const std::string fileOnly = SjisFileNameOnly(r.OutputFileName);
    std::string notice = Format(Text(MSG_SSTP_TRACK_DONE), currentTrack_, fileOnly.c_str());
    const std::uint32_t elapsed = ElapsedSeconds(startTick_, GetTickCount());
    const std::uint32_t audio = std::uint32_t(RangeSectors(h_.Tracks->Slots[currentTrack_]) / 75);
    elapsedSum_ += elapsed;
    audioSum_ += audio;
    notice += Format(Text(MSG_SSTP_TRACK_TIME), int(elapsed), SpeedRatio(audio, elapsed));

    TTransferRecord next = EmptyTransferRecord();
    int answer = 1;
    while (answer == 1) {
        ++currentTrack_;
        next = EmptyTransferRecord();
        answer = PrepareTransfer(currentTrack_, next);
    }
    if (answer == 0) {
        ++trackCount_;
        notice += Format(Text(MSG_SSTP_NEXT_TRACK), currentTrack_);
        const int remain = GetRemainTrack();
        notice += remain > 1 ? Format(Text(MSG_SSTP_REMAIN), remain) : Text(MSG_SSTP_LAST);
        SendNotice(notice);
        if (c.IsTrackWait.Checked) Sleep(3000);
        if (c.CheckBox13.Checked) {
            TDriveCommands cmds(*h_.Exec);
            cmds.StartSpinUp(Drive(), std::uint32_t(next.StartLba), [] { Application.ProcessMessages(); Sleep(2000); });
            if (AbortedBeforeThread(r)) return;
        }
        currentStartLba_ = next.StartLba;
        startTick_ = GetTickCount();
        StartThread(next);
        return;
    }
    if (answer == 2 || answer == 4) {
        // The track could not be started: the run ends there, and the end
        // message names it and every later track.
        failedTrack_ = currentTrack_;
        failedWhy_ = answer == 4 ? Format(Text(MSG_RIP_WHY_ENCODER), currentTrack_)
                     : prepareShown_ ? Format(Text(MSG_RIP_WHY_SPACE), currentTrack_, prepareWhy_.c_str())
                                     : Format(Text(MSG_RIP_WHY_OPEN), currentTrack_, prepareWhy_.c_str());
    }
    notice += Text(MSG_SSTP_END);
    const std::uint32_t sumElapsed = std::uint32_t(elapsedSum_);
    if (trackCount_ > 1)
        notice += Format(Text(MSG_SSTP_TOTAL), FormatSeconds(sumElapsed).c_str(),
                         SpeedRatio(std::uint32_t(audioSum_), sumElapsed));
    notice += Text(MSG_SSTP_BYE);
    SendNotice(notice);
    EndRun(r);
}

bool TRipControl::AbortedBeforeThread(const TTransferRecord& last) {
    if (!AbortFlag) return false;
    // A cancel while no thread ran: the next track never starts, and the
    // output opened for it is given up.
    if (h_.AcmDrv) h_.AcmDrv->Discard();
    SendNotice(Text(MSG_SSTP_ABORT));
    EndRun(last);
    return true;
}

void TRipControl::EndSession() {
    sessionEnded_ = true;
    if (!Busy()) return;
    Cancel();
    // The thread gives its output up when it sees the cancel; the output of
    // a track whose thread has not started yet goes here.
    if (thread_) thread_->WaitFor();
    if (h_.AcmDrv) h_.AcmDrv->Discard();
}

void TRipControl::RestoreDrive(int readCommand) {
    const TConfigStore& c = *h_.Config;
    if (!h_.Exec || !c.SelectedDevice()) return;
    TDriveCommands cmds(*h_.Exec);
    const TDriveAddress d = Drive();
    if (readCommand == rcToshiba || readCommand == rcExtend) cmds.RestoreMode(d);
    if (c.CheckBox2.Checked) {
        const int v = SpeedRestoreValue(spinBySetCdSpeed_, savedSpin_);
        if (v != NoSpeedRestore) cmds.SetSpinMode(d, v);
    }
}

void TRipControl::EndRun(const TTransferRecord& r) {
    const TConfigStore& c = *h_.Config;
    ending_ = true;
    if (mscdex_) MscdexClose();
    if (h_.StopWaveOut) h_.StopWaveOut();
    DiscStateFlag = true;
    Application.ProcessMessages();
    if (!mscdex_) {
        RestoreDrive(EffectiveReadCommand(c.ComboBox1.ItemIndex()));
        if (c.CheckBox7.Checked && UseAspi && h_.Aspi)
            ResetAspiDevice(*h_.Aspi, std::uint8_t(r.Adapter), std::uint8_t(r.Target));
    }
    mscdex_ = false;
    if (r.BenchmarkBytes > 0) {
        DispDrawOutStatus(false);
    } else if (r.DigitalPlay) {
        if (OnDigitalPlayEnd) OnDigitalPlayEnd();
        Application.Title = "Wendrix for Windows";
    } else {
        if (progress_ && progress_->Handle()) {
            progress_->Hide();
            progress_->Close();
        }
        DispDrawOutStatus(true);
    }
    if (h_.RefreshFiler) h_.RefreshFiler();
    if (r.BenchmarkBytes > 0) {
        // The benchmark window, which holds the result, comes back in front
        // of the main window once the end message is answered and the file
        // list is new (only while the program is the one in front).
        HWND bench = SpeedResult ? SpeedResult->Handle() : nullptr;
        if (bench && IsWindowVisible(bench) && h_.MainForm && GetForegroundWindow() == h_.MainForm->Handle())
            SetForegroundWindow(bench);
    }
    running_ = false;
    ending_ = false;
}

std::vector<std::string> TRipControl::NotRippedWhole(bool& onlyReadFailures) const {
    std::vector<std::string> lines;
    onlyReadFailures = failedTrack_ == 0;
    for (const TTransferRecord& x : results_) {
        if (x.ResultClass != rrNG) continue;
        if (x.OutputError.empty()) {
            lines.push_back(Format(Text(MSG_RIP_WHY_READ), int(x.TrackNumber)));
        } else {
            lines.push_back(Format(Text(MSG_RIP_WHY_WRITE), int(x.TrackNumber), x.OutputError.c_str()));
            onlyReadFailures = false;
        }
    }
    if (failedTrack_ > 0) {
        lines.push_back(failedWhy_);
        const TTrackTable& tt = *h_.Tracks;
        for (int track = failedTrack_ + 1; track <= tt.TrackCount && track < LeadOutSlot; ++track)
            if (tt.Slots[track].IsAudio && RowSelected(track - 1) && IsRippableRange(tt.Slots[track]))
                lines.push_back(Format(Text(MSG_RIP_WHY_NOT_TRIED), track));
    }
    return lines;
}

void TRipControl::DispDrawOutStatus(bool report) {
    Application.Title = "Wendrix for Windows";
    if (sessionEnded_) return;  // the session ends: no box waits for an answer
    const TConfigStore& c = *h_.Config;
    if (report && c.CheckBox18.Checked && report_) report_->ShowModal(h_.MainForm ? h_.MainForm->Handle() : nullptr);
    if (AbortFlag) {
        Ask(MB_OK | MB_ICONWARNING, Text(MSG_RIP_ABORTED));
        return;
    }
    // Every track that was not ripped whole is named, with the report shown
    // or not: read failures by number, others with their reason.
    bool onlyReadFailures = true;
    const std::vector<std::string> lines = NotRippedWhole(onlyReadFailures);
    if (lines.empty()) {
        Ask(MB_OK | MB_ICONINFORMATION, Text(MSG_RIP_FINISHED));
    } else if (onlyReadFailures) {
        std::string ng;
        for (const TTransferRecord& x : results_)
            if (x.ResultClass == rrNG)
                ng += (ng.empty() ? "" : Text(MSG_RIP_NG_TRACK_SEPARATOR)) + std::to_string(x.TrackNumber);
        Ask(MB_OK | MB_ICONWARNING, Format(Text(MSG_RIP_FINISHED_NG), ng.c_str()));
    } else {
        std::string text;
        for (const std::string& l : lines) text += (text.empty() ? "" : "\r") + l;
        Ask(MB_OK | MB_ICONWARNING, Format(Text(MSG_RIP_NOT_WHOLE), text.c_str()));
    }
}

}  // namespace wx
