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

TTVQEnc::TTVQEnc(TComponent* owner) : TEncoderComponentOf<TTVQEnc>(owner) {
    try {
        AllocateRing();
    } catch (const std::bad_alloc&) {
        throw ETVQEncError(enctext::kTvqWorkArea);
    }
    Reset();
    if (!LoadTvqDll()) throw ETVQEncError(enctext::kTvqInit);
    StartWorker(&UnloadTvqDll);
    libraryLoaded_ = true;
}

TTVQEnc::~TTVQEnc() {
    EndWorker();
    // Prepared but never started: the library and the file are still open.
    if (bitFile_) {
        if (libraryLoaded_) Tvq.EncTerminate(&index_);
        BitFileClose(bitFile_);
        bitFile_ = nullptr;
    }
    if (libraryLoaded_) UnloadTvqDll();
}

void TTVQEnc::Raise(const char* text) const { throw ETVQEncError(text); }

// ---- the worker: whole frames from the ring, encoded by the library and
// written to the bit file ----

LPARAM TTVQEnc::BeginRun(WPARAM) {
    const std::size_t samples = static_cast<std::size_t>(frameSize_) * static_cast<std::size_t>(channels_);
    frame_.assign(samples, 0.0f);
    pcm_.assign(samples, 0);
    stop_ = false;
    return 0;
}

// The frame is converted from pcm, which may lie in the ring itself; past
// its bytes the frame is silence.
void TTVQEnc::EncodeAndWrite(const void* pcm, std::size_t bytes) {
    PcmToFloatFrame(static_cast<int>(bytes / 2), static_cast<const int16_t*>(pcm), frame_.data(), channels_, frameSize_);
    Tvq.EncodeFrame(frame_.data(), &index_);
    WriteTwinVQFrame(index_, bitInfo_, bitFile_);
}

void TTVQEnc::RunRound() {
    std::size_t bytes = 0;
    const void* pcm = pcm_.data();
    bool done = stop_;
    if (!done) {
        const long took = Ring().Peek(pcm_.size() * 2, pcm_.data(), &pcm);
        if (took < 0) return;  // a stop or the end of the worker: its message follows
        bytes = static_cast<std::size_t>(took);
        done = bytes == 0;  // the input has ended and nothing is left
    }
    bool failed = false;
    EncodeAndWrite(pcm, bytes);
    if (bytes > 0) {
        Ring().Release(bytes);
        CountFrame(0);
    }
    if (bitFile_->Error) {
        done = true;
        failed = true;
    }
    if (!done) return;
    Tvq.EncTerminate(&index_);
    if (!BitFileClose(bitFile_)) failed = true;
    bitFile_ = nullptr;
    if (failed) ReportError(0);
    frame_.clear();
    pcm_.clear();
    EndRun(stop_ || failed ? static_cast<WPARAM>(-1) : 0);
}

bool TTVQEnc::StopMessage(bool) {
    if (Running()) stop_ = true;
    return true;
}

// Ended from outside while encoding: one frame of silence closes a valid
// file, which is reported as cut short.
void TTVQEnc::EndOnTerminate() {
    EncodeAndWrite(pcm_.data(), 0);
    Tvq.EncTerminate(&index_);
    BitFileClose(bitFile_);
    bitFile_ = nullptr;
    frame_.clear();
    pcm_.clear();
    EndRun(static_cast<WPARAM>(-1));
}

void TTVQEnc::Reset() {
    CheckIdle();
    Ring().Clear();
    destinationFile_.clear();
    SetPriority(TThreadPriority::tpIdle);
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
    if (IsEncoding() || prepared_) throw ETVQEncError(enctext::kBusy);
    // The end mark goes, and with it anything a stopped run left: the new
    // file begins with its own PCM.
    Ring().Clear();
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
    // Nothing to encode into, or no worker to do it: the run would never end.
    if (!prepared_ || !bitFile_ || !StartRun(reinterpret_cast<WPARAM>(this), period_)) throw ETVQEncError(enctext::kBusy);
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
