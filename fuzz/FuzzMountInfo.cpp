// Fuzz target: Linux's mount table (/proc/self/mountinfo), as the kernel escapes it.
#include <cstdint>
#include <string>

#include "MountTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t total = 0;
    for (const auto& entry : ParseMountInfo(std::string(reinterpret_cast<const char*>(data), size))) {
        total += entry.mountPoint.size() + entry.root.size() + entry.type.size() + entry.source.size();
        (void)IsDiscFileSystem(entry.type);
    }
    if (total > size) __builtin_trap();  // unescaping only shortens fields, which never overlap
    return 0;
}
