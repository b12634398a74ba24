// Sink selector, the Setup parameter records of the output driver and the
// pure rules it works by: the MPEG Layer-3 format table, buffer thresholds,
// the "fact" value, the external encoder's command line and option string,
// and the RIFF INFO blocks handed to the GOGO encoder.  Portable: no
// <windows.h>; the driver itself is in acmmgr32.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output/tagio.h"
#include "settings/configtypes.h"

// The tag fields of a track record, as the tag writers take them.
using TTrackTags = tagio::TTagFields;

// Sink chosen by TAcmDrv::Setup (its third argument).
enum TAcmDrvMode : std::uint8_t {
    admAcmWave = 0,  // RIFF WAVE in PCM or any ACM format
    admWma = 1,      // WMA writer library
    admAcmMp3 = 2,   // raw MP3 through an ACM MPEG Layer-3 codec
    admTwinVq = 3,   // TwinVQ encoder component
    admGogo = 4,     // GOGO encoder component
    admPipe = 5,     // external encoder fed through its standard input
};

// The 18 leading bytes of a WAVEFORMATEX, little-endian; cbSize extra bytes
// follow it in memory.
#pragma pack(push, 1)
struct TWaveFormatHead {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatHead) == 18);

constexpr std::uint16_t WaveFormatPcm = 1;
constexpr std::uint16_t WaveFormatMpegLayer3 = 0x55;
// Every stored or copied format lives in a block of this many bytes.
constexpr std::size_t FormatBlockSize = 256;

// A format whose extra bytes would run past its block is refused: its
// cbSize cannot be trusted.
inline bool FormatFitsBlock(const TWaveFormatHead& f, std::size_t blockSize = FormatBlockSize) {
    return std::size_t(f.cbSize) + sizeof(TWaveFormatHead) <= blockSize;
}

// Mode 1.
struct TWMAEncodeParams {
    std::uint16_t Channels;    // 2 stereo, 1 mono
    std::uint32_t SampleRate;  // Hz
    std::uint32_t BitRate;     // bit/s
};

// Mode 3.
struct TTwinVQEncodeParams {
    std::uint16_t SampleRate;     // kHz (44)
    std::uint16_t Channels;       // 2 stereo, anything else mono
    const TTrackTags* Track;      // tag texts for the header, or nullptr
    std::uint32_t BitRate;        // kbit/s
    std::uint16_t NCan;           // N_CAN quality value
};

// Mode 4.
struct TGogoEncodeParams {
    std::uint8_t CpuFeatures;     // 1 MMX, 2 3DNow!, 4 extended 3DNow!, 8 SSE
    std::uint8_t UseLPF;
    std::uint8_t UsePsy;
    std::uint8_t UseTwoCpus;
    std::uint8_t UseVBR;
    std::int32_t VBRLevel;
    std::uint8_t Priority;        // thread-priority ordinal 0 idle .. 6 time-critical
    std::int32_t ChannelMode;     // TGogoChannel
    std::int32_t BitRate;         // bit/s
    std::uint8_t Emphasis;        // 50/15 us
    std::uint8_t VBRRangeOn;
    std::int32_t VBRLow, VBRHigh; // kbit/s
    std::uint8_t FilterOn;
    std::int32_t FilterLow, FilterHigh;
    std::uint8_t MSOn;
    std::int32_t MSThreshold, MSPower;
    std::uint8_t OutputFormat;    // TGogoFormatType
    const TTrackTags* Track;      // RIFF INFO texts, or nullptr
    std::uint8_t ForceSameRate;   // force 44,100 Hz output
};

// Mode 5.
struct TPipeEncodeParams {
    const char* EncoderPath;  // zero-terminated
    const char* Options;      // zero-terminated
};

#if defined(_WIN64) || defined(__x86_64__)
static_assert(offsetof(TWMAEncodeParams, SampleRate) == 4 && offsetof(TWMAEncodeParams, BitRate) == 8);
static_assert(offsetof(TTwinVQEncodeParams, Track) == 8 && offsetof(TTwinVQEncodeParams, BitRate) == 16 &&
              offsetof(TTwinVQEncodeParams, NCan) == 20 && sizeof(TTwinVQEncodeParams) == 24);
static_assert(offsetof(TGogoEncodeParams, VBRLevel) == 8 && offsetof(TGogoEncodeParams, ChannelMode) == 16 &&
              offsetof(TGogoEncodeParams, OutputFormat) == 60 && offsetof(TGogoEncodeParams, Track) == 64 &&
              offsetof(TGogoEncodeParams, ForceSameRate) == 72);
static_assert(offsetof(TPipeEncodeParams, Options) == 8);
#else
static_assert(offsetof(TWMAEncodeParams, SampleRate) == 4 && offsetof(TWMAEncodeParams, BitRate) == 8);
static_assert(offsetof(TTwinVQEncodeParams, Track) == 4 && offsetof(TTwinVQEncodeParams, BitRate) == 8 &&
              offsetof(TTwinVQEncodeParams, NCan) == 12 && sizeof(TTwinVQEncodeParams) == 16);
