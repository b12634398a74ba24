#include "output/acmmgr32.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "classlib/exceptions.h"
#include "classlib/sjis.h"
#include "output/extencoder.h"
#include "output/wmaudiosdk.h"

// ファイルの書き込みに失敗しました.
const char* const MsgWriteFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD\x2E";
// ファイルの作成に失敗しました.
const char* const MsgCreateFailed =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD"
    "\x2E";
// 外部エンコーダが異常終了しました.
const char* const MsgEncoderDied =
    "\x8A\x4F\x95\x94\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x5F\x82\xAA\x88\xD9\x8F\xED\x8F\x49\x97\xB9\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD\x2E";
// 外部エンコーダがエラーで終了しました.
const char* const MsgEncoderError =
    "\x8A\x4F\x95\x94\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x5F\x82\xAA\x83\x47\x83\x89\x81\x5B\x82\xC5\x8F\x49\x97\xB9"
    "\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x2E";
// 外部エンコーダを起動できませんでした.
const char* const MsgEncoderStart =
    "\x8A\x4F\x95\x94\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x5F\x82\xF0\x8B\x4E\x93\xAE\x82\xC5\x82\xAB\x82\xDC\x82\xB9"
    "\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x2E";
// 音声の変換に失敗しました.
const char* const MsgConvertFailed =
    "\x89\xB9\x90\xBA\x82\xCC\x95\xCF\x8A\xB7\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x2E";
// エンコーダが停止しました.
const char* const MsgEncoderStopped =
    "\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x5F\x82\xAA\x92\xE2\x8E\x7E\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x2E";
// 中断されました.
const char* const MsgAborted = "\x92\x86\x92\x66\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x2E";
// ファイル名が長すぎます.
const char* const MsgNameTooLong =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x2E";
// 出力ファイルを置き換えられませんでした.
const char* const MsgReplaceFailed =
    "\x8F\x6F\x97\xCD\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x92\x75\x82\xAB\x8A\xB7\x82\xA6\x82\xE7\x82\xEA"
    "\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x2E";

namespace {

// 終了コード
const char* const ExitCodeLabel = "\x8F\x49\x97\xB9\x83\x52\x81\x5B\x83\x68";

// The writer library is looked up once when the program starts.
struct TWmaLibraryUnit {
    TWmaLibraryUnit() { LoadWmaLibrary(); }
    ~TWmaLibraryUnit() { UnloadWmaLibrary(); }
} WmaLibraryUnit;

constexpr std::size_t MaxFileNameChars = 512;
// The encoder's input: a pipe that holds several of the pieces the PCM is
// written in.  Every write, and every read the encoder makes, is a round
// trip to the system, so the pieces are large and the encoder finds input
// waiting whenever it reads.
constexpr DWORD PipeBufferSize = 0x100000;
constexpr std::uint32_t PipePiece = 0x40000;
static_assert(PipePiece <= AcmSrcBufSize);
constexpr std::size_t StreamHeaderBlock = 840;
constexpr std::uint32_t ConversionUnit = 0x40000;

void* AllocLocked(HGLOBAL& mem, std::size_t size) {
    mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!mem) throw wx::EOSError("GlobalAlloc: " + wx::SysErrorMessage(GetLastError()), GetLastError());
    void* p = GlobalLock(mem);
    if (!p) throw wx::EOSError("GlobalLock: " + wx::SysErrorMessage(GetLastError()), GetLastError());
    return p;
}

void FreeLocked(HGLOBAL& mem) {
    if (!mem) return;
    GlobalUnlock(mem);
    GlobalFree(mem);
    mem = nullptr;
}

const TWaveFormatHead& Head(const WAVEFORMATEX* f) { return *reinterpret_cast<const TWaveFormatHead*>(f); }

std::string WithSystemText(const char* text, DWORD code) {
    std::string s = text;
    if (code) s += " (" + wx::SysErrorMessage(code) + ")";
    return s;
}

DWORD WINAPI DrainPipe(LPVOID handle) {
    std::vector<char> buf(65536);  // what is read is dropped
    DWORD n = 0;
    while (ReadFile(static_cast<HANDLE>(handle), buf.data(), DWORD(buf.size()), &n, nullptr) && n > 0) {
    }
    return 0;
}

void CloseAndClear(HANDLE& h) {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
}

// How long an ended encoder gets to let go of its files.
constexpr DWORD EndProcessWaitMs = 5000;

void EndProcess(HANDLE process) {
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, EndProcessWaitMs);
}

}  // namespace

TAcmDrv::TAcmDrv() {
    SrcBuf = static_cast<std::uint8_t*>(AllocLocked(SrcMem, AcmSrcBufSize));
    InterBuf = static_cast<std::uint8_t*>(AllocLocked(InterMem, AcmInterBufSize));
    DstBuf = static_cast<std::uint8_t*>(AllocLocked(DstMem, AcmDstBufSize));
    DstHeader = static_cast<ACMSTREAMHEADER*>(AllocLocked(DstHeaderMem, StreamHeaderBlock));
    SrcHeader = static_cast<ACMSTREAMHEADER*>(AllocLocked(SrcHeaderMem, StreamHeaderBlock));
    InterFormat = static_cast<WAVEFORMATEX*>(AllocLocked(InterFormatMem, FormatBlockSize));
    TargetFormat = static_cast<WAVEFORMATEX*>(AllocLocked(TargetFormatMem, FormatBlockSize));
    ProcessInfo.hProcess = INVALID_HANDLE_VALUE;
    SavedFpuControlWord = wx::GetFpuState();
}

