// A small INI reader for the drive emulator's configuration and sidecar
// files.  Section and key names compare case-insensitively; ';' and '#'
// start comment lines.  Portable.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace wx::emu {

class IniFile {
public:
    // Returns false when the file cannot be read.
    bool Load(const std::string& path);
    void Parse(const std::string& text);

    bool HasSection(const std::string& section) const;
    bool Has(const std::string& section, const std::string& key) const;
    std::string Get(const std::string& section, const std::string& key, const std::string& def = "") const;
    long GetInt(const std::string& section, const std::string& key, long def) const;
    bool GetBool(const std::string& section, const std::string& key, bool def) const;
    std::vector<std::string> Sections() const { return order_; }
    // Every key of a section (lower-cased) with its value.
    const std::map<std::string, std::string>* Section(const std::string& section) const;

private:
    std::map<std::string, std::map<std::string, std::string>> data_;
    std::vector<std::string> order_;
};

std::string Lower(std::string s);
std::string Trim(const std::string& s);
// Parses decimal or 0x-prefixed hexadecimal; false on anything else.
bool ParseNumber(const std::string& s, long& out);

}  // namespace wx::emu
