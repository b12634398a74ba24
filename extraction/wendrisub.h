// The rip engine: carries out one TTransferRecord.  This is the portable
// core of the rip thread TExecuteAspiThread (wendrisub_win.h): it reads
// sectors through the request's ASPI entry point (or the pass-through or
// MSCDEX transport of the platform), trims silence, corrects jitter,
// verifies, and sends every block through the block output to the output
// sink.  Everything outside itself it reaches through small interfaces, so
// the same code runs natively against the emulated drive and under Windows
// against WNASPI32.DLL and TAcmDrv.
//
// Portable: no <windows.h>.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "classlib/exceptions.h"
#include "extraction/AspiDefs.h"
#include "extraction/ripsample.h"
#include "extraction/transrec.h"

namespace wx {

// Window messages of the rip thread to the main window.
constexpr std::uint32_t WM_RIP_PROGRESS = 0x500;
constexpr std::uint32_t WM_RIP_TIMEOUT = 0x501;
constexpr std::uint32_t WM_RIP_DONE = 0x502;
constexpr std::uint32_t WM_RIP_PHASE = 0x503;
constexpr std::uint32_t WM_RIP_STATUS = 0x504;
constexpr std::uint32_t WM_RIP_LEVEL = 0x505;
constexpr std::uint32_t WM_PLAY_POSITION = 0x610;

// Phases (wParam of WM_RIP_PHASE).
constexpr int RipPhaseReading = 0;
constexpr int RipPhaseConverting = 1;
constexpr int RipPhaseMerging = 3;
constexpr int RipPhaseComparing = 4;
constexpr int RipPhaseConvertAfterCompare = 5;

// The status block posted with WM_RIP_STATUS: 255 bytes, zero-terminated
// text.  The receiver frees it with FreeStatusText.
constexpr std::size_t StatusTextBytes = 255;
char* NewStatusText(const std::string& text);
inline void FreeStatusText(char* p) { delete[] p; }

// Texts of the rip thread (Shift-JIS).
extern const char* const MsgTrackFormat;      // ﾄﾗｯｸ%dの
extern const char* const MsgSearchSilence;    // 無音区間検出中.
extern const char* const MsgReading;          // ﾃﾞｰﾀ取得中.
extern const char* const MsgConverting;       // ﾃﾞｰﾀ形式変換中.
extern const char* const MsgFinishing;        // 終了処理中です…
extern const char* const MsgReadDone;         // ﾃﾞｰﾀ取得完了.
extern const char* const MsgWriteErrorStop;   // ﾃﾞｰﾀ書き込みｴﾗｰにより中断.
extern const char* const MsgNoMemory;         // メモリが確保できません.

// Raised by the writer thread's constructor when its ring cannot be made.
class EWendriSubThread : public Exception {
public:
    using Exception::Exception;
};

// The rip engine's unit buffers, reserved once at program start: six read
// slots, the kept tail of the jitter correction and the volume buffer, each
// aligned to 16 bytes.
constexpr std::uint32_t ReadSlotCount = 6;
constexpr std::uint32_t ReadSlotBytes = 55 * SubcodeSectorBytes + 256;   // 134896
constexpr std::uint32_t KeptTailBytes = 60 * SubcodeSectorBytes + 256;   // 147136
constexpr std::uint32_t VolumeBufferBytes = KeptTailBytes;
constexpr std::uint32_t MaxSectorsPerRead = 55;

struct TRipBuffers {
    std::uint8_t* Slot[ReadSlotCount] = {};
    std::uint8_t* KeptTail = nullptr;
    std::uint8_t* VolumeBuffer = nullptr;
    bool MemoryShortage = false;
    bool Reserved() const { return KeptTail != nullptr && !MemoryShortage; }
    // Every block there, so that reads can go into them.
    bool Ready() const {
        for (auto* s : Slot)
            if (!s) return false;
        return KeptTail && VolumeBuffer && !MemoryShortage;
    }
};
// Reserves the buffers (again a no-op when already reserved); false, with
// MemoryShortage set, when any of them cannot be had.
bool ReserveRipBuffers(TRipBuffers& b);
void FreeRipBuffers(TRipBuffers& b);
// Gives read slot `slot` a new block and leaves the old one to a request
// that never let go of it (the drive may still write into it): it is
// never freed.  false, with MemoryShortage set, when no new block can be
// had.
bool AbandonReadSlot(TRipBuffers& b, int slot);
extern TRipBuffers RipBuffers;

// Where the output goes: TAcmDrv under Windows, anything in tests.  Write
// and Close report failure.  Close finishes the file and gives it its name;
// Discard ends a file that is not to be kept (a failed or cancelled track),
// leaving an old file of that name as it was.
class IRipOutput {
public:
    virtual ~IRipOutput() = default;
    virtual bool Write(const void* data, std::uint32_t length) = 0;
    virtual bool Close() = 0;
    virtual void Discard() = 0;
    // Why the last Write or Close failed; empty when unknown.
    virtual std::string ErrorText() const { return {}; }
};

// A started worker thread.
class IRipWorker {
public:
    virtual ~IRipWorker() = default;
    virtual void Join() = 0;
};

// What the engine needs of the system: time, events, messages to the main
// window, threads, and the transports that are not the ASPI entry point.
class IRipPlatform {
public:
    virtual ~IRipPlatform() = default;
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // An auto-reset, initially non-signalled event, as handed to the ASPI
    // library in SRB_PostProc.
    virtual void* NewEvent() = 0;
    virtual bool WaitEvent(void* event, std::uint32_t ms) = 0;  // true when signalled
    virtual void FreeEvent(void* event) = 0;
    // Several requests in flight (burst reads and their timing): a
    // manual-reset, initially non-signalled event (freed with FreeEvent),
    // its signal and reset, and the wait for any of several events: the
    // index of one that is signalled (the lowest), or -1 when the time is up.
    virtual void* NewManualEvent() = 0;
    virtual void SignalEvent(void* event) = 0;
    virtual void ClearEvent(void* event) = 0;
    virtual int WaitAnyEvent(void* const* events, int count, std::uint32_t ms) = 0;
    // Raises the calling thread to time-critical priority (timed reads).
    virtual void SetTimeCritical() {}
    // PostMessage to the request's NotifyWindow; pointers posted become the
    // receiver's.
    virtual void Post(void* window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) = 0;
    virtual std::unique_ptr<IRipWorker> StartThread(std::function<void()> body) = 0;
    virtual bool IsWindows9x() { return false; }
    // The pass-through transport on the rip device (by default the class
    // driver's open device, ClassDrv.h).
    virtual void OpenRipDevice(std::int32_t portNumber, std::int32_t pathId, std::int32_t targetId, bool overlapped,
                               std::int32_t lun);
    virtual bool ExecOnRipDevice(SRB_ExecSCSICmd& srb);
    virtual void CloseRipDevice();
    // The asynchronous send of the pass-through transport, on overlapped
    // handle `slot` (0..4) of the rip device opened for burst reads: the
    // request is issued and `event` is signalled when it has ended (at once
    // when it could not be issued; false then).  After the event,
    // CompleteOverlapped puts the outcome into the request's status, target
    // status and sense bytes.  CancelOverlapped cancels what is outstanding
    // on the handle and returns only when the drive has let go of the
    // request's buffer.  By default the request runs to its end inside the
    // send (no operating-system overlapped I/O).
    virtual bool SendOverlapped(int slot, SRB_ExecSCSICmd& srb, void* event);
    virtual void CompleteOverlapped(int slot, SRB_ExecSCSICmd& srb) {}
    virtual void CancelOverlapped(int slot) {}
    // MSCDEX: status 256 means success.
    virtual std::uint32_t MscdexReadSectors(void* dest, std::int32_t lba, std::int32_t count) { return 0; }
    virtual std::int32_t MscdexSearchStartPoint(std::int32_t lba) { return -1; }
    virtual bool FileExists(const std::string& path) { return false; }
    virtual bool RemoveFile(const std::string& path) { return false; }
};

// The temporary store: two slots of PCM in the rip memory block that spill
// to work files (tempstore.h).  Slots open in order, 0 then 1; sizes and
// read positions are -1 for a slot that is not open.
class ITempStore {
public:
    virtual ~ITempStore() = default;
    // Closes every slot and gives the store its memory: `share` bytes from
    // `memory` (none when memory is nullptr).
    virtual void Reset(std::uint8_t* memory, std::uint64_t share) = 0;
    // Opens the next slot on a new work file; false when both are open or
    // the file cannot be created.
    virtual bool Open(const std::string& path) = 0;
    // Appends to a slot; false when not all of it could be stored.
    virtual bool Write(int slot, const void* data, std::uint32_t length) = 0;
    // Makes every open slot readable from its start; false on a file error.
    virtual bool Reopen() = 0;
    virtual void SetReadPos(int slot, std::int64_t position) = 0;
    virtual std::int64_t GetReadPos(int slot) const = 0;
    virtual std::int64_t Size(int slot) const = 0;
    // Bytes delivered (fewer than asked at the end or on a file error).
    virtual std::uint32_t Read(int slot, void* data, std::uint32_t length) = 0;
    // Closes all slots and deletes their files.
    virtual void CloseAll() = 0;
    virtual bool IsOpen() const = 0;
};

// The normalizer (normaliz.h): measures a whole source, then delivers it
// scaled.  A source is slot 0 of the store (empty name), a file of raw PCM
// (`raw`) or a WAV file.
class INormalizer {
public:
    virtual ~INormalizer() = default;
    // Level and factor of the source for the target level; false when the
    // source cannot be read or holds no level to scale by.
    virtual bool Analyze(const std::string& name, bool raw, bool averageLevel, std::int64_t& level,
                         std::int64_t& factor, std::int64_t target, int mode) = 0;
    // Reopens the analysed source for the scaled read; `substitution` puts
    // restored values in place of clipped samples where they were made.
    virtual bool BeginApply(const std::string& name, bool substitution) = 0;
    // Up to `length` scaled bytes; the count delivered.
    virtual std::uint32_t ReadScaled(std::int64_t factor, void* data, std::uint32_t length) = 0;
    virtual void End() = 0;
};

class TRipEngine;

// The read methods that finish a request themselves (two-pass, burst,
// benchmark) and digital play.  Each posts WM_RIP_DONE through the engine.
class IRipMethods {
public:
    virtual ~IRipMethods() = default;
    virtual void Benchmark(TRipEngine& e) = 0;
    virtual void DigitalPlay(TRipEngine& e) = 0;
    virtual void TwoPass(TRipEngine& e) = 0;
    virtual void Burst(TRipEngine& e) = 0;
};

struct TRipContext {
    IRipPlatform* Platform = nullptr;
    IRipOutput* Output = nullptr;
    TRipBuffers* Buffers = &RipBuffers;
    // The rip memory block the writer ring and the store live in.
    std::uint8_t* RipCache = nullptr;
    std::uint32_t RipCacheSize = 0;
    ITempStore* Store = nullptr;        // nullptr: the two-stage mode cannot run
    INormalizer* Normalizer = nullptr;  // nullptr: normalization cannot run
    IRipMethods* Methods = nullptr;     // nullptr: only plain and one-pass reads
    // Normalizer mode from the percentile and clip-restore switches.
    std::function<int(bool, bool)> NormalizeModeOf;
    // Monitoring through the wave-out thread: reset its position, queue a
    // block.  Empty: no monitoring.
    std::function<void()> MonitorReset;
    std::function<void(const void*, std::uint32_t)> MonitorPut;
    // Runs the external encoder on the finished WAV file; false when no
    // output was produced.  Empty: the external encoder cannot run.
    std::function<bool(TRipEngine&)> ExternalEncoder;

