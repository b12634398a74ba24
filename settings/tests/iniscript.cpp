#include "settings/tests/iniscript.h"

const char* const IniScriptText =
    "; comment line\r\n"
    "[Common]\r\n"
    "ReadBlock=20\r\n"
    "  Spaced Key  =   spaced value   \r\n"
    "Empty=\r\n"
    "Blank=    \r\n"
    "NoEquals\r\n"
    "Quoted=\"  inside  \"\r\n"
    "Single='x'\r\n"
    "Mixed=\"x'\r\n"
    "OneQuote=\"\r\n"
    "Twice=first\r\n"
    "TWICE=second\r\n"
    "Tabbed=\tvalue\t\r\n"
    "Sjis=\x83\x5C\x95\x5C\r\n"                       // ソ表: trail bytes 0x5C
    "Wide=\x81\x40\x82\xA0\x81\x40\r\n"                // 　あ　 (ideographic blanks)
    "Number=  -42  \r\n"
    "Eq=a=b\r\n"
    "\r\n"
    "[common]\r\n"
    "Later=hidden\r\n"
    "ReadBlock=99\r\n"
    "[ Filer ]\r\n"
    "DispExt1=.wav\r\n"
    "DispExt2=.mp3\r\n"
    "[Genre]\n"
    "FG1=\x83\x8D\x83\x62\x83\x4E\n"                   // ロック, LF-only lines
    "FG2=Two\n";

namespace {
std::string Show(const std::string& s) { return "[" + s + "]"; }
}  // namespace

std::vector<std::string> RunIniScript(TCustomIniFile& ini) {
    std::vector<std::string> log;
    auto read = [&](const char* sec, const char* key) {
        log.push_back(std::string("read ") + sec + "/" + key + " " + Show(ini.ReadString(sec, key, "<def>")));
    };
    auto keys = [&](const char* sec) {
        wx::TStringList l;
        ini.ReadSection(sec, l);
        std::string line = std::string("keys ") + sec + ":";
        for (const auto& k : l) line += " " + Show(k);
        log.push_back(line);
    };
    auto exists = [&](const char* sec) {
        log.push_back(std::string("exists ") + sec + " " + (ini.SectionExists(sec) ? "yes" : "no"));
    };

    // Reading what the file holds.
    for (const char* k : {"ReadBlock", "Spaced Key", "spaced key", "Empty", "Blank", "NoEquals", "Quoted", "Single",
                          "Mixed", "OneQuote", "Twice", "Tabbed", "Sjis", "Wide", "Number", "Eq", "Later", "Missing"})
        read("Common", k);
    read("COMMON", "READBLOCK");
    read("Filer", "DispExt2");
    read(" filer ", " dispext1 ");
    read("Genre", "FG1");
    read("Genre", "FG2");
    read("NoSection", "Key");
    keys("Common");
    keys("Filer");
    keys("Genre");
    keys("NoSection");
    exists("common");
    exists("Nothing");
    log.push_back("int " + std::to_string(ini.ReadInteger("Common", "Number", 7)));
    log.push_back("int " + std::to_string(ini.ReadInteger("Common", "Empty", 7)));
    log.push_back("bool " + std::to_string(ini.ReadBool("Common", "Missing", true)));

    // Writing: replacing, adding, awkward values.
    ini.WriteString("Common", "Twice", "replaced");
    ini.WriteString("Common", "Added", "new");
    ini.WriteString("New Section", "Key", "v");
    ini.WriteString("Common", "Lead", "  lead and trail  ");
    ini.WriteString("Common", "Quotes", "\"quoted\"");
    ini.WriteString("Common", "Apos", "'a'");
    ini.WriteString("Common", "Injected", "line1\r\n[Evil]\r\nKey=1");
    ini.WriteString("Common", "WithNul", std::string("ab\0cd", 5));
    ini.WriteString("Common", "EmptyWrite", "");
    ini.WriteString("Common", "Path", "C:\\\x83\x5C\\%.02N_%T");
    ini.WriteInteger("Common", "Negative", -2147483647 - 1);
    ini.WriteBool("Common", "Flag", true);
    for (const char* k : {"Twice", "TWICE", "Added", "Lead", "Quotes", "Apos", "Injected", "WithNul", "EmptyWrite",
                          "Path", "Negative", "Flag"})
        read("Common", k);
    read("New Section", "Key");
    read("Evil", "Key");
    exists("Evil");
    log.push_back("int " + std::to_string(ini.ReadInteger("Common", "Negative", 0)));
    log.push_back("bool " + std::to_string(ini.ReadBool("Common", "Flag", false)));
    keys("Common");

    // Deleting keys and erasing sections (both "common" sections go).
    ini.DeleteKey("Common", "added");
    read("Common", "Added");
    ini.DeleteKey("Common", "NotThere");
    ini.DeleteKey("Nowhere", "x");
    ini.EraseSection("COMMON");
    exists("Common");
    read("Common", "ReadBlock");
    read("Common", "Later");
    keys("Common");
    ini.EraseSection("Filer");
    ini.WriteString("Filer", "DispExt1", ".ogg");
    keys("Filer");
    read("Filer", "DispExt2");
    read("Genre", "FG1");
    return log;
}
