// libFuzzer target: the CDDB disc ID over any table of contents.
//
// Input: byte 0 picks the form.  Bit 0 set: the rest is a READ TOC answer
// in LBA form followed by one in MSF form (two equal halves), read into the
// track table as a disc is, and the ID taken from the table's track times
// as the disc dialog takes it; the ID must then be the one the rule gives.
// Bit 0 clear: the rest is any list of 32-bit start frames, the last one the
// lead-out; every field of the ID must still hold only its own part.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discinfo/discid.h"
#include "extraction/TrackTable.h"
#include "tests/fuzzcheck.h"

namespace {

using fuzz::Check;

void CheckText(std::uint32_t id) {
    const std::string text = wx::CddbDiscIdText(id);
    Check(!text.empty() && text.size() <= 8 && (text == "0" || text[0] != '0'), "ID text length");
    for (char c : text) Check((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'), "ID text not lower-case hex");
    Check(std::strtoul(text.c_str(), nullptr, 16) == id, "ID text is another number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<std::int32_t> starts;
    std::int32_t leadOut = 0;
    if (data[0] & 1) {
        const std::size_t half = (size - 1) / 2;
        const std::vector<std::uint8_t> lba(data + 1, data + 1 + half), msf(data + 1 + half, data + size);
        static wx::TTrackTable t;
        if (!wx::ParseToc(lba.data(), lba.size(), msf.data(), msf.size(), t)) return 0;
        auto frames = [](const wx::TTrackRecord& r) { return r.StartMinute * 4500 + r.StartSecond * 75 + r.StartFrame; };
        for (int i = 1; i <= t.TrackCount; ++i) starts.push_back(frames(t.Slots[i]));
        leadOut = frames(t.Slots[wx::LeadOutSlot]);
        const std::uint32_t id = wx::CddbDiscId(starts, leadOut);
        // The rule, over whole seconds of a disc's times.
        std::uint32_t checksum = 0;
        for (std::int32_t f : starts) {
            Check(f >= 0 && f < leadOut && f <= 99 * 4500 + 59 * 75 + 74, "track time outside the disc");
            for (std::int32_t s = f / 75; s > 0; s /= 10) checksum += std::uint32_t(s % 10);
        }
        const std::uint32_t total = std::uint32_t(leadOut / 75 - starts.front() / 75);
        Check(id == ((checksum % 255) << 24 | total << 8 | std::uint32_t(starts.size())), "ID is not the rule's");
        Check(wx::CddbDiscSeconds(leadOut) >= 0 && wx::CddbDiscSeconds(leadOut) < 6000, "disc length");
        CheckText(id);
        return 0;
    }
    for (std::size_t i = 1; i + 4 <= size; i += 4)
        starts.push_back(std::int32_t(std::uint32_t(data[i]) << 24 | std::uint32_t(data[i + 1]) << 16 |
                                      std::uint32_t(data[i + 2]) << 8 | data[i + 3]));
    if (starts.empty()) return 0;
    leadOut = starts.back();
    starts.pop_back();
    const std::uint32_t id = wx::CddbDiscId(starts, leadOut);
    if (starts.empty()) {
        Check(id == 0, "an ID without tracks");
        return 0;
    }
    Check((id & 0xFF) == (starts.size() & 0xFF), "track count field");
    Check((id >> 24) < 255, "checksum field");
    const std::uint32_t total = std::uint32_t(leadOut / 75) - std::uint32_t(starts.front() / 75);
    Check(((id >> 8) & 0xFFFF) == (total & 0xFFFF), "length field");
    for (std::int32_t f : starts) Check(wx::CDDBDigitSum(f) >= 0 && wx::CDDBDigitSum(f) <= 90, "digit sum");
    CheckText(id);
    return 0;
}