    // Analyses the source (a named run file when raw, else the normalizer's
    // own source) for the request's target level and opens it for the scaled
    // read; false when there is no normalizer, the source cannot be read or
    // it holds no level to scale by.
    bool StartNormalize(const TTransferRecord& r, const std::string& name, bool raw, std::int64_t& level,
                        std::int64_t& factor) const;
};

// The writer thread: a ring in the rip memory block between the rip thread
// and the output sink.
class TWaveWriteThread {
public:
    static constexpr std::uint32_t PieceBytes = 47040;
    static constexpr std::uint32_t MinRingBytes = 131072;
    // Raises EWendriSubThread when the ring would be below 128 KiB.
    TWaveWriteThread(IRipPlatform& platform, IRipOutput& output, std::uint32_t usableSize, std::uint8_t* ringMemory);
    ~TWaveWriteThread();
    TWaveWriteThread(const TWaveWriteThread&) = delete;
    TWaveWriteThread& operator=(const TWaveWriteThread&) = delete;

    static std::uint32_t RingSizeFor(std::uint32_t usableSize);
    std::uint32_t RingSize() const { return size_; }
    // nullptr sets the end mark.  false when the block does not fit whole.
    bool PutData(const void* block, std::uint32_t length);
    bool GetData(void* buffer, std::uint32_t length);
    std::uint32_t GetRest(void* buffer, std::uint32_t length);
    bool Running() const { return running_; }
    bool Terminated() const { return terminated_; }
    void Terminate();
    void WaitFor();
    // The rip thread's waits, woken by the writer: until a block of
    // `length` bytes would fit (or the writer has stopped), and until the
    // writer has stopped; each at most timeoutMs, so that the caller can
    // look at its abort request in between.
    void WaitForRoom(std::uint32_t length, std::uint32_t timeoutMs);
    void WaitUntilStopped(std::uint32_t timeoutMs);
    // The driver's Write or Close failed: the file is incomplete.
    bool Failed() const { return failed_; }
    // Whether the writer finishes the output at the end mark (Close) or
    // gives it up (Discard); set before the end mark.  A terminated writer
    // always gives it up.
    void KeepOutput(bool keep) { keep_ = keep; }
    // How often one side woke the other so far.
    std::uint32_t WakeUps();

