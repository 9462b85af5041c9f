// Fuzz target: Steam's libraryfolders.vdf, both formats.
#include <cstdint>
#include <string>

#include "game/SteamLibraries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t total = 0;
    for (const auto& folder : ParseSteamLibraryFolders(std::string(reinterpret_cast<const char*>(data), size))) {
        total += folder.size();
    }
    if (total > size) __builtin_trap();  // paths come from the text, each from its own part of it
    return 0;
}
