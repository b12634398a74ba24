#include "output/chunkbank.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace wx {

namespace {

constexpr char kSignature[] = "TWIN97012000";

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t Get32BE(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void Put32BE(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// Size of an open file in bytes, -1 when it cannot be told.
long long FileSize(std::FILE* f) {
    const long pos = std::ftell(f);
    if (pos < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(f);
    if (std::fseek(f, pos, SEEK_SET) != 0) return -1;
    return size;
}

// Reads the 16-byte file head; the chunk-area length on success.
bool ReadHead(std::FILE* f, uint32_t& length) {
    unsigned char head[16];
    if (std::fread(head, 1, 16, f) != 16 || std::memcmp(head, kSignature, 12) != 0) return false;
    length = Get32BE(head + 12);
    return true;
}

}  // namespace

bool TChunkBank::LoadFromFile(const std::string& fileName) {
    chunks_.clear();
    FilePtr f(std::fopen(fileName.c_str(), "rb"));
    if (!f) return false;
    const long long size = FileSize(f.get());
    uint32_t length = 0;
    if (size < 0 || !ReadHead(f.get(), length)) return false;

    bool sawComm = false, sawData = false;
    long long pos = 16;
    while (pos < static_cast<long long>(length) + 26) {
        unsigned char id[4];
        if (std::fread(id, 1, 4, f.get()) != 4) break;
        pos += 4;
        if (std::memcmp(id, "DATA", 4) == 0) {
            sawData = true;
            break;
        }
        if (std::memcmp(id, "COMM", 4) == 0) sawComm = true;
        unsigned char len[4];
        if (std::fread(len, 1, 4, f.get()) != 4) break;
        pos += 4;
        const uint32_t n = Get32BE(len);
        // A length beyond the end of the file is a broken header; refuse it
        // before reserving memory for it.
        if (static_cast<long long>(n) > size - pos) break;
        TChunk c;
        c.Id.assign(reinterpret_cast<const char*>(id), 4);
        c.Data.resize(n);
        if (n && std::fread(c.Data.data(), 1, n, f.get()) != n) break;
        pos += n;
        chunks_.push_back(std::move(c));
    }
    if (sawData && sawComm) return true;
    chunks_.clear();
    return false;
}

bool TChunkBank::SaveHeader(const std::string& fileName) const {
    if (chunks_.empty()) return false;
    FilePtr f(std::fopen(fileName.c_str(), "wb"));
    if (!f) return false;
    unsigned char head[16];
    std::memcpy(head, kSignature, 12);
    Put32BE(head + 12, ChunkAreaLength());
    bool ok = std::fwrite(head, 1, 16, f.get()) == 16;
    auto write = [&](const TChunk& c) {
        unsigned char h[8];
        std::memcpy(h, c.Id.data(), 4);
        Put32BE(h + 4, static_cast<uint32_t>(c.Data.size()));
        ok = ok && std::fwrite(h, 1, 8, f.get()) == 8;
        if (!c.Data.empty()) ok = ok && std::fwrite(c.Data.data(), 1, c.Data.size(), f.get()) == c.Data.size();
    };
    bool wroteComm = false;
    for (const auto& c : chunks_) {
        if (c.Id == "COMM") {
            write(c);
            wroteComm = true;
        }
    }
    if (wroteComm)
        for (const auto& c : chunks_)
            if (c.Id != "COMM") write(c);
    if (std::fclose(f.release()) != 0) ok = false;
    return ok && wroteComm;
}

bool TChunkBank::AppendAudioData(const std::string& source, const std::string& dest) {
    FilePtr in(std::fopen(source.c_str(), "rb"));
    if (!in) return false;
    const long long size = FileSize(in.get());
    uint32_t length = 0;
    if (size < 0 || !ReadHead(in.get(), length)) return false;
    const long long dataAt = 16 + static_cast<long long>(length);
    if (dataAt + 4 > size || std::fseek(in.get(), static_cast<long>(dataAt), SEEK_SET) != 0) return false;
    char tag[4];
    if (std::fread(tag, 1, 4, in.get()) != 4 || std::memcmp(tag, "DATA", 4) != 0) return false;

    FilePtr out(std::fopen(dest.c_str(), "r+b"));
    if (!out || std::fseek(out.get(), 0, SEEK_END) != 0) return false;
    bool ok = std::fwrite("DATA", 1, 4, out.get()) == 4;
    // Copy no more than the source held when we started, so a destination
    // that is the source itself cannot grow without end.
    long long left = size - dataAt - 4;
    std::vector<unsigned char> block(32768);
    while (ok && left > 0) {
        const size_t want = static_cast<size_t>(left < 32768 ? left : 32768);
        const size_t got = std::fread(block.data(), 1, want, in.get());
        if (got && std::fwrite(block.data(), 1, got, out.get()) != got) ok = false;
        left -= static_cast<long long>(got);
        if (got < want) break;
    }
    if (std::fclose(out.release()) != 0) ok = false;
    return ok;
}

TChunkBank::TChunk* TChunkBank::Find(const std::string& id) {
    for (auto& c : chunks_)
        if (c.Id == id) return &c;
    return nullptr;
}

const TChunkBank::TChunk* TChunkBank::Find(const std::string& id) const {
    for (const auto& c : chunks_)
        if (c.Id == id) return &c;
    return nullptr;
}

std::string TChunkBank::GetChunkString(const std::string& id) const {
    const TChunk* c = Find(id);
    return c ? std::string(c->Data.begin(), c->Data.end()) : std::string();
}

void TChunkBank::SetChunkString(const std::string& id, const std::string& text) {
    if (id.size() != 4) return;
    if (TChunk* c = Find(id)) {
        c->Data.assign(text.begin(), text.end());
        return;
    }
    chunks_.push_back(TChunk{id, std::vector<unsigned char>(text.begin(), text.end())});
}

int TChunkBank::GetYear() const {
    const TChunk* c = Find("YEAR");
    if (!c || c->Data.size() < 2) return 0;
    return c->Data[0] * 256 + c->Data[1];
}

void TChunkBank::SetYear(int year) {
    std::string data;
    data += static_cast<char>((year >> 8) & 0xFF);
    data += static_cast<char>(year & 0xFF);
    data += '\0';
    SetChunkString("YEAR", data);
}

void TChunkBank::DeleteChunk(const std::string& id) {
    for (auto it = chunks_.begin(); it != chunks_.end(); ++it) {
        if (it->Id == id) {
            chunks_.erase(it);
            return;
        }
    }
}

uint32_t TChunkBank::ChunkAreaLength() const {
    uint32_t total = 0;
    for (const auto& c : chunks_) total += static_cast<uint32_t>(c.Data.size()) + 8;
    return total;
}

}  // namespace wx