    void Start();  // runs Execute on a thread of the platform
    void Execute();

private:
    IRipPlatform& platform_;
    IRipOutput& output_;
    std::uint8_t* ring_;
    std::uint32_t size_;
    std::uint32_t read_ = 0, write_ = 0;
    bool endOfData_ = false;
    std::atomic<bool> running_{true};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> keep_{true};
    std::unique_ptr<std::uint8_t[]> transfer_;
    std::unique_ptr<IRipWorker> thread_;
    std::mutex lock_;
    // Data or the end mark for the writer; room or the writer's end for the
    // rip thread.
    std::condition_variable dataReady_, roomReady_;
    // Who waits (under lock_): the writer for data, the rip thread for room
    // for a block of this many bytes (0: not waiting).
    bool writerWaiting_ = false;
    std::uint32_t ripWaitingFor_ = 0;
    std::uint32_t wakeUps_ = 0;
    std::uint32_t DataWakeLevel() const;
    bool WakeWriter(bool needRoom);
    bool WakeRipThread();
};

class TRipEngine {
public:
    // Copies the request (construction steps of the rip thread; the thread
    // itself is the caller's).  `terminated` is the abort request.
    TRipEngine(const TTransferRecord& request, const TRipContext& context, std::function<bool()> terminated);
    ~TRipEngine();
    TRipEngine(const TRipEngine&) = delete;
    TRipEngine& operator=(const TRipEngine&) = delete;

