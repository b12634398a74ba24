#include "output/riffwave.h"

#include <algorithm>
#include <cstring>

namespace wx {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

bool Seek64(std::FILE* f, std::uint64_t pos) {
#if defined(_WIN32)
    return _fseeki64(f, std::int64_t(pos), SEEK_SET) == 0;
#else
    return fseeko(f, off_t(pos), SEEK_SET) == 0;
#endif
}

std::int64_t FileSize64(std::FILE* f) {
#if defined(_WIN32)
    if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
    return _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    return std::int64_t(ftello(f));
#endif
}

class TFileSource : public IByteSource {
public:
    TFileSource(std::FILE* f, std::uint64_t size) : f_(f), size_(size) {}
    std::uint64_t Size() override { return size_; }
    bool ReadAt(std::uint64_t position, void* buffer, std::uint32_t length) override {
        if (position > size_ || length > size_ - position) return false;
        return Seek64(f_, position) && std::fread(buffer, 1, length, f_) == length;
    }

private:
    std::FILE* f_;
    std::uint64_t size_;
};

}  // namespace

TWaveError ParseRiffWave(IByteSource& source, TWaveLayout& layout) {
    layout = TWaveLayout{};
    const std::uint64_t fileSize = source.Size();
    std::uint8_t head[12];
    if (fileSize < 12 || !source.ReadAt(0, head, 12)) return TWaveError::NotRiffWave;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return TWaveError::NotRiffWave;
    // The form ends where its size says, but never past the file.
    const std::uint64_t formEnd = std::min<std::uint64_t>(8 + std::uint64_t(Le32(head + 4)), fileSize);
    bool haveFormat = false, haveData = false;
    std::uint64_t pos = 12;
    while (!(haveFormat && haveData) && formEnd >= 8 && pos <= formEnd - 8) {
        std::uint8_t ch[8];
        if (!source.ReadAt(pos, ch, 8)) return TWaveError::CannotOpen;
        const std::uint64_t body = pos + 8;
        const std::uint64_t size = Le32(ch + 4);
        if (size > formEnd - body) return TWaveError::BrokenChunk;
        if (!haveFormat && std::memcmp(ch, "fmt ", 4) == 0) {
            if (size < 16) return TWaveError::BrokenChunk;
            std::uint8_t f[16];
            if (!source.ReadAt(body, f, 16)) return TWaveError::CannotOpen;
            layout.Format.FormatTag = Le16(f);
            layout.Format.Channels = Le16(f + 2);
            layout.Format.SamplesPerSec = Le32(f + 4);
            layout.Format.AvgBytesPerSec = Le32(f + 8);
            layout.Format.BlockAlign = Le16(f + 12);
            layout.Format.BitsPerSample = Le16(f + 14);
            haveFormat = true;
        } else if (!haveData && std::memcmp(ch, "data", 4) == 0) {
            layout.DataOffset = body;
            layout.DataSize = size;
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFormat) return TWaveError::NoFormat;
    if (!haveData) return TWaveError::NoData;
    return TWaveError::None;
}

TWaveError TRiffWaveReader::Open(const std::string& path, bool cdAudioOnly) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return TWaveError::CannotOpen;
    std::int64_t size = FileSize64(file_);
    TWaveError e = TWaveError::CannotOpen;
    if (size >= 0) {
        TFileSource src(file_, std::uint64_t(size));
        e = ParseRiffWave(src, layout_);
    }
    if (e == TWaveError::None && cdAudioOnly && !layout_.Format.IsCdAudio()) e = TWaveError::NotCdAudio;
    if (e == TWaveError::None && !SetPosition(0)) e = TWaveError::CannotOpen;
    if (e != TWaveError::None) Close();
    return e;
}

void TRiffWaveReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    position_ = 0;
}

bool TRiffWaveReader::SetPosition(std::uint64_t position) {
    if (!file_) return false;
    position = std::min(position, layout_.DataSize);
    if (!Seek64(file_, layout_.DataOffset + position)) return false;
    position_ = position;
    return true;
}

std::uint32_t TRiffWaveReader::Read(void* buffer, std::uint32_t length) {
    if (!file_) return 0;
    const std::uint64_t left = layout_.DataSize - position_;
    const std::uint32_t want = std::uint32_t(std::min<std::uint64_t>(length, left));
    if (want == 0) return 0;
    const std::size_t got = std::fread(buffer, 1, want, file_);
    position_ += got;
    return std::uint32_t(got);
}

const char* WaveErrorName(TWaveError e) {
    switch (e) {
    case TWaveError::None: return "no error";
    case TWaveError::CannotOpen: return "cannot open or read the file";
    case TWaveError::NotRiffWave: return "not a RIFF WAVE file";
    case TWaveError::BrokenChunk: return "broken chunk";
    case TWaveError::NoFormat: return "no fmt chunk";
    case TWaveError::NoData: return "no data chunk";
    case TWaveError::NotCdAudio: return "not 44.1 kHz 16-bit stereo PCM";
    }
    return "?";
}

}  // namespace wx