static_assert(offsetof(TGogoEncodeParams, VBRLevel) == 8 && offsetof(TGogoEncodeParams, ChannelMode) == 16 &&
              offsetof(TGogoEncodeParams, OutputFormat) == 60 && offsetof(TGogoEncodeParams, Track) == 64 &&
              offsetof(TGogoEncodeParams, ForceSameRate) == 68);
static_assert(offsetof(TPipeEncodeParams, Options) == 4);
#endif

// --- MPEG Layer-3 through ACM ------------------------------------------

struct TMp3FormatRow {
    std::uint32_t BitsPerSecond;
    std::uint32_t SampleRate;  // 0: not offered
    std::uint16_t BlockSize;
};
constexpr int Mp3BitrateCount = 13;
extern const TMp3FormatRow Mp3FormatTable[Mp3BitrateCount];

// The row for a bitrate, or nullptr when the table has none usable.
const TMp3FormatRow* FindMp3FormatRow(std::uint32_t bitsPerSecond);

// The 30-byte MPEG Layer-3 format of a row (stereo, cbSize 12).
constexpr std::size_t Mp3FormatSize = 30;
void BuildMp3Format(const TMp3FormatRow& row, std::uint8_t out[Mp3FormatSize]);

// --- ACM buffering ---------------------------------------------------------

constexpr std::uint32_t AcmSrcBufSize = 0x80000;    // pending source PCM
constexpr std::uint32_t AcmInterBufSize = 0x200000; // intermediate PCM
constexpr std::uint32_t AcmDstBufSize = 0x200000;   // converted target bytes
// While the stream runs, the intermediate stage holds at most this much.
constexpr std::uint32_t AcmInterStageRoom = 0x80000;

// Scale of the source threshold: 100 unless the intermediate format takes
// more bytes per second than the source.
std::int32_t RefillPercentFor(std::uint32_t srcAvgBytes, std::uint32_t interAvgBytes);

// Pending source bytes that trigger a conversion.  Never reaches the
// source buffer's size, so a refill percentage below 100 (intermediate
// rate well above the source's) cannot overrun it.
std::uint32_t SourceThreshold(std::int32_t refillPercent);

// Value of the "fact" chunk: samples per channel of the target format for
// the source frames written, FramesWritten * DstRate / SrcRate, low 32 bits.
std::uint32_t FactSampleCount(std::uint64_t framesWritten, std::uint64_t srcRate, std::uint64_t dstRate);

// --- External encoder --------------------------------------------------------

// Command line of the encoder fed through its standard input:
//   path options "file"
// The program path is quoted when it holds a blank and is not quoted yet,
// so that a path such as C:\Program Files\x\enc.exe starts that program.
std::string BuildPipeCommandLine(const std::string& encoderPath, const std::string& options,
                                 const std::string& fileName);

// What the option builder reads of the settings store.
struct TEncoderOptionSettings {
    bool UseL3Enc = false;           // TForm1::IsUseL3Enc
    bool UseStdin = false;           // TForm1::IsUseStdin
    bool ProgramExists = false;      // the file in ProgramEdit exists
    bool UseOriginalOption = false;
    bool AdditionalOption = false;
    std::string OptionText;          // OptionEdit
    int BitrateIndex = 8;            // 0..12, row of the 13-entry bitrate list
    TExtEncoderType Style = eetLameStdin;
    bool Crc = false, Hq = false, Vbr = false;
    int VbrLevel = 5;                // GogoVBRLevel
    int ScmpxLayer = 3;              // 1..3 (UseLayerType)
};

struct TEncoderOptionResult {
    bool Ok = false;
    std::string Options;
    std::string Message;  // shown to the user when !Ok
};

// The external encoder's option string by the selected command style.
TEncoderOptionResult BuildEncoderOptions(const TEncoderOptionSettings& s);

// SCMPX bitrate index for a layer (1..3) and a bitrate row, -1 when the
// combination is not supported.
int ScmpxBitrateIndex(int layer, int bitrateIndex);

extern const char* const MsgEncoderNotFound;  // 指定されている外部エンコーダが見つかりません.
extern const char* const MsgScmpxBitrate;     // SCMPXは指定のビットレートをサポートしていません.

// --- Text helpers -----------------------------------------------------------

// One RIFF INFO block for the GOGO encoder: the four-character code, the
// text and a zero byte (text length + 5 bytes).  The text is cut to 255
// bytes on a character boundary.
std::vector<std::uint8_t> RiffInfoBlock(const char fourcc[4], const std::string& text);

// The year text as a number: optional blanks, an optional sign and digits,
// nothing else; 0 for anything that is not such a number or does not fit.
std::int32_t YearNumber(const std::string& text);
