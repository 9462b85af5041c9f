// Folder helpers over POSIX calls.
#include "Folders.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "iso/FileSystem.h"

#include "text/Utf8.h"

std::string RealPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    const std::string resolved = real ? real : "";
    std::free(real);
    return resolved;
}

bool IsFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> Subfolders(const std::string& folder) {
    std::vector<std::string> found;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && IsFolder(folder + "/" + name)) found.push_back(folder + "/" + name);
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
    if (name == "." || name == "..") return {};
    std::string found;
    if (DIR* dir = opendir(folder.c_str())) {
        const std::string wanted = FoldCaseUtf8(name);
        while (dirent* entry = readdir(dir)) {
            if (FoldCaseUtf8(entry->d_name) == wanted) {
                found = folder + "/" + entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return found;
}

std::string FindPathIgnoringCase(const std::string& base, const std::string& relative) {
    std::string path = base;
    for (size_t start = 0; start <= relative.size();) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string name = relative.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (name == "." || name == "..") return {};
        const std::string exact = path + "/" + name;
        struct stat info;
        path = stat(exact.c_str(), &info) == 0 ? exact : FindEntryIgnoringCase(path, name);
        if (path.empty()) return {};
    }
    return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& error) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (dirent* found = readdir(dir)) {
        FolderEntry entry;
        entry.name = found->d_name;
        if (entry.name == "." || entry.name == "..") continue;
        struct stat info;
        if (lstat(JoinPath(folder, entry.name).c_str(), &info) == 0) {
            entry.isFile = S_ISREG(info.st_mode);
            entry.isFolder = S_ISDIR(info.st_mode);
            entry.size = static_cast<uint64_t>(info.st_size);
            entry.modified = static_cast<int64_t>(info.st_mtime);
        }
        entries.push_back(entry);
        errno = 0;
    }
    error = errno;
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return error == 0;
}

FILE* OpenToRead(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

int MakeFolders(const std::string& path, std::string& failed) {
    if (IsFolder(path)) return 0;  // may be a link of the user's
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        failed = path.substr(0, slash);
        const int error = MakeDirectoryUtf8(failed);
        if (error != 0) return error == EEXIST ? ENOTDIR : error;
        if (slash == std::string::npos) return 0;
    }
}

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
    struct statvfs space;
    if (statvfs(folder.c_str(), &space) != 0) return false;
    bytes = uint64_t{space.f_bavail} * space.f_frsize;
    return true;
}
