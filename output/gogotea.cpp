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

}  // namespace

void TGogoTea::EndCoder() {
    coderOpen_ = false;
    try {
        Gogo.closeCoder();
        Gogo.endCoder();
    } catch (...) {
    }
}

// The library reads PCM through here on the worker thread.  It waits for
// the writer while the ring is short of a full request and the input has
// not ended; a stop or the component going away ends the input.
int __cdecl GogoReadCallback(void* buffer, unsigned long count) {
    TGogoTea* g = ActiveGogoTea.load();
    if (!g) return 1;
    const long took = g->Ring().Take(buffer, count);
    if (took < 0) g->inputCut_ = true;
    return took > 0 ? 0 : 1;
}

TGogoTea::TGogoTea(TComponent* owner) : TEncoderComponentOf<TGogoTea>(owner) {
    ActiveGogoTea = nullptr;
    extFilter_ = std::make_unique<TExtFilter>();
    vbrBitrate_ = std::make_unique<TVBRBitrate>();
    msSetting_ = std::make_unique<TMSSetting>();
    Reset();
    if (!LoadGogoDll()) throw EGogoTeaError(enctext::kGogoInit);
    dllPath_ = GogoDllPath();
    StartWorker(&UnloadGogoDll);
    libraryLoaded_ = true;
    ActiveGogoTea = this;
}

TGogoTea::~TGogoTea() {
    EndWorker();
    // Prepared but never started, or started but ended before the worker
    // began the run: the library still holds the output open.
    if (coderOpen_ && libraryLoaded_) EndCoder();
    if (libraryLoaded_) UnloadGogoDll();
    TGogoTea* self = this;
    ActiveGogoTea.compare_exchange_strong(self, nullptr);
}

void TGogoTea::Raise(const char* text) const { throw EGogoTeaError(text); }

// ---- the worker ----

LPARAM TGogoTea::BeginRun(WPARAM wp) {
    runFrames_ = static_cast<uint32_t>(wp);
    inputCut_ = false;
    return static_cast<LPARAM>(runFrames_);
}

void TGogoTea::RunRound() {
    // A stop is on its way: the read callback has cut the input, so no more
    // frames; the stop message ends the encoder.
    if (stopRequested_) return;
    const MERET r = CallFrame();
    if (inputCut_) return;  // ended from outside: the message or the end of the worker follows
    CountFrame(static_cast<LPARAM>(runFrames_));
    if (r == 0) return;
    if (r == 1) {
        PostReport(WM_ENC_DONE);
        PostReport(WM_ENC_PROGRESS, runFrames_, runFrames_);
    } else {
        ReportError(r);
    }
    EndCoder();
    EndRun(r == 1 ? 0 : static_cast<WPARAM>(-1));
}

bool TGogoTea::StopMessage(bool quit) {
    if (Running()) EndCoder();
    // Answered even while idle: a stop always gets its finish.
    EndRun(static_cast<WPARAM>(-1), !quit);
    return !quit;
}

// Ended from outside while encoding: the file is cut short, so the run is
// reported as aborted.
void TGogoTea::EndOnTerminate() {
    EndCoder();
    EndRun(static_cast<WPARAM>(-1));
}

void TGogoTea::Reset() {
    CheckIdle();
    SetPriority(TThreadPriority::tpIdle);
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
    resultCode_ = 0;
    forceSameRate_ = false;
    bitRate_ = 128;
    *extFilter_ = TExtFilter{};
    *vbrBitrate_ = TVBRBitrate{};
    *msSetting_ = TMSSetting{};
    if (!HasRing()) AllocateRing();
    Ring().Clear();
    ClearChunks();
}

void TGogoTea::AddChunk(int size, const void* data) {
    if (size <= 0 || !data) throw EGogoTeaError(enctext::kOutOfRange);
    const auto* b = static_cast<const unsigned char*>(data);
    chunks_.emplace_back(b, b + size);
}

void TGogoTea::ClearChunks() { chunks_.clear(); }

void TGogoTea::Prepare() {
    if (IsEncoding() || prepared_) throw EGogoTeaError(enctext::kBusy);
    // The end mark goes, and with it anything an earlier run left.
    Ring().Clear();
    resultCode_ = static_cast<int>(Gogo.initializeWork());
    if (resultCode_ != 0) throw EGogoTeaError(enctext::kNoFpu);

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
        resultCode_ = static_cast<int>(Gogo.detectConfigure());
    } catch (...) {
        resultCode_ = static_cast<int>(kLibraryFault);
    }
    if (resultCode_ != 0) {
        prepared_ = false;
        throw EGogoTeaError(enctext::kBadSettings);
    }
    uint32_t frames = 0;
    Gogo.getConfigure(kGogoGetFrameCount, &frames);
    allFrames_ = static_cast<int>(frames);
    prepared_ = true;
    coderOpen_ = true;
}

void TGogoTea::Start() {
    if (encodeMode_ == TEncodeMode::_FILE) Prepare();
    if (!StartRun(static_cast<WPARAM>(allFrames_), frequency_)) {
        // The worker is gone: nothing will ever end this encoding.
        prepared_ = false;
        throw EGogoTeaError(enctext::kGogoInit);
    }
}

// ---- properties ----

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
