// What the two encoder components (GOGO and TwinVQ) share: their message
// numbers and thread priorities, the PCM ring between the writer and the
// worker, and the component base with its worker thread and the hidden
// window that receives the worker's reports.
//
// Nobody polls.  The writer and the worker wake each other through the
// ring's condition variables, which need no kernel object, and a writer
// that waits for room is woken only once half the ring is free, so a run
// costs a handful of wake-ups instead of one per block.  The
// component's own messages to the worker (start, stop, quit) also raise a
// flag the worker reads between frames, so the worker looks at its message
// queue when something is there instead of once per frame.  Each side
// copies its data outside the ring's lock, so neither waits for the
// other's copy, and progress reports go out only while a handler is there
// to receive them.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "classlib/component.h"
#include "classlib/win.h"
#include "output/fpucontrol.h"
#include "output/pcmring.h"

namespace wx {

// Thread messages from a component to its worker.
constexpr UINT WM_ENC_START = 0x500;
constexpr UINT WM_ENC_STOP = 0x501;
constexpr UINT WM_ENC_QUIT = 0x502;
// Window messages from the worker to the component's hidden window.
constexpr UINT WM_ENC_DONE = 0x600;
constexpr UINT WM_ENC_ERROR = 0x601;
constexpr UINT WM_ENC_FINISH = 0x602;
constexpr UINT WM_ENC_PROGRESS = 0x603;

// Worker priorities, in the order of the settings' priority numbers.
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
int WindowsThreadPriority(TThreadPriority p);

// The 1 MiB PCM ring of a component with its critical section.  The writer
// (the output driver) puts PCM in; the worker takes it out a frame at a
// time, waiting while the ring is short of a frame and the input has not
// ended.
class TEncoderRing {
public:
    static constexpr std::size_t kCapacity = TPcmRing::kCapacity;

    // Empty, and the end of the input not marked.
    void Clear();
    // A run begins (input is taken) and ends (nothing more is taken).
    void Open();
    void Close();
    // Ends the worker's wait for good, until the next Open: a stop, or the
    // component going away.
    void Interrupt();

    // The writer's side.  Write copies the bytes only when count is less
    // than the free space.  WaitForRoom waits until a block of count bytes
    // would fit, at most timeoutMs; false once the run has ended (the worker
    // takes nothing more).
    bool Write(const void* data, std::size_t count);
    void EndInput();
    bool WaitForRoom(std::size_t count, DWORD timeoutMs);

    // The worker's side (one thread): count bytes; after the end of the
    // input what is left, the rest zero-filled.  Returns the bytes taken (0
    // when the input has ended and the ring is empty), or -1 when
    // interrupted.
    long Take(void* out, std::size_t count);
    // Take without the copy where it can: when the count bytes lie in one
    // piece in the ring, *data points at them there; otherwise they are
    // copied to spare (count bytes, zero-filled after what there is) and
    // *data points at spare.  The bytes stay taken from the writer until
    // Release with the answer (the bytes taken).
    long Peek(std::size_t count, void* spare, const void** data);
    void Release(std::size_t took);

    std::size_t Used();

private:
    // Waits until count bytes are there or the input has ended; the bytes
    // there (at most count) and their position, or -1 when interrupted.
    long WaitForData(std::size_t count, uint32_t& at);
    // Whether the writer waits and now has room enough; forgets its wait.
    bool WriterNeedsWaking();

    // The data is copied in and out outside lock_, which guards only the
    // positions and the waits, so that neither side holds up the other
    // for the length of a copy.  writeLock_ keeps writers and Clear apart.
    TPcmRing ring_;
    TCriticalSection lock_;
    TCriticalSection writeLock_;
    TConditionVariable data_, room_;
    bool endOfInput_ = false;
    bool open_ = false;
    bool interrupted_ = false;
    std::size_t readerWant_ = 0;  // the worker waits for this many bytes
    std::size_t writerWant_ = 0;  // the writer waits for room for this many
};

// A hidden message-only window on the creating thread; every message goes
// to the handler, which returns false to leave it to the default procedure.
class TEncoderWindow {
public:
    using Handler = std::function<bool(UINT msg, WPARAM wp, LPARAM lp)>;
    explicit TEncoderWindow(Handler handler);
    ~TEncoderWindow();
    TEncoderWindow(const TEncoderWindow&) = delete;
    TEncoderWindow& operator=(const TEncoderWindow&) = delete;
    HWND Handle() const { return wnd_; }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND wnd_ = nullptr;
    Handler handler_;
};

// The base of both encoder components: the worker thread, the hidden window
// and the ring.  The worker runs the derived component's encoding a round
// at a time and reports to the window, which keeps IsEncoding and raises
// the events on the window's thread.
class TEncoderComponent : public TComponent {
public:
    ~TEncoderComponent() override;

