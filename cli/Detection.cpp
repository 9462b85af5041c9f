// Detection on POSIX systems: fixed Steam places, Steam's library lists, mounted media.
#include "Detection.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include <unistd.h>

#include "Console.h"
#include "Folders.h"
#include "InstallerDetection.h"
#include "Report.h"
#include "game/GameLocations.h"
#include "game/SmallTextFile.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Joined(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& item : list) text += (text.empty() ? "" : ", ") + Printable(item);
    return text;
}

}  // namespace

FoundSources FindSources() {
    const DetectionPlaces places = PlacesFromEnvironment();
    return {FindGogImage(places), FindSteamImage(places), FindDiscMount(places),
            InstallersIn(DownloadFolder(places.home, places.xdgConfigHome))};
}

// user-dirs.dirs holds lines such as XDG_DOWNLOAD_DIR="$HOME/Downloads" (xdg-user-dirs
// writes it; xdg-user-dir reads it the same way).
std::string DownloadFolder(const std::string& home, const std::string& configHome) {
    const std::string config = !configHome.empty() ? configHome : home.empty() ? std::string() : home + "/.config";
    const std::string dirs = config.empty() ? std::string() : ReadSmallTextFile(config + "/user-dirs.dirs");
    size_t line = 0;
    while (line < dirs.size()) {
        const size_t end = std::min(dirs.find('\n', line), dirs.size());
        std::string text = dirs.substr(line, end - line);
        line = end + 1;
        constexpr char kKey[] = "XDG_DOWNLOAD_DIR=\"";
        if (text.compare(0, sizeof kKey - 1, kKey) != 0 || text.size() < sizeof kKey || text.back() != '"') continue;
        text = text.substr(sizeof kKey - 1, text.size() - sizeof kKey);
        if (text.compare(0, 5, "$HOME") == 0) {
            if (home.empty()) break;
            text = home + text.substr(5);
        }
        if (!text.empty() && text[0] == '/') return text;
    }
    return home.empty() ? std::string() : home + "/Downloads";
}

std::string DetectionHelp() {
    return "Without IMAGE, the game is looked for, in this order: the GOG edition installed through\n"
           "Wine (the installer's registry key in $WINEPREFIX, ~/.wine, ~/Games/*, Bottles and CrossOver\n"
           "bottles), Heroic or minigalaxy; Steam's folders (~/.steam/steam, ~/.steam/root,\n"
           "~/.local/share/Steam, $XDG_DATA_HOME/Steam, Flatpak, snap, ~/Library/Application Support/Steam)\n"
           "and every library they list; and mounted media (/media/$USER/*, /run/media/$USER/*,\n"
           "/media/*, /mnt/*, /Volumes/*) whose root holds DATA/CRED1.PCX. GOG's offline installers\n"
           "(setup_marrowgate*.exe) in the download folder (xdg-user-dir DOWNLOAD, else ~/Downloads) are\n"
           "listed too, to be chosen with --from installer.\n";
}

void ReportPlacesLooked() {
    const DetectionPlaces places = PlacesFromEnvironment();
    std::vector<std::string> steamPlaces = SteamFolders(places);
    for (std::string& folder : steamPlaces) folder += "/steamapps";
    Write(Stream::Err, "  GOG in Wine prefixes: " + Joined(WinePrefixPlaces(places)) + "\n" +
                           "  GOG in launchers' lists: " + Joined(GogLauncherPlaces(places)) + "\n" +
                           "  Steam, and the libraries it lists, in: " + Joined(steamPlaces) + "\n" +
                           "  a game disc (DATA/CRED1.PCX) mounted in: " + Joined(MediaFolders(places)) + "\n" +
                           "  GOG's installers (setup_marrowgate*.exe) in: " +
                           Printable(DownloadFolder(places.home, places.xdgConfigHome)) + "\n");
}

DetectionPlaces PlacesFromEnvironment() {
    DetectionPlaces places;
    places.home = Environment("MARROWGATE_HOME");
    if (places.home.empty()) places.home = Environment("HOME");
    places.xdgDataHome = Environment("XDG_DATA_HOME");
    places.xdgConfigHome = Environment("XDG_CONFIG_HOME");
    places.winePrefix = Environment("WINEPREFIX");
    places.user = Environment("USER");
    places.mediaRoot = Environment("MARROWGATE_MEDIA_ROOT");
    return places;
}

std::vector<std::string> SteamFolders(const DetectionPlaces& places) {
    std::vector<std::string> folders;
    if (!places.home.empty()) {
        const std::string& h = places.home;
        folders = {h + "/.steam/steam", h + "/.steam/root", h + "/.local/share/Steam"};
        if (!places.xdgDataHome.empty()) folders.push_back(places.xdgDataHome + "/Steam");
        folders.push_back(h + "/.var/app/com.valvesoftware.Steam/.local/share/Steam");  // Flatpak
        folders.push_back(h + "/.var/app/com.valvesoftware.Steam/data/Steam");
        folders.push_back(h + "/snap/steam/common/.local/share/Steam");                 // snap
        folders.push_back(h + "/Library/Application Support/Steam");                    // macOS
    }
    return folders;
}

std::string FindSteamImage(const DetectionPlaces& places) {
    const std::vector<std::string> folders = SteamFolders(places);
    for (const std::string& folder : folders) {
        const std::string image = SteamImageBelow(folder, '/');
        if (IsFile(image)) return image;
    }
    std::set<std::string> seen;  // ~/.steam/steam usually leads to ~/.local/share/Steam
    for (const std::string& folder : folders) {
        const std::string real = RealPath(folder);
        if (real.empty() || !seen.insert(real).second) continue;
        for (const std::string& image : SteamImagesInListedLibraries(folder, '/')) {
            if (IsFile(image)) return image;
        }
    }
    return {};
}

std::vector<std::string> MediaFolders(const DetectionPlaces& places) {
    const std::string& root = places.mediaRoot;
    std::vector<std::string> parents;
    if (!places.user.empty()) {
        parents.push_back(root + "/media/" + places.user);
        parents.push_back(root + "/run/media/" + places.user);
    }
    parents.insert(parents.end(), {root + "/media", root + "/mnt", root + "/Volumes"});
    return parents;
}

std::string FindDiscMount(const DetectionPlaces& places) {
    for (const std::string& parent : MediaFolders(places)) {
        for (const std::string& mount : Subfolders(parent)) {
            const std::string data = FindEntryIgnoringCase(mount, kDiscProbeFolder);
            if (!data.empty() && IsFolder(data) && IsFile(FindEntryIgnoringCase(data, kDiscProbeFile))) return mount;
        }
    }
    return {};
}
