#include "output/gogotea.h"

#include <cstring>

#include "classlib/thread.h"
#include "output/fpucontrol.h"

namespace wx {

std::atomic<TGogoTea*> ActiveGogoTea{nullptr};

namespace {
constexpr MERET kLibraryFault = 10;  // an exception inside the library

MERET CallFrame() {
    try {
        return Gogo.processFrame();
    } catch (...) {
        return kLibraryFault;
    }
}

void EndCoder() {
    try {
        Gogo.closeCoder();
        Gogo.endCoder();
    } catch (...) {
    }
}
}  // namespace

// The worker: runs the library's frame loop while an encoding lasts and
// reports to the component's hidden window.
class TGogoTea::TEncodeThread : public TThread {
public:
    TEncodeThread(TGogoTea& owner) : owner_(owner), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    HWND Wnd = nullptr;

    // Waits until the thread has its message queue.
    void WaitReady() { WaitForSingleObject(ready_.Get(), 10000); }

protected:
    void Execute() override {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        const TFpuState defaultFpu = GetFpuState();
        EnsureMessageQueue();
        SetEvent(ready_.Get());

        bool encoding = false;
        uint32_t period = 100, allFrames = 0, frames = 0;
        auto post = [this](UINT msg, WPARAM wp = 0, LPARAM lp = 0) { PostMessageA(Wnd, msg, wp, lp); };
        auto finish = [&](WPARAM how) {
            EndCoder();
            RestoreFpuState(defaultFpu);
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
            encoding = false;
            frames = 0;
            post(WM_ENC_FINISH, how);
        };

        while (!Terminated()) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd) {
                    DispatchMessageA(&msg);
                    continue;
                }
                switch (msg.message) {
                case WM_ENC_START:
                    if (!encoding) {
                        period = msg.lParam > 0 ? static_cast<uint32_t>(msg.lParam) : 100;
                        allFrames = static_cast<uint32_t>(msg.wParam);
                        frames = 0;
                        encoding = true;
                        SetEncoderFpuState();
                        post(WM_ENC_PROGRESS, 0, allFrames);
                    }
                    break;
                case WM_ENC_STOP:
                case WM_ENC_QUIT:
                    if (encoding) {
                        EndCoder();
                        RestoreFpuState(defaultFpu);
                    }
                    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
                    encoding = false;
                    frames = 0;
                    if (msg.message == WM_ENC_QUIT) return;
                    post(WM_ENC_FINISH, static_cast<WPARAM>(-1));
                    break;
                }
            }
            if (!encoding) {
                WaitForMessage(100);
                continue;
            }
            // A stop is on its way: the read callback has cut the input, so
            // no more frames; the stop message ends the encoder.
            if (owner_.stopRequested_) {
                WaitForMessage(1);
                continue;
            }
            const MERET r = CallFrame();
            ++frames;
            if (owner_.stopRequested_) continue;
            if (r == 0) {
                if (frames % period == 0) post(WM_ENC_PROGRESS, frames, allFrames);
                continue;
            }
            if (r == 1) {
                post(WM_ENC_DONE);
                post(WM_ENC_PROGRESS, allFrames, allFrames);
            } else {
                post(WM_ENC_ERROR, r);
            }
            Sleep(10);
            finish(r == 1 ? 0 : static_cast<WPARAM>(-1));
        }
        // Ended from outside while encoding: the file is cut short, so the
        // run is reported as aborted.
        if (encoding) {
            finish(static_cast<WPARAM>(-1));
            Sleep(1);
        }
    }

private:
    TGogoTea& owner_;
    THandle ready_;
};

// The library reads PCM through here on the worker thread.  It waits for
// the writer while the ring is short of a full request and the input has
// not ended; a component going away or a stop ends the input.
int __cdecl GogoReadCallback(void* buffer, unsigned long count) {
    TGogoTea* g = ActiveGogoTea.load();
    if (!g) return 1;
    for (;;) {
        if (!g->alive_ || g->stopRequested_) return 1;
        {
            TCriticalSection::Lock lock(g->lock_);
            if (g->ring_->ReadExact(buffer, count)) return 0;
            if (g->endOfInput_) return g->ring_->ReadAvailable(buffer, count) > 0 ? 0 : 1;
        }
        Sleep(1);
    }
}

TGogoTea::TGogoTea(TComponent* owner) : TComponent(owner) {
    ActiveGogoTea = nullptr;
    extFilter_ = std::make_unique<TExtFilter>();
    vbrBitrate_ = std::make_unique<TVBRBitrate>();
    msSetting_ = std::make_unique<TMSSetting>();
    Reset();
    if (!LoadGogoDll()) throw EGogoTeaError(enctext::kGogoInit);
    libraryLoaded_ = true;
    dllPath_ = GogoDllPath();
    try {
        thread_ = std::make_unique<TEncodeThread>(*this);
        window_ = std::make_unique<TEncoderWindow>([this](UINT m, WPARAM w, LPARAM l) { return HandleMessage(m, w, l); });
    } catch (...) {
        thread_.reset();
        UnloadGogoDll();
        libraryLoaded_ = false;
        throw;
    }
    thread_->Wnd = window_->Handle();
    ActiveGogoTea = this;
    alive_ = true;
    thread_->Start();
    thread_->WaitReady();
}