    // The thread body.  Posts WM_RIP_DONE exactly once and raises nothing:
    // a fault inside ends the request as NG with its output closed.
    void Execute();

    // Working copy of the request; the result fields go to Result().
    TTransferRecord& Request() { return r_; }
    TTransferRecord& Result() { return *result_; }
    const TRipContext& Context() const { return ctx_; }
    bool Aborted() const { return terminated_(); }

    // Building blocks, also used by the read methods built elsewhere.
    bool BuildReadRequest(std::int32_t lba, std::int32_t count, SRB_ExecSCSICmd& srb, std::uint8_t* buffer);
    bool ReadSectors(SRB_ExecSCSICmd& srb, void* event, std::uint32_t& dataBytes, std::int32_t count,
                     std::int32_t lba, int slot);
    void PostProcessRead(std::uint8_t* buffer, std::int32_t count, std::int32_t overlap);
    bool IsGoodRead(const SRB_ExecSCSICmd& srb) const;
    void AbortSRB(SRB_ExecSCSICmd& srb);
    // Requests in flight.  SendAsync issues a built request without waiting
    // for it: through the ASPI entry point with `event` (manual-reset) in
    // its notification, or on overlapped handle `slot` of the pass-through
    // transport.  A request that cannot be issued is marked failed and its
    // event signalled, so that the caller's wait sees it end (false then).
    bool SendAsync(int slot, SRB_ExecSCSICmd& srb, void* event);
    // After the event of a request sent with SendAsync: its outcome in the
    // record.
    void CompleteAsync(int slot, SRB_ExecSCSICmd& srb);
    // Gives up a request sent with SendAsync that has not ended: aborted
    // (ASPI) or cancelled (pass-through), then waited for.  false when it
    // still has not ended: its record and buffer then stay the drive's and
    // must never be used again.
    bool AbandonAsync(int slot, SRB_ExecSCSICmd& srb, void* event);
    bool Rezero(void* event);
    bool Seek(std::int32_t lba, void* event);
    // A request to the record's drive: cleared, addressed, with the sense
    // length and the given flags.
    void AddressDrive(SRB_ExecSCSICmd& srb, std::uint8_t flags) const;
    bool RunNoDataCommand(SRB_ExecSCSICmd& srb, void* event);
    std::int32_t FindAudioEnd(std::int32_t start, std::int32_t end);
    std::int32_t FindAudioStart(std::int32_t start, std::int32_t end);
    void PostStatusText(const std::string& phrase);
    void PostLevel(std::uint32_t peaks);
    void PostPhase(int phase);
    void PostProgress(std::int32_t percent);
    int IsTargetError(std::uint8_t targetStatus) const { return r_.IgnoreTargetStatus ? 0 : targetStatus; }
    bool IsTimedOut(std::uint32_t startTick, std::uint32_t seconds);
    void DeleteWorkFile(const std::string& name);
    // The block output: null areas, volume, de-emphasis, level, monitor,
    // and the hand-over to the writer, the store or the sink.  false when
    // the block could not be delivered.
    bool WriteBlock(std::uint8_t* block, std::uint32_t length);
    void ResetNullAreaCount() { nullAreas_.Reset(); }
    // The null-area count the result reports (read methods that count per
    // run put the chosen run's count here).
    TNullAreaCounter& NullAreaCounter() { return nullAreas_; }
    void ResetDeemphasis() { deemph_.Reset(); }
    // The alignment of overlapped reads, used by the plain read loop and by
    // digital play: each read is placed on the kept tail of the read before
    // it, so that the stream runs on without a gap or a repeated frame.
    // BeginAlignment starts a stream whose next block is a first block (it
    // also carries the 2 sectors before its first LBA) and which delivers at
    // most `targetBytes`.
    void BeginAlignment(std::int64_t targetBytes);
    // After PostProcessRead of read k of a block of e new sectors: the first
    // read of a stream gives the kept tail its first 4 sectors; the data
    // offset of the read is found.
    void AlignRead(int k, std::int32_t e);
    std::uint32_t DataOffset(int k) const { return dataOffset_[k]; }
    // The new part of the chosen read of the block at LBA f with e new
    // sectors: Length bytes from Data, to be delivered as two pieces split at
    // Split when that is not 0.  Counts jitter corrections and suspect
    // placements and keeps the read's last 4 sectors as the tail.
    struct TPlacedBlock {
        std::uint8_t* Data = nullptr;
        std::uint32_t Length = 0;
        std::uint32_t Split = 0;
    };
    TPlacedBlock PlaceBlock(int chosen, std::int32_t f, std::int32_t e);
    // Bytes placed since BeginAlignment; whether the next block is a first one.
    std::int64_t AlignedBytes() const { return aligned_; }
    bool FirstBlock() const { return firstBlock_; }

