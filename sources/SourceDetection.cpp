// Source locations: registry values, Steam's library list and the drive scan.
#include "SourceDetection.h"

#include <algorithm>
#include <string>

#include "RegistryString.h"
#include "game/GameLocations.h"
#include "text/Utf8.h"

namespace {

const wchar_t* const kSteamKey[] = {L"Software", L"Valve", L"Steam", L"SteamPath"};

CString ForwardToBackSlashes(CString path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The game's image in a library that Steam lists, or "" when no listed library holds it.
CString FindImageInSteamLibraries(const CString& steamFolder) {
    for (const std::string& image : SteamImagesInListedLibraries(NarrowToUtf8(steamFolder), '\\')) {
        if (PathExists(WidenUtf8(image))) return WidenUtf8(image);
    }
    return {};
}

}  // namespace

// The installer's folder: under WOW6432Node, where a 32-bit installer writes on 64-bit
// Windows; then, once, under the plain key, where it writes on 32-bit Windows (on 64-bit
// Windows our 32-bit process is sent to the same WOW6432Node key there).
CString GetGogImagePath() {
    const CString productId = WidenUtf8(kGogProductId);
    const wchar_t* const gogKey[] = {L"SOFTWARE", L"WOW6432Node", L"GOG.com", L"Games", productId.c_str(), L"path"};
    const wchar_t* const plainKey[] = {L"SOFTWARE", L"GOG.com", L"Games", productId.c_str(), L"path"};
    CString folder = ReadRegistryString(HKEY_LOCAL_MACHINE, gogKey, static_cast<int>(std::size(gogKey)));
    if (folder.empty()) folder = ReadRegistryString(HKEY_LOCAL_MACHINE, plainKey, static_cast<int>(std::size(plainKey)));
    return folder + L"\\" + WidenUtf8(kImageName);
}

CString GetSteamImagePath() {
    const CString steamFolder =
        ForwardToBackSlashes(ReadRegistryString(HKEY_CURRENT_USER, kSteamKey, static_cast<int>(std::size(kSteamKey))));
    const CString image = WidenUtf8(SteamImageBelow(NarrowToUtf8(steamFolder), '\\'));
    if (PathExists(image) || steamFolder.empty()) return image;
    const CString elsewhere = FindImageInSteamLibraries(steamFolder);
    return elsewhere.empty() ? image : elsewhere;
}

bool PathExists(const CString& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

CString FindDiscRoot() {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const CString root = CString(1, letter) + L":\\";
        if (GetDriveTypeW(root.c_str()) == DRIVE_UNKNOWN) continue;
        if (PathExists(root + WidenUtf8(DiscProbe('\\')))) return root;
    }
    return {};
}
