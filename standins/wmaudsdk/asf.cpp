#include "standins/wmaudsdk/asf.h"

#include <algorithm>
#include <cstring>

namespace asf {
namespace {

constexpr Guid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint64_t d4) {
    Guid g{};
    for (int i = 0; i < 4; ++i) g[i] = std::uint8_t(d1 >> (8 * i));
    for (int i = 0; i < 2; ++i) g[4 + i] = std::uint8_t(d2 >> (8 * i));
    for (int i = 0; i < 2; ++i) g[6 + i] = std::uint8_t(d3 >> (8 * i));
    for (int i = 0; i < 8; ++i) g[8 + i] = std::uint8_t(d4 >> (8 * (7 - i)));
    return g;
}

constexpr Guid HeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr Guid DataObject = MakeGuid(0x75B22636, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr Guid FilePropertiesObject = MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365ull);
constexpr Guid StreamPropertiesObject = MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365ull);
constexpr Guid HeaderExtensionObject = MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365ull);
constexpr Guid HeaderExtensionReserved = MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8EE600C00C205365ull);
constexpr Guid ContentDescriptionObject = MakeGuid(0x75B22633, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr Guid ExtendedContentDescriptionObject = MakeGuid(0xD2D0A440, 0xE307, 0x11D2, 0x97F000A0C95EA850ull);
constexpr Guid AudioMedia = MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD00805F5C442Bull);
constexpr Guid NoErrorCorrection = MakeGuid(0x20FB5700, 0x5B55, 0x11CF, 0xA8FD00805F5C442Bull);

// ASF value types of the extended content description.
constexpr std::uint16_t AsfUnicode = 0, AsfDword = 3;

const char16_t* const ContentNames[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};

class Writer {
public:
    Bytes b;
    void U8(std::uint8_t v) { b.push_back(v); }
    void U16(std::uint16_t v) { Le(v, 2); }
    void U32(std::uint32_t v) { Le(v, 4); }
    void U64(std::uint64_t v) { Le(v, 8); }
    void Put(const Guid& g) { b.insert(b.end(), g.begin(), g.end()); }
    void Put(const Bytes& v) { b.insert(b.end(), v.begin(), v.end()); }
    void Put(const std::uint8_t* p, std::size_t n) { b.insert(b.end(), p, p + n); }

private:
    void Le(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    }
};

