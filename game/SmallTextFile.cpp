// The bounded read: one byte past the limit tells a file that is too long.
#include "SmallTextFile.h"

#include <cstdio>

#include "iso/FileSystem.h"

std::string ReadSmallTextFile(const std::string& path, size_t limit) {
    // Only a file of data: a FIFO in its place is not waited on, a device not read.
    std::string refusal;
    FILE* file = OpenImageFileUtf8(path, refusal);
    if (!file) return {};
    std::string text(limit + 1, '\0');
    size_t size = 0;
    while (size < text.size()) {
        const size_t got = std::fread(&text[size], 1, text.size() - size, file);
        if (got == 0) break;
        size += got;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || size > limit) return {};
    text.resize(size);
    return text;
}
