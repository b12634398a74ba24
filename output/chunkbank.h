// The header chunks of an existing TwinVQ file: read them, change them, and
// write a new header followed by the old file's audio data.  Portable: no
// <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace wx {

class TChunkBank {
public:
    struct TChunk {
        std::string Id;  // four characters
        std::vector<unsigned char> Data;
    };

    // Reads the chunk area of a TwinVQ file.  True when "DATA" was reached
    // and a "COMM" chunk was seen; on false the list is left empty.
    bool LoadFromFile(const std::string& fileName);
    // Creates fileName (replacing it) with the signature, the chunk-area
    // length and every chunk, "COMM" first.  False (and no chunk written)
    // without a "COMM" chunk; false without creating a file when the list is
    // empty.
    bool SaveHeader(const std::string& fileName) const;
    // Appends "DATA" and the audio data of source to the end of dest.
    static bool AppendAudioData(const std::string& source, const std::string& dest);

    std::string GetChunkString(const std::string& id) const;
    // Replaces the data of the first chunk with this identifier, or appends
    // a new chunk.  Identifiers are four characters; others are ignored.
    void SetChunkString(const std::string& id, const std::string& text);
    int GetYear() const;
    void SetYear(int year);
    void DeleteChunk(const std::string& id);
    void Clear() { chunks_.clear(); }

    // Sum of data length + 8 over all chunks.
    uint32_t ChunkAreaLength() const;
    const std::vector<TChunk>& Chunks() const { return chunks_; }

private:
    TChunk* Find(const std::string& id);
    const TChunk* Find(const std::string& id) const;

    std::vector<TChunk> chunks_;
};

}  // namespace wx
