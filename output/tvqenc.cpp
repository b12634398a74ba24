#include "output/tvqenc.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "classlib/sjis.h"
#include "classlib/thread.h"
#include "output/fpucontrol.h"
#include "output/tvqdefs.h"

namespace wx {

namespace {
void CopyText(char (&field)[1024], const std::string& text) {
    const std::string cut = SjisCut(text, kTvqMaxText);
    std::memcpy(field, cut.data(), cut.size());
    field[cut.size()] = 0;
}
}  // namespace

// The worker: takes whole frames from the ring, has the library encode
// them and writes them to the bit file; reports to the hidden window.
class TTVQEnc::TEncodeThread : public TThread {
public:
    TEncodeThread() : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    HWND Wnd = nullptr;
    void WaitReady() { WaitForSingleObject(ready_.Get(), 10000); }

protected:
    void Execute() override {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        defaultFpu_ = GetFpuState();
        EnsureMessageQueue();
        SetEvent(ready_.Get());

        while (!Terminated()) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd) {
                    DispatchMessageA(&msg);
                    continue;
                }
                switch (msg.message) {
                case WM_ENC_START:
                    if (!encoding_) Begin(reinterpret_cast<TTVQEnc*>(msg.wParam), static_cast<int>(msg.lParam));
                    break;
                case WM_ENC_STOP:
                case WM_ENC_QUIT:
                    if (encoding_) stop_ = true;
                    break;
                }
            }
            if (!encoding_) {
                WaitForMessage(100);
                continue;
            }
            Round();
        }
        // Ended from outside while encoding: one frame of silence closes a
        // valid file, which is reported as cut short.
        if (encoding_) {
            EncodeAndWrite(0);
            End(static_cast<WPARAM>(-1));
            Sleep(1);
        }
    }

private:
    void Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { PostMessageA(Wnd, msg, wp, lp); }

    void Begin(TTVQEnc* owner, int period) {
        c_ = owner;
        period_ = period > 0 ? period : 100;
        frames_ = 0;
        samples_ = c_->frameSize_ * c_->channels_;
        frame_.assign(static_cast<size_t>(samples_), 0.0f);
        pcm_.assign(static_cast<size_t>(samples_), 0);
        stop_ = false;
        encoding_ = true;
        SetEncoderFpuState();
        Post(WM_ENC_PROGRESS, 0, 0);
    }

    void EncodeAndWrite(size_t bytes) {
        if (bytes < pcm_.size() * 2) std::memset(reinterpret_cast<char*>(pcm_.data()) + bytes, 0, pcm_.size() * 2 - bytes);
        PcmToFloatFrame(static_cast<int>(bytes / 2), pcm_.data(), frame_.data(), c_->channels_, c_->frameSize_);
        Tvq.EncodeFrame(frame_.data(), &c_->index_);
        WriteTwinVQFrame(c_->index_, c_->bitInfo_, c_->bitFile_);
    }

    void Round() {
        size_t bytes = 0;
        bool done = false;
        if (stop_) {
            done = true;
        } else {
            const size_t want = pcm_.size() * 2;
            TCriticalSection::Lock lock(c_->lock_);
            if (c_->ring_->ReadExact(pcm_.data(), want)) {
                bytes = want;
            } else if (c_->endOfInput_) {
                bytes = c_->ring_->ReadAvailable(pcm_.data(), want);
                if (bytes == 0) done = true;
            }
        }
        if (bytes == 0 && !done) {
            // Waiting for the writer: give the processor back meanwhile.
            WaitForMessage(1);
            return;
        }
        bool failed = false;
        if (bytes > 0) ++frames_;
        EncodeAndWrite(bytes);
        if (c_->bitFile_->Error) {
            done = true;
            failed = true;
        }
        if (bytes > 0 && frames_ % period_ == 0) Post(WM_ENC_PROGRESS, frames_, 0);
        if (!done) return;
        Tvq.EncTerminate(&c_->index_);
        if (!BitFileClose(c_->bitFile_)) failed = true;
        c_->bitFile_ = nullptr;
        if (failed) Post(WM_ENC_ERROR, 0, 0);
        FinishUp(stop_ || failed ? static_cast<WPARAM>(-1) : 0);
    }

    void End(WPARAM how) {
        Tvq.EncTerminate(&c_->index_);
        BitFileClose(c_->bitFile_);
        c_->bitFile_ = nullptr;
        FinishUp(how);
    }

    void FinishUp(WPARAM how) {
        frame_.clear();
        pcm_.clear();
        RestoreFpuState(defaultFpu_);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        encoding_ = false;
        Post(WM_ENC_FINISH, how);
    }

    THandle ready_;
    TFpuState defaultFpu_;
    TTVQEnc* c_ = nullptr;
    bool encoding_ = false, stop_ = false;
    int period_ = 100, frames_ = 0, samples_ = 0;
    std::vector<float> frame_;
    std::vector<int16_t> pcm_;
};

