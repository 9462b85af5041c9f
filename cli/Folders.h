// Looking at folders on a POSIX system, as detection and the disc copy both do.
#pragma once

#include <string>
#include <vector>

bool IsFile(const std::string& path);    // a regular file, links followed
bool IsFolder(const std::string& path);  // a folder, links followed

// The folders inside `folder`, sorted, as paths.
std::vector<std::string> Subfolders(const std::string& folder);

// `path` with every link and "." or ".." resolved; "" when it does not exist.
std::string RealPath(const std::string& path);

// `folder`'s entry named `name` without regard to case (ISO 9660 mounts may show "data";
// Wine matches "ŁÓDŹ" to "Łódź"), as a path; "" when there is none.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name);

// `base` followed by `relative` ('/'-separated), each part matched as it is or else
// without regard to case, as Wine finds a Windows path; "" when a part is missing.
std::string FindPathIgnoringCase(const std::string& base, const std::string& relative);