    // Asks the worker to stop the run; nothing while not encoding.
    void Stop();
    // Appends PCM to the ring (false while it has no room for the block);
    // nullptr marks the end of the input.
    bool WritePCM(const void* data, int count);

    // For the writer: waits until a block of count bytes would fit, at
    // most timeoutMs; false when the run has ended and takes nothing more.
    bool WaitForRoom(int count, DWORD timeoutMs);
    // Waits until IsEncoding is false, at most timeoutMs (INFINITE for no
    // limit); handles the calling thread's messages meanwhile when the
    // hidden window belongs to it, since the reports arrive there.
    bool WaitUntilIdle(DWORD timeoutMs);

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority p);
    bool IsEncoding() const { return isEncoding_; }
    // The worker reported an error (WM_ENC_ERROR, whatever its code) during
    // the last run: its output is incomplete.
    bool ErrorReported() const { return errorReported_; }
    // The result of the last run: 0, or the code of its error.
    int ResultCode() const { return resultCode_; }
    bool Prepared() const { return prepared_; }

    // The hidden window's handle (the worker posts its reports there).
    HWND WindowHandle() const;
    // The worker's thread id (its messages go there).
    DWORD WorkerThreadId() const;

protected:
    explicit TEncoderComponent(TComponent* owner);

    // Makes the ring; raises std::bad_alloc when there is no memory.
    void AllocateRing();
    TEncoderRing& Ring() { return *ring_; }
    bool HasRing() const { return ring_ != nullptr; }
    // Creates the worker and the hidden window and starts the worker; the
    // derived constructor calls it once its library is loaded.  When that
    // fails, release gives the library back before the exception goes on.
    void StartWorker(void (*release)());
    // Ends the worker and destroys the window; the derived destructor calls
    // it first, while what the worker uses is still there.
    void EndWorker();
    bool HasWorker() const { return worker_ != nullptr; }

    // Start's common part: posts WM_ENC_START to the worker.  False when
    // the worker cannot be reached; IsEncoding is false again then.
    bool StartRun(WPARAM wp, LPARAM lp);
    // Raises the derived component's exception with a text of enctext.
    [[noreturn]] virtual void Raise(const char* text) const = 0;
    // Raises "busy" while encoding (every setting except the priority).
    void CheckIdle() const;

