// Finding the game. On Windows as the window does (sources/); on Linux and macOS the same
// sources where those systems keep them: the GOG edition installed through Wine or a
// launcher, Steam's folders and the libraries they list, and a mounted game disc.
#pragma once

#include <string>
#include <vector>

// The sources found, in the order they are offered ("" where none was found).
struct FoundSources {
    std::string gog;    // the GOG edition's image
    std::string steam;  // the Steam edition's image
    std::string disc;   // the game disc: where it is mounted, or its drive ("D:\")
    std::vector<std::string> installers;  // GOG's offline installers in the download folder, newest first
};
FoundSources FindSources();

// Where the game is looked for, for --help: a paragraph.
std::string DetectionHelp();

// Says where the game was looked for, one line per kind of place (after "no source found").
void ReportPlacesLooked();

// The rest is for POSIX systems.

// Where to look. Taken from the environment: HOME, XDG_DATA_HOME, XDG_CONFIG_HOME,
// WINEPREFIX and USER, which MARROWGATE_HOME and MARROWGATE_MEDIA_ROOT (a folder standing
// in for "/" in the media folders) override, so tests can point detection at folders of
// their own.
struct DetectionPlaces {
    std::string home;
    std::string xdgDataHome;
    std::string xdgConfigHome;
    std::string winePrefix;
    std::string user;
    std::string mediaRoot;  // "" for "/"
};
DetectionPlaces PlacesFromEnvironment();

// Wine prefixes a GOG installer may have run in, in the order they are tried: WINEPREFIX,
// ~/.wine, Lutris-style ~/Games/*, Bottles (native and Flatpak), CrossOver (Linux, macOS).
// Patterns ending in "/*" stand for each folder inside.
std::vector<std::string> WinePrefixPlaces(const DetectionPlaces& places);

// The GOG edition's image: through the GOG key in a Wine prefix's registry (the drive
// mapped through the prefix's dosdevices), Heroic's list of installed GOG games, or
// minigalaxy's install folder; "" when none.
std::string FindGogImage(const DetectionPlaces& places);

// Heroic's lists of installed GOG games (native and Flatpak) and minigalaxy's install
// folder, as searched.
std::vector<std::string> GogLauncherPlaces(const DetectionPlaces& places);

// Steam's own folders, in the order they are tried (Linux, Flatpak, snap, macOS).
std::vector<std::string> SteamFolders(const DetectionPlaces& places);

// The game's image in a Steam folder or in a library one of them lists; "" when none.
std::string FindSteamImage(const DetectionPlaces& places);

// The folders whose subfolders are taken for mounted media, in order.
std::vector<std::string> MediaFolders(const DetectionPlaces& places);

// The first mounted medium whose root holds DATA/CRED1.PCX (any case); "" when none.
std::string FindDiscMount(const DetectionPlaces& places);
