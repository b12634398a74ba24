// The output driver: every piece of PCM the program produces leaves through
// one TAcmDrv, into a RIFF WAVE file through the Audio Compression Manager,
// a raw MP3 file through an ACM MPEG Layer-3 codec, a WMA file through the
// WMA writer library, the GOGO or TwinVQ encoder components, or an external
// encoder's standard input.
//
// Per output file: Setup, Open, Write as often as needed, Close (or Discard).
// Setup runs on the user-interface thread; Write and Close on one writing
// thread at a time.  Write and Close report failure (a dead encoder, a full
// disk, a failed conversion): once a write has failed, later writes do
// nothing and Close returns false, so a partial file is never taken for a
// finished one.  ErrorText() tells what went wrong.
//
// Every sink writes its file under a temporary name in the file's own
// folder (OutputTempName).  Only a Close that finished the file without a
// fault gives it its name, replacing an old file of that name at that
// moment; a failed Close or a Discard removes the temporary file, and an
// old file stays as it was.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "classlib/win.h"
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "output/acmparams.h"
#include "output/fpucontrol.h"
#include "output/wmaudiointf.h"

namespace wx {
class TEncoderComponent;
class TGogoTea;
class TTVQEnc;
}  // namespace wx

class TAcmDrv {
public:
    TAcmDrv();
    ~TAcmDrv();
    TAcmDrv(const TAcmDrv&) = delete;
    TAcmDrv& operator=(const TAcmDrv&) = delete;

    bool Setup(const WAVEFORMATEX* srcFormat, const void* params, std::uint8_t mode, bool closeAfterTest);
    bool Open(const std::string& fileName);
    bool Write(const void* buffer, std::uint32_t count);
    // Finishes the file and puts it in place under the name given to Open;
    // false when it could not be finished or put in place (nothing is left
    // under that name then but what was there before).
    bool Close();
    // Ends the file without finishing it (a cancelled or failed rip): the
    // encoder is stopped, the temporary file removed, an old file kept.
    void Discard();

    static bool FindMP3Format(std::uint32_t bitsPerSecond, WAVEFORMATEX* format);
    bool ChooseFormat(HWND owner, const std::string& title, WAVEFORMATEX* format);
    static std::string GetFormatName(const WAVEFORMATEX* format);
    static std::string GetFormatTagName(int formatTag, int formatSize);
    void SetRiffInfo(const TTrackTags* track);
    bool StartPipeEncoder(const std::string& fileName);
    bool StopPipeEncoder();

    // Set from outside (the progress window's abort) to end waits and
    // retries; cleared by Open.
    std::atomic<bool> AbortRequested{false};
    // From another thread than the writing one: sets AbortRequested and
    // ends an external encoder that still runs, so that a write blocked on
    // an encoder that no longer reads its input returns at once.
    void RequestAbort();
    wx::TGogoTea* GogoEncoder = nullptr;
    wx::TTVQEnc* TwinVqEncoder = nullptr;

    const std::string& ErrorText() const { return errorText_; }
    bool Failed() const { return failed_; }
    // The file being written while a file is open (the temporary name).
    const std::string& WrittenName() const { return fileName_; }
    std::string FormatTagName, FormatName;

    // State readable by callers and tests.
    bool IsPassThrough() const { return PassThrough; }
    bool IsRawFile() const { return RawFile; }
    bool HasFirstStream() const { return FirstStream != nullptr; }
    bool HasDstStream() const { return DstStream != nullptr; }
    bool IsPipeEncoderRunning() const { return ProcessInfo.hProcess != INVALID_HANDLE_VALUE; }
    std::uint64_t Frames() const { return FramesWritten; }
    DWORD PipeEncoderExitCode() const { return pipeExitCode_; }
    // Whether the last Setup was for ACM MP3.
    bool IsAcmMp3Mode() const { return AcmMp3Mode; }

private:
    void Flush();
    void Fail(const std::string& text);
    bool WriteToFile(const std::uint8_t* data, std::uint32_t count);
    bool WritePipe(const std::uint8_t* data, std::uint32_t count);
    bool SendToPipe(const std::uint8_t* data, std::uint32_t count);
    bool WriteEncoder(const std::uint8_t* data, std::uint32_t count);
    // The component of the GOGO or TwinVQ sink, or nullptr.
    wx::TEncoderComponent* Encoder() const;
    void FlushEncoder();
    bool OpenEncoder();
    bool SetupGogo(const void* params);
    bool SetupTwinVq(const void* params);
    bool DrainSource(bool ending);
    bool RunTargetStage(bool ending);
    bool Convert(HACMSTREAM stream, std::uint8_t* src, std::uint32_t srcLen, std::uint8_t* dst,
                 std::uint32_t dstRoom, DWORD flags, std::uint32_t& consumed, std::uint32_t& produced);
    std::uint32_t LimitSource(HACMSTREAM stream, std::uint32_t srcLen, std::uint32_t unit, std::uint32_t room);
    void CloseStreams();
    void ClosePipeHandles();
    void RestoreFpu();
    void ReleaseWriter();
    // Ends the open sink without finishing its file; removes the file.
    void EndUnfinished();
    bool OpenWritten();
    void KillPipeEncoder();
    void StopEncoder();

