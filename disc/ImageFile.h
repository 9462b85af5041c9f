// Opening image files and reading them at 64-bit positions, taking UTF-8 paths on every
// platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// fopen for a UTF-8 path; on Windows through the wide API, so no code page can lose it.
FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Opens a disc image (or any file of data) to read: a regular file or a block device
// (/dev/sr0, a loop device).
// On failure returns null with errno set (EISDIR for a folder), or with `refusal` saying
// what else the path is (a FIFO is never waited on).
FILE* OpenImageFileUtf8(const std::string& path, std::string& refusal);

// The size of an open file or block device, found by seeking to its end (stat gives a
// device no size); the position is left at the start. UINT64_MAX when it cannot be found.
uint64_t FileSize64(FILE* file);

// Seeks to a 64-bit position from the start of the file; false on failure.
bool SeekFile64(FILE* file, uint64_t position);

#ifdef _WIN32
// A UTF-8 path as Windows' wide calls take it. A path too long for them (260 characters
// with the name, 248 for a folder) is made absolute and given the "\\?\" prefix, which
// lifts the limit.
std::wstring WidePath(const std::string& path);
#endif
