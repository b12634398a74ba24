#include "output/wmtattr.h"

#include <cstring>

#include "classlib/sjis.h"
#include "output/mp3defs.h"
#include "output/tagio.h"
#include "output/unicodetbl.h"

namespace tagio {

std::string WmaTextValue(const std::vector<std::uint8_t>& value, std::size_t maxBytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
        if (u == 0) break;
        units.push_back(u);
    }
    return wx::SjisCut(UcsToSjis(units), maxBytes);
}

void WmaAttributesToRecord(const TWmaAttributeGetter& get, wx::TTrackRecord& rec) {
    ClearTagFields(rec);
    struct TText {
        const char* name;
        std::string wx::TTrackRecord::*field;
        std::size_t limit;
    };
    const TText texts[] = {
        {"Title", &wx::TTrackRecord::Title, MaxTextBytes},          {"Author", &wx::TTrackRecord::Artist, MaxTextBytes},
        {"Description", &wx::TTrackRecord::Comment, MaxTextBytes},  {"WM/AlbumTitle", &wx::TTrackRecord::Album, MaxTextBytes},
        {"Copyright", &wx::TTrackRecord::Copyright, MaxTextBytes}, {"WM/Year", &wx::TTrackRecord::Year, MaxShortTextBytes},
    };
    std::uint32_t type = 0;
    std::vector<std::uint8_t> value;
    auto read = [&](const char* name) {
        value.clear();
        type = 0;
        return get(name, type, value) && value.size() <= WmaValueBytes;
    };
    for (const TText& t : texts)
        if (read(t.name) && type == WmaTypeString) rec.*t.field = WmaTextValue(value, t.limit);
    if (read("WM/Track")) {
        if (type == WmaTypeString) {
            const std::string text = wx::TrimSpaces(WmaTextValue(value, 255));
            long long n = -1;
            if (!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos)
                n = std::stoll(text);
            rec.TrackText = n >= 0 ? std::to_string(n + 1) : std::string();
        } else if (type == WmaTypeDword && value.size() == 4) {
            std::uint32_t n;
            std::memcpy(&n, value.data(), 4);
            rec.TrackText = std::to_string(std::uint64_t{n} + 1);
        }
    }
    if (read("WM/Genre") && type == WmaTypeString) {
        const std::string name = WmaTextValue(value, 255);
        if (name.empty()) {
            rec.Genre = -1;
        } else {
            const int n = FindGenreIndex(name);
            rec.Genre = n >= 0 ? n : FindFreeGenreIndex();
        }
    }
}

}  // namespace tagio
