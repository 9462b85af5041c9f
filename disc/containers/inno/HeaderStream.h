// The setup data's header streams: each a CRC32-checked size and compression flag, then
// its bytes in pieces of up to 4096, each led by its own CRC32; compressed with LZMA1
// (Inno Setup 4.1.6 and later) after 5 bytes of properties.
#pragma once

#include <cstdint>
#include <string>

class ByteSource;

// The most a header stream may hold, stored or decompressed: the setup header of an
// installer of thousands of files is a few MiB; a claim past this is refused at once.
constexpr uint64_t kLargestHeaderStream = 64 << 20;

// Reads the stream at `at` of the installer (`size` bytes) into `bytes`, decompressed;
// `next` is where the next stream begins. False with `why`: a CRC32 that does not match,
// a stream that ends early or claims too much, data that does not decompress.
bool ReadHeaderStream(ByteSource& exe, uint64_t size, uint64_t at, std::string& bytes, uint64_t& next, std::string& why);

// The setup header's first string, the application's name (UTF-8); "" when it is not there.
std::string AppNameOf(const std::string& header, bool unicode);
