// The GOGO encoder component: MP3 (or RIFF-wrapped MP3) through GOGO.DLL on
// a worker thread of its own (the encoder component base).  In memory mode
// the output driver fills the 1 MiB ring with PCM that the library's read
// callback drains.  The worker reports to a hidden window of the component,
// which raises the events on the user-interface thread.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/exceptions.h"
#include "classlib/win.h"
#include "output/encsupport.h"
#include "output/gogoconfig.h"
#include "output/gogodefs.h"

namespace wx {

class EGogoTeaError : public Exception {
public:
    using Exception::Exception;
};

class TGogoTea;
using TGogoTeaProgressEvent = std::function<void(TGogoTea* sender, int nowFrames, int allFrames)>;
using TGogoTeaEncodeError = std::function<void(TGogoTea* sender, int errorCode)>;
using TGogoTeaFinishEncode = std::function<void(TGogoTea* sender, bool isAborted)>;

// Filter range, VBR bit-rate range and mid/side setting: small objects the
// component owns; callers change their fields directly.
struct TExtFilter {
    bool Enabled = false;
    int Low = 55;
    int High = 70;
};
struct TVBRBitrate {
    bool Enabled = false;
    int Low = 40;
    int High = 128;
};
struct TMSSetting {
    bool Enabled = false;
    int Threshold = 75;
    int Power = 66;
};

class TGogoTea : public TEncoderComponentOf<TGogoTea> {
public:
    // Raises EGogoTeaError when the library cannot be loaded.
    explicit TGogoTea(TComponent* owner);
    ~TGogoTea() override;

    void Reset();
    void AddChunk(int size, const void* data);
    void ClearChunks();
    void Prepare();
    void Start();
    // Memory mode: WritePCM appends PCM to the ring (false while it has no
    // room); nullptr marks the end of the input.  File mode: true, nothing
    // done.

    // ---- properties ----
    uint32_t UnitStates() const;
    std::string VersionString() const;
    uint32_t VersionCode() const;
    const std::string& DLLPath() const { return dllPath_; }
    int AllFrames() const { return allFrames_; }
    int Frequency() const { return frequency_; }
    void SetFrequency(int v);
    const std::string& SourceFile() const { return sourceFile_; }
    void SetSourceFile(const std::string& v);
    const std::string& DestinationFile() const { return destinationFile_; }
    void SetDestinationFile(const std::string& v);
    int Processors() const { return processors_; }
    void SetProcessors(int v);
    TEmphasis Emphasis() const { return emphasis_; }
    void SetEmphasis(TEmphasis v);
    bool UsePsyAnalize() const { return usePsy_; }
    void SetUsePsyAnalize(bool v);
    bool UseLPF() const { return useLpf_; }
    void SetUseLPF(bool v);
    bool UseVBR() const { return useVbr_; }
    void SetUseVBR(bool v);
    int VBRLevel() const { return vbrLevel_; }
    void SetVBRLevel(int v);
    TUseUnits Optimization() const { return optimization_; }
    void SetOptimization(TUseUnits v);
    TEncodeFormat EncodeFormat() const { return encodeFormat_; }
    void SetEncodeFormat(TEncodeFormat v);
    TEncodeMode EncodeMode() const { return encodeMode_; }
    void SetEncodeMode(TEncodeMode v);
    TEncodeType EncodeType() const { return encodeType_; }
    void SetEncodeType(TEncodeType v);
    int EncodeResult() const { return resultCode_; }
    bool ForceSameRate() const { return forceSameRate_; }
    void SetForceSameRate(bool v);
    int BitRate() const { return bitRate_; }
    void SetBitRate(int v);
    TExtFilter& ExtFilter() { return *extFilter_; }
    TVBRBitrate& VBRBitrate() { return *vbrBitrate_; }
    TMSSetting& MSSetting() { return *msSetting_; }

private:
    friend int __cdecl GogoReadCallback(void* buffer, unsigned long count);

    [[noreturn]] void Raise(const char* text) const override;
    bool TakesPcm() const override { return encodeMode_ == TEncodeMode::_MEMORY; }
    LPARAM BeginRun(WPARAM wp) override;
    void RunRound() override;
    bool StopMessage(bool quit) override;
    void EndOnTerminate() override;
    // closeCoder and endCoder of the library.
    void EndCoder();

    std::vector<std::vector<unsigned char>> chunks_;
    bool libraryLoaded_ = false;

    TGogoMemoryInput memoryInput_{};
    std::string preparedSource_, preparedDestination_;

    std::string dllPath_;
    int allFrames_ = 0;
    int frequency_ = 100;
    std::string sourceFile_, destinationFile_;
    int processors_ = 1;
    TEmphasis emphasis_ = TEmphasis::_NO_EMPH;
    bool usePsy_ = false, useLpf_ = false, useVbr_ = false;
    int vbrLevel_ = 5;
    TUseUnits optimization_;
    TEncodeFormat encodeFormat_ = TEncodeFormat::_FORMAT_OF_MP3;
    TEncodeMode encodeMode_ = TEncodeMode::_FILE;
    TEncodeType encodeType_ = TEncodeType::_JOINT;
    bool forceSameRate_ = false;
    int bitRate_ = 128;
    std::unique_ptr<TExtFilter> extFilter_;
    std::unique_ptr<TVBRBitrate> vbrBitrate_;
    std::unique_ptr<TMSSetting> msSetting_;

    // From a successful Prepare until the library's coder is ended.
    std::atomic<bool> coderOpen_{false};

    // The worker's run.
    uint32_t runFrames_ = 0;  // AllFrames of the run
    bool inputCut_ = false;   // the read callback was interrupted
};

// The instance whose ring the library's read callback uses.
extern std::atomic<TGogoTea*> ActiveGogoTea;

}  // namespace wx
