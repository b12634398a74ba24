// libFuzzer target: a settings file written by any program, loaded into the
// settings store through the in-memory settings file (every scalar key and
// the structured values: device table, output format header, read-method
// flags, genre display set), stored, loaded and stored again.
//
// Input: byte 0 bit 0 the drive interface (ASPI or class driver); the rest
// is the file's text.
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/configfile.h"
#include "settings/inifile.h"

namespace {

// The line of a failed check is printed.
#define Check(ok) ((ok) ? void() : (std::fprintf(stderr, "check failed: line %d\n", __LINE__), std::abort()))

TSettingsEnvironment Environment() {
    TSettingsEnvironment env;
    env.FileExists = [](const std::string& p) { return p.size() % 2 == 0; };
    env.DirectoryExists = [](const std::string& p) { return p.size() % 3 == 0; };
    env.ProgramFolder = "C:\\prog\\";
    env.CurrentFolder = "C:\\cur\\";
    return env;
}

std::string Stored(const TConfigStore& store) {
    TMemIniFile out;
    Check(StoreSettings(store, out));
    StoreDeviceTable(store, out);
    return out.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    const bool aspi = (bytes[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    const TSettingsEnvironment env = Environment();

    TMemIniFile ini;
    ini.SetText(text);
    static TConfigStore first, second;
    first = TConfigStore();
    LoadSettings(first, ini, env);
    LoadDeviceTable(first, ini, aspi);
    Check(first.DeviceCount >= 0 && first.DeviceCount <= MaxDeviceEntries);

    // What we store reads back as it was: storing it again changes nothing.
    const std::string once = Stored(first);
    TMemIniFile back;
    back.SetText(once);
    second = TConfigStore();
    LoadSettings(second, back, env);
    LoadDeviceTable(second, back, aspi);
    Check(second.DeviceCount == first.DeviceCount);
    Check(Stored(second) == once);

    // The structured readers over the raw text, and the scalar ones.
    const auto format = ParseFormatHeader(text);
    Check(FormatHeaderText(ParseFormatHeader(FormatHeaderText(format))) == FormatHeaderText(format));
    const auto genres = ParseDispGenres(text);
    Check(ParseDispGenres(DispGenresText(genres)) == genres);
    std::int32_t v = 0;
    if (ParseInt32(text, v)) {
        std::int32_t again = 0;
        Check(ParseInt32(std::to_string(v), again) && again == v);
    }
    // A known make's word reads back as that make (an unknown one is
    // written as "PLEXTOR", as the file has always held it).
    const int make = DriveMakerFromWord(text);
    if (make != rcUnknownMake) Check(DriveMakerFromWord(DriveMakerWord(make)) == make);
    return 0;
}
