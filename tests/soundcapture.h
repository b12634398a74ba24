// What the ALSA file sink of the tests captured (cmake: wx_sound_sink).
// Each open of the sound device writes a file of its own: played.raw, then
// played.raw.0001, ...  The sink is not paced, and whenever the device runs
// dry Wine's driver writes silence of its own, in steps of 10 ms (441
// frames).  A capture is checked against the PCM that was played with such
// silences allowed wherever they fall: every frame of the PCM itself is
// compared, in order.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace soundcapture {

constexpr std::size_t SilenceFrames = 441;

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

// Whether the capture is the PCM (with `prefix`, the start of it: a play
// cut short) with whole steps of the driver's silence put in.  `why` says
// where it differs; `silences` counts the bytes of silence found.
inline bool MatchesWithSilences(const std::vector<std::uint8_t>& capture, const std::vector<std::uint8_t>& pcm,
                                std::string* why = nullptr, std::size_t* silences = nullptr, bool prefix = false) {
    auto frame = [](const std::vector<std::uint8_t>& v, std::size_t f) {
        std::uint32_t x;
        std::memcpy(&x, v.data() + f * 4, 4);
        return x;
    };
    const std::size_t nc = capture.size() / 4, np = pcm.size() / 4;
    auto zerosFrom = [&](const std::vector<std::uint8_t>& v, std::size_t n, std::size_t f) {
        std::size_t z = 0;
        while (f + z < n && frame(v, f + z) == 0) ++z;
        return z;
    };
    if (capture.size() % 4 || pcm.size() % 4) {
        if (why) *why = "not whole frames";
        return false;
    }
    std::size_t i = 0, j = 0, skipped = 0;
    while (j < np) {
        if (prefix && i == nc) break;
        if (i < nc && frame(capture, i) == frame(pcm, j)) {
            ++i;
            ++j;
            continue;
        }
        // The silence began somewhere in the run of zeros both share before
        // here: the capture's zeros beyond the PCM's are the driver's.
        while (i > 0 && j > 0 && frame(capture, i - 1) == 0 && frame(pcm, j - 1) == 0) {
            --i;
            --j;
        }
        const std::size_t zc = zerosFrom(capture, nc, i), zp = zerosFrom(pcm, np, j);
        if (zc <= zp || (zc - zp) % SilenceFrames != 0) {
            if (why)
                *why = "capture frame " + std::to_string(i) + " differs from PCM frame " + std::to_string(j) + " of " +
                       std::to_string(np);
            return false;
        }
        i += zc - zp;
        skipped += zc - zp;
    }
    const std::size_t tail = nc - i;
    if (tail % SilenceFrames != 0 || zerosFrom(capture, nc, i) != tail) {
        if (why) *why = std::to_string(tail) + " frames more than the PCM at the end";
        return false;
    }
    if (silences) *silences = (skipped + tail) * 4;
    return true;
}

}  // namespace soundcapture
