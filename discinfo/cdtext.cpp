#include "discinfo/cdtext.h"

#include <algorithm>
#include <cstring>

namespace wx {

namespace {

// Code page 437 bytes 0x80..0xFF as ISO-8859-1 (blank where it has no such
// character), with 0x9F and 0xF9 as 0x83 and 0x95.
constexpr std::uint8_t kCp437To8859[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x20, 0x83,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0x20, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0xDF, 0x20, 0x20, 0x20, 0x20, 0xB5, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0xB1, 0x20, 0x20, 0x20, 0x20, 0xF7, 0x20, 0xB0, 0x95, 0xB7, 0x20, 0x20, 0xB2, 0x20, 0x20,
};

// Language codes in the order of their names in the message table.
constexpr int kLanguageCodes[] = {0x00, 0x09, 0x08, 0x0F, 0x0A, 0x15, 0x69, 0x65, 0x75, 0x21, 0x1D,
                                  0x07, 0x28, 0x1E, 0x27, 0x20, 0x56, 0x26, 0x1B, 0x06, 0x70, 0x29};

std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i << 8);
        for (int k = 0; k < 8; ++k) c = static_cast<std::uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
        t[i] = c;
    }
    return t;
}

const std::array<std::uint16_t, 256>& CrcTable() {
    static const std::array<std::uint16_t, 256> table = MakeCrcTable();
    return table;
}

std::uint16_t CrcStep(std::uint16_t crc, std::uint8_t b) {
    return static_cast<std::uint16_t>((crc << 8) ^ CrcTable()[((crc >> 8) ^ b) & 0xFF]);
}

bool IsPackType(std::uint8_t t) { return t >= 0x80 && t <= 0x8F; }
int BlockOf(const std::uint8_t* p) { return (p[3] >> 4) & 7; }
bool DoubleByte(const std::uint8_t* p) { return (p[3] & 0x80) != 0; }
int CharPosition(const std::uint8_t* p) { return p[3] & 0x0F; }

}  // namespace

std::uint8_t CdTextPackType(int slot) {
    return static_cast<std::uint8_t>(slot >= kCdTextGenre ? 0x87 : 0x80 + std::max(slot, 0));
}

std::string TCDTextEntry::Get(int slot) const {
    const auto& s = Text[static_cast<std::size_t>(slot)];
    return std::string(s.data(), strnlen(s.data(), 255));
}

void TCDTextInfo::Reset() {
    LanguageCode = CharCode = FirstTrack = LastTrack = -1;
    EntryCount = 0;
    Entries.clear();
}

const TCDTextEntry* TCDTextInfo::Entry(int track) const {
    if (track < 0 || static_cast<std::size_t>(track) >= Entries.size()) return nullptr;
    return &Entries[static_cast<std::size_t>(track)];
}

std::uint16_t CdTextCrc16(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) crc = CrcStep(crc, data[i]);
    return crc;
}

void TCDTextReader::CalcCRC(std::uint8_t b) { crc_ = CrcStep(crc_, b); }

bool TCDTextReader::CheckPacket(const std::uint8_t* pack) {
    if (crcReported_) return true;
    InitCRC();
    for (int i = 0; i < 16; ++i) CalcCRC(pack[i]);
    const std::uint16_t stored = static_cast<std::uint16_t>((pack[16] << 8) | pack[17]);
    return crc_ == static_cast<std::uint16_t>(~stored);
}

void TCDTextReader::Clear() {
    for (auto& b : Blocks) b.Reset();
    BlockCount = 0;
    crcReported_ = false;
}

bool TCDTextReader::GetLangInfo(const std::uint8_t* buffer, std::size_t length, std::string& reason) {
    reason.clear();
    for (auto& b : Blocks) b.Reset();
    BlockCount = 0;
    const std::size_t packs = length / kCdTextPackSize;

    // Block scan: one pass from the start per block sought.
    int found = 0;
    while (found < kCdTextMaxBlocks) {
        bool hit = false;
        for (std::size_t i = 0; i < packs && !hit; ++i) {
            const std::uint8_t* p = buffer + i * kCdTextPackSize;
            if (!CheckPacket(p)) {
                crcReported_ = true;
                if (OnCrcError) OnCrcError();
            }
            if (!IsPackType(p[0])) {
                reason = kCdTextIllegalCode;
                return false;
            }
            hit = p[0] == 0x8F && BlockOf(p) == found;
        }
        if (!hit) break;
        ++found;
    }
    if (found == 0) {
        reason = kCdTextIllegalGroup;
        return false;
    }

    for (int j = 0; j < found; ++j) {
        TCDTextInfo& info = Blocks[static_cast<std::size_t>(j)];
        for (std::size_t i = 0; i < packs; ++i) {
            const std::uint8_t* p = buffer + i * kCdTextPackSize;
            if (!IsPackType(p[0])) {
                reason = kCdTextIllegalCode;
                return false;
            }
            if (p[0] != 0x8F || BlockOf(p) != j) continue;
            if (p[1] == 0) {
                info.CharCode = p[4];
                info.FirstTrack = p[5];
                info.LastTrack = p[6];
                if (info.LastTrack < info.FirstTrack) {
                    reason = kCdTextIllegalTracks;
                    return false;
                }
            } else if (p[1] == 2) {
                info.LanguageCode = p[8 + j];
            }
        }
    }
    BlockCount = found;
    for (int j = 0; j < found; ++j) {
        TCDTextInfo& info = Blocks[static_cast<std::size_t>(j)];
        info.EntryCount = info.LastTrack <= 0 ? 1 : info.LastTrack;
        info.Entries.assign(static_cast<std::size_t>(info.EntryCount) + 1, TCDTextEntry{});
        for (int e = 0; e <= info.EntryCount; ++e) info.Entries[static_cast<std::size_t>(e)].Index = e;
    }
    return true;
}