    bool TargetIsPcm = false;
    std::uint8_t *SrcBuf = nullptr, *InterBuf = nullptr, *DstBuf = nullptr;
    HGLOBAL SrcMem = nullptr, InterMem = nullptr, DstMem = nullptr;
    HMMIO OutFile = nullptr;
    HANDLE RawHandle = INVALID_HANDLE_VALUE;
    std::uint32_t InterPerBlock = 0;
    std::uint32_t SrcPerBlock = 4;
    HGLOBAL DstHeaderMem = nullptr, SrcHeaderMem = nullptr;
    ACMSTREAMHEADER *DstHeader = nullptr, *SrcHeader = nullptr;
    std::uint32_t SrcPending = 0;
    std::uint32_t InterPending = 0;
    HACMSTREAM DstStream = nullptr, FirstStream = nullptr;
    WAVEFORMATEX *InterFormat = nullptr, *TargetFormat = nullptr;
    MMCKINFO SubChunk{}, RiffChunk{};
    HGLOBAL InterFormatMem = nullptr, TargetFormatMem = nullptr;
    bool PassThrough = false;
    std::int32_t RefillPercent = 100;
    std::uint64_t FramesWritten = 0;
    std::uint64_t SrcRate = 0, DstRate = 0;
    bool RawFile = false;
    bool TargetIsMp3 = false;
    wx::TFpuState SavedFpuControlWord;  // of the process at creation
    bool SameRateAndChannels = false;
    bool UseWma = false, UseGogo = false, UsePipe = false, UseTwinVq = false;
    IWMAudioWriter* WmaWriter = nullptr;
    std::uint32_t WmaBitrate = 0, WmaSampleRate = 0, WmaChannels = 0;
    HANDLE StdOutRead = nullptr, StdOutWrite = nullptr, StdInRead = nullptr, StdInWrite = nullptr,
           StdErrRead = nullptr, StdErrWrite = nullptr, ChildStdOut = nullptr, ChildStdIn = nullptr,
           ChildStdErr = nullptr;
    STARTUPINFOA StartupInfo{};
    PROCESS_INFORMATION ProcessInfo{};
    std::string EncoderPath, EncoderOptions;
    bool AcmMp3Mode = false;

    bool setupDone_ = false;   // the last Setup succeeded
    bool open_ = false;        // between a successful Open and Close
    bool fpuMasked_ = false;   // Open set the control word
    bool failed_ = false;
    std::string errorText_;
    std::uint32_t threshold_ = 0;
    std::uint32_t srcUnit_ = 0, interUnit_ = 0;  // conversion units of the two stages
    DWORD pipeExitCode_ = 0;
    HANDLE drainThreads_[2] = {nullptr, nullptr};
    wx::TCriticalSection abortLock_;
    HANDLE abortProcess_ = nullptr;  // the pipe encoder's process, for RequestAbort
    std::string fileName_;   // written now: the temporary name
    std::string finalName_;  // given to Open: the name the file takes at Close
};

// The temporary name an output file is written under: "TMPn.$$$" with the
// file's own extension, in the file's own folder (n = 1..999, the first
// that does not exist); empty when all are taken.
std::string OutputTempName(const std::string& finalName);

// What stands under an output file's name.
enum class TOutputTarget {
    Absent,       // nothing: the file is new
    Replaceable,  // a file that the finished output may replace
    ReadOnly,     // a read-only file
    InUse,        // a file another program holds open
    NotAFile,     // a folder or a device
};
TOutputTarget ExamineOutput(const std::string& name);
// Absent or Replaceable.
inline bool CanReplaceOutput(const std::string& name) {
    const TOutputTarget t = ExamineOutput(name);
    return t == TOutputTarget::Absent || t == TOutputTarget::Replaceable;
}
// Gives a finished temporary file its final name, replacing an old file of
// that name; false (with the system's error code) when it could not.
bool PutOutputInPlace(const std::string& tempName, const std::string& finalName, DWORD* error = nullptr);

// Texts of the driver's own failures.
extern const char* const MsgWriteFailed;      // ファイルの書き込みに失敗しました.
extern const char* const MsgCreateFailed;     // ファイルの作成に失敗しました.
extern const char* const MsgEncoderDied;      // 外部エンコーダが異常終了しました.
extern const char* const MsgEncoderError;     // 外部エンコーダがエラーで終了しました.
extern const char* const MsgEncoderStart;     // 外部エンコーダを起動できませんでした.
extern const char* const MsgConvertFailed;    // 音声の変換に失敗しました.
extern const char* const MsgEncoderStopped;   // エンコーダが停止しました.
extern const char* const MsgAborted;          // 中断されました.
extern const char* const MsgNameTooLong;      // ファイル名が長すぎます.
extern const char* const MsgReplaceFailed;    // 出力ファイルを置き換えられませんでした.
