// The rip control of the main window: the rip command with its checks, the
// naming and overwrite checks, the drive preparation, the run (one request
// per track, one rip thread at a time, the progress window shown modally),
// the handlers of the rip thread's messages, the completion of each track
// (result row, tags, next track) and the end of the run (drive restored,
// report, final message).
//
// The main window owns one TRipControl and lends it what it needs through
// TRipHost; the handlers are bound to the main window with Attach.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "classlib/thread.h"
#include "extraction/DriveCmds.h"
#include "extraction/TrackTable.h"
#include "extraction/ripplan.h"
#include "extraction/transrec.h"
#include "extraction/wendrisub.h"

class TAcmDrv;

namespace wx {

class TExecuteAspiThread;
class TProgressForm;
class TWaveOutThread;
class TVerifyRslt;
class TWin32Aspi;

struct TRipHost {
    TForm* MainForm = nullptr;       // receives the rip thread's messages; owner of the windows
    TTrackTable* Tracks = nullptr;   // the track table (slots 1..n, lead-out 100)
    TListView* TrackList = nullptr;  // one row per track; column sub 5 shows the stem
    TConfigStore* Config = nullptr;
    TAcmDrv* AcmDrv = nullptr;
    TWin32Aspi* Aspi = nullptr;      // the ASPI transport when UseAspi
    TSrbExecutor* Exec = nullptr;    // drive commands on the transport in use
    bool WmaAvailable = false;       // the WMA writer library is loaded
    // The folder shown in the file list.
    std::function<std::string()> ListedFolder;
    // The media-change timer on or off.
    std::function<void(bool)> MediaTimer;
    // Reads the table of contents of the selected drive into the table and
    // the track list.
    std::function<void()> ReadToc;
    std::function<void()> RefreshFiler;
    // Stops test playback; clears its history (at the start of a rip); adds
    // a made file to it.
    std::function<void()> StopTestPlay;
    std::function<void()> ClearTestPlay;
    std::function<void(const std::string&)> AddTestPlayFile;
    // Sends one SSTP notice; false when the send failed, which silences
    // the rest of the run.
    std::function<bool(const std::string&)> SendMsgToPellora;
    // Opens the wave-out thread's device for a play or for monitoring
    // (device, pre-read, volume, play); false when the device cannot be
    // used.  Empty: no wave-out thread.  StopWaveOut posts its STOP.
    std::function<bool(int, int, int, bool)> OpenWaveOut;
    std::function<void()> StopWaveOut;
    // The wave-out thread the requests name.
    TWaveOutThread* WaveOut = nullptr;
    // Shows the CD player panel modally while a digital play runs.
    std::function<void()> ShowCDPlayer;
    // The rip context of each thread (read methods built elsewhere).
    std::function<TRipContext()> Context;
    // Told of the running rip thread (null when none runs) and of the
    // run-active flag.
    std::function<void(TThread*, bool)> RunState;
    // The system's free-space answer for a folder (a root "C:\" or any
    // folder, which may be a volume mounted there); -1 when unknown.
    std::function<std::int64_t(const std::string&)> DiskFree;
};

class TRipControl {
public:
    explicit TRipControl(TRipHost host);
    ~TRipControl();
    TRipControl(const TRipControl&) = delete;
    TRipControl& operator=(const TRipControl&) = delete;

    // What the main window lends; parts of it exist only after start-up.
    TRipHost& Host() { return h_; }

    // Binds WM_RIP_PROGRESS .. WM_RIP_LEVEL of the main window.
    void Attach(TForm& form);

