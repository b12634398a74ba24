// The WMA attributes read back into a track record: the bytes the
// attribute editor of the WMA writer library hands out, taken apart here.
// Portable: no <windows.h>; the library's calls stay in wmttag.cpp.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extraction/TrackTable.h"

namespace tagio {

constexpr std::uint32_t WmaTypeDword = 0;
constexpr std::uint32_t WmaTypeString = 1;
// Room the reader gives each value; a larger one is not taken.
constexpr std::size_t WmaValueBytes = 1024;

// One attribute by name ("Title", "WM/Track", ...): false when it is absent
// or unreadable; otherwise its type and value bytes.
using TWmaAttributeGetter = std::function<bool(const char* name, std::uint32_t& type, std::vector<std::uint8_t>& value)>;

// UTF-16 (little-endian, up to the first terminator) to Shift-JIS, cut to
// maxBytes on a character boundary.
std::string WmaTextValue(const std::vector<std::uint8_t>& value, std::size_t maxBytes);
// Fills the record's tag fields from the attributes (Genre -1 when none):
// texts of type 1, the track number of type 1 or 0 stored one higher, the
// genre by its name.
void WmaAttributesToRecord(const TWmaAttributeGetter& get, wx::TTrackRecord& rec);

}  // namespace tagio
