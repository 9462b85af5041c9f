// Fuzz target: a Wine prefix's system.reg, searched for the GOG installer's key in both views.
#include <cstdint>
#include <string>

#include "game/GameLocations.h"
#include "game/WineRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* view : {"Software\\Wow6432Node\\GOG.com\\Games\\", "Software\\GOG.com\\Games\\"}) {
        const std::string value = ReadWineRegistryString(text, view + std::string(kGogProductId), "path");
        // Each character grows at most threefold: a byte that is not UTF-8 reads as U+FFFD.
        if (value.size() > 3 * size) __builtin_trap();
    }
    return 0;
}
