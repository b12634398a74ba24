#include "output/bstream.h"

#include <algorithm>
#include <cstring>

#include "classlib/sjis.h"

namespace wx {

namespace {

// Arrays the library failed to provide read as zeros, so a frame keeps its
// length instead of crashing the writer.
inline int32_t At(const int32_t* a, long i) { return a ? a[i] : 0; }

int ClampChannels(int c) { return std::clamp(c, 0, 2); }

}  // namespace

void UpdateBitInfo(TTvqBitInfo& info, TTvqEncGetConfInfo getConf, TTvqEncGetVectorInfo getVectors,
                   TTvqEncUpdateVectorInfo updateVectors) {
    info = TTvqBitInfo{};
    if (getConf) getConf(&info.Conf);
    if (getVectors) getVectors(info.W0, info.W1);
    info.UpdateVectorInfo = updateVectors;
}

void WriteTwinVQHeader(PBitFile f, const unsigned char* chunks, int length) {
    static const char kSignature[] = "TWIN97012000";
    for (int i = 0; i < 12; ++i) BitFilePutBits(static_cast<unsigned char>(kSignature[i]), 8, f);
    BitFilePutBits(length, 32, f);
    for (int i = 0; i < length; ++i) BitFilePutBits(chunks[i], 8, f);
    for (char c : std::string("DATA")) BitFilePutBits(static_cast<unsigned char>(c), 8, f);
}

void WriteTwinVQFrame(const TTvqIndex& idx, TTvqBitInfo& info, PBitFile f) {
    TTvqConfInfo& cf = info.Conf;
    const int t = idx.BlockType;
    if (t < 0 || t > 3) return;  // not a frame the library could have made
    TTvqBlockTypeInfo& r = cf.BlockType[t];
    const int channels = ClampChannels(cf.Channels);

    // 1. window type
    BitFilePutBits(idx.WindowType, cf.WindowTypeBits, f);

    // 2. main vector
    int32_t* w0 = info.W0[t];
    int32_t* w1 = info.W1[t];
    if (t == 2 && info.UpdateVectorInfo) info.UpdateVectorInfo(0, &r.MainDivisions, w0, w1);
    const int d = r.MainDivisions;
    for (int i = 0; i < d; ++i) {
        BitFilePutBits(At(idx.MainIndex, i), At(w0, i), f);
        BitFilePutBits(At(idx.MainIndex, d + i), At(w1, i), f);
    }

    // 3. sub-block values and sub-block gains
    const int s = r.SubBlocks, k = r.CountPerSubBlock;
    for (int ch = 0; ch < channels; ++ch)
        for (int j = 0; j < s; ++j)
            for (int q = 0; q < k; ++q)
                BitFilePutBits(At(idx.SubBlockIndex, q + long(k) * (j + long(s) * ch)), r.SubBlockBits, f);
    for (int ch = 0; ch < channels; ++ch)
        for (int j = 0; j < s; ++j) BitFilePutBits(At(idx.SubBlockGain, j + long(s) * ch), cf.SubBlockGainBits, f);

    // 4. per-channel runs
    const int n = r.ChannelRunCount;
    for (int ch = 0; ch < channels; ++ch) {
        BitFilePutBits(At(idx.ChannelRun, long(n + 1) * ch), cf.ChannelHeadBits, f);
        for (int i = 0; i < n; ++i) BitFilePutBits(At(idx.ChannelRun, long(n + 1) * ch + 1 + i), cf.ChannelRunBits, f);
    }

    // 5. per-channel gains
    for (int ch = 0; ch < channels; ++ch) {
        const int32_t* a = idx.Gain[ch];
        BitFilePutBits(At(a, 0), cf.GainBits0, f);
        BitFilePutBits(At(a, 1), cf.GainBits1, f);
        for (int i = 0; i < cf.GainRestCount; ++i) BitFilePutBits(At(a, 2 + i), cf.GainRestBits, f);
    }

    // 6. shared run, with the widths of block type 3
    if (r.HasSharedRun != 0) {
        const int m = cf.SharedCount;
        for (int i = 0; i < m; ++i) {
            BitFilePutBits(At(idx.SharedIndex, i), At(info.W0[3], i), f);
            BitFilePutBits(At(idx.SharedIndex, m + i), At(info.W1[3], i), f);
        }
        for (int ch = 0; ch < channels; ++ch) {
            BitFilePutBits(idx.SharedValue0[ch], cf.SharedBits0, f);
            BitFilePutBits(idx.SharedValue1[ch], cf.SharedBits1, f);
        }
    }

    // 7. band run
    if (r.HasBandRun != 0) {
        const int u = r.UpperBound, b = r.LowerBound;
        for (int ch = 0; ch < channels; ++ch)
            for (int j = 0; j < s; ++j)
                for (int q = b; q < u; ++q)
                    BitFilePutBits(At(idx.BandIndex[ch], long(j) * (u - b) + q - b), r.BandBits, f);
    }
}

void PcmToFloatFrame(int sampleCount, const int16_t* pcm, float* frame, int channels, int frameSize) {
    if (channels <= 0 || frameSize <= 0) return;
    std::fill(frame, frame + long(channels) * frameSize, 0.0f);
    const int perChannel = std::min(std::max(sampleCount, 0) / channels, frameSize);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < perChannel; ++i) frame[long(c) * frameSize + i] = static_cast<float>(pcm[long(i) * channels + c]);
}

namespace {

void Put32BE(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void PutChunk(std::vector<unsigned char>& out, const char* id, const std::string& data) {
    out.insert(out.end(), id, id + 4);
    Put32BE(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

std::vector<unsigned char> BuildTwinVQChunks(const TTvqCommon& common, const TTvqTagTexts& texts) {
    std::vector<unsigned char> comm;
    Put32BE(comm, static_cast<uint32_t>(common.ChannelMode));
    Put32BE(comm, static_cast<uint32_t>(common.BitRate));
    Put32BE(comm, static_cast<uint32_t>(common.SampleRate));
    Put32BE(comm, static_cast<uint32_t>(common.Security));
    std::vector<unsigned char> out;
    out.reserve(64);
    PutChunk(out, "COMM", std::string(comm.begin(), comm.end()));
    const std::pair<const char*, const std::string*> textChunks[] = {
        {"NAME", &texts.Title},   {"AUTH", &texts.Author},    {"ALBM", &texts.Album},
        {"COMT", &texts.Comment}, {"(c) ", &texts.CopyRight}, {"FILE", &texts.FileName},
    };
    for (const auto& [id, text] : textChunks)
        if (!text->empty()) PutChunk(out, id, SjisCut(*text, kTvqMaxText));
    if (texts.Year > 0) {
        std::string y;
        y += static_cast<char>((texts.Year >> 8) & 0xFF);
        y += static_cast<char>(texts.Year & 0xFF);
        y += '\0';
        PutChunk(out, "YEAR", y);
    }
    return out;
}

}  // namespace wx
