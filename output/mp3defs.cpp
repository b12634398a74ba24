#include "output/mp3defs.h"

#include "classlib/sjis.h"

namespace {

// Index 0 is genre -1.
const char* const kGenreNames[GenreCount + 1] = {
    "-None-",
    /*   0 */ "Blues",
    /*   1 */ "Classic Rock",
    /*   2 */ "Country",
    /*   3 */ "Dance",
    /*   4 */ "Disco",
    /*   5 */ "Funk",
    /*   6 */ "Grunge",
    /*   7 */ "Hip-Hop",
    /*   8 */ "Jazz",
    /*   9 */ "Metal",
    /*  10 */ "New Age",
    /*  11 */ "Oldies",
    /*  12 */ "Other",
    /*  13 */ "Pop",
    /*  14 */ "R&B",
    /*  15 */ "Rap",
    /*  16 */ "Reggae",
    /*  17 */ "Rock",
    /*  18 */ "Techno",
    /*  19 */ "Industrial",
    /*  20 */ "Alternative",
    /*  21 */ "Ska",
    /*  22 */ "Death Metal",
    /*  23 */ "Pranks",
    /*  24 */ "Soundtrack",
    /*  25 */ "Euro-tecno",
    /*  26 */ "Ambient",
    /*  27 */ "Trip-Hop",
    /*  28 */ "Vocal",
    /*  29 */ "Juzz+Funk",
    /*  30 */ "Fusion",
    /*  31 */ "Trance",
    /*  32 */ "Classical",
    /*  33 */ "Instrumental",
    /*  34 */ "Acid",
    /*  35 */ "House",
    /*  36 */ "Game",
    /*  37 */ "Sound Clip",
    /*  38 */ "Gospel",
    /*  39 */ "Noise",
    /*  40 */ "AlternRock",
    /*  41 */ "Bass",
    /*  42 */ "Soul",
    /*  43 */ "Punk",
    /*  44 */ "Space",
    /*  45 */ "Meditative",
    /*  46 */ "Instrumental Pop",
    /*  47 */ "Instrumental Rock",
    /*  48 */ "Ethnic",
    /*  49 */ "Gothic",
    /*  50 */ "Darkwave",
    /*  51 */ "Techno-Industrial",
    /*  52 */ "Electronic",
    /*  53 */ "Pop-Folk",
    /*  54 */ "Eurodance",
    /*  55 */ "Dream",
    /*  56 */ "Southern Rock",
    /*  57 */ "Comedy",
    /*  58 */ "Cult",
    /*  59 */ "Gangsta",
    /*  60 */ "Top 40",
    /*  61 */ "Christian Rap",
    /*  62 */ "Pop/Funk",
    /*  63 */ "Jungle",
    /*  64 */ "Native American",
    /*  65 */ "Cabaret",
    /*  66 */ "New Wave",
    /*  67 */ "Psychadelic",
    /*  68 */ "Rave",
    /*  69 */ "Showtunes",
    /*  70 */ "Trailer",
    /*  71 */ "Lo-Fi",
    /*  72 */ "Tribal",
    /*  73 */ "Acid Punk",
    /*  74 */ "Acid Jazz",
    /*  75 */ "Polka",
    /*  76 */ "Retro",
    /*  77 */ "Musical",
    /*  78 */ "Rock & Roll",
    /*  79 */ "Hard Rock",
    /*  80 */ "Folk",
    /*  81 */ "Folk/Rock",
    /*  82 */ "National Folk",
    /*  83 */ "Swing",
    /*  84 */ "Fast-Fusion",
    /*  85 */ "Bedob",
    /*  86 */ "Latin",
    /*  87 */ "Revival",
    /*  88 */ "Celtic",
    /*  89 */ "Bluegrass",
    /*  90 */ "Avantagarde",
    /*  91 */ "Gothic Rock",
    /*  92 */ "Progressive Rock",
    /*  93 */ "Psychadelic Rock",
    /*  94 */ "Symphonic Rock",
    /*  95 */ "Slow Rock",
    /*  96 */ "Big band",
    /*  97 */ "Chorus",
    /*  98 */ "Easy Listening",
    /*  99 */ "Acoustic",
    /* 100 */ "Humour",
    /* 101 */ "Speech",
    /* 102 */ "Chanson",
    /* 103 */ "Opera",
    /* 104 */ "Chamber Music",
    /* 105 */ "Sonata",
    /* 106 */ "Symphony",
    /* 107 */ "Booty Bass",
    /* 108 */ "Primus",
    /* 109 */ "Porn Groove",
    /* 110 */ "Satire",
    /* 111 */ "Slow Jam",
    /* 112 */ "Club",
    /* 113 */ "Tango",
    /* 114 */ "Samba",
    /* 115 */ "Folklore",
    /* 116 */ "Ballad",
    /* 117 */ "Power Ballad",
    /* 118 */ "Rhytmic Soul",
    /* 119 */ "Freestyle",
    /* 120 */ "Duet",
    /* 121 */ "Punk Rock",
    /* 122 */ "Drum Solo",
    /* 123 */ "Acapella",
    /* 124 */ "Euro-House",
    /* 125 */ "Dance Hall",
    /* 126 */ "Goa",
    /* 127 */ "Drum & Bass",
    /* 128 */ "Club-House",
    /* 129 */ "Hardcore",
    /* 130 */ "Terror",
    /* 131 */ "Indie",
    /* 132 */ "BritPop",
    /* 133 */ "Negerpunk",
    /* 134 */ "Polsk Punk",
    /* 135 */ "Beat",
    /* 136 */ "Christian Gangsta Rap",
    /* 137 */ "Heavy Metal",
    /* 138 */ "Black Metal",
    /* 139 */ "Crossover",
    /* 140 */ "Contemporary Christian",
    /* 141 */ "Christian Rock",
    /* 142 */ "Merengue",
    /* 143 */ "Salsa",
    /* 144 */ "Thrash Metal",
    /* 145 */ "Anime",
    /* 146 */ "JPop",
    /* 147 */ "Synthpop",
    // 148..247: no built-in name
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    /* 248 */ "Heavy Rock(J)",
    /* 249 */ "Doom Rock(J)",
    /* 250 */ "J-POP(J)",
    /* 251 */ "Seiyu(J)",
    /* 252 */ "Tecno Ambient(J)",
    /* 253 */ "Moemoe(J)",
    /* 254 */ "Tokusatsu(J)",
    /* 255 */ "Anime(J)",
};
static_assert(sizeof(kGenreNames) / sizeof(kGenreNames[0]) == GenreCount + 1);

// 未定義 [%d]
std::string g_undefinedFormat = "\x96\xA2\x92\xE8\x8B\x60 [%d]";

// The reduced form used to match free-form genre texts: the single-byte
// characters 0x30..0x7F, upper-cased; double-byte characters are dropped
// whole so their trail bytes never take part.
std::string ReduceGenreText(const std::string& s) {
    std::string r;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = wx::SjisCharLength(s, i);
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (n == 1 && c >= 0x30 && c <= 0x7F) r += static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
        i += n;
    }
    return r;
}

}  // namespace

