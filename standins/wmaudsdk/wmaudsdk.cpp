// Stand-in for the WMA writer library "wmaudsdk.dll".  It writes a
// well-formed ASF file whose single audio stream carries the PCM it is
// given (no WMA encoder exists here), and edits the content description and
// extended content description attributes of such files.
#include <atomic>
#include <string>
#include <vector>

#include "output/wmaudiointf.h"
#include "standins/wmaudsdk/asf.h"

namespace {

constexpr std::uint32_t PacketData = 4096;
constexpr std::uint32_t PacketSize = PacketData + asf::PacketOverhead;
constexpr HRESULT NotFound = HRESULT(0xC00D002BL);  // attribute not present

HRESULT LastError() {
    const DWORD e = GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

bool WriteAll(HANDLE h, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        DWORD done = 0;
        const DWORD chunk = DWORD(n > 0x100000 ? 0x100000 : n);
        if (!WriteFile(h, p, chunk, &done, nullptr) || done == 0) return false;
        p += done;
        n -= done;
    }
    return true;
}

bool ReadWholeFile(LPCWSTR name, asf::Bytes& out) {
    HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        out.resize(std::size_t(size.QuadPart));
        std::size_t at = 0;
        while (ok && at < out.size()) {
            DWORD got = 0;
            ok = ReadFile(h, out.data() + at, DWORD(out.size() - at), &got, nullptr) && got > 0;
            at += got;
        }
    }
    CloseHandle(h);
    return ok;
}

template <class I>
class TUnknown : public I {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown) {
            *out = static_cast<IUnknown*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    virtual ~TUnknown() = default;

private:
    std::atomic<ULONG> refs_{1};
};

class TWriter : public TUnknown<IWMAudioWriter> {
public:
    explicit TWriter(HANDLE file) : file_(file) {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        const std::uint64_t seed = std::uint64_t(t.QuadPart) ^ (std::uint64_t(GetCurrentProcessId()) << 32);
        for (int i = 0; i < 16; ++i) info_.FileId[i] = std::uint8_t(seed >> ((i % 8) * 8)) ^ std::uint8_t(i * 37);
    }
    ~TWriter() override {
        if (!finished_) Finish();
        CloseHandle(file_);
    }

