// What an ISO 9660 identifier becomes on disk, and which names are safe to create.
#pragma once

#include <functional>
#include <string>

// Turns a name's bytes that are not UTF-8 into UTF-8, as the system would read them (the
// Windows program: the ANSI code page).
using NarrowDecoder = std::function<std::string(const std::string&)>;

// An identifier as UTF-8: kept when it is UTF-8 already, else decoded by `decode`, or as
// Windows-1252 without one (a disc mastered with 8-bit names, such as CAFÉ.TXT).
std::string NameAsUtf8(const std::string& identifier, const NarrowDecoder& decode);
std::string Windows1252ToUtf8(const std::string& text);

// The name a file record is written under: a final ";1" is removed, then a final "."
// (ISO 9660 records a name without extension as NAME.;1). Other suffixes stay.
std::string OutputFileName(const std::string& identifier);

// True when `name` names a plain entry inside its folder on both Windows and POSIX:
// not empty, "." or "..", no separator, drive colon, control character, character
// Windows refuses in names, or trailing space or dot, not a Windows device name (CON,
// NUL, COM0 to COM9, LPT0 to LPT9, COM¹ ... with or without extension), and well-formed UTF-8.
bool IsSafeName(const std::string& name);
