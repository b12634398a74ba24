#include "extraction/wendrisub_win.h"

#include <algorithm>

#include "extraction/MSCDEXCALL.h"
#include "extraction/ripmethods.h"
#include "extraction/waveout.h"
#include "classlib/dialogs.h"
#include "output/acmmgr32.h"
#include "output/extencoder.h"
#include "settings/configstore.h"

namespace wx {

std::uint32_t TWinRipPlatform::TickCount() { return GetTickCount(); }

void TWinRipPlatform::Sleep(std::uint32_t ms) { ::Sleep(ms); }

void* TWinRipPlatform::NewEvent() { return ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

bool TWinRipPlatform::WaitEvent(void* event, std::uint32_t ms) {
    return WaitForSingleObject(static_cast<HANDLE>(event), ms) == WAIT_OBJECT_0;
}

void TWinRipPlatform::FreeEvent(void* event) {
    if (event) CloseHandle(static_cast<HANDLE>(event));
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

bool TWinRipPlatform::IsWindows9x() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

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
    if (run.Result == TFileEncoderResult::RenameFailed) ShowMessageBox(MsgRenameFailed, MB_OK | MB_ICONERROR);
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
