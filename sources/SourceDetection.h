// Where the three sources of the game are looked for: the GOG and Steam editions' disc
// images, found through the registry, and the game disc in any drive.
#pragma once

#include "win/AfxWin.h"

// The GOG installer's folder (HKLM\SOFTWARE\WOW6432Node\GOG.com\Games\1207663463 "path")
// followed by \GAME.GOG.
CString GetGogImagePath();

// Steam's folder (HKCU\Software\Valve\Steam "SteamPath", '/' made '\') followed by
// \steamapps\common\Marrowgate (I)\GAME.GOG. When nothing is there, the first library
// listed in Steam's libraryfolders.vdf that holds the game instead.
CString GetSteamImagePath();

// True when the file system holds an entry, file or folder, of exactly that name.
bool PathExists(const CString& path);

// The root ("D:\") of the first drive from A to Z, of known type, that holds
// DATA\CRED1.PCX; "" when none does.
CString FindDiscRoot();
