#include "output/pcmring.h"

#include <algorithm>
#include <cstring>

namespace wx {

void TPcmRing::CopyInAt(uint32_t pos, const void* data, uint32_t n) {
    const auto* in = static_cast<const unsigned char*>(data);
    const uint32_t first = std::min(n, kCapacity - pos);
    std::memcpy(&buffer_[pos], in, first);
    std::memcpy(&buffer_[0], in + first, n - first);
}

void TPcmRing::CopyOutAt(uint32_t pos, void* out, uint32_t n) const {
    auto* o = static_cast<unsigned char*>(out);
    const uint32_t first = std::min(n, kCapacity - pos);
    std::memcpy(o, &buffer_[pos], first);
    std::memcpy(o + first, &buffer_[0], n - first);
}

bool TPcmRing::Write(const void* data, std::size_t count) {
    if (count == 0 || !data) return false;
    if (count >= Free()) return false;
    const uint32_t n = static_cast<uint32_t>(count);
    CopyInAt(writePos_, data, n);
    CommitWrite(n);
    return true;
}

bool TPcmRing::ReadExact(void* out, std::size_t count) {
    if (count == 0) return true;
    if (count > Used()) return false;
    const uint32_t n = static_cast<uint32_t>(count);
    CopyOutAt(readPos_, out, n);
    CommitRead(n);
    return true;
}

std::size_t TPcmRing::ReadAvailable(void* out, std::size_t count) {
    const uint32_t n = static_cast<uint32_t>(std::min<std::size_t>(count, Used()));
    auto* o = static_cast<unsigned char*>(out);
    CopyOutAt(readPos_, o, n);
    CommitRead(n);
    std::memset(o + n, 0, count - n);
    return n;
}

}  // namespace wx
