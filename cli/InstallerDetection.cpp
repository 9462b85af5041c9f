#include "InstallerDetection.h"

#include <algorithm>

#include "Folders.h"
#include "disc/containers/inno/Installer.h"
#include "game/GameLocations.h"
#include "text/Utf8.h"

namespace {

bool NamedAsGogNamesIt(const std::string& name) {
    const std::string upper = UpperAscii(name);
    constexpr char kPrefix[] = "SETUP_MARROWGATE", kSuffix[] = ".EXE";
    return upper.size() > sizeof kPrefix + sizeof kSuffix - 2 && upper.compare(0, sizeof kPrefix - 1, kPrefix) == 0 &&
           upper.compare(upper.size() - (sizeof kSuffix - 1), sizeof kSuffix - 1, kSuffix) == 0;
}

// "…_1.10.exe" after "…_1.9.exe": runs of digits compare as numbers.
bool NewerName(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isdigit(static_cast<unsigned char>(a[i])) && isdigit(static_cast<unsigned char>(b[j]))) {
            size_t ei = i, ej = j;
            while (ei < a.size() && isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            if (na.size() != nb.size()) return na.size() > nb.size();
            if (na != nb) return na > nb;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j]) return a[i] > b[j];
            ++i, ++j;
        }
    }
    return a.size() - i > b.size() - j;
}

}  // namespace

std::vector<std::string> InstallersIn(const std::string& folder) {
    std::vector<FolderEntry> entries;
    int error = 0;
    std::vector<std::string> found;
    if (folder.empty()) return found;
    ListFolder(folder, entries, error);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return NewerName(UpperAscii(a.name), UpperAscii(b.name)); });
    for (const FolderEntry& entry : entries) {
        if (!entry.isFile || !NamedAsGogNamesIt(entry.name)) continue;
        const std::string path = JoinPath(folder, entry.name);
        InstallerFacts facts;
        std::string why;
        if (DescribeInstaller(path, facts, why) && facts.holdsGameImage && (facts.gogGameId.empty() || facts.gogGameId == kGogProductId))
            found.push_back(path);
    }
    return found;
}

std::string ForeignInstaller(const std::string& image) {
    InstallerFacts facts;
    std::string why;
    if (!DescribeInstaller(image, facts, why) || facts.gogGameId.empty() || facts.gogGameId == kGogProductId) return {};
    return "an installer of " + (facts.appName.empty() ? std::string("another game") : facts.appName) + " (GOG ID " +
           facts.gogGameId + "), not of Marrowgate (" + kGogProductId + ")";
}
