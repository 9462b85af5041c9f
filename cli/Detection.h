// Finding the game on Linux and macOS, as the Windows program does on Windows: Steam's
// folders and the libraries they list, and a mounted game disc.
#pragma once

#include <string>
#include <vector>

// Where to look. Taken from the environment: HOME, XDG_DATA_HOME and USER, which
// MARROWGATE_HOME and MARROWGATE_MEDIA_ROOT (a folder standing in for "/" in the media
// folders) override, so tests can point detection at folders of their own.
struct DetectionPlaces {
    std::string home;
    std::string xdgDataHome;
    std::string user;
    std::string mediaRoot;  // "" for "/"
};
DetectionPlaces PlacesFromEnvironment();

// Steam's own folders, in the order they are tried (Linux, Flatpak, snap, macOS).
std::vector<std::string> SteamFolders(const DetectionPlaces& places);

// The game's image in a Steam folder or in a library one of them lists; "" when none.
std::string FindSteamImage(const DetectionPlaces& places);

// The first mounted medium whose root holds DATA/CRED1.PCX (any case); "" when none.
std::string FindDiscMount(const DetectionPlaces& places);
