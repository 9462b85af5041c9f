// Fuzz target: an installer, named by its .exe, tested as marrowgate-import --test tests
// it: the loader table, both header streams and what they hold, the chunk of GAME.GOG
// decompressed (stored, zlib, bzip2, LZMA or LZMA2), the disc inside walked and every
// file's data read, and the digest of GAME.GOG checked at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "iso/IsoExtract.h"

namespace {

std::string ScratchFolder() {
    static std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mginstaller-XXXXXX";
        return std::string(mkdtemp(&pattern[0]));
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchFolder() + "/setup_marrowgate_1.0.exe";
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    ExtractOptions options;
    options.testOnly = true;
    ExtractImageFile(path, [](std::string) { return true; }, options);
    std::remove(path.c_str());
    return 0;
}
