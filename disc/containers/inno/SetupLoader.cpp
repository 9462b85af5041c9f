// The setup loader's table, as Inno Setup 5.1.5 and later write it: a 12-byte magic, a
// revision (1), then 32-bit little-endian fields (the whole size, where the setup program
// lies, its size and CRC32, the setup data's offset, the files' data offset) and a CRC32 of
// all before it. It is found through the .exe's resource directory (PE/COFF), which every
// offset and count of is checked against the file.
#include "SetupLoader.h"

#include <algorithm>
#include <cstring>

#include "disc/ByteSource.h"
#include "disc/Crc32.h"
#include "disc/LittleEndian.h"

namespace {

constexpr uint32_t kRcData = 10;              // RT_RCDATA
constexpr uint32_t kLoaderResource = 11111;   // Inno Setup's name for its table
constexpr unsigned char kLoaderMagic[12] = {'r', 'D', 'l', 'P', 't', 'S', 0xCD, 0xE6, 0xD7, '{', 0x0B, '*'};
constexpr size_t kLoaderTable = 12 + 4 * 8;   // magic, revision, six offsets and sizes, CRC32
constexpr int kMostEntries = 256;             // a resource directory's entries looked at

bool ReadAt(ByteSource& source, uint64_t size, uint64_t at, void* out, size_t count) {
    return at <= size && count <= size - at && source.ReadAt(at, out, count) == count;
}

bool Read32(ByteSource& source, uint64_t size, uint64_t at, uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadAt(source, size, at, bytes, 4)) return false;
    value = LittleEndian32(bytes);
    return true;
}

bool Read16(ByteSource& source, uint64_t size, uint64_t at, uint32_t& value) {
    unsigned char bytes[2];
    if (!ReadAt(source, size, at, bytes, 2)) return false;
    value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8;
    return true;
}

// A PE file's resource section: where the directory lies in the file, and the RVA it has.
struct Resources {
    uint64_t fileOffset = 0;
    uint32_t rva = 0, size = 0;
};

bool FindResourceSection(ByteSource& exe, uint64_t size, Resources& resources) {
    uint32_t mz = 0, pe = 0, peMagic = 0, sections = 0, optionalSize = 0, optionalMagic = 0;
    if (!Read16(exe, size, 0, mz) || mz != 0x5A4D || !Read32(exe, size, 0x3C, pe) || !Read32(exe, size, pe, peMagic) ||
        peMagic != 0x4550 || !Read16(exe, size, uint64_t{pe} + 6, sections) || !Read16(exe, size, uint64_t{pe} + 20, optionalSize) ||
        !Read16(exe, size, uint64_t{pe} + 24, optionalMagic))
        return false;
    const uint64_t optional = uint64_t{pe} + 24;
    const uint64_t directories = optional + (optionalMagic == 0x20B ? 112 : 96);  // PE32+ or PE32
    uint32_t rva = 0;
    if (!Read32(exe, size, directories + 2 * 8, rva) || !Read32(exe, size, directories + 2 * 8 + 4, resources.size) || rva == 0)
        return false;
    const uint64_t table = optional + optionalSize;
    for (uint32_t i = 0; i < sections && i < 96; ++i) {
        uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
        const uint64_t at = table + uint64_t{i} * 40;
        if (!Read32(exe, size, at + 8, virtualSize) || !Read32(exe, size, at + 12, virtualAddress) ||
            !Read32(exe, size, at + 16, rawSize) || !Read32(exe, size, at + 20, rawOffset))
            return false;
        if (rva >= virtualAddress && rva - virtualAddress < std::max(virtualSize, rawSize)) {
            resources.fileOffset = uint64_t{rawOffset} + (rva - virtualAddress);
            resources.rva = rva;
            return true;
        }
    }
    return false;
}

