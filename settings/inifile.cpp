#include "settings/inifile.h"

#include <fstream>
#include <iterator>
#include <limits>

#include "classlib/sjis.h"

namespace {

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string TrimProfile(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsProfileSpace(s[b])) ++b;
    while (e > b && IsProfileSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) { return wx::CompareText(a, b) == 0; }

// One pair of matching quotes around a stored value is not part of it.
std::string StripQuotes(const std::string& v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

bool ParseInt32(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return false;
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

std::string TCustomIniFile::EncodeValue(const std::string& value) {
    std::string v = value;
    for (char& c : v)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    const bool altered = !v.empty() && (IsProfileSpace(v.front()) || IsProfileSpace(v.back()) ||
                                        StripQuotes(v) != v);
    return altered ? "\"" + v + "\"" : v;
}

std::string TCustomIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    bool absent = false;
    std::string v = DoRead(section, key, absent);
    return absent ? def : v;
}

void TCustomIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!DoWrite(section, key, EncodeValue(value))) NoteFailure();
}

std::int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key, std::int32_t def) {
    bool absent = false;
    const std::string v = DoRead(section, key, absent);
    std::int32_t r;
    return (!absent && ParseInt32(v, r)) ? r : def;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
    if (!DoWrite(section, key, std::to_string(value))) NoteFailure();
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key, bool def) {
    bool absent = false;
    const std::string v = DoRead(section, key, absent);
    if (absent) return def;
    return wx::SjisUpperCase(v) == "YES";
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    if (!DoWrite(section, key, value ? "Yes" : "No")) NoteFailure();
}

void TCustomIniFile::ReadSection(const std::string& section, wx::TStringList& keys) {
    keys.Clear();
    for (const std::string& k : DoKeys(section)) keys.Add(k);
}

bool TCustomIniFile::SectionExists(const std::string& section) { return DoSectionExists(section); }

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& key) {
    bool absent = false;
    DoRead(section, key, absent);
    return !absent;
}

void TCustomIniFile::EraseSection(const std::string& section) {
    // Each round removes one section; a refused erasure ends the loop, and
    // the limit guards against a file that claims to erase and does not.
    for (int i = 0; i < 10000 && DoSectionExists(section); ++i) {
        if (!DoEraseFirstSection(section)) {
            NoteFailure();
            return;
        }
    }
}

void TCustomIniFile::DeleteKey(const std::string& section, const std::string& key) {
    if (!DoDeleteKey(section, key)) NoteFailure();
}

// ---------------------------------------------------------------------------

TMemIniFile::TMemIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::ifstream f(fileName_, std::ios::binary);
    if (f) SetText(std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()));
}

void TMemIniFile::SetText(const std::string& text) {
    sections_.clear();
    sections_.push_back(Section{});  // lines before the first header
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.find('\r', pos);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        const std::string line = TrimProfile(text.substr(pos, next - pos));
        pos = next;
        if (line.empty()) continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string::npos) {
                sections_.push_back(Section{TrimProfile(line.substr(1, close - 1)), {}});
                continue;
            }
        }
        Entry e;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            e.Name = line;
            e.HasValue = false;
        } else {
            e.Name = TrimProfile(line.substr(0, eq));
            e.Value = TrimProfile(line.substr(eq + 1));
        }
        sections_.back().Entries.push_back(std::move(e));
    }
}

std::string TMemIniFile::Text() const {
    std::string t;
    bool first = true;
    for (const Section& s : sections_) {
        if (&s == &sections_.front()) {
            if (s.Entries.empty()) continue;
        } else {
            if (!first) t += "\r\n";
            t += "[" + s.Name + "]\r\n";
        }
        first = false;
        for (const Entry& e : s.Entries) t += e.HasValue ? e.Name + "=" + e.Value + "\r\n" : e.Name + "\r\n";
    }
    return t;
}

bool TMemIniFile::SaveToFile(const std::string& fileName) const {
    std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    const std::string t = Text();
    f.write(t.data(), static_cast<std::streamsize>(t.size()));
    return static_cast<bool>(f.flush());
}

bool TMemIniFile::UpdateFile() {
    if (!fileName_.empty() && !SaveToFile(fileName_)) NoteFailure();
    return !WriteFailed();
}

TMemIniFile::Section* TMemIniFile::FindSection(const std::string& name) {
    const std::string n = TrimProfile(name);
    for (std::size_t i = 1; i < sections_.size(); ++i)
        if (SameName(sections_[i].Name, n)) return &sections_[i];
    return nullptr;
}

TMemIniFile::Entry* TMemIniFile::FindEntry(Section& s, const std::string& name) {
    const std::string n = TrimProfile(name);
    for (Entry& e : s.Entries)
        if (SameName(e.Name, n)) return &e;
    return nullptr;
}

std::string TMemIniFile::DoRead(const std::string& section, const std::string& key, bool& absent) {
    absent = true;
    Section* s = FindSection(section);
    if (!s) return std::string();
    Entry* e = FindEntry(*s, key);
    if (!e || !e->HasValue) return std::string();
    absent = false;
    return StripQuotes(e->Value);
}

bool TMemIniFile::DoWrite(const std::string& section, const std::string& key, const std::string& raw) {
    if (sections_.empty()) sections_.push_back(Section{});
    Section* s = FindSection(section);
    if (!s) {
        sections_.push_back(Section{TrimProfile(section), {}});
        s = &sections_.back();
    }
    const std::string value = TrimProfile(raw);
    if (Entry* e = FindEntry(*s, key)) {
        e->Value = value;
        e->HasValue = true;
    } else {
        s->Entries.push_back(Entry{TrimProfile(key), value, true});
    }
    return true;
}

std::vector<std::string> TMemIniFile::DoKeys(const std::string& section) {
    std::vector<std::string> keys;
    if (Section* s = FindSection(section))
        for (const Entry& e : s->Entries)
            if (e.HasValue) keys.push_back(e.Name);  // a line without "=" is not listed
    return keys;
}

bool TMemIniFile::DoSectionExists(const std::string& section) { return FindSection(section) != nullptr; }

bool TMemIniFile::DoEraseFirstSection(const std::string& section) {
    if (Section* s = FindSection(section)) sections_.erase(sections_.begin() + (s - sections_.data()));
    return true;
}

bool TMemIniFile::DoDeleteKey(const std::string& section, const std::string& key) {
    Section* s = FindSection(section);
    if (!s) return true;
    if (Entry* e = FindEntry(*s, key)) s->Entries.erase(s->Entries.begin() + (e - s->Entries.data()));
    return true;
}
