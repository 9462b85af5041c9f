// The sector layouts' rules.
#include "Sector.h"

#include <algorithm>

namespace {

constexpr unsigned char kForm2Bit = 0x20;  // in a Mode 2 subheader's submode byte
constexpr uint32_t kLeadIn = 150;          // the 2 seconds before address 0

uint32_t FromBcd(unsigned char value) { return (value >> 4) * 10 + (value & 0x0F); }

}  // namespace

uint32_t SectorBytes(SectorFormat format) {
    switch (format) {
    case SectorFormat::Cooked: return kUserDataBytes;
    case SectorFormat::Mode2NoHeader: return 2336;
    case SectorFormat::RawMode1Or2:
    case SectorFormat::Audio: return kRawSectorBytes;
    }
    return kRawSectorBytes;
}

uint32_t BytesToTellMode(SectorFormat format) {
    switch (format) {
    case SectorFormat::RawMode1Or2: return 24;   // sync, header, and the subheader's submode
    case SectorFormat::Mode2NoHeader: return 8;  // the subheader
    default: return 0;
    }
}

int UserDataOffset(SectorFormat format, const unsigned char* sector) {
    switch (format) {
    case SectorFormat::Cooked: return 0;
    case SectorFormat::Mode2NoHeader: return (sector[2] & kForm2Bit) ? -1 : 8;
    case SectorFormat::RawMode1Or2:
        if (sector[15] != 2) return 16;  // Mode 1 (and whatever else a rip left there, as before)
        return (sector[18] & kForm2Bit) ? -1 : 24;
    case SectorFormat::Audio: return -1;
    }
    return -1;
}

uint32_t UserDataStored(SectorFormat format, const unsigned char* sector, uint64_t stored) {
    if (stored < std::max<uint32_t>(BytesToTellMode(format), 1)) return 0;
    const int offset = UserDataOffset(format, sector);
    if (offset < 0 || stored <= static_cast<uint64_t>(offset)) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(stored - static_cast<uint64_t>(offset), kUserDataBytes));
}

int64_t HeaderAddress(const unsigned char* raw) {
    const uint32_t frames = (FromBcd(raw[12]) * 60 + FromBcd(raw[13])) * 75 + FromBcd(raw[14]);
    return frames >= kLeadIn && frames - kLeadIn < kLongestDisc ? int64_t{frames} - kLeadIn : -1;
}
