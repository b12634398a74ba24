#include "output/binaryfile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace {

std::FILE* OpenShared(const std::string& name, TBinaryFile::TMode mode) {
    const char* how = mode == TBinaryFile::fmOpenRead ? "rb" : mode == TBinaryFile::fmOpenReadWrite ? "r+b" : "w+b";
#if defined(_WIN32)
    // Readers leave the file open to everybody; writers keep other writers out.
    return _fsopen(name.c_str(), how, mode == TBinaryFile::fmOpenRead ? _SH_DENYNO : _SH_DENYWR);
#else
    return std::fopen(name.c_str(), how);
#endif
}

int SeekTo(std::FILE* f, std::int64_t pos, int whence) {
#if defined(_WIN32)
    return _fseeki64(f, pos, whence);
#else
    return fseeko(f, static_cast<off_t>(pos), whence);
#endif
}

std::int64_t Tell(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

}  // namespace

TBinaryFile::TBinaryFile(const std::string& fileName, TMode mode) { Open(fileName, mode); }

TBinaryFile::~TBinaryFile() { Close(); }

void TBinaryFile::Open(const std::string& fileName, TMode mode) {
    Close();
    name_ = fileName;
    mode_ = mode;
    file_ = OpenShared(fileName, mode);
    if (!file_) Fail("open");
}

void TBinaryFile::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void TBinaryFile::Fail(const char* what) {
    const int err = errno;
    throw EFileStreamError(std::string("Cannot ") + what + " file \"" + name_ + "\"" +
                           (err ? std::string(": ") + std::strerror(err) : std::string()));
}

std::size_t TBinaryFile::Read(void* buffer, std::size_t count) {
    if (!file_) Fail("read");
    // A read after a write needs a positioning call in between.
    if (SeekTo(file_, 0, SEEK_CUR) != 0) Fail("position");
    errno = 0;
    const std::size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_)) Fail("read");
    return n;
}

void TBinaryFile::ReadBuffer(void* buffer, std::size_t count) {
    if (Read(buffer, count) != count) {
        errno = 0;
        Fail("read past the end of");
    }
}

void TBinaryFile::WriteBuffer(const void* buffer, std::size_t count) {
    if (!file_ || mode_ == fmOpenRead) {
        errno = EBADF;
        Fail("write");
    }
    if (SeekTo(file_, 0, SEEK_CUR) != 0) Fail("position");
    if (count && std::fwrite(buffer, 1, count, file_) != count) Fail("write");
}

void TBinaryFile::Seek(std::int64_t position) {
    if (!file_ || position < 0 || SeekTo(file_, position, SEEK_SET) != 0) Fail("position");
}

std::int64_t TBinaryFile::Position() {
    if (!file_) Fail("position");
    const std::int64_t p = Tell(file_);
    if (p < 0) Fail("position");
    return p;
}

std::int64_t TBinaryFile::Size() {
    const std::int64_t here = Position();
    if (SeekTo(file_, 0, SEEK_END) != 0) Fail("position");
    const std::int64_t size = Tell(file_);
    if (size < 0 || SeekTo(file_, here, SEEK_SET) != 0) Fail("position");
    return size;
}

void TBinaryFile::Flush() {
    if (file_ && std::fflush(file_) != 0) Fail("write");
}

void TBinaryFile::Truncate(std::int64_t size) {
    if (!file_ || mode_ == fmOpenRead || size < 0) {
        errno = EBADF;
        Fail("truncate");
    }
    if (std::fflush(file_) != 0) Fail("write");
#if defined(_WIN32)
    if (_chsize_s(_fileno(file_), size) != 0) Fail("truncate");
#else
    if (ftruncate(fileno(file_), static_cast<off_t>(size)) != 0) Fail("truncate");
#endif
}

bool FileExists(const std::string& fileName) {
    struct stat st;
    return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

bool DeleteFileName(const std::string& fileName) { return std::remove(fileName.c_str()) == 0; }

bool RenameFileName(const std::string& from, const std::string& to) {
    struct stat st;
    if (stat(to.c_str(), &st) == 0) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}
