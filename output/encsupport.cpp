#include "output/encsupport.h"

#include <algorithm>
#include <cstring>

#include "classlib/exceptions.h"
#include "classlib/thread.h"

namespace wx {

int WindowsThreadPriority(TThreadPriority p) {
    switch (p) {
    case TThreadPriority::tpIdle: return THREAD_PRIORITY_IDLE;
    case TThreadPriority::tpLowest: return THREAD_PRIORITY_LOWEST;
    case TThreadPriority::tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case TThreadPriority::tpNormal: return THREAD_PRIORITY_NORMAL;
    case TThreadPriority::tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case TThreadPriority::tpHighest: return THREAD_PRIORITY_HIGHEST;
    case TThreadPriority::tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

// ---------------------------------------------------------------------------
// The ring

namespace {
// A writer waiting for room is woken once half the ring is free, so that it
// writes many blocks before it waits again.  (A worker waiting for PCM is
// woken as soon as a frame is there: the writer is the slower side then,
// and the worker's wake-ups cost it nothing.)
constexpr std::size_t kRoomWakeLevel = TEncoderRing::kCapacity / 2;
}  // namespace

void TEncoderRing::Clear() {
    TCriticalSection::Lock writing(writeLock_);
    TCriticalSection::Lock lock(lock_);
    ring_.Clear();
    endOfInput_ = false;
}

void TEncoderRing::Open() {
    TCriticalSection::Lock lock(lock_);
    open_ = true;
    interrupted_ = false;
}

void TEncoderRing::Close() {
    {
        TCriticalSection::Lock lock(lock_);
        open_ = false;
        writerWant_ = 0;
    }
    room_.WakeAll();
}

void TEncoderRing::Interrupt() {
    {
        TCriticalSection::Lock lock(lock_);
        interrupted_ = true;
        readerWant_ = 0;
    }
    data_.WakeAll();
}

bool TEncoderRing::Write(const void* data, std::size_t count) {
    if (count == 0 || !data) return false;
    // One writer at a time, and no Clear while the block is copied in.
    TCriticalSection::Lock writing(writeLock_);
    uint32_t at;
    {
        TCriticalSection::Lock lock(lock_);
        if (count >= ring_.Free()) return false;
        at = ring_.WritePos();
    }
    // The worker reads only up to the write position: the copy into the
    // free space goes on while it takes frames.
    ring_.CopyInAt(at, data, static_cast<uint32_t>(count));
    bool wake = false;
    {
        TCriticalSection::Lock lock(lock_);
        ring_.CommitWrite(static_cast<uint32_t>(count));
        if (readerWant_ != 0 && ring_.Used() >= readerWant_) {
            readerWant_ = 0;
            wake = true;
        }
    }
    if (wake) data_.Wake();
    return true;
}

void TEncoderRing::EndInput() {
    {
        TCriticalSection::Lock lock(lock_);
        endOfInput_ = true;
        readerWant_ = 0;
    }
    data_.WakeAll();
}

bool TEncoderRing::WaitForRoom(std::size_t count, DWORD timeoutMs) {
    TCriticalSection::Lock lock(lock_);
    if (open_ && count >= ring_.Free()) {
        writerWant_ = count;
        room_.Wait(lock_, timeoutMs);
        writerWant_ = 0;
    }
    return open_;
}

bool TEncoderRing::WriterNeedsWaking() {
    if (writerWant_ != 0 && ring_.Free() > std::max(writerWant_, kRoomWakeLevel)) {
        writerWant_ = 0;
        return true;
    }
    return false;
}

long TEncoderRing::WaitForData(std::size_t count, uint32_t& at) {
    TCriticalSection::Lock lock(lock_);
    for (;;) {
        if (interrupted_) return -1;
        const std::size_t used = ring_.Used();
        if (used >= count || endOfInput_) {
            at = ring_.ReadPos();
            return long(std::min(used, count));
        }
        // A writer waiting for room gets it before the worker sleeps.
        if (WriterNeedsWaking()) room_.Wake();
        readerWant_ = count;
        data_.Wait(lock_);
        readerWant_ = 0;
    }
}

// The writer fills only the free space: the worker reads the used space
// while it writes, and frees it afterwards.
long TEncoderRing::Take(void* out, std::size_t count) {
    uint32_t at = 0;
    const long took = WaitForData(count, at);
    if (took < 0) return took;
    ring_.CopyOutAt(at, out, static_cast<uint32_t>(took));
    std::memset(static_cast<unsigned char*>(out) + took, 0, count - std::size_t(took));
    Release(std::size_t(took));
    return took;
}

long TEncoderRing::Peek(std::size_t count, void* spare, const void** data) {
    uint32_t at = 0;
    const long took = WaitForData(count, at);
    if (took < 0) return took;
    const unsigned char* here = std::size_t(took) == count ? ring_.InOnePiece(at, static_cast<uint32_t>(count)) : nullptr;
    if (here) {
        *data = here;
    } else {
        ring_.CopyOutAt(at, spare, static_cast<uint32_t>(took));
        std::memset(static_cast<unsigned char*>(spare) + took, 0, count - std::size_t(took));
        *data = spare;
    }
    return took;
}

void TEncoderRing::Release(std::size_t took) {
    bool wake;
    {
        TCriticalSection::Lock lock(lock_);
        ring_.CommitRead(static_cast<uint32_t>(took));
        wake = WriterNeedsWaking();
    }
    if (wake) room_.Wake();
}

std::size_t TEncoderRing::Used() {
    TCriticalSection::Lock lock(lock_);
    return ring_.Used();
}

// ---------------------------------------------------------------------------
// The hidden window

namespace {
constexpr char kClassName[] = "WendrixEncoderWindow";

void RegisterOnce() {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    done = true;
}
}  // namespace

TEncoderWindow::TEncoderWindow(Handler handler) : handler_(std::move(handler)) {
    RegisterOnce();
    wnd_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!wnd_) throw EOSError("CreateWindowEx: " + SysErrorMessage(GetLastError()), GetLastError());
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(wnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TEncoderWindow::Proc));
}

TEncoderWindow::~TEncoderWindow() {
    if (wnd_) {
        SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
        DestroyWindow(wnd_);
    }
}

LRESULT CALLBACK TEncoderWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TEncoderWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && self->handler_ && self->handler_(msg, wp, lp)) return 0;
    return DefWindowProcA(wnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------
// The component

namespace {
// While a run lasts, the worker looks at its queue when the component has
// posted to it, and besides at least this often, for messages others post.
constexpr DWORD kQueueLookMs = 250;

HANDLE NewEvent(bool manualReset, bool set) {
    HANDLE h = CreateEventA(nullptr, manualReset, set, nullptr);
    if (!h) throw EOSError("CreateEvent: " + SysErrorMessage(GetLastError()), GetLastError());
    return h;
}
}  // namespace

class TEncoderComponent::TWorker : public TThread {
public:
    explicit TWorker(TEncoderComponent& owner) : owner_(owner) {}

protected:
    void Execute() override { owner_.WorkerMain(); }

private:
    TEncoderComponent& owner_;
};

TEncoderComponent::TEncoderComponent(TComponent* owner)
    : TComponent(owner), wake_(NewEvent(false, false)), idle_(NewEvent(true, true)), ready_(NewEvent(true, false)) {}

TEncoderComponent::~TEncoderComponent() { EndWorker(); }

void TEncoderComponent::AllocateRing() { ring_ = std::make_unique<TEncoderRing>(); }

void TEncoderComponent::StartWorker(void (*release)()) {
    try {
        worker_ = std::make_unique<TWorker>(*this);
        window_ = std::make_unique<TEncoderWindow>([this](UINT m, WPARAM w, LPARAM l) { return HandleReport(m, w, l); });
    } catch (...) {
        worker_.reset();  // never started: ends at once
        release();
        throw;
    }
    worker_->Start();
    WaitForSingleObject(ready_.Get(), INFINITE);
}

void TEncoderComponent::EndWorker() {
    if (worker_) {
        // The quit message, then the end: whichever the worker sees first
        // ends it, and nothing it waits for can hold it.
        PostToWorker(WM_ENC_QUIT);
        worker_->Terminate();
        if (ring_) ring_->Interrupt();
        SetEvent(wake_.Get());
        worker_->WaitFor();
        worker_.reset();
    }
    window_.reset();
}

void TEncoderComponent::PostToWorker(UINT msg, WPARAM wp, LPARAM lp) {
    if (!worker_) return;
    PostThreadMessageA(worker_->ThreadId(), msg, wp, lp);
    messagesPosted_ = true;
    SetEvent(wake_.Get());
}

bool TEncoderComponent::StartRun(WPARAM wp, LPARAM lp) {
    resultCode_ = 0;
    stopRequested_ = false;
    if (worker_) worker_->SetPriority(WindowsThreadPriority(priority_));
    errorReported_ = false;
    if (ring_) ring_->Open();
    ResetEvent(idle_.Get());
    ++run_;
    isEncoding_ = true;
    if (!worker_ || !PostThreadMessageA(worker_->ThreadId(), WM_ENC_START, wp, lp)) {
        // The worker is gone: nothing would ever end this run.
        isEncoding_ = false;
        SetEvent(idle_.Get());
        if (ring_) ring_->Close();
        return false;
    }
    messagesPosted_ = true;
    SetEvent(wake_.Get());
    return true;
}

void TEncoderComponent::Stop() {
    if (!isEncoding_) return;
    PostToWorker(WM_ENC_STOP);
    stopRequested_ = true;
    // A worker waiting for PCM that will not come gets going.
    if (ring_) ring_->Interrupt();
}

bool TEncoderComponent::WritePCM(const void* data, int count) {
    if (!TakesPcm()) return true;
    if (!data) {
        ring_->EndInput();
        return true;
    }
    if (count <= 0) return count == 0;
    return ring_->Write(data, static_cast<std::size_t>(count));
}

bool TEncoderComponent::WaitForRoom(int count, DWORD timeoutMs) {
    if (!ring_ || count <= 0) return isEncoding_;
    return ring_->WaitForRoom(static_cast<std::size_t>(count), timeoutMs);
}

bool TEncoderComponent::WaitUntilIdle(DWORD timeoutMs) {
    const bool pump = window_ && GetWindowThreadProcessId(window_->Handle(), nullptr) == GetCurrentThreadId();
    const DWORD start = GetTickCount();
    while (isEncoding_) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) return false;
            left = timeoutMs - spent;
        }
        HANDLE idle = idle_.Get();
        if (!pump) {
            WaitForSingleObject(idle, left);
            continue;
        }
        if (MsgWaitForMultipleObjects(1, &idle, FALSE, left, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
    }
    return true;
}

