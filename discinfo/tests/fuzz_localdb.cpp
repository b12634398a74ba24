// libFuzzer target: the local disc database ("CDPLAYER.INI" written by any
// program) read through the in-memory settings file, and the disc written
// back and read again.
//
// Input: byte 0 the number of track records the dialog has (0..127); then
// the disc identity up to the first NUL byte; the rest is the file's text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classlib/sjis.h"
#include "discinfo/cddbcfg.h"
#include "settings/inifile.h"

namespace {

using namespace wx;

void Check(bool ok) {
    if (!ok) std::abort();
}

// The settings file writes a NUL, CR or LF byte of a value as a blank.
std::string Written(std::string v) {
    for (char& c : v)
        if (c == '\0' || c == '\r' || c == '\n') c = ' ';
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    const int maxTracks = bytes[0] & 0x7F;
    const std::string rest(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string identity = rest.substr(0, nul);
    const std::string text = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

    TMemIniFile db;
    db.SetText(text);
    TLocalDbDisc disc;
    disc.Artist = "before";
    if (!ImportLocalDB(db, identity, maxTracks, disc)) {
        Check(disc.Artist == "before");  // nothing taken from a missing disc
        return 0;
    }
    const std::string section = SjisUpperCase(identity);
    const int count = db.ReadInteger(section, "numtracks", -1);
    Check(count > 0);
    Check(static_cast<int>(disc.TrackTitles.size()) == std::min(count, maxTracks));

    // What we write for it reads back the same, in a file of its own and
    // over the file it came from.
    if (disc.TrackTitles.empty()) {
        Check(!ExportLocalDB(db, identity, disc));
        return 0;
    }
    for (bool fresh : {true, false}) {
        TMemIniFile out;
        if (!fresh) out.SetText(text);
        Check(ExportLocalDB(out, identity, disc));
        TMemIniFile back;
        back.SetText(out.Text());
        TLocalDbDisc again;
        Check(ImportLocalDB(back, identity, maxTracks, again));
        Check(again.Artist == Written(disc.Artist) && again.Title == Written(disc.Title));
        Check(again.TrackTitles.size() == disc.TrackTitles.size());
        for (std::size_t i = 0; i < disc.TrackTitles.size(); ++i)
            Check(again.TrackTitles[i] == Written(disc.TrackTitles[i]));
    }
    return 0;
}
