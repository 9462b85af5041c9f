// Where the game lies, as both programs look for it: the image's name, its place under a
// Steam folder or library, the libraries Steam lists, and the disc's probe file. Paths are
// UTF-8; `separator` is the one of the paths built ('\\' on Windows, '/' elsewhere).
#pragma once

#include <string>
#include <vector>

// The name of the disc image that the GOG and Steam editions ship.
constexpr char kImageName[] = "GAME.GOG";

// GOG's product id of the game: its installer's registry key and its launchers' lists
// name it.
constexpr char kGogProductId[] = "1207663463";

// A file every game disc holds, and no other disc: DATA\CRED1.PCX.
constexpr char kDiscProbeFolder[] = "DATA";
constexpr char kDiscProbeFile[] = "CRED1.PCX";
std::string DiscProbe(char separator);

// `folder` followed by the image's place inside a Steam library,
// "<folder>/steamapps/common/Marrowgate (I)/GAME.GOG"; `folder` is kept as it is.
std::string SteamImageBelow(const std::string& folder, char separator);

// The game's image in each library that Steam's lists name, in order: the lists in
// `steamFolder` (steamapps/libraryfolders.vdf, then config/libraryfolders.vdf), each
// read only when it is a small text file. Trailing separators of a library are trimmed
// and a library of nothing else is skipped; on Windows a library's '/' become '\'.
std::vector<std::string> SteamImagesInListedLibraries(const std::string& steamFolder, char separator);

// `path` without its trailing separators ('/' and `separator`).
std::string TrimTrailingSeparators(std::string path, char separator);
