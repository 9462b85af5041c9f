// The game's places, each defined once for both programs.
#include "GameLocations.h"

#include <algorithm>

#include "SmallTextFile.h"
#include "SteamLibraries.h"

namespace {

// Components of the paths, joined with the caller's separator.
const char* const kSteamImageComponents[] = {"steamapps", "common", "Marrowgate (I)", kImageName};
const char* const kLibraryListComponents[][2] = {{"steamapps", "libraryfolders.vdf"}, {"config", "libraryfolders.vdf"}};

template <typename Components>
std::string Below(std::string folder, const Components& components, char separator) {
    for (const char* component : components) folder += separator + std::string(component);
    return folder;
}

}  // namespace

std::string DiscProbe(char separator) { return kDiscProbeFolder + std::string(1, separator) + kDiscProbeFile; }

std::string SteamImageBelow(const std::string& folder, char separator) {
    return Below(folder, kSteamImageComponents, separator);
}

std::vector<std::string> SteamImagesInListedLibraries(const std::string& steamFolder, char separator) {
    std::vector<std::string> images;
    for (const auto& listComponents : kLibraryListComponents) {
        const std::string list = Below(steamFolder, listComponents, separator);
        for (std::string library : ParseSteamLibraryFolders(ReadSmallTextFile(list))) {
            if (separator == '\\') std::replace(library.begin(), library.end(), '/', '\\');
            library = TrimTrailingSeparators(library, separator);
            if (!library.empty()) images.push_back(SteamImageBelow(library, separator));
        }
    }
    return images;
}

std::string TrimTrailingSeparators(std::string path, char separator) {
    while (!path.empty() && (path.back() == '/' || path.back() == separator)) path.pop_back();
    return path;
}