    HRESULT STDMETHODCALLTYPE SetInputFormat(const WAVEFORMATEX* f) override {
        if (!f || started_) return E_INVALIDARG;
        if (f->wFormatTag != WAVE_FORMAT_PCM || f->wBitsPerSample != 16 || f->nChannels < 1 || f->nChannels > 2 ||
            f->nBlockAlign != f->nChannels * 2 || f->nSamplesPerSec == 0 ||
            f->nAvgBytesPerSec != f->nSamplesPerSec * f->nBlockAlign)
            return E_INVALIDARG;
        const auto* p = reinterpret_cast<const std::uint8_t*>(f);
        info_.StreamFormat.assign(p, p + 16);
        info_.StreamFormat.insert(info_.StreamFormat.end(), {0, 0});  // cbSize 0
        avgBytes_ = f->nAvgBytesPerSec;
        blockAlign_ = f->nBlockAlign;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetOutputFormat(DWORD bitrate, DWORD sampleRate, DWORD channels, DWORD) override {
        static const DWORD rates[] = {44100, 32000, 22050, 16000, 11025, 8000, 48000};
        bool rateOk = false;
        for (DWORD r : rates) rateOk = rateOk || r == sampleRate;
        if (started_ || bitrate == 0 || !rateOk || channels < 1 || channels > 2) return E_INVALIDARG;
        outputSet_ = true;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE WriteSamples(const BYTE* data, DWORD count) override {
        if (finished_ || failed_ || avgBytes_ == 0 || !outputSet_) return E_UNEXPECTED;
        if (!data && count) return E_POINTER;
        if (!started_ && !Start()) return Fail();
        pending_.insert(pending_.end(), data, data + count);
        std::size_t at = 0;
        while (pending_.size() - at >= PacketData) {
            if (!EmitPacket(pending_.data() + at, PacketData)) return Fail();
            at += PacketData;
        }
        pending_.erase(pending_.begin(), pending_.begin() + at);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Flush() override {
        if (finished_) return S_OK;
        if (failed_ || avgBytes_ == 0 || !outputSet_) return E_UNEXPECTED;
        return Finish() ? S_OK : Fail();
    }

private:
    HRESULT Fail() {
        failed_ = true;
        return LastError();
    }

    bool Start() {
        started_ = true;
        info_.PacketSize = PacketSize;
        info_.MaxBitrate = avgBytes_ * 8;
        const asf::Bytes head = asf::BuildHeaderAndDataStart(info_);
        return WriteAll(file_, head.data(), head.size());
    }

    bool EmitPacket(const std::uint8_t* p, std::uint32_t n) {
        const std::uint32_t timeMs = std::uint32_t(bytes_ * 1000 / avgBytes_);
        const asf::Bytes packet = asf::BuildPacket(PacketSize, p, n, objectNumber_++, timeMs);
        if (!WriteAll(file_, packet.data(), packet.size())) return false;
        bytes_ += n;
        ++info_.PacketCount;
        return true;
    }

    // Writes the last packet and the final header.
    bool Finish() {
        finished_ = true;
        if (failed_ || avgBytes_ == 0 || !outputSet_) return false;
        if (!started_ && !Start()) return false;
        // Whole frames only; a stray partial frame is dropped.
        const std::uint32_t rest = std::uint32_t(pending_.size() / blockAlign_ * blockAlign_);
        if (rest > 0 && !EmitPacket(pending_.data(), rest)) return false;
        pending_.clear();
        info_.PlayDuration = bytes_ * 10000000 / avgBytes_;
        info_.FileSize = asf::HeaderAndDataStartSize(info_) + std::uint64_t(PacketSize) * info_.PacketCount;
        const asf::Bytes head = asf::BuildHeaderAndDataStart(info_);
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(file_, zero, nullptr, FILE_BEGIN)) return false;
        return WriteAll(file_, head.data(), head.size()) && FlushFileBuffers(file_);
    }

    HANDLE file_;
    asf::FileInfo info_;
    asf::Bytes pending_;
    std::uint64_t bytes_ = 0;
    std::uint32_t avgBytes_ = 0;
    std::uint32_t blockAlign_ = 4;
    std::uint8_t objectNumber_ = 0;
    bool outputSet_ = false, started_ = false, finished_ = false, failed_ = false;
};

class TInfo : public TUnknown<IWMAudioInfo> {
public:
    TInfo(std::wstring name, asf::Bytes file, asf::ParsedHeader header)
        : name_(std::move(name)), file_(std::move(file)), header_(std::move(header)), attrs_(header_.Attributes) {}

    HRESULT STDMETHODCALLTYPE GetAttribute(LPCWSTR name, DWORD* type, BYTE* value, DWORD* length) override {
        if (!name || !type || !length) return E_POINTER;
        const asf::Attribute* a = asf::FindAttribute(attrs_, Name(name));
        if (!a) return NotFound;
        *type = a->Type;
        const DWORD size = DWORD(a->Value.size());
        if (!value) {
            *length = size;
            return S_OK;
        }
        if (*length < size) {
            *length = size;
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        std::copy(a->Value.begin(), a->Value.end(), value);
        *length = size;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetAttribute(LPCWSTR name, DWORD type, const BYTE* value, DWORD length) override {
        if (closed_) return E_UNEXPECTED;
        if (!name || !*name || (length && !value)) return E_POINTER;
        if (type == WmaAttrDword) {
            if (length != 4 && length != 0) return E_INVALIDARG;
        } else if (type == WmaAttrString) {
            if (length % 2 || length > 0xFFFF) return E_INVALIDARG;
        } else {
            return E_INVALIDARG;
        }
        asf::Bytes v(value, value + length);
        // Strings are kept with their terminator whatever the caller gave.
        if (type == WmaAttrString && !v.empty() && (v[v.size() - 1] || v[v.size() - 2])) v.insert(v.end(), {0, 0});
        asf::SetAttribute(attrs_, Name(name), std::uint16_t(type), v);
        dirty_ = true;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Close() override {
        if (closed_) return S_OK;
        closed_ = true;
        if (!dirty_) return S_OK;
        const asf::Bytes rest(file_.begin() + std::ptrdiff_t(header_.HeaderSize), file_.end());
        // The file size counts the new header, which holds the file size.
        asf::Bytes head = asf::RebuildHeader(header_, attrs_, 0);
        head = asf::RebuildHeader(header_, attrs_, head.size() + rest.size());
        // Written beside the file first, so that a failure leaves it intact.
        const std::wstring temp = name_ + L".$$$";
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return LastError();
        const bool ok = WriteAll(h, head.data(), head.size()) && WriteAll(h, rest.data(), rest.size());
        const HRESULT written = ok ? S_OK : LastError();
        CloseHandle(h);
        if (ok && MoveFileExW(temp.c_str(), name_.c_str(), MOVEFILE_REPLACE_EXISTING)) return S_OK;
        const HRESULT hr = ok ? LastError() : written;
        DeleteFileW(temp.c_str());
        return hr;
    }

private:
    static std::u16string Name(LPCWSTR s) {
        std::u16string n;
        for (; *s; ++s) n.push_back(char16_t(*s));
        return n;
    }

    std::wstring name_;
    asf::Bytes file_;
    asf::ParsedHeader header_;
    std::vector<asf::Attribute> attrs_;
    bool closed_ = false, dirty_ = false;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI WMAudioCreateWriter(LPCWSTR fileName, IWMAudioWriter** writer) {
    if (!writer) return E_POINTER;
    *writer = nullptr;
    if (!fileName) return E_POINTER;
    HANDLE h = CreateFileW(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    *writer = new TWriter(h);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI WMAudioCreateInfo(LPCWSTR fileName, IWMAudioInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (!fileName) return E_POINTER;
    asf::Bytes file;
    if (!ReadWholeFile(fileName, file)) return LastError();
    auto header = asf::ParseHeader(file);
    if (!header) return E_FAIL;
    *info = new TInfo(fileName, std::move(file), std::move(*header));
    return S_OK;
}
