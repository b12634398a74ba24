// What the ALSA file sink of the tests captured (cmake: wx_sound_sink).
// Each open of the sound device writes a file of its own: played.raw, then
// played.raw.0001, ...  The sink is not paced, and whenever the device runs
// dry between two buffers Wine's driver writes silence of its own, in steps
// of 10 ms (441 frames, 1764 bytes).  A capture is checked against the PCM
// that was played with such silences allowed at buffer boundaries only, so
// that every byte of the PCM itself is compared.
#pragma once
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace soundcapture {

constexpr std::size_t SilenceStep = 1764;

// The n-th capture file of a sink folder (0: played.raw).
inline std::string CaptureName(const std::string& dir, int n) {
    if (n == 0) return dir + "\\played.raw";
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%04d", n);
    return dir + "\\played.raw" + suffix;
}

inline std::vector<std::uint8_t> ReadCapture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Number of zero bytes from `at` on.
inline std::size_t ZerosFrom(const std::vector<std::uint8_t>& v, std::size_t at) {
    std::size_t n = 0;
    while (at + n < v.size() && v[at + n] == 0) ++n;
    return n;
}

// Whether the capture is the PCM with silences of the driver at the
// boundaries of the device buffers (every `bufferBytes` of the PCM) and at
// its end.  `why` says where it differs; `silences` counts the bytes skipped.
inline bool MatchesWithSilences(const std::vector<std::uint8_t>& capture, const std::vector<std::uint8_t>& pcm,
                                std::size_t bufferBytes, std::string* why = nullptr,
                                std::size_t* silences = nullptr) {
    std::size_t i = 0, skipped = 0;
    auto gap = [&](std::size_t j) {
        // The zeros of the capture beyond those of the PCM, when they make
        // whole steps of the driver, are its own.
        std::size_t zc = ZerosFrom(capture, i);
        std::size_t zp = 0;
        while (j + zp < pcm.size() && pcm[j + zp] == 0 && (zp == 0 || (j + zp) % bufferBytes != 0)) ++zp;
        if (zc > zp) {
            std::size_t extra = (zc - zp) / SilenceStep * SilenceStep;
            i += extra;
            skipped += extra;
        }
    };
    for (std::size_t j = 0; j < pcm.size(); ++j) {
        if (j % bufferBytes == 0) gap(j);
        if (i >= capture.size() || capture[i] != pcm[j]) {
            if (why)
                *why = "capture byte " + std::to_string(i) + " differs from PCM byte " + std::to_string(j) + " of " +
                       std::to_string(pcm.size());
            return false;
        }
        ++i;
    }
    std::size_t tail = capture.size() - i;
    if (tail % SilenceStep != 0 || ZerosFrom(capture, i) != tail) {
        if (why) *why = std::to_string(tail) + " bytes more than the PCM at the end";
        return false;
    }
    if (silences) *silences = skipped + tail;
    return true;
}

}  // namespace soundcapture
