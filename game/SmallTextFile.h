// Reading a small text file, such as Steam's library list, with a bound on what is read.
#pragma once

#include <cstddef>
#include <string>

// Far more than any library list; a longer file is not what we look for.
constexpr size_t kSmallTextFileLimit = 1 << 20;

// The whole file at `path` (UTF-8), or "" when it cannot be read or is longer than
// `limit`. Reads at most `limit` + 1 bytes; a FIFO or a character device (a link to
// /dev/zero) is not read at all.
std::string ReadSmallTextFile(const std::string& path, size_t limit = kSmallTextFileLimit);
