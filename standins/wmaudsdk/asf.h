// Advanced Systems Format pieces the WMA writer stand-in needs: the header
// object with file and stream properties, the content description and the
// extended content description, the data object and fixed-size data
// packets carrying one audio stream.  Portable: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace asf {

using Bytes = std::vector<std::uint8_t>;
using Guid = std::array<std::uint8_t, 16>;

// Attribute value types as the writer library's callers use them.
constexpr std::uint16_t AttrDword = 0;
constexpr std::uint16_t AttrString = 1;

struct Attribute {
    std::u16string Name;
    std::uint16_t Type = AttrString;
    Bytes Value;  // strings: UTF-16LE with terminator; numbers: 4 bytes LE
};

// The five attributes kept in the content description object.
bool IsContentDescriptionName(const std::u16string& name);

struct FileInfo {
    Guid FileId{};
    Bytes StreamFormat;             // WAVEFORMATEX with its extra bytes
    std::uint32_t PacketSize = 0;   // every data packet has this size
    std::uint64_t PacketCount = 0;
    std::uint64_t FileSize = 0;
    std::uint64_t PlayDuration = 0; // 100-ns units
    std::uint32_t MaxBitrate = 0;
    std::vector<Attribute> Attributes;
};

// Header object followed by the data object's 50-byte header.
Bytes BuildHeaderAndDataStart(const FileInfo& info);
// Size of BuildHeaderAndDataStart's result.
std::size_t HeaderAndDataStartSize(const FileInfo& info);

constexpr std::size_t DataObjectHeaderSize = 50;
// Packet bytes besides the payload data (packet and payload headers).
constexpr std::uint32_t PacketOverhead = 28;

// One data packet: `data` (at most packetSize - PacketOverhead bytes) as
// media object `objectNumber` presented at `timeMs`; the rest is padding.
Bytes BuildPacket(std::uint32_t packetSize, const std::uint8_t* data, std::uint32_t length,
                  std::uint8_t objectNumber, std::uint32_t timeMs);

// A parsed header.  Objects other than the two descriptions are kept as
// they are so that rewriting the attributes changes nothing else.
struct ParsedHeader {
    std::vector<Bytes> Objects;         // every header object, in order
    std::vector<Attribute> Attributes;  // from both descriptions
    std::uint64_t HeaderSize = 0;       // bytes of the header object
    std::uint64_t FileSize = 0;         // from the file properties
    Bytes StreamFormat;
};

// Parses the header object at the start of `file`; nullopt when it is not
// a well-formed header.
std::optional<ParsedHeader> ParseHeader(const Bytes& file);

// The header object of `parsed` with its descriptions rebuilt from
// `attributes` and the file size in the file properties set to fileSize.
Bytes RebuildHeader(const ParsedHeader& parsed, const std::vector<Attribute>& attributes,
                    std::uint64_t fileSize);

// Attribute lookup and update (a value of length 0 removes it).
const Attribute* FindAttribute(const std::vector<Attribute>& attrs, const std::u16string& name);
void SetAttribute(std::vector<Attribute>& attrs, const std::u16string& name, std::uint16_t type,
                  const Bytes& value);

}  // namespace asf