    // Fills the result block, posts WM_RIP_DONE and closes the event.
    void Finish();
    void FinishOnWriteError();
    // Ends the output (ending the writer thread first) once: finished and
    // given its name when the request was carried out, given up otherwise
    // (an old file of the name stays).  false when it is incomplete.
    // Finish and FinishOnWriteError call it.
    bool CloseOutput();
    // Why the output failed, for the result (a method's own sink, the
    // external encoder).
    void SetOutputError(const std::string& text) {
        outputFailed_ = true;
        if (outputError_.empty()) outputError_ = text;
    }

    // Counters.
    std::int32_t JitterCorrections = 0;
    std::int32_t AverageCorrections = 0;
    std::int32_t ScsiErrors = 0;
    std::int32_t VerifyRereads = 0;
    std::int32_t Retries = 0;
    // Overlapped blocks placed without an exact match of the overlap, and
    // blocks aligned on a featureless (silent) overlap, where any shift
    // matches.  Either makes an otherwise good rip S1.
    std::int32_t InexactPlacements = 0;
    std::int32_t BlindPlacements = 0;
    std::int32_t NullAreas() const { return nullAreas_.Areas(); }
    SRB_ExecSCSICmd LastSrb{};

private:
    void Run();
    void FinishAfterFault();
    void PostDone();
    void SilenceTrimming();
    bool ReadOneSectorForSearch(std::int32_t lba, void* event, bool& nonSilent);
    void PlainRead();
    void TwoStageConversion();
    void EndWriter(bool keep);
    void FillResult();
    bool SendSrb(SRB_ExecSCSICmd& srb);
    bool WaitSrb(SRB_ExecSCSICmd& srb, void* event, bool poll);
    void Fail() { r_.ResultClass = rrNG; }