    // The rip command.  fromFolderDrop: a drop on a folder or the folder
    // picker has set RipTargetFolder and asked already.  Ignored while a run
    // is on, except at its end: then it follows that run.
    void ToolRipStartClick(bool fromFolderDrop = false);
    // Digital play of the selected tracks: the drive checked and prepared,
    // then the play run.
    void DirectPlay();
    // A rip run, or a digital play run, from the first selected track.
    void TransferData(bool digitalPlay = false);
    // 0 ready, 1 skip this track, 3 past the last track (or no drive).
    int PrepareDigitalPlay(int track, TTransferRecord& r);
    // The end-of-play message: a drive time-out, a stop or the end.
    void DispDigitalPlayStatus();
    // 0 ready, 1 skip, 2 output failed or no disk space, 3 past the last
    // track, 4 the output driver could not be set up.
    int PrepareTransfer(int track, TTransferRecord& r);
    bool CheckExistsFiles(const std::string& folder);
    bool CheckCells();
    void SetFileNameToTrack(const std::string& name, int track);
    std::int64_t GetAllTrackFrames();
    std::int64_t GetDiskFree(int drive);  // 1 = "A"; -1 when unknown
    // The free space of the folder itself (it may be another volume than
    // its drive's root); -1 when unknown.
    std::int64_t GetFolderFree(const std::string& folder);
    bool isUseEmph(int track);
    bool GetEncoderOption(std::string& options);
    int GetRemainTrack();

    // Handlers of the rip thread's messages.
    void WMRipProgress(int percent, int track);
    void WMRipDone(TTransferRecord* result);
    void WMRipPhase(int phase);
    void WMRipStatus(char* text);
    void WMLevelMeter(std::uint32_t left, std::uint32_t right);
    void DispDrawOutStatus(bool report);

    // The progress window's cancel.
    void Cancel();
    // The session ends (logoff, shutdown): a run is cancelled at once, its
    // thread waited for, and the output it had open given up (an old file
    // it was to replace stays); the run then ends without a box.
    void EndSession();

    // State read by the main window and tests.
    bool Running() const { return running_; }
    // A rip command is under way, from its first question to the end of its
    // run (the drive's spin-up pauses included): the main window stays.
    bool Busy() const { return running_ || starting_ > 0; }
    bool AbortFlag = false;
    // A read of the drive timed out (WM_RIP_TIMEOUT) since the run began; the
    // end of a digital play and the benchmark report it.
    bool TimeoutFlag = false;
    bool DiscStateFlag = false;       // a failed start asks for a new look at the disc
    std::string RipTargetFolder;      // set by a drop on a folder or the folder picker
    std::string OutputFolder;         // with a trailing backslash
    bool TagFlag = false;
    TLevelRing LevelRing;
    TExecuteAspiThread* RipThread() const { return thread_.get(); }
    TProgressForm* ProgressForm() const { return progress_.get(); }
    TVerifyRslt* Report() const { return report_.get(); }
    // Every result record of the last run, in order.
    const std::vector<TTransferRecord>& Results() const { return results_; }
    int CurrentTrack() const { return currentTrack_; }
    std::int64_t TotalSectors() const { return totalSectors_; }
    std::int64_t DoneSectors() const { return doneSectors_; }
    // Called when the run has ended (tests, the benchmark writer).
    std::function<void()> OnRunEnd;
    // The benchmark window takes its result (SetResult); a digital play's
    // end closes the CD player panel.
    std::function<void(const TTransferRecord&)> OnBenchmarkDone;
    std::function<void()> OnDigitalPlayEnd;
    // The drive benchmark (the Tools menu): checks the disc, prepares the
    // drive, runs the benchmark request with the benchmark window shown
    // modally, and returns when the run is over.
    void StartBenchMark();
    // Marks a run that a benchmark or a digital play started elsewhere.
    void BeginForeignRun() { running_ = true; AbortFlag = false; TimeoutFlag = false; results_.clear(); }
    void SetRunThread(std::unique_ptr<TExecuteAspiThread> t);

private:
    // The media-change timer off for the length of a scope.
    class TMediaTimerPause {
    public:
        explicit TMediaTimerPause(TRipHost& h) : h_(h) {
            if (h_.MediaTimer) h_.MediaTimer(false);
        }
        ~TMediaTimerPause() {
            if (h_.MediaTimer) h_.MediaTimer(true);
        }
        TMediaTimerPause(const TMediaTimerPause&) = delete;
        TMediaTimerPause& operator=(const TMediaTimerPause&) = delete;

