// Folder helpers over POSIX calls.
#include "Folders.h"

#include <algorithm>
#include <cstdlib>

#include <dirent.h>
#include <sys/stat.h>

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