void TEncoderComponent::SetPriority(TThreadPriority p) {
    priority_ = p;
    if (worker_) worker_->SetPriority(WindowsThreadPriority(p));
}

void TEncoderComponent::CheckIdle() const {
    if (isEncoding_) Raise(enctext::kBusy);
}

HWND TEncoderComponent::WindowHandle() const { return window_ ? window_->Handle() : nullptr; }
DWORD TEncoderComponent::WorkerThreadId() const { return worker_ ? worker_->ThreadId() : 0; }

bool TEncoderComponent::HandleReport(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ENC_ERROR:
    case WM_ENC_FINISH:
        if (lp != run_) return true;  // the end of a run before this one
        if (msg == WM_ENC_ERROR) {
            errorReported_ = true;
            resultCode_ = static_cast<int>(wp);
        }
        isEncoding_ = false;
        prepared_ = false;
        SetEvent(idle_.Get());
        RunEnded();
        if (msg == WM_ENC_ERROR)
            Failed(static_cast<int>(wp));
        else
            Finished(wp != 0);
        return true;
    case WM_ENC_PROGRESS:
        Progressed(static_cast<int>(wp), static_cast<int>(lp));
        return true;
    }
    return false;
}

// ---- the worker ----

void TEncoderComponent::WorkerMain() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    workerFpu_ = GetFpuState();
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue for thread messages
    SetEvent(ready_.Get());
    while (!worker_->Terminated()) {
        if (!running_ || messagesPosted_.load(std::memory_order_relaxed) || GetTickCount() - lastLook_ >= kQueueLookMs) {
            if (!TakeMessages()) return;
        }
        if (running_) {
            RunRound();
            continue;
        }
        HANDLE wake = wake_.Get();
        MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
    }
    if (running_) EndOnTerminate();
}

