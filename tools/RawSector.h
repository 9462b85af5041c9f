// Writes CD-ROM sectors (ECMA-130, CD-ROM XA): Mode 1 and Mode 2 Form 1 with sync,
// address, user data, EDC and ECC; Form 2; and whole images in each layout rips use.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint32_t kRawSectorSize = 2352;
constexpr uint32_t kUserDataSize = 2048;

// Fills `raw` (2352 bytes) with the Mode 1 sector at logical block `lba` carrying `user` (2048 bytes).
void MakeRawMode1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw);

// Wraps a cooked image (its last block padded with zeros) in raw Mode 1 sectors.
std::vector<unsigned char> WrapRawMode1(const std::vector<unsigned char>& cooked);

// Fills `raw` (2352 bytes) with the Mode 2 Form 1 sector at `lba`: subheader (data), user
// data at 24, EDC over 16 to 2071, ECC computed with the header taken as zero.
void MakeRawForm1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw);
// Fills `raw` with the Mode 2 Form 2 sector at `lba` carrying 2324 bytes of `payload`.
void MakeRawForm2Sector(uint32_t lba, const unsigned char* payload, unsigned char* raw);

// The layouts of a data track in a rip.
enum class RipLayout {
    Cooked,         // 2048
    Mode1,          // 2352, Mode 1
    Form1,          // 2352, Mode 2 Form 1
    Form1Headless,  // 2336, Mode 2 Form 1 without sync and header
    Mode1Sub,       // 2448, Mode 1 and 96 bytes of (zero) subchannel
    Form1Sub,       // 2448, Mode 2 Form 1 and subchannel
};
uint32_t RipStride(RipLayout layout);

// A cooked image (its last block padded with zeros) in `layout`, its first sector at disc
// address `firstLba`.
std::vector<unsigned char> WrapSectors(const std::vector<unsigned char>& cooked, RipLayout layout, uint32_t firstLba = 0);
