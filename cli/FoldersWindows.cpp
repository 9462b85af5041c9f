// Folder helpers over the wide Win32 calls; paths go through WidePath, so neither a code
// page nor the 260-character limit stands in the way.
#include "Folders.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

#include <windows.h>

#include "disc/ImageFile.h"
#include "iso/FileSystem.h"
#include "text/Utf8.h"

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY: return ENOENT;  // NOT_READY: a drive without a disc
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

// A file time (100 ns steps since 1601) in seconds since 1970.
int64_t UnixSeconds(const FILETIME& time) {
    const int64_t ticks = static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    constexpr int64_t kTicksPerSecond = 10000000, kSeconds1601To1970 = 11644473600;
    return ticks / kTicksPerSecond - kSeconds1601To1970;
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the folders of `path` begin: past "D:\", "\\server\share\" or a leading "\".
size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t end = 2;
        for (int part = 0; part < 2 && end < path.size(); ++part) {
            while (end < path.size() && !IsSeparator(path[end])) ++end;
            if (end < path.size()) ++end;
        }
        return end;
    }
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

bool IsFile(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    // "D:" alone stands for the drive: its root, as --disc D: means.
    return folder.empty() || IsSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& error) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WidePath(JoinPath(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = ErrnoOf(GetLastError());
        return false;
    }
    do {
        FolderEntry entry;
        entry.name = NarrowToUtf8(found.cFileName);
        if (entry.name == "." || entry.name == "..") continue;
        const bool link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        entry.isFolder = !link && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        entry.isFile = !link && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        entry.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        entry.modified = UnixSeconds(found.ftLastWriteTime);
        entries.push_back(entry);
    } while (FindNextFileW(search, &found));
    const DWORD ended = GetLastError();
    FindClose(search);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    error = ended == ERROR_NO_MORE_FILES ? 0 : ErrnoOf(ended);
    return error == 0;
}

FILE* OpenToRead(const std::string& path) {
    // The link itself is opened, never what it points to, and then refused.
    const HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        errno = ELOOP;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
        return nullptr;
    }
    FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}

int MakeFolders(const std::string& path, std::string& failed) {
    if (IsFolder(path)) return 0;
    const size_t root = RootLength(path);
    for (size_t end = root; end <= path.size(); ++end) {
        if (end < path.size() && !IsSeparator(path[end])) continue;
        if (end == root || IsSeparator(path[end - 1])) continue;  // the root, or a doubled separator
        failed = path.substr(0, end);
        const int error = MakeDirectoryUtf8(failed);
        if (error != 0) return error == EEXIST ? ENOTDIR : error;
    }
    return 0;
}

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(WidePath(JoinPath(folder, "")).c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
    // Windows matches names without regard to case itself; the entry keeps its own spelling.
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/*?") != std::string::npos) return {};
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WidePath(JoinPath(folder, name)).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    return JoinPath(folder, NarrowToUtf8(found.cFileName));
}
