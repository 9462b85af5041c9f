// A run of bytes in memory, such as a sector's user data inside a larger read: what a
// reader lends and what the writer writes.
#pragma once

#include <cstdint>

struct DataPiece {
    const unsigned char* data;
    uint32_t size;
};