// The entry of the directory at `directory` (inside the resource section) for `id`, or the
// first entry when `id` is 0; its offset field, or false.
bool FindEntry(ByteSource& exe, uint64_t size, const Resources& resources, uint32_t directory, uint32_t id, uint32_t& found) {
    uint32_t named = 0, ids = 0;
    const uint64_t at = resources.fileOffset + directory;
    if (!Read16(exe, size, at + 12, named) || !Read16(exe, size, at + 14, ids)) return false;
    for (uint32_t i = 0; i < named + ids && i < kMostEntries; ++i) {
        uint32_t name = 0, offset = 0;
        if (!Read32(exe, size, at + 16 + uint64_t{i} * 8, name) || !Read32(exe, size, at + 20 + uint64_t{i} * 8, offset)) return false;
        if (id == 0 || name == id) {
            found = offset;
            return true;
        }
    }
    return false;
}

// Where the resource of `type` and `id` lies in the file (any language).
bool FindResource(ByteSource& exe, uint64_t size, uint32_t type, uint32_t id, uint64_t& offset, uint32_t& length) {
    Resources resources;
    constexpr uint32_t kSubdirectory = 0x80000000;
    uint32_t types = 0, names = 0, data = 0, rva = 0;
    if (!FindResourceSection(exe, size, resources) || !FindEntry(exe, size, resources, 0, type, types) || !(types & kSubdirectory) ||
        !FindEntry(exe, size, resources, types & ~kSubdirectory, id, names) || !(names & kSubdirectory) ||
        !FindEntry(exe, size, resources, names & ~kSubdirectory, 0, data) || (data & kSubdirectory) ||
        !Read32(exe, size, resources.fileOffset + data, rva) || !Read32(exe, size, resources.fileOffset + data + 4, length) ||
        rva < resources.rva)
        return false;
    offset = resources.fileOffset + (rva - resources.rva);
    return offset <= size && length <= size - offset;
}

}  // namespace

bool FindSetupLoader(ByteSource& exe, uint64_t size, SetupLoader& loader, std::string& why) {
    uint64_t at = 0;
    uint32_t length = 0;
    unsigned char table[kLoaderTable];
    if (!FindResource(exe, size, kRcData, kLoaderResource, at, length) || length < kLoaderTable ||
        !ReadAt(exe, size, at, table, sizeof table) || std::memcmp(table, kLoaderMagic, sizeof kLoaderMagic) != 0) {
        why = "no Inno Setup loader table";
        return false;
    }
    if (LittleEndian32(table + 12) != 1) {
        why = "an Inno Setup loader table of revision " + std::to_string(LittleEndian32(table + 12)) + " (only 1 is read)";
        return false;
    }
    if (Crc32(table, kLoaderTable - 4) != LittleEndian32(table + kLoaderTable - 4)) {
        why = "its loader table does not match its CRC32";
        return false;
    }
    loader.setupData = LittleEndian32(table + 12 + 4 * 5);
    loader.fileData = LittleEndian32(table + 12 + 4 * 6);
    return true;
}

bool ReadSetupDataVersion(ByteSource& exe, uint64_t at, SetupDataVersion& version, std::string& why) {
    char id[64] = {};
    constexpr char kPrefix[] = "Inno Setup Setup Data (";
    if (exe.ReadAt(at, id, sizeof id) != sizeof id || std::strncmp(id, kPrefix, sizeof kPrefix - 1) != 0) {
        why = "no setup data where its loader table points";
        return false;
    }
    version.id.assign(id, strnlen(id, sizeof id));
    const char* p = id + sizeof kPrefix - 1;
    int* parts[] = {&version.major, &version.minor, &version.patch, &version.build};
    for (int i = 0; i < 4 && *p >= '0' && *p <= '9'; ++i) {
        while (*p >= '0' && *p <= '9' && *parts[i] < 1000) *parts[i] = *parts[i] * 10 + (*p++ - '0');
        if (*p == '.') ++p;
    }
    version.unicode = std::strstr(version.id.c_str(), "(u)") || std::strstr(version.id.c_str(), "(U)") || version.major >= 6;
    return true;
}
