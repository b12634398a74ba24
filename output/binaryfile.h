// A plain binary file on a Shift-JIS path, with the sharing the tag code
// needs.  Portable: no <windows.h> (the Windows build uses the C runtime's
// shared open).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "classlib/exceptions.h"

// Any failure to open, read, write or position a file.
class EFileStreamError : public wx::Exception {
public:
    using wx::Exception::Exception;
};

class TBinaryFile {
public:
    enum TMode {
        fmOpenRead,       // existing file, read only, others may read and write
        fmOpenReadWrite,  // existing file, read and write, others may only read
        fmCreate,         // new or emptied file, read and write, others may only read
    };

    TBinaryFile() = default;
    // Opens at once; raises EFileStreamError when the file cannot be opened.
    TBinaryFile(const std::string& fileName, TMode mode);
    ~TBinaryFile();
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;

    void Open(const std::string& fileName, TMode mode);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& FileName() const { return name_; }

    // Bytes actually read (fewer at the end of the file).
    std::size_t Read(void* buffer, std::size_t count);
    // Exactly count bytes or EFileStreamError.
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    void Seek(std::int64_t position);
    std::int64_t Position();
    std::int64_t Size();
    void Flush();
    // Cuts (or extends) the file to that many bytes.
    void Truncate(std::int64_t size);

private:
    [[noreturn]] void Fail(const char* what);
    std::FILE* file_ = nullptr;
    std::string name_;
    TMode mode_ = fmOpenRead;
};

// Whether a file of that name exists (a folder does not count).
bool FileExists(const std::string& fileName);
// Removes a file; false when it could not be removed.
bool DeleteFileName(const std::string& fileName);
// Renames a file; false when the target exists or the rename fails.
bool RenameFileName(const std::string& from, const std::string& to);
