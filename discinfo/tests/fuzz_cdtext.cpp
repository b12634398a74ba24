// libFuzzer target: the CD-TEXT pack parser fed with the fuzzer's bytes as
// the answer of READ TOC format 5 (header included), and each block's texts
// copied into a four-track table as tags and file names: no slot past the
// fourth track may change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discinfo/cdtext.h"
#include "discinfo/disccopy.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The block's rows copied into a table of four tracks (the third no audio
// track): only slots 1, 2 and 4 may take texts.
void CopyIntoTable(const wx::TCDTextInfo& block) {
    using namespace wx;
    static TTrackTable table;
    for (auto& s : table.Slots) s = TTrackRecord{};
    table.TrackCount = 4;
    for (int i = 1; i <= 4; ++i) table.Slots[i].IsAudio = i != 3;
    const std::vector<TCdTextRow> rows = CdTextRows(block);
    const TNameBuilder name = [](int n, const std::string& title, const std::string& artist, const std::string& album,
                                 const std::string&, std::string& out) {
        out = std::to_string(n) + title + artist + album;
        return n % 5 != 0;
    };
    for (int t : CdTextToTags(rows, CdTextAlbum(block), 200, table)) Check(t == 1 || t == 2 || t == 4);
    for (int t : CdTextToFileNames(rows, CdTextAlbum(block), name, true, table)) Check(t >= 1 && t <= 4);
    for (int i = 0; i < TrackSlots; ++i) {
        const TTrackRecord& s = table.Slots[i];
        Check(s.Title.size() <= 255 && s.FileStem.size() <= 255);
        if (i == 0 || i == 3 || i > 4) Check(!s.HasTag && s.Title.empty());
        if (i == 0 || i > 4) Check(s.FileStem.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace wx;
    const long length = CdTextPackLength(bytes, size);
    if (length <= 0) return 0;
    Check(length % 18 == 0 && static_cast<std::size_t>(length) + 4 <= size);
    // The viewer's buffer, as GetCDTextData fills it.
    static std::uint8_t buffer[kCdTextBufferSize];
    std::memcpy(buffer, bytes + 4, static_cast<std::size_t>(length));
    TCDTextReader r;
    int reports = 0;
    r.OnCrcError = [&] { ++reports; };
    std::string reason;
    if (r.GetLangInfo(buffer, static_cast<std::size_t>(length), reason)) {
        Check(reason.empty() && r.BlockCount >= 1 && r.BlockCount <= kCdTextMaxBlocks);
        r.AnalizeAll(buffer, static_cast<std::size_t>(length));
        for (int j = 0; j < r.BlockCount; ++j) {
            const TCDTextInfo& b = r.Blocks[static_cast<std::size_t>(j)];
            Check(b.EntryCount >= 1 && b.EntryCount <= 255);
            Check(b.Entries.size() == static_cast<std::size_t>(b.EntryCount) + 1);
            for (int t = b.FirstTrack; t <= b.LastTrack; ++t) {
                const TCDTextEntry* e = b.Entry(t);
                if (!e) continue;
                for (int s = 0; s < kCdTextSlotCount; ++s) {
                    const std::string text = e->Get(s);
                    Check(text.size() <= 255);
                    Check(ConvAnsiTo8859(text).size() == text.size());
                }
            }
            Check(CdTextLanguageIndex(b.LanguageCode) < kCdTextLanguages);
            CdTextCodeName(b.CharCode);
        }
    } else {
        Check(!reason.empty());
    }
    Check(reports <= 1);
    r.Clear();
    Check(r.BlockCount == 0 && !r.CrcErrorReported());
    return 0;
}
