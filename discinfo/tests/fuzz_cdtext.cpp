// libFuzzer target: the CD-TEXT pack parser fed with the fuzzer's bytes as
// the answer of READ TOC format 5 (header included).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discinfo/cdtext.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
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
            GetLangString(b.LanguageCode);
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
