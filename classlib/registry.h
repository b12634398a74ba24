// Registry values read and written as strings.
#pragma once
#include <optional>
#include <string>

#include "classlib/win.h"

namespace wx {

// Value of `name` under root\path; nullopt when the key or value is missing.
std::optional<std::string> RegReadString(HKEY root, const std::string& path, const std::string& name);
// Creates the key when missing; false on failure.
bool RegWriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value);

}  // namespace wx