    private:
        TRipHost& h_;
    };

    TDriveAddress Drive() const;
    // Stops analog play on every drive of the list.
    void StopAnalogPlay();
    // A disc must answer twice (else the message and a new look at the
    // disc); then the drive's block mode and speed are set for the run.
    bool PrepareDrive();
    void SetDriveModes(TDriveCommands& cmds, const TDriveAddress& d, int kind);
    bool RowSelected(int row) const;
    int Rows() const;
    void StartRun(bool fromFolderDrop);
    void StartThread(const TTransferRecord& r);
    void EndRun(const TTransferRecord& r);
    void RestoreDrive(int readCommand);
    void AddReportRow(const TTransferRecord& r);
    void WriteTags(const TTransferRecord& r);
    std::string Text(unsigned id) const;
    void SendNotice(const std::string& notice);
    // Stops the run after a cancel that came while no thread ran (the
    // drive's spin-up): the track's open output is given up.
    bool AbortedBeforeThread(const TTransferRecord& last);
    // The lines of the end message: every selected track not ripped whole
    // and why; empty when all were.
    std::vector<std::string> NotRippedWhole(bool& onlyReadFailures) const;

    TRipHost h_;
    bool running_ = false;
    bool ending_ = false;     // the run's end: its report, end message and file list
    int starting_ = 0;        // a rip command before its run (questions, drive preparation)
    bool sessionEnded_ = false;  // the session ends: no run starts, a run ends without boxes
    // Why the last PrepareTransfer answered 2 or 4 (a box was shown already
    // for a disk-space refusal); the track a later preparation failed at.
    std::string prepareWhy_;
    bool prepareShown_ = false;
    int failedTrack_ = 0;
    std::string failedWhy_;
    int startAfterRun_ = -1;  // a start asked for at the end: -1 none, else fromFolderDrop
    bool mscdex_ = false;
    int overlap_ = 0;
    int currentTrack_ = 0;
    std::int32_t currentStartLba_ = 0;
    int savedSpin_ = -1;
    bool spinChanged_ = false;
    bool spinBySetCdSpeed_ = true;  // how the start set the speed
    bool sstp_ = false;  // the run's SSTP switch: UseSendStatus at the start, off after a failed send
    std::uint32_t startTick_ = 0;
    int trackCount_ = 0;
    std::uint64_t elapsedSum_ = 0, audioSum_ = 0;
    std::int64_t totalSectors_ = 0, doneSectors_ = 0;
    std::string encoderOption_;
    std::unique_ptr<TExecuteAspiThread> thread_;
    std::unique_ptr<TProgressForm> progress_;
    std::unique_ptr<TVerifyRslt> report_;
    std::vector<TTransferRecord> results_;
    TTransferRecord current_{};  // the request of the running track
};

// The texts SetResult puts into the benchmark window's labels, by label
// name ("NInSpeed", "NOutSpeed", "BInSpeed", "BOutSpeed", "MLength",
// "MInside", "MOutside"), from a benchmark's result record.
std::vector<std::pair<std::string, std::string>> SetResultTexts(const TTransferRecord& r);

// The drive that holds the disc of the track table (0 = A, or -1 to search)
// and the disc's identity: Path = letter + ":\track01.cda", MediaId the
// identity in upper-case hexadecimal.  Both empty without a CD drive or an
// audio disc.
void GetVolumeID(const TTrackTable& table, int driveIndex, std::string& path, std::string& mediaId);

// "%d秒" or "%d分%d秒" from the message table.
std::string FormatSeconds(std::uint32_t s);
// printf into a std::string.
std::string Format(const std::string& pattern, ...);

}  // namespace wx
