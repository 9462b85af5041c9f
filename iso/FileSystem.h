// The few file-system calls the engine makes, taking UTF-8 paths on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "DataPiece.h"

// The separator of the platform's own paths.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// fopen for a UTF-8 path; on Windows through the wide API, so no code page can lose it.
FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Opens a disc image to read: a regular file or a block device (/dev/sr0, a loop device).
// On failure returns null with errno set (EISDIR for a folder), or with `refusal` saying
// what else the path is (a FIFO is never waited on).
FILE* OpenImageFileUtf8(const std::string& path, std::string& refusal);

// The size of an open file or block device, found by seeking to its end (stat gives a
// device no size); the position is left at the start. UINT64_MAX when it cannot be found.
uint64_t FileSize64(FILE* file);

// Creates or empties a file for binary writing; on POSIX never through a symbolic link.
FILE* CreateOutputFile(const std::string& path);

// Writes the pieces in order, as few system calls as the platform allows (writev on
// POSIX). Returns 0, or the errno value of the failure.
int WritePieces(FILE* file, const std::vector<DataPiece>& pieces);

// Seeks to a 64-bit position from the start of the file; false on failure.
bool SeekFile64(FILE* file, uint64_t position);

// Creates one directory. Returns 0 when it was created or is there already as a
// directory, else the errno value of the failure.
int MakeDirectoryUtf8(const std::string& path);
