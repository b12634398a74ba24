// The system side of the UCS-2 conversion: one UTF-16 unit through the
// ANSI code page of the running system.  Windows only.
#pragma once
#include <string>

std::string SystemUnitToAnsi(char16_t unit);
// Installs SystemUnitToAnsi as the first step of UcsToSjis (start-up).
void InstallSystemUnitConverter();
