// The GOG edition outside Windows: Wine prefixes (the installer's registry key), Heroic's
// list of installed games, minigalaxy's install folder.
#include <algorithm>
#include <cctype>

#include "Detection.h"
#include "Folders.h"
#include "game/GameLocations.h"
#include "game/Json.h"
#include "game/SmallTextFile.h"
#include "game/WineRegistry.h"

namespace {

const std::string kGogKeys[] = {
    std::string("Software\\Wow6432Node\\GOG.com\\Games\\") + kGogProductId,  // a 32-bit installer in a win64 prefix
    std::string("Software\\GOG.com\\Games\\") + kGogProductId,               // in a win32 prefix
};

std::string HomeOr(const std::string& value, const std::string& home, const char* fallback) {
    return !value.empty() ? value : home.empty() ? std::string() : home + fallback;
}

// "C:\GOG Games\Marrowgate" inside `prefix`: the drive through dosdevices, the rest
// matched as Wine matches it; "" when it is no drive path or does not exist.
std::string HostPathInPrefix(const std::string& prefix, std::string windowsPath) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':' || !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
        return {};
    std::replace(windowsPath.begin(), windowsPath.end(), '\\', '/');
    const std::string drive = prefix + "/dosdevices/" + static_cast<char>(std::tolower(windowsPath[0])) + ":";
    return IsFolder(drive) ? FindPathIgnoringCase(drive, windowsPath.substr(2)) : std::string();
}

std::string ImageIn(const std::string& folder) {
    const std::string image = folder.empty() ? std::string() : FindEntryIgnoringCase(folder, kImageName);
    return !image.empty() && IsFile(image) ? image : std::string();
}

std::string ImageThroughRegistry(const std::string& prefix) {
    const std::string registry = ReadSmallTextFile(prefix + "/system.reg", kWineRegistryLimit);
    if (registry.empty()) return {};
    for (const std::string& key : kGogKeys) {
        const std::string folder = ReadWineRegistryString(registry, key, "path");
        if (!folder.empty()) {
            const std::string image = ImageIn(HostPathInPrefix(prefix, folder));
            if (!image.empty()) return RealPath(image);  // not through dosdevices' links (it exists)
        }
    }
    return {};
}

// Heroic's installed.json: {"installed": [{"appName": "1207663463", "install_path": ...}]}
std::string ImageThroughHeroic(const std::string& list) {
    const auto json = ParseJson(ReadSmallTextFile(list));
    const JsonValue* installed = json ? json->Find("installed") : nullptr;
    if (!installed) return {};
    for (const JsonValue& game : installed->items) {
        const JsonValue* id = game.Find("appName");
        const JsonValue* path = game.Find("install_path");
        if (id && path && id->String() == kGogProductId) {
            const std::string image = ImageIn(path->String());
            if (!image.empty()) return image;
        }
    }
    return {};
}

std::string MinigalaxyInstallFolder(const DetectionPlaces& places) {
    const std::string config = HomeOr(places.xdgConfigHome, places.home, "/.config") + "/minigalaxy/config.json";
    const auto json = ParseJson(ReadSmallTextFile(config));
    const JsonValue* folder = json ? json->Find("install_dir") : nullptr;
    if (folder && !folder->String().empty()) return folder->String();
    return places.home.empty() ? std::string() : places.home + "/GOG Games";
}

std::vector<std::string> Expand(const std::string& place) {
    if (place.size() < 2 || place.compare(place.size() - 2, 2, "/*") != 0) return {place};
    return Subfolders(place.substr(0, place.size() - 2));
}

}  // namespace

std::vector<std::string> WinePrefixPlaces(const DetectionPlaces& places) {
    std::vector<std::string> found;
    if (!places.winePrefix.empty()) found.push_back(places.winePrefix);
    if (places.home.empty()) return found;
    const std::string& h = places.home;
    const std::string data = HomeOr(places.xdgDataHome, h, "/.local/share");
    found.insert(found.end(), {h + "/.wine", h + "/Games/*", data + "/bottles/bottles/*",
                               h + "/.var/app/com.usebottles.bottles/data/bottles/bottles/*", h + "/.cxoffice/*",
                               h + "/Library/Application Support/CrossOver/Bottles/*"});
    return found;
}

std::vector<std::string> GogLauncherPlaces(const DetectionPlaces& places) {
    std::vector<std::string> found;
    if (!places.home.empty()) {
        found.push_back(HomeOr(places.xdgConfigHome, places.home, "/.config") + "/heroic/gog_store/installed.json");
        found.push_back(places.home + "/.var/app/com.heroicgameslauncher.hgl/config/heroic/gog_store/installed.json");
    }
    const std::string minigalaxy = MinigalaxyInstallFolder(places);
    if (!minigalaxy.empty()) found.push_back(minigalaxy + "/*");
    return found;
}

std::string FindGogImage(const DetectionPlaces& places) {
    for (const std::string& place : WinePrefixPlaces(places)) {
        for (const std::string& prefix : Expand(place)) {
            const std::string image = ImageThroughRegistry(prefix);
            if (!image.empty()) return image;
        }
    }
    for (const std::string& place : GogLauncherPlaces(places)) {
        for (const std::string& candidate : Expand(place)) {
            const std::string image = IsFolder(candidate) ? ImageIn(candidate) : ImageThroughHeroic(candidate);
            if (!image.empty()) return image;
        }
    }
    return {};
}
