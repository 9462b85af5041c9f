// Mount tables: Linux's mountinfo lines, "ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS
// [OPTIONAL...] - TYPE SOURCE SUPEROPTIONS"; macOS's statfs.
#include "MountTable.h"

#include <cstdlib>
#include <sstream>

#ifdef __APPLE__
#include <sys/mount.h>
#include <sys/param.h>
#endif

#include "Folders.h"
#include "game/SmallTextFile.h"

namespace {

// The kernel writes a space, tab, newline and backslash in paths as \040, \011, \012, \134.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t separator = line.find(" - ");
        if (separator == std::string::npos) continue;
        std::istringstream before(line.substr(0, separator)), after(line.substr(separator + 3));
        std::string id, parent, device, root, mountPoint, type, source;
        if (!(before >> id >> parent >> device >> root >> mountPoint) || !(after >> type >> source)) continue;
        entries.push_back({UnescapeMountField(mountPoint), UnescapeMountField(root), type, UnescapeMountField(source)});
    }
    return entries;
}

bool IsDiscFileSystem(const std::string& type) { return type == "iso9660" || type == "udf" || type == "cd9660"; }

#ifdef __APPLE__

std::optional<MountEntry> FindMount(const std::string& folder) {
    struct statfs info;
    if (statfs(folder.c_str(), &info) != 0 || RealPath(info.f_mntonname) != RealPath(folder)) return std::nullopt;
    return MountEntry{info.f_mntonname, "/", info.f_fstypename, info.f_mntfromname};
}

#else

std::optional<MountEntry> FindMount(const std::string& folder) {
    const char* table = std::getenv("MARROWGATE_MOUNTINFO");
    const std::string wanted = RealPath(folder);
    std::optional<MountEntry> found;
    if (wanted.empty()) return found;
    for (const MountEntry& entry : ParseMountInfo(ReadSmallTextFile(table ? table : "/proc/self/mountinfo"))) {
        if (entry.mountPoint == wanted) found = entry;  // the kernel lists real paths
    }
    if (found && found->root != "/") found.reset();  // a folder of a file system, not the disc
    return found;
}

#endif
