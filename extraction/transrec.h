// The rip request: one TTransferRecord per track rip, digital play or drive
// benchmark, built on the user-interface thread and copied by the rip thread,
// which hands back a copy with the result fields filled as the parameter of
// WM_RIP_DONE.  The receiver frees that copy (FreeResultBlock).
//
// Portable: no <windows.h>.  Window handles, entry points and object
// references are pointer-sized, so the record's layout differs between i686
// and x86-64; the offsets of both are checked below.  The path and option
// texts are std::string, not 255-byte length-prefixed strings: a full output
// path or an encoder command line can be longer than 255 bytes and must not
// be cut.  The strings sit after the fixed part of the record, so every
// fixed field has the same offset whatever the string implementation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "extraction/AspiDefs.h"

class TAcmDrv;

namespace wx {

class TWaveOutThread;

// Result classes of a request.
enum TRipResultClass : std::uint8_t {
    rrOK = 0,  // read without trouble
    rrS1 = 1,
    rrS2 = 2,
    rrNG = 3,  // failed: the output is incomplete or unusable
};

constexpr int PlayListSize = 100;

struct TTransferRecord {
    // What to read.
    std::int32_t Adapter;
    std::int32_t Target;
    std::int32_t Lun;
    std::int32_t StartLba;
    std::int32_t EndLba;  // reading stops before this LBA
    std::int32_t LastReadableLba;
    std::uint8_t ReadCommand;  // TReadCommandKind
    std::int32_t SectorsPerRead;
    std::int32_t TrackNumber;
    std::int32_t OverlapSectors;
    std::int32_t MaxRetry;
    std::int32_t ReadWaitMs;
    bool SkipLeadSilence;
    bool VerifyRead;
    bool SkipTrailSilence;
    bool OnePassJitter;
    bool SwapChannels;
    // Borrowed references; the record never owns them.
    void* NotifyWindow;  // HWND
    TSendASPI32Command SendAspiCommand;
    TGetASPI32SupportInfo GetAspiSupportInfo;
    TAcmDrv* OutputDriver;
    std::int32_t ThreadPriority;
    bool UseReadWait;
    bool UseMscdex;
    bool PollStatus;
    bool SeekEachRead;
    bool TwoPass;
    bool SpinUp;
    bool UseExternalEncoder;
    bool IgnoreTargetStatus;
    bool DigitalPlay;
    std::uint16_t VolumePercent;
    bool DummyRead;
    bool UseAspi;
    std::int32_t PortNumber;
    bool BurstRead;
    bool RereadFailed;
    bool NoWriteOnVerifyError;
    std::int32_t PreReadSize;
    bool TwoStage;
    bool LevelMeter;
    bool Normalize;
    std::int32_t NormalizeMode;
    std::int32_t NormalizeTarget;
    bool NormalizePercentile;
    bool ClipRestore;
    bool MonitorOutput;
    bool DeEmphasis;
    TWaveOutThread* WaveOutThread;
    std::int32_t PlayList[PlayListSize];  // digital play: start LBAs, ended by -1
    std::uint8_t PlayAudioFlags[PlayListSize];
    std::int32_t BenchmarkBytes;
    bool UseWriteThread;
    bool NoNullAreaCount;
    // Results.
    bool PlayRanOut;
    std::uint8_t ResultClass;  // TRipResultClass
    SRB_ExecSCSICmd LastSrb;
    std::int32_t RetryCount;
    std::int32_t VerifyRereads;
    std::int32_t ScsiErrors;
    std::int32_t AverageCorrections;
    std::int32_t JitterCorrections;
    std::int32_t NullAreas;
    std::int32_t BenchInnerLba;
    std::int32_t BenchOuterLba;
    std::int32_t BenchReads;
    std::int32_t BenchInnerNormalMs;
    std::int32_t BenchOuterNormalMs;
    std::int32_t BenchInnerBurstMs;
    std::int32_t BenchOuterBurstMs;
    std::int32_t BenchInnerNormalErrors;
    std::int32_t BenchOuterNormalErrors;
    std::int32_t BenchInnerBurstErrors;
    std::int32_t BenchOuterBurstErrors;
    // Texts, unbounded (see above).
    std::string WorkFolder;
    std::string EncoderOptions;
    std::string EncoderProgram;
    std::string OutputFileName;
    // Result: why the output could not be made (a write that failed, a full
    // disk, an encoder that failed); empty when it did not fail.
    std::string OutputError;
};

// A request with every field zero (strings empty); build on top of it.
inline TTransferRecord EmptyTransferRecord() {
    TTransferRecord r{};
    return r;
}

// The result block posted with WM_RIP_DONE and its release by the receiver.
inline TTransferRecord* NewResultBlock(const TTransferRecord& r) { return new TTransferRecord(r); }
inline void FreeResultBlock(TTransferRecord* r) { delete r; }

// Layout of the fixed part at both widths.
static_assert(offsetof(TTransferRecord, Adapter) == 0);
static_assert(offsetof(TTransferRecord, LastReadableLba) == 20);
static_assert(offsetof(TTransferRecord, ReadCommand) == 24);
static_assert(offsetof(TTransferRecord, SectorsPerRead) == 28);
static_assert(offsetof(TTransferRecord, ReadWaitMs) == 44);
static_assert(offsetof(TTransferRecord, SwapChannels) == 52);
#if defined(_WIN64) || defined(__x86_64__)
static_assert(offsetof(TTransferRecord, NotifyWindow) == 56);
static_assert(offsetof(TTransferRecord, SendAspiCommand) == 64);
static_assert(offsetof(TTransferRecord, GetAspiSupportInfo) == 72);
static_assert(offsetof(TTransferRecord, OutputDriver) == 80);
static_assert(offsetof(TTransferRecord, ThreadPriority) == 88);
static_assert(offsetof(TTransferRecord, UseReadWait) == 92);
static_assert(offsetof(TTransferRecord, VolumePercent) == 102);
static_assert(offsetof(TTransferRecord, PortNumber) == 108);
static_assert(offsetof(TTransferRecord, PreReadSize) == 116);
static_assert(offsetof(TTransferRecord, NormalizeMode) == 124);
static_assert(offsetof(TTransferRecord, NormalizeTarget) == 128);
static_assert(offsetof(TTransferRecord, WaveOutThread) == 136);
static_assert(offsetof(TTransferRecord, PlayList) == 144);
static_assert(offsetof(TTransferRecord, PlayAudioFlags) == 544);
static_assert(offsetof(TTransferRecord, BenchmarkBytes) == 644);
static_assert(offsetof(TTransferRecord, UseWriteThread) == 648);
static_assert(offsetof(TTransferRecord, ResultClass) == 651);
static_assert(offsetof(TTransferRecord, LastSrb) == 652);
static_assert(offsetof(TTransferRecord, RetryCount) == 760);
static_assert(offsetof(TTransferRecord, NullAreas) == 780);
static_assert(offsetof(TTransferRecord, BenchOuterBurstErrors) == 824);
static_assert(offsetof(TTransferRecord, WorkFolder) == 832);
#else
static_assert(offsetof(TTransferRecord, NotifyWindow) == 56);
static_assert(offsetof(TTransferRecord, SendAspiCommand) == 60);
static_assert(offsetof(TTransferRecord, GetAspiSupportInfo) == 64);
static_assert(offsetof(TTransferRecord, OutputDriver) == 68);
static_assert(offsetof(TTransferRecord, ThreadPriority) == 72);
static_assert(offsetof(TTransferRecord, UseReadWait) == 76);
static_assert(offsetof(TTransferRecord, VolumePercent) == 86);
static_assert(offsetof(TTransferRecord, PortNumber) == 92);
static_assert(offsetof(TTransferRecord, PreReadSize) == 100);
static_assert(offsetof(TTransferRecord, NormalizeMode) == 108);
static_assert(offsetof(TTransferRecord, NormalizeTarget) == 112);
static_assert(offsetof(TTransferRecord, WaveOutThread) == 120);
static_assert(offsetof(TTransferRecord, PlayList) == 124);
static_assert(offsetof(TTransferRecord, PlayAudioFlags) == 524);
static_assert(offsetof(TTransferRecord, BenchmarkBytes) == 624);
static_assert(offsetof(TTransferRecord, UseWriteThread) == 628);
static_assert(offsetof(TTransferRecord, ResultClass) == 631);
static_assert(offsetof(TTransferRecord, LastSrb) == 632);
static_assert(offsetof(TTransferRecord, RetryCount) == 732);
static_assert(offsetof(TTransferRecord, NullAreas) == 752);
static_assert(offsetof(TTransferRecord, BenchOuterBurstErrors) == 796);
static_assert(offsetof(TTransferRecord, WorkFolder) == 800);
#endif

}  // namespace wx
