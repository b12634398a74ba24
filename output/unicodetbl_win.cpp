#include "output/unicodetbl_win.h"

#include <windows.h>

#include "output/unicodetbl.h"

std::string SystemUnitToAnsi(char16_t unit) {
    const wchar_t w = static_cast<wchar_t>(unit);
    char buf[8];
    const int n = WideCharToMultiByte(CP_ACP, 0, &w, 1, buf, sizeof buf, nullptr, nullptr);
    if (n <= 0) return "?";
    return std::string(buf, static_cast<std::size_t>(n));
}

void InstallSystemUnitConverter() { SetSystemUnitConverter(&SystemUnitToAnsi); }
