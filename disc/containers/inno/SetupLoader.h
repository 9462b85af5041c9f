// Finding what an Inno Setup installer holds: the setup loader's offset table, which the
// installer's .exe keeps as its RT_RCDATA resource 11111, and the setup data's ID at the
// table's first offset ("Inno Setup Setup Data (5.5.7) (u)").
#pragma once

#include <cstdint>
#include <string>

class ByteSource;

struct SetupLoader {
    uint32_t setupData = 0;  // where the setup data begins: its ID, then the header streams
    uint32_t fileData = 0;   // where the files' data begins; 0 when it lies in .bin slices
};

// The offset table of the installer in `exe` (of `size` bytes); false with `why` when it
// is no installer (no such resource, a table that fails its CRC32).
bool FindSetupLoader(ByteSource& exe, uint64_t size, SetupLoader& loader, std::string& why);

struct SetupDataVersion {
    int major = 0, minor = 0, patch = 0, build = 0;
    bool unicode = false;
    std::string id;  // as written, for messages
};

// The setup data's ID at `at`, read as a version; false with `why` when it is none.
bool ReadSetupDataVersion(ByteSource& exe, uint64_t at, SetupDataVersion& version, std::string& why);
