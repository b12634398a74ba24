// A script of settings-file operations run against any TCustomIniFile; the
// log of answers lets two implementations be compared line by line.
#pragma once
#include <string>
#include <vector>

#include "settings/inifile.h"

// The file the script starts from (Shift-JIS where it is not ASCII).
extern const char* const IniScriptText;
// Runs the script; each answer is one log line.
std::vector<std::string> RunIniScript(TCustomIniFile& ini);
