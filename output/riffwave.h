// The reader of RIFF WAV files: finds the "fmt " and "data" chunks of the
// "WAVE" form and delivers the PCM of the data chunk.  Every chunk must lie
// inside the file (and inside its form); anything else is a broken file.
// Used wherever an existing WAV file is read for its audio: the normalizer's
// reference measurement and the batch encoder.
//
// Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace wx {

// The 16 bytes of the "fmt " chunk that every PCM file has.
struct TWaveFormat {
    std::uint16_t FormatTag = 0;  // 1: PCM
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    // 44,100 Hz 16-bit stereo PCM, the only format this program converts.
    bool IsCdAudio() const {
        return FormatTag == 1 && Channels == 2 && SamplesPerSec == 44100 && BitsPerSample == 16;
    }
};

enum class TWaveError {
    None,
    CannotOpen,   // the file cannot be opened or read
    NotRiffWave,  // no RIFF header of form "WAVE"
    BrokenChunk,  // a chunk runs past its form or the file, or "fmt " is too short
    NoFormat,     // no "fmt " chunk
    NoData,       // no "data" chunk
    NotCdAudio,   // a WAV file, but not 44.1 kHz 16-bit stereo PCM
};

// Where the data chunk lies.
struct TWaveLayout {
    TWaveFormat Format;
    std::uint64_t DataOffset = 0;
    std::uint64_t DataSize = 0;
};

// Random access to the bytes of a file, or of memory in tests.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual std::uint64_t Size() = 0;
    // Exactly `length` bytes at `position`, or false.
    virtual bool ReadAt(std::uint64_t position, void* buffer, std::uint32_t length) = 0;
};

// Walks the chunks of the form.  The first "fmt " and the first "data"
// chunk count; chunk bodies of odd size are followed by a pad byte.  Does
// not judge the format (see TWaveFormat::IsCdAudio).
TWaveError ParseRiffWave(IByteSource& source, TWaveLayout& layout);

// A WAV file open for reading its PCM.
class TRiffWaveReader {
public:
    TRiffWaveReader() = default;
    ~TRiffWaveReader() { Close(); }
    TRiffWaveReader(const TRiffWaveReader&) = delete;
    TRiffWaveReader& operator=(const TRiffWaveReader&) = delete;

    // Opens and parses the file (a Shift-JIS path on Windows).  With
    // cdAudioOnly anything but 44.1 kHz 16-bit stereo PCM is refused.  On
    // any error the file is closed again.
    TWaveError Open(const std::string& path, bool cdAudioOnly = true);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    const TWaveFormat& Format() const { return layout_.Format; }
    std::uint64_t DataSize() const { return layout_.DataSize; }
    // Bytes of PCM delivered since the start of the data chunk.
    std::uint64_t Position() const { return position_; }
    // Moves within the data chunk (at most to its end); false when the file
    // cannot be positioned.
    bool SetPosition(std::uint64_t position);
    // Up to `length` bytes of PCM, never past the data chunk; fewer (0 at
    // the end) when the chunk or the file runs out.
    std::uint32_t Read(void* buffer, std::uint32_t length);

private:
    std::FILE* file_ = nullptr;
    TWaveLayout layout_;
    std::uint64_t position_ = 0;
};

// A short English description of the error, for logs and tests.
const char* WaveErrorName(TWaveError e);

}  // namespace wx
