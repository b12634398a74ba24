#include "settings/profileini.h"

#include <windows.h>

#include <vector>

#include "classlib/stringlist.h"

namespace {
// Passed as the default to tell an absent key from an empty value; the
// system would otherwise return the default in both cases.
constexpr char kAbsent[] = "\x01\x02wx-absent\x02\x01";
}  // namespace

TProfileIniFile::~TProfileIniFile() { UpdateFile(); }

bool TProfileIniFile::UpdateFile() {
    // Flushes the system's cached copy of the file.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str());
    return !WriteFailed();
}

std::string TProfileIniFile::Query(const char* section, const char* key, const char* def, bool list) {
    std::vector<char> buf(1024);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buf.size());
        const DWORD n = GetPrivateProfileStringA(section, key, def, buf.data(), size, fileName_.c_str());
        // A full buffer answers size-1 (a value) or size-2 (a list).
        const DWORD full = list ? size - 2 : size - 1;
        if (n < full || buf.size() >= (64u << 20)) return std::string(buf.data(), n);
        buf.resize(buf.size() * 4);
    }
}

std::string TProfileIniFile::DoRead(const std::string& section, const std::string& key, bool& absent) {
    std::string v = Query(section.c_str(), key.c_str(), kAbsent, false);
    absent = v == kAbsent;
    return absent ? std::string() : v;
}

bool TProfileIniFile::DoWrite(const std::string& section, const std::string& key, const std::string& raw) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), raw.c_str(), fileName_.c_str()) != FALSE;
}

std::vector<std::string> TProfileIniFile::DoKeys(const std::string& section) {
    const std::string list = Query(section.c_str(), nullptr, "", true);
    std::vector<std::string> keys;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = list.find('\0', pos);
        const std::string k = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (k.empty()) break;
        keys.push_back(k);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return keys;
}

bool TProfileIniFile::DoSectionExists(const std::string& section) {
    const std::string names = Query(nullptr, nullptr, "", true);
    std::size_t pos = 0;
    while (pos < names.size()) {
        const std::size_t end = names.find('\0', pos);
        const std::string s = names.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (s.empty()) break;
        if (wx::CompareText(s, section) == 0)
            return true;
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return false;
}

bool TProfileIniFile::DoEraseFirstSection(const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName_.c_str()) != FALSE;
}

bool TProfileIniFile::DoDeleteKey(const std::string& section, const std::string& key) {
    // Deleting a key that is not there is no failure.
    if (!ValueExists(section, key)) return true;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, fileName_.c_str()) != FALSE;
}
