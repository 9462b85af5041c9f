// Sector assembly: the EDC and ECC (disc/Edc) over what each mode covers.
#include "RawSector.h"

#include <algorithm>
#include <cstring>

#include "disc/Edc.h"

namespace {

unsigned char Bcd(uint32_t value) { return static_cast<unsigned char>((value / 10) << 4 | (value % 10)); }

void StartSector(uint32_t lba, unsigned char mode, unsigned char* raw) {
    std::memset(raw, 0, kRawSectorSize);
    std::memset(raw + 1, 0xFF, 10);  // sync: 00 FF x10 00
    const uint32_t frames = lba + 150;  // the address counts the 2-second lead-in
    raw[12] = Bcd(frames / (60 * 75));
    raw[13] = Bcd(frames / 75 % 60);
    raw[14] = Bcd(frames % 75);
    raw[15] = mode;
}

void PutLe32(uint32_t value, unsigned char* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

void PutSubheader(unsigned char submode, unsigned char* raw) {
    raw[18] = raw[22] = submode;  // file 0, channel 0, coding 0; then the copy
}

}  // namespace

void MakeRawForm1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw) {
    StartSector(lba, 2, raw);
    PutSubheader(0x08, raw);  // data
    std::memcpy(raw + 24, user, kUserDataSize);
    PutLe32(ComputeEdc(raw + 16, 2056), raw + 2072);
    ComputeEcc(raw);
}

void MakeRawForm2Sector(uint32_t lba, const unsigned char* payload, unsigned char* raw) {
    StartSector(lba, 2, raw);
    PutSubheader(0x20 | 0x04, raw);  // Form 2, audio (as an XA stream has it)
    std::memcpy(raw + 24, payload, 2324);
    PutLe32(ComputeEdc(raw + 16, 2332), raw + 2348);
}

uint32_t RipStride(RipLayout layout) {
    switch (layout) {
    case RipLayout::Cooked: return 2048;
    case RipLayout::Form1Headless: return 2336;
    case RipLayout::Mode1:
    case RipLayout::Form1: return 2352;
    case RipLayout::Mode1Sub:
    case RipLayout::Form1Sub: return 2448;
    }
    return 2352;
}

std::vector<unsigned char> WrapSectors(const std::vector<unsigned char>& cooked, RipLayout layout, uint32_t firstLba) {
    const size_t blocks = (cooked.size() + kUserDataSize - 1) / kUserDataSize;
    const uint32_t stride = RipStride(layout);
    std::vector<unsigned char> image(blocks * stride);
    unsigned char user[kUserDataSize], raw[kRawSectorSize];
    for (size_t b = 0; b < blocks; ++b) {
        const size_t start = b * kUserDataSize;
        std::memset(user, 0, sizeof user);
        std::memcpy(user, cooked.data() + start, std::min<size_t>(kUserDataSize, cooked.size() - start));
        unsigned char* out = image.data() + b * stride;
        const uint32_t lba = firstLba + static_cast<uint32_t>(b);
        switch (layout) {
        case RipLayout::Cooked: std::memcpy(out, user, kUserDataSize); break;
        case RipLayout::Mode1:
        case RipLayout::Mode1Sub: MakeRawMode1Sector(lba, user, out); break;
        case RipLayout::Form1:
        case RipLayout::Form1Sub: MakeRawForm1Sector(lba, user, out); break;
        case RipLayout::Form1Headless:
            MakeRawForm1Sector(lba, user, raw);
            std::memcpy(out, raw + 16, 2336);
            break;
        }
    }
    return image;
}

void MakeRawMode1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw) {
    StartSector(lba, 1, raw);
    std::memcpy(raw + 16, user, kUserDataSize);
    const uint32_t edc = ComputeEdc(raw, 2064);
    for (int i = 0; i < 4; ++i) raw[2064 + i] = static_cast<unsigned char>(edc >> (8 * i));
    ComputeEcc(raw);
}

std::vector<unsigned char> WrapRawMode1(const std::vector<unsigned char>& cooked) {
    const size_t blocks = (cooked.size() + kUserDataSize - 1) / kUserDataSize;
    std::vector<unsigned char> raw(blocks * kRawSectorSize);
    unsigned char user[kUserDataSize];
    for (size_t b = 0; b < blocks; ++b) {
        const size_t start = b * kUserDataSize;
        const size_t count = std::min<size_t>(kUserDataSize, cooked.size() - start);
        std::memset(user, 0, sizeof user);
        std::memcpy(user, cooked.data() + start, count);
        MakeRawMode1Sector(static_cast<uint32_t>(b), user, raw.data() + b * kRawSectorSize);
    }
    return raw;
}