TGogoTea::~TGogoTea() {
    alive_ = false;
    if (thread_) {
        PostThreadMessageA(thread_->ThreadId(), WM_ENC_QUIT, 0, 0);
        Sleep(200);
        thread_->Terminate();
        thread_->WaitFor();
        thread_.reset();
    }
    window_.reset();
    // Prepared but never started: the library still holds the output open.
    if (prepared_ && !isEncoding_ && libraryLoaded_) EndCoder();
    if (libraryLoaded_) UnloadGogoDll();
    TGogoTea* self = this;
    ActiveGogoTea.compare_exchange_strong(self, nullptr);
}

void TGogoTea::Reset() {
    CheckIdle();
    priority_ = TThreadPriority::tpIdle;
    allFrames_ = 0;
    frequency_ = 100;
    sourceFile_.clear();
    destinationFile_.clear();
    processors_ = 1;
    emphasis_ = TEmphasis::_NO_EMPH;
    usePsy_ = useLpf_ = useVbr_ = false;
    vbrLevel_ = 5;
    optimization_ = {TUseUnit::_USE_MMX, TUseUnit::_USE_3DNOW, TUseUnit::_USE_KNI, TUseUnit::_USE_EX_3DNOW};
    encodeFormat_ = TEncodeFormat::_FORMAT_OF_MP3;
    encodeMode_ = TEncodeMode::_FILE;
    encodeType_ = TEncodeType::_JOINT;
    encodeResult_ = 0;
    forceSameRate_ = false;
    bitRate_ = 128;
    *extFilter_ = TExtFilter{};
    *vbrBitrate_ = TVBRBitrate{};
    *msSetting_ = TMSSetting{};
    {
        TCriticalSection::Lock lock(lock_);
        if (!ring_) ring_ = std::make_unique<TPcmRing>();
        ring_->Clear();
        endOfInput_ = false;
    }
    ClearChunks();
}

void TGogoTea::AddChunk(int size, const void* data) {
    if (size <= 0 || !data) throw EGogoTeaError(enctext::kOutOfRange);
    const auto* b = static_cast<const unsigned char*>(data);
    chunks_.emplace_back(b, b + size);
}

void TGogoTea::ClearChunks() { chunks_.clear(); }

void TGogoTea::Prepare() {
    if (isEncoding_ || prepared_) throw EGogoTeaError(enctext::kBusy);
    {
        TCriticalSection::Lock lock(lock_);
        endOfInput_ = false;
    }
    encodeResult_ = static_cast<int>(Gogo.initializeWork());
    if (encodeResult_ != 0) throw EGogoTeaError(enctext::kNoFpu);

    preparedSource_ = sourceFile_;
    preparedDestination_ = destinationFile_;
    memoryInput_ = TGogoMemoryInput{&GogoReadCallback, 0xFFFFFFFFu, 16, 44100, 2};

    TGogoConfigInput in;
    in.EncodeMode = encodeMode_;
    in.MemoryInputRecord = reinterpret_cast<uintptr_t>(&memoryInput_);
    in.SourceFileName = reinterpret_cast<uintptr_t>(preparedSource_.c_str());
    in.DestinationFileName = reinterpret_cast<uintptr_t>(preparedDestination_.c_str());
    in.UsePsyAnalize = usePsy_;
    in.BitRate = bitRate_;
    in.UseLPF = useLpf_;
    in.UseVBR = useVbr_;
    in.VBRLevel = vbrLevel_;
    in.UnitStates = UnitStates();
    // Units the processor lacks are dropped from the setting itself.
    optimization_ = SupportedUnits(optimization_, in.UnitStates);
    in.Optimization = optimization_;
    in.Emphasis = emphasis_;
    in.EncodeType = encodeType_;
    in.Processors = processors_;
    in.ForceSameRate = forceSameRate_;
    in.VersionCode = VersionCode();
    in.ExtFilter = {extFilter_->Enabled, extFilter_->Low, extFilter_->High};
    in.VBRBitrate = {vbrBitrate_->Enabled, vbrBitrate_->Low, vbrBitrate_->High};
    in.MSSetting = {msSetting_->Enabled, msSetting_->Threshold, msSetting_->Power};
    in.EncodeFormat = encodeFormat_;
    for (const auto& c : chunks_) in.Chunks.push_back({c.size(), reinterpret_cast<uintptr_t>(c.data())});
    for (const TGogoSetCall& call : BuildGogoConfigure(in)) Gogo.setConfigure(call.Id, call.Param1, call.Param2);
    ClearChunks();

    try {
        encodeResult_ = static_cast<int>(Gogo.detectConfigure());
    } catch (...) {
        encodeResult_ = static_cast<int>(kLibraryFault);
    }
    if (encodeResult_ != 0) {
        prepared_ = false;
        throw EGogoTeaError(enctext::kBadSettings);
    }
    {
        TCriticalSection::Lock lock(lock_);
        ring_->Clear();
    }
    uint32_t frames = 0;
    Gogo.getConfigure(kGogoGetFrameCount, &frames);
    allFrames_ = static_cast<int>(frames);
    prepared_ = true;
}

