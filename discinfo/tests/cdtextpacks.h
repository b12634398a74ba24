// Building CD-TEXT packs and parsing them, for the tests.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "discinfo/cdtext.h"

namespace wx {

inline namespace cdtext_test {
using Pack = std::array<std::uint8_t, 18>;

inline Pack MakePack(std::uint8_t type, std::uint8_t track, std::uint8_t flags, const std::string& text) {
    Pack p{};
    p[0] = type;
    p[1] = track;
    p[3] = flags;
    for (std::size_t i = 0; i < 12 && i < text.size(); ++i) p[4 + i] = static_cast<std::uint8_t>(text[i]);
    return p;
}

// The three size-information packs of a block.
inline void AddSizeInfo(std::vector<Pack>& packs, int block, int charCode, int first, int last, int language) {
    const auto b = static_cast<std::uint8_t>(block << 4);
    Pack p0 = MakePack(0x8F, 0, b, "");
    p0[4] = static_cast<std::uint8_t>(charCode);
    p0[5] = static_cast<std::uint8_t>(first);
    p0[6] = static_cast<std::uint8_t>(last);
    packs.push_back(p0);
    packs.push_back(MakePack(0x8F, 1, b, ""));
    Pack p2 = MakePack(0x8F, 2, b, "");
    p2[8 + block] = static_cast<std::uint8_t>(language);
    packs.push_back(p2);
}

inline std::vector<std::uint8_t> Seal(std::vector<Pack> packs, bool breakCrc = false) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < packs.size(); ++i) {
        Pack& p = packs[i];
        p[2] = static_cast<std::uint8_t>(i);
        const std::uint16_t crc = static_cast<std::uint16_t>(~CdTextCrc16(p.data(), 16) ^ (breakCrc ? 0x0101 : 0));
        p[16] = static_cast<std::uint8_t>(crc >> 8);
        p[17] = static_cast<std::uint8_t>(crc);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

struct Parsed {
    TCDTextReader r;
    std::string reason;
    int crcReports = 0;
    bool ok = false;
    explicit Parsed(const std::vector<std::uint8_t>& data) {
        r.OnCrcError = [this] { ++crcReports; };
        ok = r.GetLangInfo(data.data(), data.size(), reason);
        if (ok) r.AnalizeAll(data.data(), data.size());
    }
    std::string Text(int block, int track, int slot) const {
        const TCDTextEntry* e = r.Blocks[block].Entry(track);
        return e ? e->Get(slot) : "<none>";
    }
};

}  // namespace cdtext_test
}  // namespace wx