const TGenreNameTable GenreNames{};

const char* TGenreNameTable::operator[](int genre) const {
    if (genre < NoGenre || genre >= GenreCount) return "";
    return kGenreNames[genre + 1];
}

std::array<std::string, GenreCount> UserGenreNames;
std::bitset<GenreCount> GenreDisplaySet;

// 新しいｱﾙﾊﾞﾑ, 新しいｼﾞｬﾝﾙ
const char* const NewAlbumName = "\x90\x56\x82\xB5\x82\xA2\xB1\xD9\xCA\xDE\xD1";
const char* const NewGenreName = "\x90\x56\x82\xB5\x82\xA2\xBC\xDE\xAC\xDD\xD9";

void SetUndefinedGenreFormat(const std::string& format) { g_undefinedFormat = format; }

std::string UndefinedGenreText(int genre) {
    // Only the first "%d" is replaced; the text is never used as a format.
    std::string r = g_undefinedFormat;
    const std::size_t p = r.find("%d");
    if (p != std::string::npos) r.replace(p, 2, std::to_string(genre));
    return r;
}

std::string GetGenreNameRaw(int genre) {
    if (genre < 0 || genre >= GenreCount) return std::string();
    if (!UserGenreNames[genre].empty()) return UserGenreNames[genre];
    return GenreNames[genre];
}

std::string GetGenreName(int genre) {
    if (genre < 0 || genre >= GenreCount) return std::string();
    std::string r = GetGenreNameRaw(genre);
    return r.empty() ? UndefinedGenreText(genre) : r;
}

std::string TrimWideSpaces(const std::string& text) { return wx::TrimSpaces(text); }

int FindGenreIndex(const std::string& name) {
    const std::string key = wx::SjisUpperCase(TrimWideSpaces(name));
    if (key.empty()) return -1;
    for (int n = 0; n < GenreCount; ++n)
        if (wx::SjisUpperCase(GetGenreName(n)) == key) return n;
    return -1;
}

int FindFreeGenreIndex() {
    for (int n = 0; n < GenreCount; ++n)
        if (GetGenreNameRaw(n).empty()) return n;
    if (GenreDisplaySet.none()) return 0;
    for (int n = 0; n < GenreCount; ++n)
        if (GenreDisplaySet.test(n)) return n;
    return 0;
}

int FindBuiltinGenreIndex(const std::string& name) {
    const std::string key = ReduceGenreText(name);
    if (key.empty()) return -1;
    for (int n = 0; n < GenreCount; ++n)
        if (ReduceGenreText(GenreNames[n]) == key) return n;
    return -1;
}

void ResetGenreSettings() {
    for (auto& s : UserGenreNames) s.clear();
    GenreDisplaySet.reset();
}

bool ParseMpegHeader(std::uint32_t h, std::int32_t /*fileSize*/, TMpegFrameHeader& info) {
    if ((h >> 20) != 0xFFF) return false;  // 12 sync bits; MPEG 2.5 has the 12th clear
    const std::uint32_t id = (h >> 19) & 1;
    const std::uint32_t layer = (h >> 17) & 3;
    const std::uint32_t protection = (h >> 16) & 1;
    const std::uint32_t bitrate = (h >> 12) & 15;
    const std::uint32_t rate = (h >> 10) & 3;
    info.Version = static_cast<std::int32_t>(id + 1);
    info.HasCrc = static_cast<std::int32_t>(protection ^ 1);
    info.BitrateIndex = static_cast<std::int32_t>(bitrate) - 1;
    info.SampleRateIndex = static_cast<std::int32_t>(rate);
    info.Padding = static_cast<std::int32_t>((h >> 9) & 1);
    info.Private = static_cast<std::int32_t>((h >> 8) & 1);
    info.Mode = static_cast<std::int32_t>((h >> 6) & 3);
    info.ModeExtension = static_cast<std::int32_t>((h >> 4) & 3);
    info.Copyright = static_cast<std::int32_t>((h >> 3) & 1);
    info.Original = static_cast<std::int32_t>((h >> 2) & 1);
    info.Emphasis = static_cast<std::int32_t>(h & 3);
    info.Layer = layer == 0 ? 0 : static_cast<std::int32_t>(4 - layer);
    if (layer == 0) return false;
    if (rate == 3 || bitrate == 0 || bitrate == 15) return false;
    return true;
}
