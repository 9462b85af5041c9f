// The library folders that Steam lists in libraryfolders.vdf (portable).
#pragma once

#include <string>
#include <vector>

// Every library folder path in a libraryfolders.vdf text, in file order, unescaped (UTF-8,
// as the file holds it). Reads both formats: the old one, where numbered keys hold the
// paths ("1" "D:\\SteamLibrary"), and the current one, where numbered blocks hold a
// "path" key. Text it cannot read ends the list where it stops making sense.
std::vector<std::string> ParseSteamLibraryFolders(const std::string& vdf);
