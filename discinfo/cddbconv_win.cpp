// System code page conversions through the Windows code page functions.
#include <windows.h>

#include "discinfo/cddbconv.h"

namespace wx {

std::string CddbSystemToUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int wn = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
    if (wn <= 0) return {};
    std::wstring w(static_cast<std::size_t>(wn), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), n, w.data(), wn);
    const int un = WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    if (un <= 0) return {};
    std::string out(static_cast<std::size_t>(un), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, out.data(), un, nullptr, nullptr);
    return out;
}

}  // namespace wx
