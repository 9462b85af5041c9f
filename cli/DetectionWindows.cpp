// Detection on Windows: the window's own lookups (sources/), so both programs find the
// same sources.
#include "Detection.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "Console.h"
#include "InstallerDetection.h"
#include "game/GameLocations.h"
#include "sources/SourceDetection.h"
#include "text/Utf8.h"

namespace {

std::string IfPresent(const CString& path) { return PathExists(path) ? NarrowToUtf8(path) : std::string(); }

}  // namespace

FoundSources FindSources() {
    return {IfPresent(GetGogImagePath()), IfPresent(GetSteamImagePath()), NarrowToUtf8(FindDiscRoot()), InstallersIn(DownloadFolder({}, {}))};
}

// The known folder Downloads, wherever the user moved it.
std::string DownloadFolder(const std::string&, const std::string&) {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path))) folder = NarrowToUtf8(path);
    CoTaskMemFree(path);
    return folder;
}

std::string DetectionHelp() {
    return "Without IMAGE, the game is looked for, in this order: the GOG edition (the folder its\n"
           "installer wrote under HKLM\\SOFTWARE\\GOG.com\\Games\\" + std::string(kGogProductId) +
           ", in either registry view);\n"
           "Steam (HKCU\\Software\\Valve\\Steam, SteamPath) and every library it lists; and a game disc\n"
           "in any drive from A: to Z: whose root holds DATA\\CRED1.PCX. GOG's offline installers\n"
           "(setup_marrowgate*.exe) in the Downloads folder are listed too, to be chosen with --from installer.\n";
}

void ReportPlacesLooked() {
    const std::string id = kGogProductId;
    Write(Stream::Err,
          "  GOG: HKLM\\SOFTWARE\\WOW6432Node\\GOG.com\\Games\\" + id + " and HKLM\\SOFTWARE\\GOG.com\\Games\\" + id +
              " (path)\n"
          "  Steam, and the libraries it lists: HKCU\\Software\\Valve\\Steam (SteamPath)\n"
          "  a game disc (DATA\\CRED1.PCX) in the drives A: to Z:\n"
          "  GOG's installers (setup_marrowgate*.exe) in: " + DownloadFolder({}, {}) + "\n");
}
