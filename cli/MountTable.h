// Which device a mounted disc comes from: Linux's mount table (/proc/self/mountinfo), or
// statfs on macOS.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct MountEntry {
    std::string mountPoint;
    std::string root;    // the folder of the file system mounted there ("/" for all of it)
    std::string type;    // "iso9660", "udf", "ext4", ...
    std::string source;  // "/dev/sr0"
};

// The lines of a mountinfo text; fields as the kernel escapes them (\040 for a space, ...)
// are unescaped; lines that break the format are passed over.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The mount table's entry for the file system mounted at `folder` as a whole (the last one
// listed there, as it hides the others); nothing when `folder` is no mount point. Linux
// reads MARROWGATE_MOUNTINFO instead of /proc/self/mountinfo when it is set, so tests can
// stand in a table of their own.
std::optional<MountEntry> FindMount(const std::string& folder);

// True for the file systems of a game disc, whose device holds the disc's ISO 9660 tree.
bool IsDiscFileSystem(const std::string& type);