void TGogoTea::Start() {
    if (encodeMode_ == TEncodeMode::_FILE) Prepare();
    encodeResult_ = 0;
    stopRequested_ = false;
    thread_->SetPriority(WindowsThreadPriority(priority_));
    errorReported_ = false;
    isEncoding_ = true;
    if (!PostThreadMessageA(thread_->ThreadId(), WM_ENC_START, static_cast<WPARAM>(allFrames_), frequency_)) {
        // The worker is gone: nothing will ever end this encoding.
        isEncoding_ = false;
        prepared_ = false;
        throw EGogoTeaError(enctext::kGogoInit);
    }
}

void TGogoTea::Stop() {
    if (!isEncoding_) return;
    stopRequested_ = true;
    PostThreadMessageA(thread_->ThreadId(), WM_ENC_STOP, 0, 0);
}

bool TGogoTea::WritePCM(const void* data, int count) {
    if (encodeMode_ == TEncodeMode::_FILE) return true;
    TCriticalSection::Lock lock(lock_);
    if (!data) {
        endOfInput_ = true;
        return true;
    }
    if (count <= 0) return count == 0;
    return ring_->Write(data, static_cast<size_t>(count));
}

HWND TGogoTea::WindowHandle() const { return window_ ? window_->Handle() : nullptr; }
DWORD TGogoTea::WorkerThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool TGogoTea::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ENC_DONE:
        return true;
    case WM_ENC_ERROR:
        errorReported_ = true;
        isEncoding_ = false;
        prepared_ = false;
        encodeResult_ = static_cast<int>(wp);
        if (OnError) OnError(this, static_cast<int>(wp));
        return true;
    case WM_ENC_FINISH:
        isEncoding_ = false;
        prepared_ = false;
        if (OnFinish) OnFinish(this, wp != 0);
        return true;
    case WM_ENC_PROGRESS:
        if (OnProgress) OnProgress(this, static_cast<int>(wp), static_cast<int>(lp));
        return true;
    }
    return false;
}

// ---- properties ----

void TGogoTea::CheckIdle() const {
    if (isEncoding_) throw EGogoTeaError(enctext::kBusy);
}

void TGogoTea::SetPriority(TThreadPriority p) {
    priority_ = p;
    if (thread_) thread_->SetPriority(WindowsThreadPriority(p));
}

uint32_t TGogoTea::UnitStates() const {
    uint32_t units = 0;
    if (!Gogo.getUnitStates || Gogo.getUnitStates(&units) != 0) return 0;
    return units;
}

std::string TGogoTea::VersionString() const {
    uint32_t code = 0;
    char text[512] = {};
    if (!Gogo.getVersion || Gogo.getVersion(&code, text) != 0) return {};
    text[sizeof text - 1] = 0;
    return text;
}

uint32_t TGogoTea::VersionCode() const {
    uint32_t code = 0;
    char text[512];
    if (!Gogo.getVersion || Gogo.getVersion(&code, text) != 0) return 0;
    return code;
}

void TGogoTea::SetFrequency(int v) {
    CheckIdle();
    if (v <= 0) throw EGogoTeaError(enctext::kOutOfRange);
    frequency_ = v;
}
void TGogoTea::SetSourceFile(const std::string& v) { CheckIdle(); sourceFile_ = v; }
void TGogoTea::SetDestinationFile(const std::string& v) { CheckIdle(); destinationFile_ = v; }
void TGogoTea::SetProcessors(int v) { CheckIdle(); processors_ = v; }
void TGogoTea::SetEmphasis(TEmphasis v) { CheckIdle(); emphasis_ = v; }
void TGogoTea::SetUsePsyAnalize(bool v) { CheckIdle(); usePsy_ = v; }
void TGogoTea::SetUseLPF(bool v) { CheckIdle(); useLpf_ = v; }
void TGogoTea::SetUseVBR(bool v) { CheckIdle(); useVbr_ = v; }
void TGogoTea::SetVBRLevel(int v) {
    CheckIdle();
    if (v < 0 || v > 9) throw EGogoTeaError(enctext::kOutOfRange);
    vbrLevel_ = v;
}
void TGogoTea::SetOptimization(TUseUnits v) { CheckIdle(); optimization_ = v; }
void TGogoTea::SetEncodeFormat(TEncodeFormat v) { CheckIdle(); encodeFormat_ = v; }
void TGogoTea::SetEncodeMode(TEncodeMode v) { CheckIdle(); encodeMode_ = v; }
void TGogoTea::SetEncodeType(TEncodeType v) { CheckIdle(); encodeType_ = v; }
void TGogoTea::SetForceSameRate(bool v) { CheckIdle(); forceSameRate_ = v; }
void TGogoTea::SetBitRate(int v) { CheckIdle(); bitRate_ = v; }

}  // namespace wx
