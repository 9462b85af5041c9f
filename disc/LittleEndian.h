// Little-endian fields, as ISO 9660's both-endian numbers and the EDC store them.
#pragma once

#include <cstdint>

inline uint32_t LittleEndian32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
