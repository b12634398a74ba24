// The TwinVQ encoder component: the library turns frames of float samples
// into index records; the component writes the .vqf file itself (header,
// chunks and frames, see bstream.h).  PCM arrives through the 1 MiB ring of
// the encoder component base; its worker takes whole frames from it and
// reports to a hidden window.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/exceptions.h"
#include "classlib/win.h"
#include "output/bfile.h"
#include "output/bstream.h"
#include "output/encsupport.h"

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

class TTVQEnc : public TEncoderComponentOf<TTVQEnc> {
public:
    explicit TTVQEnc(TComponent* owner);
    ~TTVQEnc() override;

    void Reset();
    void ClearTags();
    void Prepare();
    void Start();
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

private:
    [[noreturn]] void Raise(const char* text) const override;
    void RunEnded() override { ClearTags(); }
    LPARAM BeginRun(WPARAM wp) override;
    void RunRound() override;
    bool StopMessage(bool quit) override;
    void EndOnTerminate() override;
    void EncodeAndWrite(const void* pcm, std::size_t bytes);
    void EndEncoder(WPARAM how);

    bool libraryLoaded_ = false;
    int period_ = 100;
    PBitFile bitFile_ = nullptr;
    int frameSize_ = 0, channels_ = 0;
    TTvqHeaderInfo header_{};
    int32_t nCanValue_ = 16;
    TTvqIndex index_{};
    TTvqBitInfo bitInfo_;
    std::string fileName_;  // header record and "FILE" chunk; never set

    std::string album_, title_, comment_, author_, copyRight_, destinationFile_;
    int year_ = 0;
    int nCan_ = 16;
    int bitRate_ = 96;
    int sampleRate_ = 44;
    tvq::TEncodeType encodeType_ = tvq::TEncodeType::_TVQENC_STEREO;

    // The worker's run.
    bool stop_ = false;
    std::vector<float> frame_;
    std::vector<int16_t> pcm_;
};

}  // namespace wx
