// The bounded read: one byte past the limit tells a file that is too long.
#include "SmallTextFile.h"

#include <algorithm>
#include <cstdio>

#include "iso/FileSystem.h"

std::string ReadSmallTextFile(const std::string& path, size_t limit) {
    // Only a file of data: a FIFO in its place is not waited on, a device not read.
    std::string refusal;
    FILE* file = OpenImageFileUtf8(path, refusal);
    if (!file) return {};
    // Grown as it is read, so a large bound (a registry's) costs only what the file holds.
    std::string text;
    char chunk[64 * 1024];
    while (text.size() <= limit) {
        const size_t got = std::fread(chunk, 1, std::min(sizeof chunk, limit + 1 - text.size()), file);
        if (got == 0) break;
        text.append(chunk, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed || text.size() > limit ? std::string() : text;
}