bool TEncoderComponent::TakeMessages() {
    messagesPosted_ = false;
    lastLook_ = GetTickCount();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd) {
            DispatchMessageA(&msg);
            continue;
        }
        switch (msg.message) {
        case WM_ENC_START:
            if (!running_) {
                period_ = msg.lParam > 0 ? static_cast<int>(msg.lParam) : 100;
                frames_ = 0;
                workerRun_ = run_;
                const LPARAM total = BeginRun(msg.wParam);
                running_ = true;
                SetEncoderFpuState();
                PostReport(WM_ENC_PROGRESS, 0, total);
            }
            break;
        case WM_ENC_STOP:
        case WM_ENC_QUIT:
            if (!StopMessage(msg.message == WM_ENC_QUIT)) return false;
            break;
        }
    }
    return true;
}

void TEncoderComponent::EndRun(WPARAM how, bool report) {
    RestoreFpuState(workerFpu_);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    // A stop answered while idle leaves the ring alone: it may already
    // belong to the next run.
    if (running_ && ring_) ring_->Close();
    running_ = false;
    frames_ = 0;
    if (report) PostReport(WM_ENC_FINISH, how, workerRun_);
}

void TEncoderComponent::ReportError(WPARAM code) { PostReport(WM_ENC_ERROR, code, workerRun_); }

void TEncoderComponent::CountFrame(LPARAM progressTotal) {
    ++frames_;
    if (frames_ % period_ == 0) PostReport(WM_ENC_PROGRESS, static_cast<WPARAM>(frames_), progressTotal);
}

void TEncoderComponent::PostReport(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ENC_PROGRESS && !ProgressWanted()) return;
    if (window_) PostMessageA(window_->Handle(), msg, wp, lp);
}

}  // namespace wx
