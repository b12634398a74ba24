#include <gtest/gtest.h>

#include <cstring>

#include "standins/wmaudsdk/asf.h"

using asf::Bytes;

namespace {

Bytes PcmFormat() {
    // PCM, 2 channels, 44,100 Hz, 176,400 bytes/s, align 4, 16 bits, cbSize 0.
    return {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
}

Bytes Utf16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) {
        b.push_back(std::uint8_t(c));
        b.push_back(std::uint8_t(c >> 8));
    }
    b.insert(b.end(), {0, 0});
    return b;
}

// A complete file: header, data object and `packets` packets of 100 bytes.
Bytes MakeFile(const std::vector<asf::Attribute>& attrs, int packets) {
    asf::FileInfo info;
    info.StreamFormat = PcmFormat();
    info.PacketSize = 100 + asf::PacketOverhead;
    info.PacketCount = std::uint64_t(packets);
    info.Attributes = attrs;
    info.PlayDuration = 1234;
    info.FileSize = asf::HeaderAndDataStartSize(info) + std::uint64_t(info.PacketSize) * info.PacketCount;
    Bytes file = asf::BuildHeaderAndDataStart(info);
    for (int i = 0; i < packets; ++i) {
        Bytes data(100, std::uint8_t(i));
        const Bytes p = asf::BuildPacket(info.PacketSize, data.data(), std::uint32_t(data.size()), std::uint8_t(i), i * 10);
        file.insert(file.end(), p.begin(), p.end());
    }
    return file;
}

}  // namespace

TEST(AsfHeader, RoundTripsFormatSizesAndAttributes) {
    const std::vector<asf::Attribute> attrs = {
        {u"Title", asf::AttrString, Utf16(u"Song \u3042")},
        {u"WM/AlbumTitle", asf::AttrString, Utf16(u"Album")},
        {u"WM/Track", asf::AttrDword, {3, 0, 0, 0}},
    };
    const Bytes file = MakeFile(attrs, 3);
    const auto parsed = asf::ParseHeader(file);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->FileSize, file.size());
    EXPECT_EQ(parsed->StreamFormat, PcmFormat());
    ASSERT_EQ(parsed->Attributes.size(), 3u);
    for (const auto& a : attrs) {
        const asf::Attribute* got = asf::FindAttribute(parsed->Attributes, a.Name);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->Type, a.Type);
        EXPECT_EQ(got->Value, a.Value);
    }
    // The data object follows the header: its GUID starts with 36 26 B2 75
    // and its size counts its 50-byte header and the packets.
    const std::size_t at = std::size_t(parsed->HeaderSize);
    ASSERT_GE(file.size(), at + 50);
    EXPECT_EQ(file[at], 0x36);
    EXPECT_EQ(file[at + 3], 0x75);
    std::uint64_t dataSize = 0;
    for (int i = 7; i >= 0; --i) dataSize = dataSize << 8 | file[at + 16 + i];
    EXPECT_EQ(dataSize, file.size() - at);
}

TEST(AsfHeader, RebuildReplacesOnlyTheDescriptions) {
    const Bytes file = MakeFile({{u"Author", asf::AttrString, Utf16(u"Old")}}, 2);
    auto parsed = asf::ParseHeader(file);
    ASSERT_TRUE(parsed.has_value());
    std::vector<asf::Attribute> attrs = parsed->Attributes;
    asf::SetAttribute(attrs, u"Author", asf::AttrString, Utf16(u"New author"));
    asf::SetAttribute(attrs, u"WM/Genre", asf::AttrString, Utf16(u"Rock"));
    asf::SetAttribute(attrs, u"Title", asf::AttrString, {});  // absent: stays absent
    const Bytes rest(file.begin() + std::ptrdiff_t(parsed->HeaderSize), file.end());
    Bytes head = asf::RebuildHeader(*parsed, attrs, 0);
    head = asf::RebuildHeader(*parsed, attrs, head.size() + rest.size());
    Bytes rewritten = head;
    rewritten.insert(rewritten.end(), rest.begin(), rest.end());

    const auto again = asf::ParseHeader(rewritten);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->FileSize, rewritten.size());
    EXPECT_EQ(again->StreamFormat, PcmFormat());
    EXPECT_EQ(asf::FindAttribute(again->Attributes, u"Author")->Value, Utf16(u"New author"));
    EXPECT_EQ(asf::FindAttribute(again->Attributes, u"WM/Genre")->Value, Utf16(u"Rock"));
    EXPECT_EQ(asf::FindAttribute(again->Attributes, u"Title"), nullptr);
    // Removing the last extended attribute drops its object.
    asf::SetAttribute(attrs, u"WM/Genre", asf::AttrString, {});
    const auto third = asf::ParseHeader(asf::RebuildHeader(*again, attrs, 0));
    ASSERT_TRUE(third.has_value());
    EXPECT_EQ(third->Attributes.size(), 1u);
}

TEST(AsfPacket, FixedSizeWithPadding) {
    const std::uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Bytes p = asf::BuildPacket(200, data, 10, 7, 1500);
    ASSERT_EQ(p.size(), 200u);
    EXPECT_EQ(p[0], 0x82);
    const unsigned padding = p[5] | p[6] << 8;
    EXPECT_EQ(padding, 200u - asf::PacketOverhead - 10);
    EXPECT_EQ(p[14], 7);                                   // media object number
    EXPECT_EQ(p[20] | p[21] << 8, 10);                     // media object size
    EXPECT_EQ(p[24] | p[25] << 8, 1500);                   // presentation time
    EXPECT_EQ(0, std::memcmp(&p[asf::PacketOverhead], data, 10));
    // More than fits is cut to the packet.
    const Bytes big(500, 0x55);
    const Bytes q = asf::BuildPacket(200, big.data(), 500, 0, 0);
    EXPECT_EQ(q.size(), 200u);
    EXPECT_EQ(q[5] | q[6] << 8, 0);
}

TEST(AsfHeader, DamagedHeadersAreRefused) {
    const Bytes file = MakeFile({{u"Title", asf::AttrString, Utf16(u"x")}, {u"WM/Year", asf::AttrString, Utf16(u"1999")}}, 1);
    const auto parsed = asf::ParseHeader(file);
    ASSERT_TRUE(parsed.has_value());
    // Every truncation inside the header fails cleanly.
    for (std::size_t n = 0; n < parsed->HeaderSize; ++n) {
        const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(n));
        EXPECT_FALSE(asf::ParseHeader(cut).has_value()) << n;
    }
    // Any single corrupted byte either parses or is refused, never read
    // past the end (the sanitizers watch).
    for (std::size_t i = 0; i < parsed->HeaderSize; ++i) {
        for (std::uint8_t v : {std::uint8_t(0), std::uint8_t(0xFF), std::uint8_t(0x7F)}) {
            Bytes bad = file;
            bad[i] = v;
            (void)asf::ParseHeader(bad);
        }
    }
    Bytes wrongId = file;
    wrongId[0] ^= 1;
    EXPECT_FALSE(asf::ParseHeader(wrongId).has_value());
}