void TCDTextReader::AnalizeCDTextPack(const std::uint8_t* buffer, std::size_t length, int slot) {
    const std::uint8_t type = CdTextPackType(slot);
    const std::size_t packs = length / kCdTextPackSize;
    const auto s = static_cast<std::size_t>(slot);
    for (int j = 0; j < BlockCount; ++j) {
        TCDTextInfo& info = Blocks[static_cast<std::size_t>(j)];
        TCDTextEntry scratch;
        TCDTextEntry* entry = &scratch;
        int track = -1;
        int carried = 0;
        auto follow = [&](int t) {
            entry = (t >= 0 && t <= info.EntryCount) ? &info.Entries[static_cast<std::size_t>(t)] : &scratch;
        };
        for (std::size_t i = 0; i < packs; ++i) {
            const std::uint8_t* p = buffer + i * kCdTextPackSize;
            if (p[0] != type || BlockOf(p) != j) continue;
            if (p[1] != track) {
                track = p[1];
                follow(track);
            }
            const bool dbcs = DoubleByte(p);
            int c = CharPosition(p);
            if (c == 15)
                c = carried;
            else if (dbcs)
                c *= 2;
            auto terminate = [&] {
                ++track;
                follow(track);
                c = 0;
            };
            if (!dbcs) {
                for (int k = 4; k < 16; ++k) {
                    if (p[k] == 0) {
                        terminate();
                        continue;
                    }
                    if (c < 255) entry->Text[s][static_cast<std::size_t>(c)] = static_cast<char>(p[k]);
                    ++c;
                }
            } else {
                for (int k = 4; k + 1 < 16; k += 2) {
                    const std::uint8_t a = p[k], b = p[k + 1];
                    if (a == 0 && b == 0) {
                        terminate();
                        continue;
                    }
                    // A pair with exactly one zero byte carries no character:
                    // it is skipped.
                    if (a == 0 || b == 0) continue;
                    if (c < 255) entry->Text[s][static_cast<std::size_t>(c)] = static_cast<char>(a);
                    if (c < 254) entry->Text[s][static_cast<std::size_t>(c) + 1] = static_cast<char>(b);
                    c += 2;
                }
            }
            // A carried position past the slot's end stays past it.
            carried = std::min(c, 0x10000);
        }
    }
}

void TCDTextReader::AnalizeAll(const std::uint8_t* buffer, std::size_t length) {
    for (int slot : {kCdTextTitle, kCdTextPerformer, kCdTextComposer, kCdTextArranger, kCdTextSongwriter,
                     kCdTextMessage})
        AnalizeCDTextPack(buffer, length, slot);
}

int CdTextLanguageIndex(int code) {
    for (int i = 0; i < kCdTextLanguages; ++i)
        if (kLanguageCodes[i] == code) return i;
    return -1;
}

std::string CdTextCodeName(int code) {
    switch (code) {
        case 0: return "ISO-8859-1";
        case 1: return "ASCII";
        case 0x80: return "MS-JIS";
        default: return "Unknown";
    }
}

std::string ConvAnsiTo8859(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<std::uint8_t>(ch);
        out.push_back(b < 0x80 ? ch : static_cast<char>(kCp437To8859[b - 0x80]));
    }
    return out;
}

long CdTextPackLength(const std::uint8_t* answer, std::size_t transferred) {
    if (transferred < 4) return 0;
    const long claimed = ((static_cast<long>(answer[0]) << 8) | answer[1]) - 2;
    if (claimed > 0x3FFF) return -1;
    if (claimed < 2) return 0;
    const long there = static_cast<long>(transferred - 4);
    const long usable = std::min(claimed, there);
    return usable - usable % static_cast<long>(kCdTextPackSize);
}

}  // namespace wx
