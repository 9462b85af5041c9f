// Source locations: registry values, Steam's library list and the drive scan.
#include "SourceDetection.h"

#include <algorithm>
#include <string>

#include "RegistryString.h"
#include "SteamLibraries.h"

namespace {

const wchar_t* const kGogKey[] = {L"SOFTWARE", L"WOW6432Node", L"GOG.com", L"Games", L"1207663463", L"path"};
const wchar_t* const kSteamKey[] = {L"Software", L"Valve", L"Steam", L"SteamPath"};
const wchar_t kGogImageSuffix[] = L"\\GAME.GOG";
const wchar_t kSteamImageSuffix[] = L"\\steamapps\\common\\Marrowgate (I)\\GAME.GOG";
const wchar_t kDiscProbe[] = L"DATA\\CRED1.PCX";
// Where Steam lists its libraries, relative to its own folder; the first is the current place.
const wchar_t* const kLibraryLists[] = {L"\\steamapps\\libraryfolders.vdf", L"\\config\\libraryfolders.vdf"};
constexpr DWORD kMaxLibraryListSize = 1 << 20;

CString ForwardToBackSlashes(CString path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

CString FromUtf8(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    CString wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

// The whole of a small text file, or "" when it cannot be read.
std::string ReadSmallFile(const CString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    const DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size <= kMaxLibraryListSize) {
        text.resize(size);
        DWORD read = 0;
        if (!ReadFile(file, &text[0], size, &read, nullptr)) read = 0;
        text.resize(read);
    }
    CloseHandle(file);
    return text;
}

// The game's image in a library that Steam lists, or "" when no listed library holds it.
CString FindImageInSteamLibraries(const CString& steamFolder) {
    for (const wchar_t* list : kLibraryLists) {
        for (const std::string& library : ParseSteamLibraryFolders(ReadSmallFile(steamFolder + list))) {
            CString folder = ForwardToBackSlashes(FromUtf8(library));
            while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
            const CString image = folder + kSteamImageSuffix;
            if (!folder.empty() && PathExists(image)) return image;
        }
    }
    return {};
}

}  // namespace

CString GetGogImagePath() {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, kGogKey, static_cast<int>(std::size(kGogKey))) + kGogImageSuffix;
}

CString GetSteamImagePath() {
    const CString steamFolder =
        ForwardToBackSlashes(ReadRegistryString(HKEY_CURRENT_USER, kSteamKey, static_cast<int>(std::size(kSteamKey))));
    const CString image = steamFolder + kSteamImageSuffix;
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
        if (PathExists(root + kDiscProbe)) return root;
    }
    return {};
}