TTVQEnc::TTVQEnc(TComponent* owner) : TComponent(owner) {
    try {
        ring_ = std::make_unique<TPcmRing>();
    } catch (const std::bad_alloc&) {
        throw ETVQEncError(enctext::kTvqWorkArea);
    }
    Reset();
    if (!LoadTvqDll()) throw ETVQEncError(enctext::kTvqInit);
    libraryLoaded_ = true;
    try {
        thread_ = std::make_unique<TEncodeThread>();
        window_ = std::make_unique<TEncoderWindow>([this](UINT m, WPARAM w, LPARAM l) { return HandleMessage(m, w, l); });
    } catch (...) {
        thread_.reset();
        UnloadTvqDll();
        libraryLoaded_ = false;
        throw;
    }
    thread_->Wnd = window_->Handle();
    thread_->Start();
    thread_->WaitReady();
}

TTVQEnc::~TTVQEnc() {
    if (thread_) {
        PostThreadMessageA(thread_->ThreadId(), WM_ENC_QUIT, 0, 0);
        thread_->Terminate();
        thread_->WaitFor();
        thread_.reset();
    }
    window_.reset();
    // Prepared but never started: the library and the file are still open.
    if (bitFile_) {
        if (libraryLoaded_) Tvq.EncTerminate(&index_);
        BitFileClose(bitFile_);
        bitFile_ = nullptr;
    }
    if (libraryLoaded_) UnloadTvqDll();
}

void TTVQEnc::Reset() {
    CheckIdle();
    {
        TCriticalSection::Lock lock(lock_);
        ring_->Clear();
        endOfInput_ = false;
    }
    destinationFile_.clear();
    priority_ = TThreadPriority::tpIdle;
    nCan_ = 16;
    bitRate_ = 96;
    sampleRate_ = 44;
    encodeType_ = tvq::TEncodeType::_TVQENC_STEREO;
    period_ = 100;
    resultCode_ = 0;
    ClearTags();
}

void TTVQEnc::ClearTags() {
    title_.clear();
    author_.clear();
    album_.clear();
    comment_.clear();
    copyRight_.clear();
    fileName_.clear();
    year_ = 0;
}

void TTVQEnc::ResetHeaderInfo() {
    std::memset(&header_, 0, sizeof header_);
    if (Tvq.GetVersionID) Tvq.GetVersionID(0, header_.VersionID);
    header_.ChannelMode = 1;
    header_.BitRate = 96;
    header_.SampleRate = 44;
}

