// The language module: a resource-only library beside the program, named
// after the program with a language abbreviation as its extension
// ("wendrix.ENU"), that replaces the built-in forms and messages.
#pragma once
#include <string>

#include "classlib/win.h"

namespace wendrix {

// The abbreviated language name of a locale (LOCALE_SABBREVLANGNAME),
// upper-cased; empty when the system has none.
std::string LocaleAbbreviation(LCID locale);

// The module file for a program path and an abbreviation: the extension
// replaced by the abbreviation (or its first two letters when twoLetters);
// empty when the path has no extension or the abbreviation is empty.
std::string LanguageModuleName(const std::string& programPath, const std::string& abbrev, bool twoLetters);

// Loads the module of the locale as a data file and makes it the resource
// module; null (nothing changed) when neither name loads.
HMODULE LoadNewResourceModule(LCID locale);

// The language set-up of the main window: [Common] Language of the
// settings file picks the module; runs once, before the main window's
// window is made.  A failed load changes nothing.
void SetLang();

// Re-reads the open forms from the new module.  Every window is made from
// the current module's template when it is created, and only the splash
// (which keeps its built-in look) exists while the module is chosen, so
// there is nothing to re-read.
void ReinitializeForms();

}  // namespace wendrix
