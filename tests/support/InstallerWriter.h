// Inno Setup installers as GOG ships them, written in code for the tests: the smallest
// PE file that carries the loader table where the setup program keeps it (resource
// RT_RCDATA 11111), the setup data of a chosen version with its header streams stored,
// and the files' data in chunks of a chosen compression, in the .exe or in slices.
// Debian's innoextract reads what this writes (tests/installer/written-installers.sh).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IsoBuilder.h"

namespace test {

enum class InstallerCompression { Stored, Zlib, Bzip2, Lzma1, Lzma2 };

struct InstallerSpec {
    std::string version = "6.0.0";  // "5.5.0", "5.5.6", "5.5.7", "5.6.2", "6.0.0", "6.1.0", "6.3.0", "6.4.0.1"
    bool unicode = true;
    InstallerCompression compression = InstallerCompression::Lzma2;
    bool solid = false;      // every file in one chunk
    uint32_t sliceSize = 0;  // 0: the data follows the setup data in the .exe; else slices of this size
    std::string appName = "Marrowgate";
    std::string gogGameId = "1207663463";  // "" registers none
    bool password = false;                 // the header's password flag and every chunk encrypted
    struct File {
        std::string destination;  // "{app}\\GAME.GOG"
        Bytes data;
        bool callFilter = false;  // stored with the x86 call filter applied
        uint64_t recordedSize = 0;  // the size its data entry claims; 0: its own
        std::string beforeInstall = {}, afterInstall = {};  // the install script's calls
    };
    std::vector<File> files;
};

struct WrittenInstaller {
    Bytes exe;
    std::vector<Bytes> slices;  // "-1.bin", "-2.bin", ...
    // Where things lie in `exe`, for tests that spoil them.
    size_t headerStream = 0;  // the first header stream
    size_t dataStart = 0;     // the first chunk, in the .exe or the first slice
};

WrittenInstaller WriteInstaller(const InstallerSpec& spec);

// `data` as GOG stores a large file, in `count` parts, each deflated (zlib), the calls of
// its install script naming the whole `name` and its MD5.
std::vector<InstallerSpec::File> GogParts(const std::string& name, const Bytes& data, int count);

// The setup data ID of `version`: "Inno Setup Setup Data (6.0.0) (u)".
std::string SetupDataId(const std::string& version, bool unicode);

}  // namespace test
