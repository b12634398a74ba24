// The temporary store of the rip engine: two slots of PCM that live in the
// rip memory block first and spill to work files when it is full.  The
// two-stage mode keeps a whole track in slot 0 before converting it; the
// two-pass read keeps one pass in each slot; the normalizer reads slot 0.
//
// Slot 0's memory starts at the block's start; slot 1's memory starts where
// slot 0's data ended when slot 1 was opened.  Bytes of a slot past its
// memory go to its file, which holds only those bytes.  Once slot 1 is
// open, slot 0 keeps the memory it had and grows in its file only.
//
// Portable: no <windows.h>.  The files go through ITempFiles, stdio files
// unless a test names others.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "extraction/wendrisub.h"

namespace wx {

// A work file open for appending and reading back.
class ITempFile {
public:
    virtual ~ITempFile() = default;
    // Appends all of the bytes, or reports failure (a full disk, say).
    virtual bool Append(const void* data, std::uint32_t length) = 0;
    // Bytes delivered from `position` (fewer at the end or on an error).
    virtual std::uint32_t ReadAt(std::uint64_t position, void* data, std::uint32_t length) = 0;
    // Everything appended has reached the file.
    virtual bool Flush() = 0;
};

class ITempFiles {
public:
    virtual ~ITempFiles() = default;
    // A new, empty file (an existing one is emptied); nullptr on failure.
    virtual std::unique_ptr<ITempFile> Create(const std::string& path) = 0;
    virtual bool Remove(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
};

// Files of the C runtime (Shift-JIS paths on Windows).
class TStdioFiles : public ITempFiles {
public:
    std::unique_ptr<ITempFile> Create(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool Exists(const std::string& path) override;
};
// The one instance the program uses.
ITempFiles& StdioFiles();

class TTempStore : public ITempStore {
public:
    static constexpr int SlotCount = 2;
    explicit TTempStore(ITempFiles& files = StdioFiles()) : files_(&files) {}
    ~TTempStore() override { CloseAll(); }

    void Reset(std::uint8_t* memory, std::uint64_t share) override;
    bool Open(const std::string& path) override;
    bool Write(int slot, const void* data, std::uint32_t length) override;
    bool Reopen() override;
    void SetReadPos(int slot, std::int64_t position) override;
    std::int64_t GetReadPos(int slot) const override;
    std::int64_t Size(int slot) const override;
    std::uint32_t Read(int slot, void* data, std::uint32_t length) override;
    void CloseAll() override;
    bool IsOpen() const override { return open_ > 0; }

    int OpenSlots() const { return open_; }
    std::uint64_t Share() const { return share_; }
    // Where a slot's memory starts in the block, and how many of its bytes
    // the memory holds at most.
    std::uint64_t Base(int slot) const;
    std::uint64_t MemoryCap(int slot) const;
    void SetFiles(ITempFiles& files) { files_ = &files; }

private:
    struct TSlot {
        std::unique_ptr<ITempFile> file;
        std::string path;
        std::int64_t size = -1;
        std::int64_t readPos = -1;
        std::uint64_t base = 0;
        std::uint64_t memCap = 0;
    };
    bool Valid(int slot) const { return slot >= 0 && slot < open_; }

    ITempFiles* files_;
    std::uint8_t* memory_ = nullptr;
    std::uint64_t share_ = 0;
    int open_ = 0;
    TSlot slots_[SlotCount];
};

// The usable size of the rip memory block for the store: whole sectors, ten
// fewer than the block holds, or 0.
std::uint64_t TempStoreShare(std::uint64_t blockBytes);

// The program's store (one for the whole program, one rip at a time).
extern TTempStore TempStore;

}  // namespace wx