TAcmDrv::~TAcmDrv() {
    // A file still open now was never finished.
    if (open_) Discard();
    CloseStreams();
    ReleaseWriter();
    for (HGLOBAL* m : {&SrcMem, &InterMem, &DstMem, &DstHeaderMem, &SrcHeaderMem, &InterFormatMem, &TargetFormatMem})
        FreeLocked(*m);
}

void TAcmDrv::Fail(const std::string& text) {
    if (!failed_) errorText_ = text;
    failed_ = true;
}

void TAcmDrv::CloseStreams() {
    if (DstStream) acmStreamClose(DstStream, 0);
    if (FirstStream) acmStreamClose(FirstStream, 0);
    DstStream = nullptr;
    FirstStream = nullptr;
}

void TAcmDrv::RestoreFpu() {
    if (fpuMasked_) wx::RestoreFpuState(SavedFpuControlWord);
    fpuMasked_ = false;
}

void TAcmDrv::ReleaseWriter() {
    if (WmaWriter) WmaWriter->Release();
    WmaWriter = nullptr;
}

// --- Setup --------------------------------------------------------------------

bool TAcmDrv::Setup(const WAVEFORMATEX* srcFormat, const void* params, std::uint8_t mode, bool closeAfterTest) {
    // Not while a file is open: the open file keeps its sink and state.
    if (open_) return false;
    UseWma = UseGogo = UsePipe = UseTwinVq = false;
    SameRateAndChannels = RawFile = TargetIsPcm = PassThrough = false;
    setupDone_ = false;
    errorText_.clear();
    failed_ = false;
    // Streams of an earlier Setup that was never followed by Open and Close.
    CloseStreams();
    switch (mode) {
    case admWma: {
        UseWma = true;
        if (!params) return false;
        const auto* p = static_cast<const TWMAEncodeParams*>(params);
        WmaSampleRate = p->SampleRate;
        WmaBitrate = p->BitRate;
        WmaChannels = p->Channels;
        setupDone_ = true;
        return true;
    }
    case admGogo:
        UseGogo = true;
        setupDone_ = SetupGogo(params);
        return setupDone_;
    case admPipe: {
        UsePipe = true;
        const auto* p = static_cast<const TPipeEncodeParams*>(params);
        if (!p || !p->EncoderPath || !p->Options) return false;
        EncoderPath = p->EncoderPath;
        EncoderOptions = p->Options;
        setupDone_ = true;
        return true;
    }
    case admTwinVq:
        UseTwinVq = true;
        setupDone_ = SetupTwinVq(params);
        return setupDone_;
    case admAcmWave:
    case admAcmMp3:
        break;
    default:
        return false;
    }

    if (!srcFormat || !params) return false;
    const auto* target = static_cast<const WAVEFORMATEX*>(params);
    const TWaveFormatHead& S = Head(srcFormat);
    const TWaveFormatHead& T = Head(target);
    // A format whose cbSize would run past the format block is refused, as
    // is a source that is not PCM.
    if (!FormatFitsBlock(T) || S.wFormatTag != WaveFormatPcm || S.nChannels == 0 || S.nSamplesPerSec == 0) {
        Fail(MsgConvertFailed);
        return false;
    }
    PassThrough = T.wFormatTag == S.wFormatTag && T.nChannels == S.nChannels &&
                  T.nSamplesPerSec == S.nSamplesPerSec && T.wBitsPerSample == S.wBitsPerSample &&
                  T.wFormatTag == WaveFormatPcm;
    SameRateAndChannels = T.nChannels == S.nChannels && T.nSamplesPerSec == S.nSamplesPerSec;
    TargetIsMp3 = T.wFormatTag == WaveFormatMpegLayer3;

    std::memset(InterFormat, 0, FormatBlockSize);
    if (SameRateAndChannels) {
        std::memcpy(InterFormat, srcFormat, sizeof(TWaveFormatHead));
        InterFormat->cbSize = 0;
    } else {
        InterFormat->wFormatTag = WAVE_FORMAT_PCM;
        InterFormat->nChannels = T.nChannels;
        InterFormat->nSamplesPerSec = T.nSamplesPerSec;
        InterFormat->wBitsPerSample = 16;
        InterFormat->nBlockAlign = WORD(T.nChannels * 2);
        InterFormat->nAvgBytesPerSec = T.nSamplesPerSec * T.nChannels * 2;
        InterFormat->cbSize = 0;
    }
    SrcRate = S.nSamplesPerSec;
    DstRate = T.nSamplesPerSec;
    RefillPercent = RefillPercentFor(S.nAvgBytesPerSec, InterFormat->nAvgBytesPerSec);
    threshold_ = SourceThreshold(RefillPercent);

    auto fail = [&](MMRESULT r) {
        CloseStreams();
        Fail(std::string(MsgConvertFailed) + " (ACM " + std::to_string(r) + ")");
        return false;
    };
    MMRESULT r;
    if (!SameRateAndChannels) {
        r = acmStreamOpen(&FirstStream, nullptr, const_cast<WAVEFORMATEX*>(srcFormat), InterFormat, nullptr, 0, 0,
                          ACM_STREAMOPENF_NONREALTIME);
        if (r != MMSYSERR_NOERROR) {
            FirstStream = nullptr;
            return fail(r);
        }
    }
    if (!PassThrough) {
        r = acmStreamOpen(&DstStream, nullptr, InterFormat, const_cast<WAVEFORMATEX*>(target), nullptr, 0, 0,
                          ACM_STREAMOPENF_NONREALTIME);
        if (r != MMSYSERR_NOERROR) {
            DstStream = nullptr;
            return fail(r);
        }
        auto sizes = [&](DWORD dstBytes) {
            DWORD inter = 0, src = 4;
            if (acmStreamSize(DstStream, dstBytes, &inter, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR ||
                inter == 0)
                return false;
            if (!SameRateAndChannels &&
                (acmStreamSize(FirstStream, inter, &src, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR || src == 0))
                return false;
            InterPerBlock = inter;
            SrcPerBlock = src;
            return true;
        };
        bool found = sizes(T.nBlockAlign);
        for (DWORD n = 1; !found && n <= T.nAvgBytesPerSec; ++n) found = sizes(n);
        // A block must fit the stages' buffers with room to spare.
        if (!found || InterPerBlock > AcmInterStageRoom / 2 || SrcPerBlock > AcmSrcBufSize / 2) return fail(0);
        // Conversion units: about 256 KB, and small enough that one unit's
        // output fits the next stage's room.
        interUnit_ = LimitSource(DstStream, ConversionUnit, InterPerBlock, AcmDstBufSize / 2);
        srcUnit_ = SameRateAndChannels ? std::max<std::uint32_t>(4, ConversionUnit / SrcPerBlock * SrcPerBlock)
                                       : LimitSource(FirstStream, ConversionUnit, SrcPerBlock, AcmInterStageRoom / 2);
    } else {
        InterPerBlock = 4;
        SrcPerBlock = 4;
    }
    std::memset(TargetFormat, 0, FormatBlockSize);
    std::memcpy(TargetFormat, target, sizeof(TWaveFormatHead) + T.cbSize);
    AcmMp3Mode = mode == admAcmMp3;
    TargetIsPcm = T.wFormatTag == WaveFormatPcm;
    RawFile = TargetIsMp3 && mode == admAcmMp3;
    if (closeAfterTest) {
        CloseStreams();
        return true;
    }
    setupDone_ = true;
    return true;
}

// --- Open -----------------------------------------------------------------------

bool TAcmDrv::Open(const std::string& fileName) {
    if (open_) return false;  // the open file goes on undisturbed
    if (!setupDone_) {
        Fail(MsgCreateFailed);
        return false;
    }
    std::memset(SrcBuf, 0, AcmSrcBufSize);
    std::memset(InterBuf, 0, AcmInterBufSize);
    std::memset(DstBuf, 0, AcmDstBufSize);
    SrcPending = InterPending = 0;
    FramesWritten = 0;
    AbortRequested = false;
    failed_ = false;
    errorText_.clear();
    pipeExitCode_ = 0;
    fileName_.clear();
    finalName_ = fileName;
    // A longer name would be cut and the file made under another name.
    if (fileName.size() > MaxFileNameChars) {
        Fail(MsgNameTooLong);
        return false;
    }
    // What stands under the name stays until the new file is finished, and
    // must then be a file that can be replaced.
    switch (ExamineOutput(fileName)) {
    case TOutputTarget::Absent:
    case TOutputTarget::Replaceable: break;
    case TOutputTarget::InUse: Fail(WithSystemText(MsgCreateFailed, ERROR_SHARING_VIOLATION)); return false;
    case TOutputTarget::ReadOnly:
    case TOutputTarget::NotAFile: Fail(WithSystemText(MsgCreateFailed, ERROR_ACCESS_DENIED)); return false;
    }
    fileName_ = OutputTempName(fileName);
    if (fileName_.empty() || fileName_.size() > MaxFileNameChars) {
        Fail(MsgCreateFailed);
        fileName_.clear();
        return false;
    }
    if (!OpenWritten()) {
        // Whatever a sink made of the file before it failed goes.
        DeleteFileA(fileName_.c_str());
        return false;
    }
    return true;
}

bool TAcmDrv::OpenWritten() {
    const std::string& fileName = fileName_;
    if (UseWma) {
        if (!WMAudioCreateWriter) {
            Fail(MsgCreateFailed);
            return false;
        }
        std::vector<wchar_t> wide(1026, L'\0');
        const int n = MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, wide.data(), int(wide.size()));
        WAVEFORMATEX pcm{};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        pcm.nChannels = 2;
        pcm.nSamplesPerSec = 44100;
        pcm.nAvgBytesPerSec = 176400;
        pcm.nBlockAlign = 4;
        pcm.wBitsPerSample = 16;
        pcm.cbSize = 0;
        HRESULT hr = n > 0 ? WMAudioCreateWriter(wide.data(), &WmaWriter) : E_INVALIDARG;
        if (SUCCEEDED(hr)) hr = WmaWriter->SetInputFormat(&pcm);
        if (SUCCEEDED(hr)) hr = WmaWriter->SetOutputFormat(WmaBitrate, WmaSampleRate, WmaChannels, 0);
        if (FAILED(hr)) {
            ReleaseWriter();
            Fail(WithSystemText(MsgCreateFailed, DWORD(hr)));
            return false;
        }
    } else if (UseGogo || UseTwinVq) {
        if (!OpenEncoder()) return false;
    } else if (UsePipe) {
        open_ = StartPipeEncoder(fileName);
        return open_;
    }

    if (!TargetIsPcm) {
        wx::SetEncoderFpuState();
        fpuMasked_ = true;
    }
    if (UseWma || UseGogo || UseTwinVq) {
        open_ = true;
        return true;
    }

    if (RawFile) {
        RawHandle = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_ARCHIVE, nullptr);
        if (RawHandle == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            RestoreFpu();
            Fail(WithSystemText(MsgCreateFailed, e));
            return false;
        }
        open_ = true;
        return true;
    }

    std::vector<char> name(fileName.begin(), fileName.end());
    name.push_back('\0');
    SetLastError(0);
    OutFile = mmioOpenA(name.data(), nullptr, MMIO_CREATE | MMIO_WRITE);
    if (!OutFile) {
        const DWORD e = GetLastError();
        RestoreFpu();
        Fail(WithSystemText(MsgCreateFailed, e));
        return false;
    }
    bool ok = true;
    RiffChunk = {};
    RiffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ok = ok && mmioCreateChunk(OutFile, &RiffChunk, MMIO_CREATERIFF) == MMSYSERR_NOERROR;
    SubChunk = {};
    SubChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    ok = ok && mmioCreateChunk(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
    const LONG fmtSize = TargetIsPcm ? 16 : LONG(sizeof(TWaveFormatHead) + TargetFormat->cbSize);
    ok = ok && mmioWrite(OutFile, reinterpret_cast<const char*>(TargetFormat), fmtSize) == fmtSize;
    ok = ok && mmioAscend(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
    if (!TargetIsPcm) {
        SubChunk = {};
        SubChunk.ckid = mmioFOURCC('f', 'a', 'c', 't');
        const std::uint32_t zero = 0;
        ok = ok && mmioCreateChunk(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
        ok = ok && mmioWrite(OutFile, reinterpret_cast<const char*>(&zero), 4) == 4;
        ok = ok && mmioAscend(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
    }
    SubChunk = {};
    SubChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ok = ok && mmioCreateChunk(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
    if (!ok) {
        const DWORD e = GetLastError();
        mmioClose(OutFile, 0);
        OutFile = nullptr;
        RestoreFpu();
        Fail(WithSystemText(MsgWriteFailed, e));
        return false;
    }
    open_ = true;
    return true;
}

// --- Write ------------------------------------------------------------------------

bool TAcmDrv::WriteToFile(const std::uint8_t* data, std::uint32_t count) {
    if (count == 0) return true;
    SetLastError(0);
    if (RawFile) {
        while (count > 0) {
            DWORD done = 0;
            if (!WriteFile(RawHandle, data, count, &done, nullptr) || done == 0) {
                Fail(WithSystemText(MsgWriteFailed, GetLastError()));
                return false;
            }
            data += done;
            count -= done;
        }
        return true;
    }
    if (mmioWrite(OutFile, reinterpret_cast<const char*>(data), LONG(count)) != LONG(count)) {
        Fail(WithSystemText(MsgWriteFailed, GetLastError()));
        return false;
    }
    return true;
}

bool TAcmDrv::Write(const void* buffer, std::uint32_t count) {
    if (!open_ || failed_) return false;
    if (count == 0) return true;
    if (!buffer) return false;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    if (UseWma) {
        const HRESULT hr = WmaWriter->WriteSamples(p, count);
        if (FAILED(hr)) Fail(WithSystemText(MsgWriteFailed, DWORD(hr)));
        return SUCCEEDED(hr);
    }
    if (UseGogo || UseTwinVq) return WriteEncoder(p, count);
    if (UsePipe) return WritePipe(p, count);
    FramesWritten += count / 4;
    if (PassThrough) return WriteToFile(p, count);

    while (count > 0) {
        if (SrcPending + count > threshold_ && !DrainSource(false)) return false;
        const std::uint32_t n = std::min(count, AcmSrcBufSize - SrcPending);
        if (n == 0) {
            Fail(MsgConvertFailed);
            return false;
        }
        std::memcpy(SrcBuf + SrcPending, p, n);
        SrcPending += n;
        p += n;
        count -= n;
    }
    return true;
}

bool TAcmDrv::Convert(HACMSTREAM stream, std::uint8_t* src, std::uint32_t srcLen, std::uint8_t* dst,
                      std::uint32_t dstRoom, DWORD flags, std::uint32_t& consumed, std::uint32_t& produced) {
    consumed = produced = 0;
    ACMSTREAMHEADER* h = stream == FirstStream ? SrcHeader : DstHeader;
    std::memset(h, 0, sizeof(ACMSTREAMHEADER));
    h->cbStruct = sizeof(ACMSTREAMHEADER);
    h->pbSrc = src;
    h->cbSrcLength = srcLen;
    h->pbDst = dst;
    h->cbDstLength = dstRoom;
    MMRESULT r = acmStreamPrepareHeader(stream, h, 0);
    if (r == MMSYSERR_NOERROR) {
        r = acmStreamConvert(stream, h, flags);
        consumed = std::min<std::uint32_t>(h->cbSrcLengthUsed, srcLen);
        produced = std::min<std::uint32_t>(h->cbDstLengthUsed, dstRoom);
        h->cbSrcLength = srcLen;
        h->cbDstLength = dstRoom;
        acmStreamUnprepareHeader(stream, h, 0);
    }
    if (r != MMSYSERR_NOERROR) {
        Fail(std::string(MsgConvertFailed) + " (ACM " + std::to_string(r) + ")");
        return false;
    }
    return true;
}

std::uint32_t TAcmDrv::LimitSource(HACMSTREAM stream, std::uint32_t srcLen, std::uint32_t unit, std::uint32_t room) {
    srcLen = std::max(unit, srcLen / unit * unit);
    while (srcLen > unit) {
        DWORD estimate = 0;
        if (acmStreamSize(stream, srcLen, &estimate, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) break;
        if (estimate <= room) break;
        srcLen = std::max<std::uint32_t>(unit, unit * ((srcLen / unit) / 2));
    }
    return srcLen;
}

// Both stages convert in fixed units counted from the start of the stream
// (the last, shorter piece only at the end), so the codec sees the same
// calls whatever the sizes of the pieces given to Write.

// Converts whole units of the intermediate stage into the target format
// and writes them; when ending, also the rest, completed with zero bytes
// to a whole block.
bool TAcmDrv::RunTargetStage(bool ending) {
    while (InterPending >= interUnit_ || (ending && InterPending > 0)) {
        std::uint32_t len = std::min(InterPending, interUnit_);
        const bool last = len < interUnit_ || (ending && InterPending == interUnit_);
        if (last) {
            const std::uint32_t padded = (len + InterPerBlock - 1) / InterPerBlock * InterPerBlock;
            std::memset(InterBuf + len, 0, padded - len);
            len = padded;
        }
        std::uint32_t consumed, produced;
        if (!Convert(DstStream, InterBuf, len, DstBuf, AcmDstBufSize,
                     last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN, consumed, produced))
            return false;
        if (!WriteToFile(DstBuf, produced)) return false;
        if (last) {
            InterPending = 0;
            break;
        }
        if (consumed != len) {
            Fail(MsgConvertFailed);
            return false;
        }
        std::memmove(InterBuf, InterBuf + consumed, InterPending - consumed);
        InterPending -= consumed;
    }
    return true;
}

// Moves pending source PCM into the intermediate stage in whole units,
// running the target stage whenever the intermediate data would pass
// 512 KB; when ending, all of it.
bool TAcmDrv::DrainSource(bool ending) {
    while (SrcPending >= srcUnit_ || (ending && SrcPending > 0)) {
        const std::uint32_t len = std::min(SrcPending, srcUnit_);
        const bool last = ending && SrcPending <= srcUnit_;
        DWORD estimate = len;
        if (!SameRateAndChannels &&
            acmStreamSize(FirstStream, len, &estimate, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
            estimate = AcmInterStageRoom / 2;
        if (estimate + InterPending > AcmInterStageRoom - 1 && !RunTargetStage(false)) return false;
        const std::uint32_t room = AcmInterBufSize - InterPending;
        std::uint32_t consumed = 0, produced = 0;
        if (SameRateAndChannels) {
            consumed = produced = std::min(len, room);
            std::memcpy(InterBuf + InterPending, SrcBuf, consumed);
        } else if (!Convert(FirstStream, SrcBuf, len, InterBuf + InterPending, room,
                            last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN, consumed, produced)) {
            return false;
        }
        if (consumed != len && !last) {
            Fail(MsgConvertFailed);
            return false;
        }
        InterPending += produced;
        if (last) {
            SrcPending = 0;
            break;
        }
        std::memmove(SrcBuf, SrcBuf + consumed, SrcPending - consumed);
        SrcPending -= consumed;
    }
    return true;
}

// --- Flush and Close ------------------------------------------------------------

void TAcmDrv::Flush() {
    if (UseWma) {
        if (WmaWriter) {
            const HRESULT hr = WmaWriter->Flush();
            if (FAILED(hr)) Fail(WithSystemText(MsgWriteFailed, DWORD(hr)));
        }
    } else if (UsePipe) {
        if (SrcPending > 0 && !failed_) SendToPipe(SrcBuf, SrcPending);
        SrcPending = 0;
        if (!StopPipeEncoder() && !failed_) {
            if (AbortRequested)
                Fail(MsgAborted);
            else
                Fail(std::string(MsgEncoderError) + " (" + ExitCodeLabel + " " + std::to_string(pipeExitCode_) + ")");
        }
    } else if (UseGogo || UseTwinVq) {
        FlushEncoder();
    } else if (!PassThrough && !failed_) {
        if (DrainSource(true)) RunTargetStage(true);
    }
}

bool TAcmDrv::Close() {
    if (!open_) {
        CloseStreams();
        return false;
    }
    Flush();
    CloseStreams();
    setupDone_ = false;
    ReleaseWriter();
    RestoreFpu();
    if (RawFile) {
        if (RawHandle != INVALID_HANDLE_VALUE && !CloseHandle(RawHandle)) Fail(WithSystemText(MsgWriteFailed, GetLastError()));
        RawHandle = INVALID_HANDLE_VALUE;
    } else if (OutFile) {
        bool ok = mmioAscend(OutFile, &SubChunk, 0) == MMSYSERR_NOERROR;
        if (!TargetIsPcm) {
            const std::uint32_t fact = FactSampleCount(FramesWritten, SrcRate, DstRate);
            const std::uint8_t le[4] = {std::uint8_t(fact), std::uint8_t(fact >> 8), std::uint8_t(fact >> 16),
                                        std::uint8_t(fact >> 24)};
            ok = ok && mmioSeek(OutFile, LONG(SubChunk.dwDataOffset) - 12, SEEK_SET) != -1;
            ok = ok && mmioWrite(OutFile, reinterpret_cast<const char*>(le), 4) == 4;
            // Back to the end, which is where the RIFF chunk's size is taken.
            ok = ok && mmioSeek(OutFile, 0, SEEK_END) != -1;
        }
        ok = ok && mmioAscend(OutFile, &RiffChunk, 0) == MMSYSERR_NOERROR;
        const DWORD e = GetLastError();
        ok = mmioClose(OutFile, 0) == MMSYSERR_NOERROR && ok;
        OutFile = nullptr;
        if (!ok) Fail(WithSystemText(MsgWriteFailed, e));
    }
    open_ = false;
    DWORD e = 0;
    if (!failed_ && !PutOutputInPlace(fileName_, finalName_, &e)) Fail(WithSystemText(MsgReplaceFailed, e));
    if (failed_) DeleteFileA(fileName_.c_str());
    return !failed_;
}

void TAcmDrv::Discard() {
    if (!open_) {
        CloseStreams();
        return;
    }
    EndUnfinished();
    CloseStreams();
    setupDone_ = false;
    RestoreFpu();
    open_ = false;
    DeleteFileA(fileName_.c_str());
}

void TAcmDrv::EndUnfinished() {
    if (UseWma) {
        ReleaseWriter();
    } else if (UsePipe) {
        SrcPending = 0;
        KillPipeEncoder();
    } else if (UseGogo || UseTwinVq) {
        StopEncoder();
    } else if (RawFile) {
        if (RawHandle != INVALID_HANDLE_VALUE) CloseHandle(RawHandle);
        RawHandle = INVALID_HANDLE_VALUE;
    } else if (OutFile) {
        mmioClose(OutFile, 0);
        OutFile = nullptr;
    }
}

// --- External encoder through a pipe -------------------------------------------

void TAcmDrv::ClosePipeHandles() {
    for (HANDLE* h : {&StdOutRead, &StdOutWrite, &StdInRead, &StdInWrite, &StdErrRead, &StdErrWrite, &ChildStdOut,
                      &ChildStdIn, &ChildStdErr})
        CloseAndClear(*h);
}

bool TAcmDrv::StartPipeEncoder(const std::string& fileName) {
    if (ProcessInfo.hProcess != INVALID_HANDLE_VALUE) return false;
    const HANDLE self = GetCurrentProcess();
    auto inheritable = [&](HANDLE& source, HANDLE& child) {
        const bool ok = DuplicateHandle(self, source, self, &child, 0, TRUE, DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
        source = nullptr;  // closed by the duplication either way
        return ok;
    };
    bool ok = CreatePipe(&StdOutRead, &StdOutWrite, nullptr, 0) &&
              CreatePipe(&StdInRead, &StdInWrite, nullptr, PipeBufferSize) &&
              CreatePipe(&StdErrRead, &StdErrWrite, nullptr, 0);
    ok = ok && inheritable(StdOutWrite, ChildStdOut) && inheritable(StdInRead, ChildStdIn) &&
         inheritable(StdErrWrite, ChildStdErr);
    if (!ok) {
        const DWORD e = GetLastError();
        ClosePipeHandles();
        Fail(WithSystemText(MsgEncoderStart, e));
        return false;
    }
    StartupInfo = {};
    StartupInfo.cb = sizeof StartupInfo;
    StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    StartupInfo.wShowWindow = SW_HIDE;
    StartupInfo.hStdInput = ChildStdIn;
    StartupInfo.hStdOutput = ChildStdOut;
    StartupInfo.hStdError = ChildStdErr;
    const std::string line = BuildPipeCommandLine(EncoderPath, EncoderOptions, fileName);
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back('\0');
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &StartupInfo, &pi)) {
        const DWORD e = GetLastError();
        ClosePipeHandles();
        ProcessInfo.hProcess = INVALID_HANDLE_VALUE;
        Fail(WithSystemText(MsgEncoderStart, e));
        return false;
    }
    ProcessInfo = pi;
    {
        wx::TCriticalSection::Lock lock(abortLock_);
        DuplicateHandle(self, pi.hProcess, self, &abortProcess_, 0, FALSE, DUPLICATE_SAME_ACCESS);
    }
    CloseHandle(pi.hThread);
    ProcessInfo.hThread = nullptr;
    CloseAndClear(ChildStdIn);
    CloseAndClear(ChildStdOut);
    CloseAndClear(ChildStdErr);
    // What the encoder prints is read and dropped, so that a talkative
    // encoder never blocks on a full output pipe while we feed its input.
    drainThreads_[0] = CreateThread(nullptr, 0, DrainPipe, StdOutRead, 0, nullptr);
    drainThreads_[1] = CreateThread(nullptr, 0, DrainPipe, StdErrRead, 0, nullptr);
    if (WaitForSingleObject(ProcessInfo.hProcess, 500) == WAIT_TIMEOUT) return true;
    StopPipeEncoder();
    Fail(std::string(MsgEncoderStart) + " (" + ExitCodeLabel + " " + std::to_string(pipeExitCode_) + ")");
    return false;
}

bool TAcmDrv::StopPipeEncoder() {
    if (ProcessInfo.hProcess == INVALID_HANDLE_VALUE) return true;
    CloseAndClear(StdInWrite);  // the encoder sees the end of its input
    bool ended = false;
    for (;;) {
        if (WaitForSingleObject(ProcessInfo.hProcess, 100) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (AbortRequested) break;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(ProcessInfo.hProcess, &code);
    pipeExitCode_ = code;
    // An encoder given up on is ended, so that it lets go of its file.
    if (!ended) EndProcess(ProcessInfo.hProcess);
    for (HANDLE& t : drainThreads_) {
        if (!t) continue;
        if (WaitForSingleObject(t, ended ? 2000 : 0) == WAIT_TIMEOUT) {
            // The pipe is still held open (the encoder runs on after an
            // abort, or passed its handles on): stop reading it.
            CancelSynchronousIo(t);
            WaitForSingleObject(t, 2000);
        }
        CloseAndClear(t);
    }
    ClosePipeHandles();
    {
        wx::TCriticalSection::Lock lock(abortLock_);
        CloseAndClear(abortProcess_);
    }
    CloseHandle(ProcessInfo.hProcess);
    ProcessInfo.hProcess = INVALID_HANDLE_VALUE;
    return ended && code == 0;
}

void TAcmDrv::RequestAbort() {
    AbortRequested = true;
    wx::TCriticalSection::Lock lock(abortLock_);
    // Its end breaks the pipe: the writer's WriteFile fails and sees the abort.
    if (abortProcess_) TerminateProcess(abortProcess_, 1);
}

void TAcmDrv::KillPipeEncoder() {
    if (ProcessInfo.hProcess == INVALID_HANDLE_VALUE) return;
    EndProcess(ProcessInfo.hProcess);
    StopPipeEncoder();
}

bool TAcmDrv::SendToPipe(const std::uint8_t* data, std::uint32_t count) {
    while (count > 0) {
        DWORD done = 0;
        if (StdInWrite && WriteFile(StdInWrite, data, count, &done, nullptr)) {
            data += done;
            count -= done;
            continue;
        }
        const DWORD e = GetLastError();
        // An encoder ended on an abort is no encoder that died.
        if (AbortRequested) {
            Fail(MsgAborted);
            return false;
        }
        // An encoder that has ended, or closed its input, takes nothing more.
        if (!StdInWrite || e == ERROR_BROKEN_PIPE || e == ERROR_NO_DATA || e == ERROR_INVALID_HANDLE ||
            WaitForSingleObject(ProcessInfo.hProcess, 0) == WAIT_OBJECT_0) {
            Fail(MsgEncoderDied);
            return false;
        }
        // A moment for the encoder to take input; its end cuts the wait short.
        WaitForSingleObject(ProcessInfo.hProcess, 10);
    }
    return true;
}

// The PCM gathers in SrcBuf and goes down the pipe in pieces of PipePiece
// bytes; what is left goes at the end (Flush).
bool TAcmDrv::WritePipe(const std::uint8_t* data, std::uint32_t count) {
    while (count > 0) {
        if (SrcPending == 0 && count >= PipePiece) {
            if (!SendToPipe(data, PipePiece)) return false;
            data += PipePiece;
            count -= PipePiece;
            continue;
        }
        const std::uint32_t n = std::min(count, PipePiece - SrcPending);
        std::memcpy(SrcBuf + SrcPending, data, n);
        SrcPending += n;
        data += n;
        count -= n;
        if (SrcPending == PipePiece) {
            SrcPending = 0;
            if (!SendToPipe(SrcBuf, PipePiece)) return false;
        }
    }
    return true;
}

// --- Format helpers -----------------------------------------------------------

bool TAcmDrv::FindMP3Format(std::uint32_t bitsPerSecond, WAVEFORMATEX* format) {
    const TMp3FormatRow* row = FindMp3FormatRow(bitsPerSecond);
    if (!row || !format) return false;
    alignas(4) std::uint8_t mp3[Mp3FormatSize];
    BuildMp3Format(*row, mp3);
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = 2;
    pcm.nSamplesPerSec = row->SampleRate;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = 4;
    pcm.nAvgBytesPerSec = row->SampleRate * 4;
    HACMSTREAM test = nullptr;
    if (acmStreamOpen(&test, nullptr, &pcm, reinterpret_cast<WAVEFORMATEX*>(mp3), nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
        return false;
    acmStreamClose(test, 0);
    std::memcpy(format, mp3, Mp3FormatSize);
    return true;
}

bool TAcmDrv::ChooseFormat(HWND owner, const std::string& title, WAVEFORMATEX* format) {
    FormatTagName.clear();
    FormatName.clear();
    if (!format) return false;
    if (format->wFormatTag == 0) {
        format->wFormatTag = WAVE_FORMAT_PCM;
        format->nChannels = 2;
        format->nSamplesPerSec = 8000;
        format->nAvgBytesPerSec = 16000;
        format->nBlockAlign = 2;
        format->wBitsPerSample = 8;
        format->cbSize = 0;
    }
    // The chooser reads cbSize extra bytes from the 256-byte block.
    if (!FormatFitsBlock(Head(format))) return false;
    char titleBuf[256] = {};
    std::strncpy(titleBuf, title.c_str(), 255);
    ACMFORMATCHOOSEA fc{};
    fc.cbStruct = sizeof fc;
    fc.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    fc.hwndOwner = owner;
    fc.pwfx = format;
    fc.cbwfx = FormatBlockSize;
    fc.pszTitle = titleBuf;
    fc.hInstance = GetModuleHandleA(nullptr);
    if (acmFormatChooseA(&fc) != MMSYSERR_NOERROR) return false;
    FormatTagName = fc.szFormatTag;
    FormatName = fc.szFormat;
    return true;
}

std::string TAcmDrv::GetFormatName(const WAVEFORMATEX* format) {
    if (!format || !FormatFitsBlock(Head(format))) return {};
    ACMFORMATDETAILSA d{};
    d.cbStruct = sizeof d;
    d.dwFormatTag = format->wFormatTag;
    d.pwfx = const_cast<WAVEFORMATEX*>(format);
    d.cbwfx = sizeof(TWaveFormatHead) + format->cbSize;
    if (acmFormatDetailsA(nullptr, &d, ACM_FORMATDETAILSF_FORMAT) != MMSYSERR_NOERROR) return {};
    return d.szFormat;
}

std::string TAcmDrv::GetFormatTagName(int formatTag, int formatSize) {
    ACMFORMATTAGDETAILSA t{};
    t.cbStruct = sizeof t;
    t.dwFormatTag = DWORD(formatTag);
    t.cbFormatSize = DWORD(formatSize);
    if (acmFormatTagDetailsA(nullptr, &t, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR) return {};
    return t.szFormatTag;
}

// --- Where the output files are written -------------------------------------------

std::string OutputTempName(const std::string& finalName) {
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < finalName.size(); i += wx::SjisCharLength(finalName, i))
        if (finalName[i] == '\\' || finalName[i] == '/' || finalName[i] == ':') nameStart = i + 1;
    const std::string folder = finalName.substr(0, nameStart);
    const std::size_t dot = finalName.find_last_of('.');
    const std::string ext = dot == std::string::npos || dot < nameStart ? std::string() : finalName.substr(dot);
    return MakeEncoderTempName(folder.empty() ? std::string(".") : folder, ".$$$" + ext);
}

TOutputTarget ExamineOutput(const std::string& name) {
    constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = CreateFileA(name.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_SHARING_VIOLATION || e == ERROR_ACCESS_DENIED ? TOutputTarget::InUse : TOutputTarget::Absent;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return TOutputTarget::NotAFile;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return TOutputTarget::ReadOnly;
    // Replacing takes the right to delete, which a program holding the
    // file open may deny.
    h = CreateFileA(name.c_str(), DELETE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return TOutputTarget::InUse;
    CloseHandle(h);
    return TOutputTarget::Replaceable;
}

bool PutOutputInPlace(const std::string& tempName, const std::string& finalName, DWORD* error) {
    if (MoveFileExA(tempName.c_str(), finalName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (error) *error = GetLastError();
    return false;
}
