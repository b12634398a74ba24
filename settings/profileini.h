// The settings-file layer over the system's profile functions
// (GetPrivateProfileStringA and friends).  Windows only.  The file name
// should be a full path; the system looks for a bare name in the Windows
// folder.
#pragma once
#include <string>

#include "settings/inifile.h"

class TProfileIniFile : public TCustomIniFile {
public:
    explicit TProfileIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    ~TProfileIniFile() override;
    const std::string& FileName() const { return fileName_; }
    bool UpdateFile() override;

protected:
    std::string DoRead(const std::string& section, const std::string& key, bool& absent) override;
    bool DoWrite(const std::string& section, const std::string& key, const std::string& raw) override;
    std::vector<std::string> DoKeys(const std::string& section) override;
    bool DoSectionExists(const std::string& section) override;
    bool DoEraseFirstSection(const std::string& section) override;
    bool DoDeleteKey(const std::string& section, const std::string& key) override;

private:
    // GetPrivateProfileStringA into a buffer grown until the answer fits.
    std::string Query(const char* section, const char* key, const char* def, bool list);
    std::string fileName_;
};
