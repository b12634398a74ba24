// The 1 MiB PCM ring buffer between the writer of the PCM and an encoder
// component's worker.  One slot is always left empty, so a block exactly as
// large as the free space is refused.  Not locked itself: the components
// call it under their critical section.  Portable: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wx {

class TPcmRing {
public:
    static constexpr uint32_t kCapacity = 1048576;
    static constexpr uint32_t kMask = kCapacity - 1;

    TPcmRing() : buffer_(kCapacity) {}

    void Clear() { writePos_ = readPos_ = 0; }
    uint32_t Free() const { return (readPos_ - writePos_ - 1) & kMask; }
    uint32_t Used() const { return (writePos_ - readPos_) & kMask; }
    uint32_t WritePos() const { return writePos_; }
    uint32_t ReadPos() const { return readPos_; }

    // Copies count bytes in only when count is less than the free space.
    bool Write(const void* data, std::size_t count);
    // Exactly count bytes, or nothing (false).
    bool ReadExact(void* out, std::size_t count);
    // What is there, up to count bytes; the rest of out is zero-filled.
    // Returns the number of bytes copied.
    std::size_t ReadAvailable(void* out, std::size_t count);

    // The steps of Write and of the reads, for a ring shared by one writer
    // and one reader: each side copies outside the lock (the writer into
    // the free space, the reader out of the used space, which the other
    // side does not touch), and only the positions move under it.
    void CopyInAt(uint32_t pos, const void* data, uint32_t count);
    void CopyOutAt(uint32_t pos, void* out, uint32_t count) const;
    // The count bytes at pos when they lie in one piece, else nullptr.
    const unsigned char* InOnePiece(uint32_t pos, uint32_t count) const {
        return count <= kCapacity - pos ? &buffer_[pos] : nullptr;
    }
    void CommitWrite(uint32_t count) { writePos_ = (writePos_ + count) & kMask; }
    void CommitRead(uint32_t count) { readPos_ = (readPos_ + count) & kMask; }

private:

    std::vector<unsigned char> buffer_;
    uint32_t writePos_ = 0;
    uint32_t readPos_ = 0;
};

}  // namespace wx
