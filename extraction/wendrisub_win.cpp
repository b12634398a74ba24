#include "extraction/wendrisub_win.h"

#include <algorithm>
#include <cstring>

#include <mmsystem.h>

#include "extraction/MSCDEXCALL.h"
#include "extraction/ripmethods.h"
#include "extraction/waveout.h"
#include "classlib/dialogs.h"
#include "output/acmmgr32.h"
#include "output/extencoder.h"
#include "settings/configstore.h"

namespace wx {

// The multimedia clock: GetTickCount moves in steps of 10-16 ms on many
// systems, too coarse for the benchmark's timed areas.
std::uint32_t TWinRipPlatform::TickCount() { return timeGetTime(); }

void TWinRipPlatform::Sleep(std::uint32_t ms) { ::Sleep(ms); }

void* TWinRipPlatform::NewEvent() { return ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

bool TWinRipPlatform::WaitEvent(void* event, std::uint32_t ms) {
    return WaitForSingleObject(static_cast<HANDLE>(event), ms) == WAIT_OBJECT_0;
}

void TWinRipPlatform::FreeEvent(void* event) {
    if (event) CloseHandle(static_cast<HANDLE>(event));
}

void* TWinRipPlatform::NewManualEvent() { return ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }

void TWinRipPlatform::SignalEvent(void* event) {
    if (event) ::SetEvent(static_cast<HANDLE>(event));
}

void TWinRipPlatform::ClearEvent(void* event) {
    if (event) ::ResetEvent(static_cast<HANDLE>(event));
}

int TWinRipPlatform::WaitAnyEvent(void* const* events, int count, std::uint32_t ms) {
    if (count <= 0 || count > MAXIMUM_WAIT_OBJECTS) return -1;
    HANDLE h[MAXIMUM_WAIT_OBJECTS];
    for (int i = 0; i < count; ++i) h[i] = static_cast<HANDLE>(events[i]);
    const DWORD w = WaitForMultipleObjects(DWORD(count), h, FALSE, ms);
    if (w >= WAIT_OBJECT_0 && w < WAIT_OBJECT_0 + DWORD(count)) return int(w - WAIT_OBJECT_0);
    return -1;
}

void TWinRipPlatform::SetTimeCritical() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

bool TWinRipPlatform::SendOverlapped(int slot, SRB_ExecSCSICmd& srb, void* event) {
    if (slot < 0 || slot >= OverlappedHandles) return false;
    TOverlappedRequest& q = overlapped_[slot];
    // A request still outstanding on the handle is given up first: its
    // buffer must be the drive's no longer.
    if (q.Pending) CancelOverlapped(slot);
    q.Overlapped = OVERLAPPED{};
    q.Overlapped.hEvent = static_cast<HANDLE>(event);
    ::ResetEvent(q.Overlapped.hEvent);
    srb.SRB_Flags &= std::uint8_t(~SRB_EVENT_NOTIFY);
    if (!ClassDrvExecSRBOverlapped(slot, srb, q.Block, &q.Overlapped)) {
        ::SetEvent(q.Overlapped.hEvent);
        return false;
    }
    q.Pending = true;
    // A request that ended at once under a device layer that signals no
    // event is seen ended all the same.
    if (HasOverlappedIoCompleted(&q.Overlapped)) ::SetEvent(q.Overlapped.hEvent);
    return true;
}

void TWinRipPlatform::CompleteOverlapped(int slot, SRB_ExecSCSICmd& srb) {
    if (slot < 0 || slot >= OverlappedHandles) return;
    TOverlappedRequest& q = overlapped_[slot];
    if (!q.Pending) return;
    std::uint32_t transferred = 0;
    const bool ok = DeviceIo().OverlappedResult(ClassDrvOverlappedHandle(slot), &q.Overlapped, &transferred);
    if (!ok && !HasOverlappedIoCompleted(&q.Overlapped)) return;  // not ended yet
    q.Pending = false;
    std::memcpy(srb.SenseArea, q.Block.SenseBuf, std::min<std::size_t>(SENSE_LEN, sizeof q.Block.SenseBuf));
    if (ok) {
        srb.SRB_TargStat = q.Block.Sptd.ScsiStatus;
        srb.SRB_Status = SS_COMP;
    } else {
        srb.SRB_TargStat = STATUS_CHKCOND;
        srb.SRB_Status = SS_ERR;
    }
}

void TWinRipPlatform::CancelOverlapped(int slot) {
    if (slot < 0 || slot >= OverlappedHandles) return;
    TOverlappedRequest& q = overlapped_[slot];
    if (!q.Pending) return;
    HANDLE h = static_cast<HANDLE>(ClassDrvOverlappedHandle(slot));
    if (!HasOverlappedIoCompleted(&q.Overlapped)) {
        CancelIo(h);
        // Until the cancelled request has ended: then the drive no longer
        // writes into its buffer.
        DWORD got = 0;
        GetOverlappedResult(h, &q.Overlapped, &got, TRUE);
    }
    q.Pending = false;
}

void TWinRipPlatform::Post(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (PostMessageA(static_cast<HWND>(window), msg, WPARAM(wParam), LPARAM(lParam))) return;
    // Nobody took the message: what it hands over would be lost.
    if (msg == WM_RIP_STATUS) FreeStatusText(reinterpret_cast<char*>(lParam));
    if (msg == WM_RIP_DONE) FreeResultBlock(reinterpret_cast<TTransferRecord*>(lParam));
}

namespace {
class TFunctionThread : public TThread, public IRipWorker {
public:
    explicit TFunctionThread(std::function<void()> body) : body_(std::move(body)) {}
    void Join() override { WaitFor(); }

protected:
    void Execute() override { body_(); }

private:
    std::function<void()> body_;
};
}  // namespace

std::unique_ptr<IRipWorker> TWinRipPlatform::StartThread(std::function<void()> body) {
    auto t = std::make_unique<TFunctionThread>(std::move(body));
    t->Start();
    return t;
}

bool TWinRipPlatform::IsWindows9x() { return ::wx::IsWindows9x(); }

std::uint32_t TWinRipPlatform::MscdexReadSectors(void* dest, std::int32_t lba, std::int32_t count) {
    // One call of the library carries at most 27 sectors: larger reads go
    // in pieces, and the first failing piece is the answer.
    auto* p = static_cast<std::uint8_t*>(dest);
    std::uint32_t status = MscdexReadOk;
    for (std::int32_t done = 0; done < count && status == MscdexReadOk;) {
        std::int32_t n = std::min(count - done, MscdexMaxSectors);
        status = wx::MscdexReadSectors(p ? p + std::size_t(done) * SectorBytes : nullptr, lba + done, n);
        done += n;
    }
    return status;
}

std::int32_t TWinRipPlatform::MscdexSearchStartPoint(std::int32_t lba) { return wx::MscdexSearchStartPoint(lba); }

bool TWinRipPlatform::FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool TWinRipPlatform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

int RipThreadPriority(std::int32_t value) {
    static const int scale[7] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                 THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                 THREAD_PRIORITY_TIME_CRITICAL};
    int i = 3 + int(std::clamp<std::int32_t>(value, -3, 3)) + (value > 0 ? 1 : 0);
    return scale[std::clamp(i, 0, 6)];
}

bool TAcmDrvOutput::Write(const void* data, std::uint32_t length) {
    return driver_ && driver_->Write(data, length);
}

bool TAcmDrvOutput::Close() { return driver_ && driver_->Close(); }

void TAcmDrvOutput::Discard() {
    if (driver_) driver_->Discard();
}

std::string TAcmDrvOutput::ErrorText() const { return driver_ ? driver_->ErrorText() : std::string(); }

const char* const MsgExternalEncoding =
    "\x8a\x4f\x95\x94\xb4\xdd\xba\xb0\xc0\xde\x82\xc9\x82\xe6\x82\xe9\x88\xb3\x8f\x6b\x82\xcc\x8e\xc0\x8d\x73\x92\x86\x2e";
const char* const MsgRenameFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc\x82\xcc\x95\xcf\x8d\x58\x82\xaa\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
    "\x82\xc5\x82\xb5\x82\xbd";

bool RunExternalEncoder(TRipEngine& e) {
    TTransferRecord& r = e.Request();
    TFileEncoderJob job;
    job.Program = r.EncoderProgram;
    job.Options = r.EncoderOptions;
    job.SourceFile = r.WorkFolder + "wendri_pass0.wav";
    job.OutputFile = r.OutputFileName;
    job.MinSourceBytes = r.BurstRead ? 520000 : 2396;
    TFileEncoderRun run = RunFileEncoder(job, [&e] { return e.Aborted(); }, [&e] {
        e.PostProgress(-1);
        e.PostPhase(RipPhaseConverting);
        e.PostStatusText(MsgExternalEncoding);
    });
    if (!run.Parameters.empty()) r.EncoderOptions = run.Parameters;
    // The reason goes to the end of the run's message.
    switch (run.Result) {
    case TFileEncoderResult::Done:
    case TFileEncoderResult::Aborted: break;
    case TFileEncoderResult::RenameFailed:
        // The finished file is kept under its temporary name: say where.
        e.SetOutputError(run.TempKept ? std::string(MsgRenameFailed) + " (" + run.TempFile + ")" : MsgRenameFailed);
        break;
    case TFileEncoderResult::StartFailed: e.SetOutputError(MsgEncoderStart); break;
    case TFileEncoderResult::EncoderFailed:
        e.SetOutputError(std::string(MsgEncoderError) + " (" + std::to_string(run.ExitCode) + ")");
        break;
    case TFileEncoderResult::SourceMissing:
    case TFileEncoderResult::SourceTooShort:
    case TFileEncoderResult::NoTempName: e.SetOutputError(MsgCreateFailed); break;
    }
    return run.Result == TFileEncoderResult::Done;
}

TExecuteAspiThread::TExecuteAspiThread(const TTransferRecord& request, TRipContext context) {
    if (!context.ExternalEncoder) context.ExternalEncoder = &RunExternalEncoder;
    // The program's temporary store, normalizer and read methods.
    UseProgramRipServices(context);
    if (!context.RipCache) {
        // The rip memory block the settings store reserved.
        context.RipCache = static_cast<std::uint8_t*>(RipCacheBuffer.Address);
        context.RipCacheSize = RipCacheBuffer.Address ? RipCacheBuffer.Size : 0;
    }
    if (!context.Platform) context.Platform = &platform_;
    if (request.WaveOutThread && !context.MonitorPut) {
        // A monitored rip hands every block to the wave-out thread, which
        // drops what does not fit.
        TWaveOutThread* w = request.WaveOutThread;
        context.MonitorReset = [w] { w->ResetMonitor(); };
        context.MonitorPut = [w](const void* p, std::uint32_t n) { w->PutData(p, n, 0); };
    }
    if (!context.Output && request.OutputDriver) {
        output_ = std::make_unique<TAcmDrvOutput>(request.OutputDriver);
        context.Output = output_.get();
    }
    engine_ = std::make_unique<TRipEngine>(request, context, [this] { return Terminated(); });
    SetPriority(RipThreadPriority(request.ThreadPriority));
    Start();
}

TExecuteAspiThread::~TExecuteAspiThread() {
    Terminate();
    WaitFor();
}

void TExecuteAspiThread::Execute() { engine_->Execute(); }

}  // namespace wx
