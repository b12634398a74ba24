// The settings-file layer: one interface, two implementations.
//
//   TProfileIniFile (profileini.h, Windows only) goes through the system's
//   profile functions (GetPrivateProfileStringA and friends) on a file.
//   TMemIniFile (here, portable) holds the file in memory and reads it the
//   way the profile functions do, so that portable code and tests see the
//   same values: names compared without ASCII case, names and values
//   trimmed, one pair of surrounding quotes stripped from a value, an empty
//   value distinct from an absent key, the first of duplicate sections and
//   keys winning.
//
// Common rules of both (the non-virtual part of TCustomIniFile):
//   - A value written is never written raw when it holds CR, LF or NUL:
//     each such byte becomes a blank, so a value can never start a line of
//     its own.  A value that reading would change (blanks or tabs at either
//     end, or one pair of matching quotes around it) is written inside
//     double quotes, so it reads back as it was written.
//   - ReadInteger parses the whole value as a signed decimal number that
//     fits 32 bits; anything else gives the default.
//   - EraseSection removes every section of that name, not only the first.
//
// Portable: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/stringlist.h"

class TCustomIniFile {
public:
    virtual ~TCustomIniFile() = default;

    // The value, or def when the section or key is absent.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def);
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t def);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    // The settings convention: "Yes"/"No" written; the upper-cased value
    // compared with "YES" when read, any other text reading as false.
    bool ReadBool(const std::string& section, const std::string& key, bool def);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Key names of the first section of that name, in file order.
    void ReadSection(const std::string& section, wx::TStringList& keys);
    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);

    // Pending writes reach the file (where writes go straight through,
    // there is nothing left to do).  False when the file could not be
    // written.
    virtual bool UpdateFile() { return !failed_; }
    // True once any write, erasure or update has failed: the settings did
    // not all reach the file.
    bool WriteFailed() const { return failed_; }

    // The text actually stored for a value: CR, LF and NUL blanked, quoted
    // when reading would otherwise alter it.
    static std::string EncodeValue(const std::string& value);

protected:
    // absent is set when the key does not exist.
    virtual std::string DoRead(const std::string& section, const std::string& key, bool& absent) = 0;
    // The changing operations answer false when the file refused them.
    virtual bool DoWrite(const std::string& section, const std::string& key, const std::string& raw) = 0;
    virtual std::vector<std::string> DoKeys(const std::string& section) = 0;
    virtual bool DoSectionExists(const std::string& section) = 0;
    // Removes the first section of that name.
    virtual bool DoEraseFirstSection(const std::string& section) = 0;
    virtual bool DoDeleteKey(const std::string& section, const std::string& key) = 0;
    void NoteFailure() { failed_ = true; }

private:
    bool failed_ = false;
};

// Whole-string signed decimal to 32 bits; false for anything else.
bool ParseInt32(const std::string& text, std::int32_t& value);

// The in-memory settings file.
class TMemIniFile : public TCustomIniFile {
public:
    TMemIniFile() = default;
    // Loads the file when it exists; UpdateFile writes it back.
    explicit TMemIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }
    // The file's text (lines end with CR LF) and its parse.
    std::string Text() const;
    void SetText(const std::string& text);
    bool UpdateFile() override;
    // False when the file could not be written.
    bool SaveToFile(const std::string& fileName) const;

protected:
    std::string DoRead(const std::string& section, const std::string& key, bool& absent) override;
    bool DoWrite(const std::string& section, const std::string& key, const std::string& raw) override;
    std::vector<std::string> DoKeys(const std::string& section) override;
    bool DoSectionExists(const std::string& section) override;
    bool DoEraseFirstSection(const std::string& section) override;
    bool DoDeleteKey(const std::string& section, const std::string& key) override;

private:
    struct Entry {
        std::string Name;
        std::string Value;     // as it stands in the file, trimmed
        bool HasValue = true;  // false for a line without "="
    };
    struct Section {
        std::string Name;
        std::vector<Entry> Entries;
    };
    Section* FindSection(const std::string& name);
    Entry* FindEntry(Section& s, const std::string& name);

    std::string fileName_;
    std::vector<Section> sections_;  // a nameless first section holds lines before any header
};
