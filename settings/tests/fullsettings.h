// A settings file that gives every section of the store and of the main
// window a value other than its default, written the way the store writes
// it, so that loading and storing it again must leave every key as it is.
// Paths and programs are placeholders: the caller puts folders and files
// that exist in their place (see FullSettingsText).
#pragma once
#include <string>
#include <vector>

struct TFullSettingsPaths {
    std::string WorkDir;   // an existing folder, with its trailing backslash
    std::string AlbumDir;  // an existing folder, without one
    std::string BootDir;   // an existing folder, with its trailing backslash
    std::string Player;    // an existing file
    std::string Editor;    // an existing file
};

std::string FullSettingsText(const TFullSettingsPaths& p);

// The folders and programs of the full settings below the folder `root`
// (given with its trailing backslash): work\, albums, boot\, play.exe and
// edit.exe, made to exist so that loading keeps them.
TFullSettingsPaths MakeFullSettingsPaths(const std::string& root);

// The names of the sections of a settings file's text, in order.
std::vector<std::string> SectionsOf(const std::string& text);
