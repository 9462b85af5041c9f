// Fuzz target: the sheets and container headers, each read as its module reads it. The
// input is written as a file beside two data files a sheet may name ("a.bin", 20 raw
// sectors, and "b.bin", 10), then opened as a disc; the first byte picks the extension
// the file gets, so that a data file's sheet is looked for too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "disc/Disc.h"

namespace {

const char* const kNames[] = {"disc.cue", "disc.toc", "disc.ccd", "disc.mds", "disc.nrg", "disc.bin", "disc.img", "disc.chd"};

std::string ScratchFolder() {
    static std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mgsheet-XXXXXX";
        std::string made = mkdtemp(&pattern[0]);
        for (const auto& [name, sectors] : {std::pair<const char*, size_t>{"a.bin", 20}, {"b.bin", 10}}) {
            std::vector<unsigned char> bytes(sectors * 2352, 0);
            FILE* file = std::fopen((made + "/" + name).c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string folder = ScratchFolder();
    const std::string path = folder + "/" + kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    OpenedDisc disc = OpenDisc(path);
    if (disc.reader) {
        unsigned char block[2048];
        disc.reader->Read((disc.reader->VolumeStart() + 16) * 2048, sizeof block, block);
    }
    std::remove(path.c_str());
    return 0;
}