    TTransferRecord r_;
    TRipContext ctx_;
    IRipPlatform& pf_;
    std::function<bool()> terminated_;
    std::unique_ptr<TTransferRecord> result_;
    TRipBuffers& buf_;
    void* event_ = nullptr;
    bool firstBlock_ = true;
    std::int32_t lastPercent_ = -1;
    std::uint32_t dataOffset_[5] = {};
    std::uint32_t lastDataOffset_ = 0;
    std::int32_t builtSectors_ = 0;        // sectors asked for by the last read request
    std::int32_t readSectors_[ReadSlotCount] = {};  // sectors the read in each slot delivered
    bool exact_[5] = {true, true, true, true, true};  // the data offset of read k is an exact match
    std::int64_t alignTarget_ = 0;   // bytes the aligned stream delivers at most
    std::int64_t aligned_ = 0;       // bytes placed so far
    std::uint32_t carry_ = 0;        // bytes the next block starts later (a block that had nothing new)
    std::uint8_t blockCounter_ = 0;
    TNullAreaCounter nullAreas_;
    TDeemphasis deemph_;
    std::unique_ptr<TWaveWriteThread> writer_;
    bool useWriteThread_ = false;
    bool outputFailed_ = false;
    std::string outputError_;
    bool outputClosed_ = false;
    bool storeOpen_ = false;
    bool donePosted_ = false;
};

}  // namespace wx
