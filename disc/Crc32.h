// CRC-32 (ISO-HDLC, as zlib computes it: polynomial 0xEDB88320 reflected, from and to all ones).
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
