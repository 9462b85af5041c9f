// Folder helpers over POSIX calls.
#include "Folders.h"

#include <algorithm>
#include <cctype>

#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

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
    std::string found;
    if (DIR* dir = opendir(folder.c_str())) {
        const std::string wanted = Lower(name);
        while (dirent* entry = readdir(dir)) {
            if (Lower(entry->d_name) == wanted) {
                found = folder + "/" + entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return found;
}