std::uint64_t Get(const std::uint8_t* p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

void Patch(Bytes& b, std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

// An object: GUID, 64-bit size, body.
Bytes Object(const Guid& id, const Bytes& body) {
    Writer w;
    w.Put(id);
    w.U64(24 + body.size());
    w.Put(body);
    return w.b;
}

Bytes Utf16Bytes(const std::u16string& s, bool terminator) {
    Bytes out;
    for (char16_t c : s) {
        out.push_back(std::uint8_t(c));
        out.push_back(std::uint8_t(c >> 8));
    }
    if (terminator) out.insert(out.end(), {0, 0});
    return out;
}

std::u16string FromUtf16Bytes(const std::uint8_t* p, std::size_t n) {
    std::u16string s;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const char16_t c = char16_t(p[i] | (p[i + 1] << 8));
        if (c == 0) break;
        s.push_back(c);
    }
    return s;
}

Bytes ContentDescription(const std::vector<Attribute>& attrs) {
    Bytes values[5];
    for (int i = 0; i < 5; ++i) {
        const Attribute* a = FindAttribute(attrs, ContentNames[i]);
        if (a && a->Type == AttrString && a->Value.size() <= 0xFFFF) values[i] = a->Value;
    }
    Writer w;
    for (const auto& v : values) w.U16(std::uint16_t(v.size()));
    for (const auto& v : values) w.Put(v);
    return Object(ContentDescriptionObject, w.b);
}

Bytes ExtendedContentDescription(const std::vector<Attribute>& attrs) {
    Writer body;
    std::uint16_t count = 0;
    for (const auto& a : attrs) {
        if (IsContentDescriptionName(a.Name) && a.Type == AttrString) continue;
        const Bytes name = Utf16Bytes(a.Name, true);
        if (name.size() > 0xFFFF || a.Value.size() > 0xFFFF) continue;
        body.U16(std::uint16_t(name.size()));
        body.Put(name);
        body.U16(a.Type == AttrDword ? AsfDword : AsfUnicode);
        body.U16(std::uint16_t(a.Value.size()));
        body.Put(a.Value);
        ++count;
    }
    Writer w;
    w.U16(count);
    w.Put(body.b);
    return Object(ExtendedContentDescriptionObject, w.b);
}

bool HasExtended(const std::vector<Attribute>& attrs) {
    return std::any_of(attrs.begin(), attrs.end(),
                       [](const Attribute& a) { return !(IsContentDescriptionName(a.Name) && a.Type == AttrString); });
}

Bytes AssembleHeader(const std::vector<Bytes>& objects) {
    Writer body;
    body.U32(std::uint32_t(objects.size()));
    body.U8(1);
    body.U8(2);
    for (const auto& o : objects) body.Put(o);
    return Object(HeaderObject, body.b);
}

std::vector<Bytes> HeaderObjects(const FileInfo& info) {
    std::vector<Bytes> objects;
    {
        Writer w;
        w.Put(info.FileId);
        w.U64(info.FileSize);
        w.U64(0);  // creation date: not recorded
        w.U64(info.PacketCount);
        w.U64(info.PlayDuration);
        w.U64(info.PlayDuration);  // send duration
        w.U64(0);                  // preroll in ms
        w.U32(2);                  // seekable
        w.U32(info.PacketSize);
        w.U32(info.PacketSize);
        w.U32(info.MaxBitrate);
        objects.push_back(Object(FilePropertiesObject, w.b));
    }
    {
        Writer w;
        w.Put(AudioMedia);
        w.Put(NoErrorCorrection);
        w.U64(0);  // time offset
        w.U32(std::uint32_t(info.StreamFormat.size()));
        w.U32(0);  // error correction data
        w.U16(1);  // stream number 1
        w.U32(0);
        w.Put(info.StreamFormat);
        objects.push_back(Object(StreamPropertiesObject, w.b));
    }
    {
        Writer w;
        w.Put(HeaderExtensionReserved);
        w.U16(6);
        w.U32(0);
        objects.push_back(Object(HeaderExtensionObject, w.b));
    }
    objects.push_back(ContentDescription(info.Attributes));
    if (HasExtended(info.Attributes)) objects.push_back(ExtendedContentDescription(info.Attributes));
    return objects;
}

}  // namespace

bool IsContentDescriptionName(const std::u16string& name) {
    for (const char16_t* n : ContentNames)
        if (name == n) return true;
    return false;
}

Bytes BuildHeaderAndDataStart(const FileInfo& info) {
    Bytes out = AssembleHeader(HeaderObjects(info));
    Writer d;
    d.Put(DataObject);
    d.U64(DataObjectHeaderSize + std::uint64_t(info.PacketSize) * info.PacketCount);
    d.Put(info.FileId);
    d.U64(info.PacketCount);
    d.U16(0x0101);
    out.insert(out.end(), d.b.begin(), d.b.end());
    return out;
}

std::size_t HeaderAndDataStartSize(const FileInfo& info) { return BuildHeaderAndDataStart(info).size(); }

Bytes BuildPacket(std::uint32_t packetSize, const std::uint8_t* data, std::uint32_t length,
                  std::uint8_t objectNumber, std::uint32_t timeMs) {
    const std::uint32_t room = packetSize - PacketOverhead;
    if (length > room) length = room;
    const std::uint32_t padding = room - length;
    Writer w;
    w.U8(0x82);  // error correction data present, 2 bytes
    w.U8(0);
    w.U8(0);
    w.U8(0x10);  // one payload, padding length as a WORD
    w.U8(0x5D);  // replicated data BYTE, offset DWORD, object BYTE, stream BYTE
    w.U16(std::uint16_t(padding));
    w.U32(timeMs);  // send time
    w.U16(0);       // duration
    w.U8(0x81);     // stream 1, key frame
    w.U8(objectNumber);
    w.U32(0);       // offset into the media object
    w.U8(8);        // replicated data: object size, presentation time
    w.U32(length);
    w.U32(timeMs);
    w.Put(data, length);
    w.b.resize(packetSize, 0);
    return w.b;
}