    // ---- on the worker thread ----
    // WM_ENC_START while idle: set the run up (the period and frame count
    // are the base's); the answer is the lParam of the first progress.
    virtual LPARAM BeginRun(WPARAM wp) = 0;
    // One round of the run: take input, encode, write.
    virtual void RunRound() = 0;
    // WM_ENC_STOP or WM_ENC_QUIT; false ends the worker at once.
    virtual bool StopMessage(bool quit) = 0;
    // The worker is ended from outside while a run lasts.
    virtual void EndOnTerminate() = 0;
    // The run's end: the control word and priority back, the ring closed,
    // WM_ENC_FINISH with how (0 done, -1 stopped or failed) when report.
    void EndRun(WPARAM how, bool report = true);
    // WM_ENC_ERROR with the error's code.
    void ReportError(WPARAM code);
    // Counts a frame and posts WM_ENC_PROGRESS every period.
    void CountFrame(LPARAM progressTotal);
    void PostReport(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
    bool Running() const { return running_; }
    int Frames() const { return frames_; }

    // ---- on the window's thread ----
    // The events, raised by the typed base below.
    virtual void Progressed(int now, int all) = 0;
    virtual void Failed(int code) = 0;
    virtual void Finished(bool aborted) = 0;
    // A run has ended (WM_ENC_ERROR or WM_ENC_FINISH), before the event.
    virtual void RunEnded() {}
    // Whether WritePCM takes PCM (the GOGO component in file mode does not).
    virtual bool TakesPcm() const { return true; }
    // Whether a progress handler is there; read by the worker, which posts
    // no progress report that nobody would receive.
    virtual bool ProgressWanted() const = 0;

    std::atomic<bool> prepared_{false};
    std::atomic<int> resultCode_{0};
    std::atomic<bool> stopRequested_{false};

private:
    class TWorker;
    void WorkerMain();
    bool TakeMessages();
    void PostToWorker(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
    bool HandleReport(UINT msg, WPARAM wp, LPARAM lp);

    std::unique_ptr<TEncoderRing> ring_;
    std::unique_ptr<TWorker> worker_;
    std::unique_ptr<TEncoderWindow> window_;
    THandle wake_;   // the idle worker's wake-up
    THandle idle_;   // set while not encoding
    THandle ready_;  // the worker has its message queue
    std::atomic<bool> messagesPosted_{false};
    TThreadPriority priority_ = TThreadPriority::tpIdle;
    std::atomic<bool> isEncoding_{false};
    std::atomic<bool> errorReported_{false};
    // The number of the latest run, counted by StartRun.  The worker's
    // error and finish carry the number of the run they end, so that the
    // answer to a stop that crossed a run's own end, arriving after the
    // next run began, does not end that one.
    std::atomic<LPARAM> run_{0};

    // The worker's own state.
    TFpuState workerFpu_;
    LPARAM workerRun_ = 0;  // the number of the run it works on or ended last
    bool running_ = false;
    int period_ = 100;
    int frames_ = 0;
    DWORD lastLook_ = 0;
};

// An event handler that another thread can ask about: whether one is
// assigned is kept in an atomic flag beside it.  Assigned and called like a
// std::function on the owner's thread.
template <class F>
class TWatchedEvent {
public:
    template <class G>
    TWatchedEvent& operator=(G&& handler) {
        handler_ = std::forward<G>(handler);
        assigned_.store(static_cast<bool>(handler_), std::memory_order_release);
        return *this;
    }
    explicit operator bool() const { return static_cast<bool>(handler_); }
    template <class... A>
    void operator()(A&&... args) const {
        handler_(std::forward<A>(args)...);
    }
    // From any thread.
    bool Assigned() const { return assigned_.load(std::memory_order_acquire); }

private:
    std::function<F> handler_;
    std::atomic<bool> assigned_{false};
};

// The base with the events typed for the component T.
template <class T>
class TEncoderComponentOf : public TEncoderComponent {
public:
    // The progress every period of frames.  While none is assigned the
    // worker posts no reports: one is a round trip through the window
    // system for both threads, and a fast encoder makes hundreds a minute.
    TWatchedEvent<void(T* sender, int nowFrames, int allFrames)> OnProgress;
    std::function<void(T* sender, int errorCode)> OnError;
    std::function<void(T* sender, bool isAborted)> OnFinish;

protected:
    using TEncoderComponent::TEncoderComponent;
    bool ProgressWanted() const override { return OnProgress.Assigned(); }
    void Progressed(int now, int all) override {
        if (OnProgress) OnProgress(static_cast<T*>(this), now, all);
    }
    void Failed(int code) override {
        if (OnError) OnError(static_cast<T*>(this), code);
    }
    void Finished(bool aborted) override {
        if (OnFinish) OnFinish(static_cast<T*>(this), aborted);
    }
};

// Texts of the components' exceptions (Shift-JIS).
namespace enctext {
inline constexpr char kGogoInit[] = "GOGO.DLL\x82\xf0\x8f\x89\x8a\xfa\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // GOGO.DLLを初期化できません.
inline constexpr char kBusy[] =
    "\x83G\x83\x93\x83R\x81[\x83h\x92\x86\x82\xc9\x90\xdd\x92\xe8\x82\xcd\x95\xcf\x8dX\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // エンコード中に設定は変更できません.
inline constexpr char kNoFpu[] = "FPU\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // FPUがありません
inline constexpr char kBadSettings[] =
    "\x90\xdd\x92\xe8\x82\xc9\x8c\xeb\x82\xe8\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7.";  // 設定に誤りがあります.
inline constexpr char kOutOfRange[] = "\x92l\x82\xaa\x94\xcd\x88\xcd\x8aO\x82\xc5\x82\xb7.";  // 値が範囲外です.
inline constexpr char kTvqInit[] =
    "TVQENC.DLL\x82\xf0\x8f\x89\x8a\xfa\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // TVQENC.DLLを初期化できません.
inline constexpr char kTvqWorkArea[] =
    "TVQENC.DLL\x82\xcc\x83\x8f\x81[\x83N\x83G\x83\x8a\x83"
    "A\x82\xf0\x8am\x95\xdb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1.";  // TVQENC.DLLのワークエリアを確保できません.
}  // namespace enctext

}  // namespace wx
