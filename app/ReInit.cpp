#include "app/ReInit.h"

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "settings/profileini.h"

namespace wendrix {

std::string LocaleAbbreviation(LCID locale) {
    char buf[16] = {};
    if (GetLocaleInfoA(locale, LOCALE_SABBREVLANGNAME, buf, sizeof(buf)) <= 0) return {};
    std::string s = buf;
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LanguageModuleName(const std::string& programPath, const std::string& abbrev, bool twoLetters) {
    const std::size_t dot = programPath.find_last_of('.');
    const std::size_t slash = programPath.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || abbrev.empty()) return {};
    return programPath.substr(0, dot + 1) + (twoLetters ? abbrev.substr(0, 2) : abbrev);
}

HMODULE LoadNewResourceModule(LCID locale) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    const std::string abbrev = LocaleAbbreviation(locale);
    HMODULE module = nullptr;
    for (bool two : {false, true}) {
        const std::string name = LanguageModuleName(path, abbrev, two);
        if (name.empty()) break;
        module = LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module) break;
    }
    if (module) wx::Application.SetResourceInstance(module);
    return module;
}

void SetLang() {
    TProfileIniFile ini(SettingsFileName);
    std::string lang = ini.ReadString("Common", "Language", "");
    if (lang.empty()) return;
    for (char& c : lang)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (lang != "ENGLISH" && !JapaneseMode) {
        if (LoadNewResourceModule(MAKELCID(0x11, SORT_DEFAULT))) {
            JapaneseMode = true;
            ReinitializeForms();
        }
    } else if (lang == "ENGLISH" && JapaneseMode) {
        if (LoadNewResourceModule(MAKELCID(0x409, SORT_DEFAULT))) {
            JapaneseMode = false;
            ReinitializeForms();
        }
    }
}

void ReinitializeForms() {}

}  // namespace wendrix
