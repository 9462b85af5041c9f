// What an ISO 9660 identifier becomes on disk, and which names are safe to create.
#pragma once

#include <string>

// The name a file record is written under: a final ";1" is removed, then a final "."
// (ISO 9660 records a name without extension as NAME.;1). Other suffixes stay.
std::string OutputFileName(const std::string& identifier);

// True when `name` names a plain entry inside its folder on both Windows and POSIX:
// not empty, "." or "..", no separator, drive colon, control character, character
// Windows refuses in names, or trailing space or dot, not a Windows device name (CON,
// NUL, COM1 ... with or without extension), and well-formed UTF-8.
bool IsSafeName(const std::string& name);
