// The TwinVQ encoder component: the library turns frames of float samples
// into index records; the component writes the .vqf file itself (header,
// chunks and frames, see bstream.h).  PCM arrives through a 1 MiB ring; a
// worker thread takes whole frames from it and reports to a hidden window.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "classlib/component.h"
#include "classlib/exceptions.h"
#include "classlib/win.h"
#include "output/bfile.h"
#include "output/bstream.h"
#include "output/encsupport.h"
#include "output/pcmring.h"

namespace wx {

class ETVQEncError : public Exception {
public:
    using Exception::Exception;
};

namespace tvq {
enum class TEncodeType { _TVQENC_MONO, _TVQENC_STEREO };
}

class TTVQEnc;
using TTVQEncProgressEvent = std::function<void(TTVQEnc* sender, int nowFrames, int allFrames)>;
using TTVQEncEncodeError = std::function<void(TTVQEnc* sender, int errorCode)>;
using TTVQEncFinishEncode = std::function<void(TTVQEnc* sender, bool isAborted)>;

class TTVQEnc : public TComponent {
public:
    explicit TTVQEnc(TComponent* owner);
    ~TTVQEnc() override;

    void Reset();
    void ClearTags();
    void Prepare();
    void Start();
    void Stop();
    bool WritePCM(const void* data, int count);
    void ResetHeaderInfo();

    const std::string& Album() const { return album_; }
    void SetAlbum(const std::string& v) { CheckIdle(); album_ = v; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v) { CheckIdle(); title_ = v; }
    const std::string& Comment() const { return comment_; }
    void SetComment(const std::string& v) { CheckIdle(); comment_ = v; }
    int Year() const { return year_; }
    void SetYear(int v) { CheckIdle(); year_ = v; }
    const std::string& Author() const { return author_; }
    void SetAuthor(const std::string& v) { CheckIdle(); author_ = v; }
    const std::string& CopyRight() const { return copyRight_; }
    void SetCopyRight(const std::string& v) { CheckIdle(); copyRight_ = v; }
    const std::string& DestinationFile() const { return destinationFile_; }
    void SetDestinationFile(const std::string& v) { CheckIdle(); destinationFile_ = v; }
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority p);
    bool IsEncoding() const { return isEncoding_; }
    int N_CAN() const { return nCan_; }
    void SetN_CAN(int v);
    int BitRate() const { return bitRate_; }
    void SetBitRate(int v) { CheckIdle(); bitRate_ = v; }
    int SampleRate() const { return sampleRate_; }
    void SetSampleRate(int v) { CheckIdle(); sampleRate_ = v; }
    tvq::TEncodeType EncodeType() const { return encodeType_; }
    void SetEncodeType(tvq::TEncodeType v) { CheckIdle(); encodeType_ = v; }
    int ProgressPeriod() const { return period_; }
    void SetProgressPeriod(int v);
    int ResultCode() const { return resultCode_; }
    bool Prepared() const { return prepared_; }

    TTVQEncProgressEvent OnProgress;
    TTVQEncEncodeError OnError;
    TTVQEncFinishEncode OnFinish;

    // The worker reported an error (WM_ENC_ERROR, whatever its code) during
    // the last run: its output is incomplete.
    bool ErrorReported() const { return errorReported_; }

    HWND WindowHandle() const;
    // The worker's thread id (its messages go there).
    DWORD WorkerThreadId() const;

private:
    class TEncodeThread;
    void CheckIdle() const;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    std::unique_ptr<TEncodeThread> thread_;
    std::unique_ptr<TEncoderWindow> window_;
    bool libraryLoaded_ = false;
    int resultCode_ = 0;
    int period_ = 100;
    PBitFile bitFile_ = nullptr;
    int frameSize_ = 0, channels_ = 0;
    TTvqHeaderInfo header_{};
    int32_t nCanValue_ = 16;
    TTvqIndex index_{};
    TTvqBitInfo bitInfo_;
    std::string fileName_;  // header record and "FILE" chunk; never set
    bool prepared_ = false;
    bool endOfInput_ = false;
    std::unique_ptr<TPcmRing> ring_;
    TCriticalSection lock_;

    std::string album_, title_, comment_, author_, copyRight_, destinationFile_;
    int year_ = 0;
    TThreadPriority priority_ = TThreadPriority::tpIdle;
    std::atomic<bool> isEncoding_{false};
    std::atomic<bool> errorReported_{false};
    int nCan_ = 16;
    int bitRate_ = 96;
    int sampleRate_ = 44;
    tvq::TEncodeType encodeType_ = tvq::TEncodeType::_TVQENC_STEREO;
};

}  // namespace wx