void TTVQEnc::Prepare() {
    if (isEncoding_ || prepared_) throw ETVQEncError(enctext::kBusy);
    {
        TCriticalSection::Lock lock(lock_);
        endOfInput_ = false;
    }
    ResetHeaderInfo();
    if (!title_.empty()) CopyText(header_.Title, title_);
    if (!comment_.empty()) CopyText(header_.Comment, comment_);
    if (!copyRight_.empty()) CopyText(header_.CopyRight, copyRight_);
    if (!author_.empty()) CopyText(header_.Author, author_);
    if (!fileName_.empty()) CopyText(header_.FileName, fileName_);
    header_.ChannelMode = encodeType_ == tvq::TEncodeType::_TVQENC_STEREO ? 1 : 0;
    header_.BitRate = bitRate_;
    header_.SampleRate = sampleRate_;
    nCanValue_ = nCan_;

    std::memset(&index_, 0, sizeof index_);
    if (Tvq.EncInitialize(&header_, &nCanValue_, &index_, 0) != 0) throw ETVQEncError(enctext::kBusy);
    bitFile_ = BitFileOpen(destinationFile_, "wb");
    if (!bitFile_) {
        Tvq.EncTerminate(&index_);
        throw ETVQEncError(enctext::kBusy);
    }
    UpdateBitInfo(bitInfo_, Tvq.EncGetConfInfo, Tvq.EncGetVectorInfo, Tvq.EncUpdateVectorInfo);
    frameSize_ = Tvq.EncGetFrameSize();
    channels_ = Tvq.EncGetNumChannels();
    if (frameSize_ <= 0 || channels_ < 1 || channels_ > 2) {
        // A library answer no frame can be built from.
        Tvq.EncTerminate(&index_);
        BitFileClose(bitFile_);
        bitFile_ = nullptr;
        std::remove(destinationFile_.c_str());
        throw ETVQEncError(enctext::kBusy);
    }

    TTvqTagTexts texts;
    texts.Title = title_;
    texts.Author = author_;
    texts.Album = album_;
    texts.Comment = comment_;
    texts.CopyRight = copyRight_;
    texts.FileName = fileName_;
    texts.Year = year_;
    const TTvqCommon common{header_.ChannelMode, header_.BitRate, header_.SampleRate, header_.SecurityLevel};
    const std::vector<unsigned char> chunks = BuildTwinVQChunks(common, texts);
    WriteTwinVQHeader(bitFile_, chunks.data(), static_cast<int>(chunks.size()));
    prepared_ = true;
}

void TTVQEnc::Start() {
    resultCode_ = 0;
    thread_->SetPriority(WindowsThreadPriority(priority_));
    errorReported_ = false;
    isEncoding_ = true;
    if (!prepared_ || !bitFile_ ||
        !PostThreadMessageA(thread_->ThreadId(), WM_ENC_START, reinterpret_cast<WPARAM>(this), period_)) {
        // Nothing to encode into, or no worker to do it: the run would never end.
        isEncoding_ = false;
        throw ETVQEncError(enctext::kBusy);
    }
}

void TTVQEnc::Stop() {
    if (isEncoding_) PostThreadMessageA(thread_->ThreadId(), WM_ENC_STOP, 0, 0);
}

bool TTVQEnc::WritePCM(const void* data, int count) {
    TCriticalSection::Lock lock(lock_);
    if (!data) {
        endOfInput_ = true;
        return true;
    }
    if (count <= 0) return count == 0;
    return ring_->Write(data, static_cast<size_t>(count));
}

HWND TTVQEnc::WindowHandle() const { return window_ ? window_->Handle() : nullptr; }
DWORD TTVQEnc::WorkerThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool TTVQEnc::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ENC_ERROR:
        errorReported_ = true;
        isEncoding_ = false;
        prepared_ = false;
        ClearTags();
        resultCode_ = static_cast<int>(wp);
        if (OnError) OnError(this, static_cast<int>(wp));
        return true;
    case WM_ENC_FINISH:
        isEncoding_ = false;
        prepared_ = false;
        ClearTags();
        if (OnFinish) OnFinish(this, wp != 0);
        return true;
    case WM_ENC_PROGRESS:
        if (OnProgress) OnProgress(this, static_cast<int>(wp), static_cast<int>(lp));
        return true;
    }
    return false;
}

void TTVQEnc::CheckIdle() const {
    if (isEncoding_) throw ETVQEncError(enctext::kBusy);
}

void TTVQEnc::SetPriority(TThreadPriority p) {
    priority_ = p;
    if (thread_) thread_->SetPriority(WindowsThreadPriority(p));
}

void TTVQEnc::SetN_CAN(int v) {
    CheckIdle();
    if (v != 1 && v != 2 && v != 4 && v != 8 && v != 16 && v != 32) throw ETVQEncError(enctext::kOutOfRange);
    nCan_ = v;
}

void TTVQEnc::SetProgressPeriod(int v) {
    CheckIdle();
    if (v <= 0) throw ETVQEncError(enctext::kOutOfRange);
    period_ = v;
}

}  // namespace wx
