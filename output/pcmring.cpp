#include "output/pcmring.h"

#include <algorithm>
#include <cstring>

namespace wx {

bool TPcmRing::Write(const void* data, std::size_t count) {
    if (count == 0 || !data) return false;
    if (count >= Free()) return false;
    const auto* in = static_cast<const unsigned char*>(data);
    const uint32_t n = static_cast<uint32_t>(count);
    const uint32_t first = std::min(n, kCapacity - writePos_);
    std::memcpy(&buffer_[writePos_], in, first);
    std::memcpy(&buffer_[0], in + first, n - first);
    writePos_ = (writePos_ + n) & kMask;
    return true;
}

void TPcmRing::CopyOut(unsigned char* out, uint32_t n) {
    const uint32_t first = std::min(n, kCapacity - readPos_);
    std::memcpy(out, &buffer_[readPos_], first);
    std::memcpy(out + first, &buffer_[0], n - first);
    readPos_ = (readPos_ + n) & kMask;
}

bool TPcmRing::ReadExact(void* out, std::size_t count) {
    if (count == 0) return true;
    if (count > Used()) return false;
    CopyOut(static_cast<unsigned char*>(out), static_cast<uint32_t>(count));
    return true;
}

std::size_t TPcmRing::ReadAvailable(void* out, std::size_t count) {
    const uint32_t n = static_cast<uint32_t>(std::min<std::size_t>(count, Used()));
    auto* o = static_cast<unsigned char*>(out);
    CopyOut(o, n);
    std::memset(o + n, 0, count - n);
    return n;
}

}  // namespace wx