std::optional<ParsedHeader> ParseHeader(const Bytes& file) {
    if (file.size() < 30 || !std::equal(HeaderObject.begin(), HeaderObject.end(), file.begin())) return std::nullopt;
    ParsedHeader out;
    out.HeaderSize = Get(&file[16], 8);
    if (out.HeaderSize < 30 || out.HeaderSize > file.size()) return std::nullopt;
    const std::uint32_t count = std::uint32_t(Get(&file[24], 4));
    std::size_t pos = 30;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (pos + 24 > out.HeaderSize) return std::nullopt;
        const std::uint8_t* o = &file[pos];
        const std::uint64_t size = Get(o + 16, 8);
        if (size < 24 || size > out.HeaderSize - pos) return std::nullopt;
        Guid id;
        std::copy(o, o + 16, id.begin());
        const std::uint8_t* body = o + 24;
        const std::size_t n = std::size_t(size - 24);
        if (id == FilePropertiesObject) {
            if (n < 80) return std::nullopt;
            out.FileSize = Get(body + 16, 8);
        } else if (id == StreamPropertiesObject) {
            if (n < 54) return std::nullopt;
            const std::uint32_t tsd = std::uint32_t(Get(body + 40, 4));
            if (tsd > n - 54) return std::nullopt;
            out.StreamFormat.assign(body + 54, body + 54 + tsd);
        } else if (id == ContentDescriptionObject) {
            if (n < 10) return std::nullopt;
            std::size_t at = 10;
            for (int k = 0; k < 5; ++k) {
                const std::size_t len = std::size_t(Get(body + 2 * k, 2));
                if (len > n - at) return std::nullopt;
                if (len > 0) {
                    Attribute a;
                    a.Name = ContentNames[k];
                    a.Type = AttrString;
                    a.Value.assign(body + at, body + at + len);
                    out.Attributes.push_back(a);
                }
                at += len;
            }
        } else if (id == ExtendedContentDescriptionObject) {
            if (n < 2) return std::nullopt;
            const std::uint32_t entries = std::uint32_t(Get(body, 2));
            std::size_t at = 2;
            for (std::uint32_t k = 0; k < entries; ++k) {
                if (n - at < 2) return std::nullopt;
                const std::size_t nameLen = std::size_t(Get(body + at, 2));
                at += 2;
                if (n - at < nameLen + 4) return std::nullopt;
                Attribute a;
                a.Name = FromUtf16Bytes(body + at, nameLen);
                at += nameLen;
                const std::uint16_t type = std::uint16_t(Get(body + at, 2));
                const std::size_t valueLen = std::size_t(Get(body + at + 2, 2));
                at += 4;
                if (n - at < valueLen) return std::nullopt;
                a.Value.assign(body + at, body + at + valueLen);
                at += valueLen;
                if (type == AsfUnicode)
                    a.Type = AttrString;
                else if (type == AsfDword && valueLen == 4)
                    a.Type = AttrDword;
                else
                    continue;  // kinds the library's callers never set
                out.Attributes.push_back(a);
            }
        }
        out.Objects.emplace_back(o, o + size);
        pos += std::size_t(size);
    }
    return out;
}

Bytes RebuildHeader(const ParsedHeader& parsed, const std::vector<Attribute>& attributes, std::uint64_t fileSize) {
    std::vector<Bytes> objects;
    for (Bytes o : parsed.Objects) {
        Guid id;
        std::copy(o.begin(), o.begin() + 16, id.begin());
        if (id == ContentDescriptionObject || id == ExtendedContentDescriptionObject) continue;
        if (id == FilePropertiesObject) Patch(o, 24 + 16, fileSize, 8);
        objects.push_back(std::move(o));
    }
    objects.push_back(ContentDescription(attributes));
    if (HasExtended(attributes)) objects.push_back(ExtendedContentDescription(attributes));
    return AssembleHeader(objects);
}

const Attribute* FindAttribute(const std::vector<Attribute>& attrs, const std::u16string& name) {
    for (const auto& a : attrs)
        if (a.Name == name) return &a;
    return nullptr;
}

void SetAttribute(std::vector<Attribute>& attrs, const std::u16string& name, std::uint16_t type, const Bytes& value) {
    auto it = std::find_if(attrs.begin(), attrs.end(), [&](const Attribute& a) { return a.Name == name; });
    if (value.empty()) {
        if (it != attrs.end()) attrs.erase(it);
        return;
    }
    if (it == attrs.end()) {
        attrs.push_back({name, type, value});
    } else {
        it->Type = type;
        it->Value = value;
    }
}

}  // namespace asf
