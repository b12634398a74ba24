#include "standins/mmcdrive/IniFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wx::emu {

std::string Lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool ParseNumber(const std::string& text, long& out) {
    std::string s = Trim(text);
    if (s.empty()) return false;
    char* end = nullptr;
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) base = 16;
    long v = std::strtol(s.c_str(), &end, base);
    if (end == s.c_str() || *end != '\0') return false;
    out = v;
    return true;
}

bool IniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    Parse(ss.str());
    return true;
}

void IniFile::Parse(const std::string& text) {
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            auto close = line.find(']');
            section = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            if (!data_.count(section)) order_.push_back(section);
            data_[section];
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        data_[section][Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
    }
}

bool IniFile::HasSection(const std::string& section) const { return data_.count(Lower(section)) != 0; }

bool IniFile::Has(const std::string& section, const std::string& key) const {
    auto s = data_.find(Lower(section));
    return s != data_.end() && s->second.count(Lower(key));
}

std::string IniFile::Get(const std::string& section, const std::string& key, const std::string& def) const {
    auto s = data_.find(Lower(section));
    if (s == data_.end()) return def;
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? def : k->second;
}

long IniFile::GetInt(const std::string& section, const std::string& key, long def) const {
    long v;
    return ParseNumber(Get(section, key), v) ? v : def;
}

bool IniFile::GetBool(const std::string& section, const std::string& key, bool def) const {
    std::string v = Lower(Get(section, key));
    if (v == "yes" || v == "1" || v == "true" || v == "on") return true;
    if (v == "no" || v == "0" || v == "false" || v == "off") return false;
    return def;
}

const std::map<std::string, std::string>* IniFile::Section(const std::string& section) const {
    auto s = data_.find(Lower(section));
    return s == data_.end() ? nullptr : &s->second;
}

}  // namespace wx::emu
