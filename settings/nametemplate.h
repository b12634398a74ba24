// Expansion of the file-name and folder-name templates.  Portable: no
// <windows.h>.
//
// File template codes: %% a "%", %T title, %R artist, %L album, %G genre,
// %N track number, %.dN the number with at least d digits (%.02N gives 05);
// letters in either case.  Folder templates know %%, %G, %L and %R only.
// An empty album or genre is replaced by NewAlbumName / NewGenreName.
#pragma once
#include <string>

// Precision of %.dN is capped here: no file-name stem is longer.
constexpr int MaxTemplatePrecision = 255;

// False for a bad code (a "%" at the end, "%" or "%." followed by anything
// not allowed); out is then left as it was.
bool ExpandFileNameTemplate(const std::string& tmpl, int track, const std::string& title, const std::string& artist,
                            const std::string& album, const std::string& genre, std::string& out);

// As above for folder names.  The substituted artist, album and genre texts
// have the characters that file names may not hold replaced (full-width
// forms when fullWidth), so that a "\" in an album title cannot create a
// subfolder; the template's own "\" separators stay.  A template holding a
// lead byte with no trail byte after it is a bad template.
bool ExpandFolderNameTemplate(const std::string& tmpl, const std::string& artist, const std::string& album,
                              const std::string& genre, bool fullWidth, std::string& out);
