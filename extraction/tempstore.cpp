#include "extraction/tempstore.h"

#include <algorithm>
#include <cstring>

#include "extraction/ripsample.h"

namespace wx {

namespace {

bool Seek64(std::FILE* f, std::uint64_t pos, int whence) {
#if defined(_WIN32)
    return _fseeki64(f, std::int64_t(pos), whence) == 0;
#else
    return fseeko(f, off_t(pos), whence) == 0;
#endif
}

class TStdioFile : public ITempFile {
public:
    explicit TStdioFile(std::FILE* f) : f_(f) {
        // Unbuffered: a write that does not reach the disk fails at once,
        // not later in a flush nobody checks.
        std::setvbuf(f_, nullptr, _IONBF, 0);
    }
    ~TStdioFile() override { std::fclose(f_); }
    bool Append(const void* data, std::uint32_t length) override {
        if (length == 0) return true;
        if (!Seek64(f_, 0, SEEK_END)) return false;
        return std::fwrite(data, 1, length, f_) == length;
    }
    std::uint32_t ReadAt(std::uint64_t position, void* data, std::uint32_t length) override {
        if (length == 0 || !Seek64(f_, position, SEEK_SET)) return 0;
        return std::uint32_t(std::fread(data, 1, length, f_));
    }
    bool Flush() override { return std::fflush(f_) == 0 && !std::ferror(f_); }

private:
    std::FILE* f_;
};

}  // namespace

std::unique_ptr<ITempFile> TStdioFiles::Create(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w+b");
    if (!f) return nullptr;
    return std::make_unique<TStdioFile>(f);
}

bool TStdioFiles::Remove(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool TStdioFiles::Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

ITempFiles& StdioFiles() {
    // Never destroyed: the program's store may still delete its files
    // while statics are torn down.
    static TStdioFiles* files = new TStdioFiles;
    return *files;
}

TTempStore TempStore;

std::uint64_t TempStoreShare(std::uint64_t blockBytes) {
    std::uint64_t sectors = blockBytes / SectorBytes;
    return sectors > 10 ? (sectors - 10) * SectorBytes : 0;
}

void TTempStore::Reset(std::uint8_t* memory, std::uint64_t share) {
    CloseAll();
    memory_ = memory;
    share_ = memory ? share : 0;
}

bool TTempStore::Open(const std::string& path) {
    if (open_ >= SlotCount) return false;
    std::unique_ptr<ITempFile> f = files_->Create(path);
    if (!f) return false;
    TSlot& s = slots_[open_];
    s.file = std::move(f);
    s.path = path;
    s.size = 0;
    s.readPos = 0;
    if (open_ == 0) {
        s.base = 0;
        s.memCap = share_;
    } else {
        // Slot 1 takes the memory after slot 0's data; slot 0 keeps what it
        // has and grows in its file from now on.
        TSlot& s0 = slots_[0];
        s.base = std::min<std::uint64_t>(std::uint64_t(s0.size), share_);
        s.memCap = share_ - s.base;
        s0.memCap = std::min(s0.memCap, s.base);
    }
    ++open_;
    return true;
}

std::uint64_t TTempStore::Base(int slot) const { return Valid(slot) ? slots_[slot].base : 0; }
std::uint64_t TTempStore::MemoryCap(int slot) const { return Valid(slot) ? slots_[slot].memCap : 0; }

bool TTempStore::Write(int slot, const void* data, std::uint32_t length) {
    if (!Valid(slot)) return false;
    TSlot& s = slots_[slot];
    const auto* src = static_cast<const std::uint8_t*>(data);
    const std::uint64_t p = std::uint64_t(s.size);
    std::uint32_t inMemory = 0;
    if (p < s.memCap) inMemory = std::uint32_t(std::min<std::uint64_t>(length, s.memCap - p));
    if (inMemory) std::memcpy(memory_ + s.base + p, src, inMemory);
    s.size += inMemory;
    const std::uint32_t rest = length - inMemory;
    if (rest == 0) return true;
    if (!s.file->Append(src + inMemory, rest)) return false;
    s.size += rest;
    return true;
}

bool TTempStore::Reopen() {
    for (int i = 0; i < open_; ++i) {
        if (!slots_[i].file->Flush()) return false;
        slots_[i].readPos = 0;
    }
    return open_ > 0;
}

void TTempStore::SetReadPos(int slot, std::int64_t position) {
    if (!Valid(slot)) return;
    slots_[slot].readPos = std::clamp<std::int64_t>(position, 0, slots_[slot].size);
}

std::int64_t TTempStore::GetReadPos(int slot) const { return Valid(slot) ? slots_[slot].readPos : -1; }
std::int64_t TTempStore::Size(int slot) const { return Valid(slot) ? slots_[slot].size : -1; }

std::uint32_t TTempStore::Read(int slot, void* data, std::uint32_t length) {
    if (!Valid(slot)) return 0;
    TSlot& s = slots_[slot];
    auto* dst = static_cast<std::uint8_t*>(data);
    const std::uint64_t p = std::uint64_t(s.readPos);
    length = std::uint32_t(std::min<std::uint64_t>(length, std::uint64_t(s.size) - p));
    std::uint32_t inMemory = 0;
    if (p < s.memCap) inMemory = std::uint32_t(std::min<std::uint64_t>(length, s.memCap - p));
    if (inMemory) std::memcpy(dst, memory_ + s.base + p, inMemory);
    std::uint32_t delivered = inMemory;
    if (length > inMemory) delivered += s.file->ReadAt(p + inMemory - s.memCap, dst + inMemory, length - inMemory);
    s.readPos += delivered;
    return delivered;
}

void TTempStore::CloseAll() {
    for (int i = 0; i < open_; ++i) {
        TSlot& s = slots_[i];
        s.file.reset();
        files_->Remove(s.path);
        s = TSlot{};
    }
    open_ = 0;
}

}  // namespace wx
