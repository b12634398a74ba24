#include "output/acmparams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "classlib/sjis.h"

const TMp3FormatRow Mp3FormatTable[Mp3BitrateCount] = {
    {8000, 0, 0},         {16000, 0, 0},        {24000, 11025, 156},  {32000, 11025, 208},
    {56000, 22050, 182},  {64000, 22050, 208},  {96000, 44100, 313},  {112000, 44100, 365},
    {128000, 44100, 417}, {160000, 44100, 522}, {192000, 44100, 626}, {256000, 44100, 835},
    {320000, 44100, 1044},
};

const TMp3FormatRow* FindMp3FormatRow(std::uint32_t bitsPerSecond) {
    for (const auto& row : Mp3FormatTable)
        if (row.BitsPerSecond == bitsPerSecond && row.SampleRate != 0) return &row;
    return nullptr;
}

namespace {
void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
}  // namespace

void BuildMp3Format(const TMp3FormatRow& row, std::uint8_t out[Mp3FormatSize]) {
    std::memset(out, 0, Mp3FormatSize);
    Put16(out + 0, WaveFormatMpegLayer3);
    Put16(out + 2, 2);                       // channels
    Put32(out + 4, row.SampleRate);
    Put32(out + 8, row.BitsPerSecond / 8);   // average bytes per second
    Put16(out + 12, 1);                      // block align
    Put16(out + 14, 0);                      // bits per sample
    Put16(out + 16, 12);                     // cbSize
    Put16(out + 18, 1);                      // wID: MPEG
    Put32(out + 20, 2);                      // fdwFlags: padding off
    Put16(out + 24, row.BlockSize);          // nBlockSize
    Put16(out + 26, 1);                      // nFramesPerBlock
    Put16(out + 28, 1393);                   // nCodecDelay
}

std::int32_t RefillPercentFor(std::uint32_t srcAvgBytes, std::uint32_t interAvgBytes) {
    if (interAvgBytes == 0 || srcAvgBytes >= interAvgBytes) return 100;
    return std::int32_t(std::uint64_t(srcAvgBytes) * 120 / interAvgBytes);
}

std::uint32_t SourceThreshold(std::int32_t refillPercent) {
    if (refillPercent < 1) refillPercent = 1;
    const std::uint32_t t = 52428800u / std::uint32_t(refillPercent) - 1;
    return std::min(t, AcmSrcBufSize - 1);
}

std::uint32_t FactSampleCount(std::uint64_t framesWritten, std::uint64_t srcRate, std::uint64_t dstRate) {
    if (srcRate == 0) return 0;
    // Frames below 2^40 (over seven years of CD audio) times a rate below
    // 2^23 cannot overflow 64 bits; beyond that, divide first.
    std::uint64_t n;
    if (framesWritten < (std::uint64_t(1) << 40) && dstRate < (std::uint64_t(1) << 23))
        n = framesWritten * dstRate / srcRate;
    else
        n = framesWritten / srcRate * dstRate + framesWritten % srcRate * dstRate / srcRate;
    return std::uint32_t(n);
}

std::string BuildPipeCommandLine(const std::string& encoderPath, const std::string& options,
                                 const std::string& fileName) {
    std::string path = encoderPath;
    const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
    if (!quoted && wx::SjisFind(path, ' ') != std::string::npos) path = "\"" + path + "\"";
    return path + " " + options + " \"" + fileName + "\"";
}

// 指定されている外部エンコーダが見つかりません.
const char* const MsgEncoderNotFound =
    "\x8E\x77\x92\xE8\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x8A\x4F\x95\x94\x83\x47\x83\x93\x83\x52\x81\x5B"
    "\x83\x5F\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x2E";
// SCMPXは指定のビットレートをサポートしていません.
const char* const MsgScmpxBitrate =
    "SCMPX\x82\xCD\x8E\x77\x92\xE8\x82\xCC\x83\x72\x83\x62\x83\x67\x83\x8C\x81\x5B\x83\x67\x82\xF0\x83\x54\x83\x7C"
    "\x81\x5B\x83\x67\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x2E";

int ScmpxBitrateIndex(int layer, int bitrateIndex) {
    static const int table[3][Mp3BitrateCount] = {
        {-1, -1, -1, 1, -1, 2, 3, -1, 4, 5, 6, 8, 10},
        {-1, -1, -1, 1, 3, 4, 6, 7, 8, 9, 10, 12, 13},
        {-1, -1, -1, 1, 4, 5, 7, 8, 9, 10, 11, 13, 14},
    };
    if (layer < 1 || layer > 3 || bitrateIndex < 0 || bitrateIndex >= Mp3BitrateCount) return -1;
    return table[layer - 1][bitrateIndex];
}

TEncoderOptionResult BuildEncoderOptions(const TEncoderOptionSettings& s) {
    TEncoderOptionResult r;
    if (!s.UseL3Enc && !s.UseStdin) {
        r.Ok = true;
        return r;
    }
    if (!s.ProgramExists) {
        r.Message = MsgEncoderNotFound;
        return r;
    }
    if (s.UseOriginalOption) {
        r.Options = s.OptionText;
        r.Ok = true;
        return r;
    }
    if (s.BitrateIndex < 0 || s.BitrateIndex >= Mp3BitrateCount) return r;
    const std::string bps = std::to_string(Mp3FormatTable[s.BitrateIndex].BitsPerSecond);
    const std::string kbps = bps.substr(0, bps.size() - 3);
    const std::string extra = s.AdditionalOption ? " " + s.OptionText + " " : std::string();
    std::string o;
    switch (s.Style) {
    case eetL3Enc:
        if (s.Crc) o += "-crc ";
        if (s.Hq) o += "-hq ";
        o += "-br " + bps + extra;
        break;
    case eet8hz:
        if (s.Crc) o += "-c ";
        o += "-b " + kbps + extra;
        break;
    case eetSCMPX: {
        const int index = ScmpxBitrateIndex(s.ScmpxLayer, s.BitrateIndex);
        if (index < 0) {
            r.Message = MsgScmpxBitrate;
            return r;
        }
        o += "/e ";
        if (s.Crc) o += "/c ";
        if (!s.Vbr) o += "/l" + std::to_string(s.ScmpxLayer) + " ";
        o += "/b" + std::to_string(index);
        if (s.Vbr) o += " /vbr ";
        o += extra;
        break;
    }
    default:
        if (s.Hq) o += "-h ";
        if (s.Crc) o += "-p ";
        if (s.Vbr)
            o += "-v -V " + std::to_string(s.VbrLevel) + " -B " + kbps;
        else
            o += "-b " + kbps;
        o += extra + " -r -x - ";
        break;
    }
    r.Options = o;
    r.Ok = true;
    return r;
}

std::vector<std::uint8_t> RiffInfoBlock(const char fourcc[4], const std::string& text) {
    const std::string t = wx::SjisCut(text, 255);
    std::vector<std::uint8_t> block(t.size() + 5, 0);
    std::memcpy(block.data(), fourcc, 4);
    std::memcpy(block.data() + 4, t.data(), t.size());
    return block;
}

std::int32_t YearNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return 0;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        v = v * 10 + (text[i] - '0');
        if (v > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return std::int32_t(negative ? -v : v);
}
