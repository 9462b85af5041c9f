// Looking at folders and making them, as detection, the disc copy and the output folder
// need. One file for POSIX systems, one for Windows (which has no use for the last four).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

bool IsFile(const std::string& path);    // a regular file, links followed
bool IsFolder(const std::string& path);  // a folder, links followed

// `folder`/`name` with the platform's separator (none added after one).
std::string JoinPath(const std::string& folder, const std::string& name);

// One entry of a folder, as it is itself: a link (a junction or symbolic link on Windows)
// is neither file nor folder.
struct FolderEntry {
    std::string name;
    bool isFile = false;
    bool isFolder = false;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds since 1970, UTC
};
// The folder's entries, sorted by name, without "." and ".."; false (with `error`, an
// errno value) when it cannot be listed, or was listed only in part.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& error);

// Opens a file for reading, never through a link; null with errno set on failure.
FILE* OpenToRead(const std::string& path);

// Creates the folder `path` and every missing folder on its way, as mkdir -p does; a
// folder already there (or a link to one) will do. 0, or the errno value of the failure
// with `failed` the path it concerns.
int MakeFolders(const std::string& path, std::string& failed);

// The space free to this user on the file system of `folder`; false when unknown.
bool FreeSpace(const std::string& folder, uint64_t& bytes);

// `folder`'s entry named `name` without regard to case (ISO 9660 mounts may show "data";
// Wine matches "ŁÓDŹ" to "Łódź"), as a path; "" when there is none.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name);

// POSIX only, for detection:

// The folders inside `folder`, sorted, as paths.
std::vector<std::string> Subfolders(const std::string& folder);

// `path` with every link and "." or ".." resolved; "" when it does not exist.
std::string RealPath(const std::string& path);

// `base` followed by `relative` ('/'-separated), each part matched as it is or else
// without regard to case, as Wine finds a Windows path; "" when a part is missing.
std::string FindPathIgnoringCase(const std::string& base, const std::string& relative);
