// What an installer's two header streams say that matters here: its name and its GOG
// game ID, how its files' data is compressed, each file's destination and the data
// entries that place its bytes. Read for setup data 5.5.0 to 6.4, each field as that
// version writes it; every count, length and offset checked before use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SetupLoader.h"

// The setup data versions read here, as one comparable number.
constexpr uint32_t InnoVersion(int major, int minor, int patch, int build = 0) {
    return uint32_t(major) << 24 | uint32_t(minor) << 16 | uint32_t(patch) << 8 | uint32_t(build);
}
constexpr uint32_t kOldestSetupData = InnoVersion(5, 5, 0);
constexpr uint32_t kNewestSetupData = InnoVersion(6, 4, 0, 1);

enum class ChunkCompression { Stored, Zlib, Bzip2, Lzma1, Lzma2 };
enum class ChecksumKind { Sha1, Sha256 };

struct SetupFile {
    std::string destination;    // "{app}\GAME.GOG", as UTF-8
    uint32_t location = 0;      // its data entry
    std::string beforeInstall;  // GOG's scripted calls, which mark a file stored in parts
    std::string afterInstall;
};

struct SetupDataEntry {
    uint32_t firstSlice = 0, lastSlice = 0;
    uint32_t chunkOffset = 0;  // where its chunk starts, in the .exe's data or in its first slice
    uint64_t chunkSize = 0;    // the chunk's stored bytes after its 4-byte signature
    uint64_t fileOffset = 0;   // where the file starts in the chunk, decompressed
    uint64_t fileSize = 0;
    ChecksumKind checksumKind = ChecksumKind::Sha1;
    std::string checksum;      // 20 or 32 bytes, of the file as stored (after the call filter is undone)
    bool compressed = false;
    bool encrypted = false;
    bool callFilter = false;   // x86 CALL and JMP addresses made relative (Inno Setup 5.3.9 and later)
};

struct SetupInfo {
    std::string appName;
    std::string gogGameId;      // from the registry key it writes, "" when none
    bool passwordProtected = false;
    uint32_t slicesPerDisk = 1;
    ChunkCompression compression = ChunkCompression::Stored;
    std::vector<SetupFile> files;
    std::vector<SetupDataEntry> data;
};

// Reads the first header stream (`header`) and the second (`locations`) of setup data of
// `version`; false with `why` when they break that version's layout or it is not read.
bool ReadSetupInfo(const std::string& header, const std::string& locations, const SetupDataVersion& version,
                   SetupInfo& info, std::string& why);

// The version as a number, or 0 when it is outside what is read.
uint32_t SupportedVersion(const SetupDataVersion& version);
