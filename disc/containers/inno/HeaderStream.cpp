// Header streams, read whole: they are small, and everything in them is read before any
// file's data is.
#include "HeaderStream.h"

#include <algorithm>

#ifdef MG_CODECS
#include <lzma.h>
#endif

#include "disc/ByteSource.h"
#include "disc/Crc32.h"
#include "disc/LittleEndian.h"
#include "text/Utf8.h"

namespace {

constexpr size_t kPiece = 4096;

// LZMA1 as Inno Setup writes it: lc/lp/pb in one byte, the dictionary size, the raw stream.
bool DecodeLzma1(const std::string& packed, std::string& bytes, std::string& why) {
#ifdef MG_CODECS
    if (packed.size() < 5 || static_cast<unsigned char>(packed[0]) >= 9 * 5 * 5) {
        why = "its header's LZMA properties are malformed";
        return false;
    }
    const auto properties = static_cast<unsigned char>(packed[0]);
    lzma_options_lzma options{};
    options.lc = properties % 9, options.lp = properties / 9 % 5, options.pb = properties / 45;
    options.dict_size = LittleEndian32(reinterpret_cast<const unsigned char*>(packed.data()) + 1);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        why = "its header's LZMA properties are not supported";
        return false;
    }
    stream.next_in = reinterpret_cast<const uint8_t*>(packed.data()) + 5;
    stream.avail_in = packed.size() - 5;
    bytes.clear();
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK && bytes.size() <= kLargestHeaderStream) {
        char out[1 << 16];
        stream.next_out = reinterpret_cast<uint8_t*>(out);
        stream.avail_out = sizeof out;
        status = lzma_code(&stream, LZMA_FINISH);
        bytes.append(out, sizeof out - stream.avail_out);
        if (stream.avail_in == 0 && stream.avail_out != 0) break;  // all input taken: no end marker needed
    }
    lzma_end(&stream);
    if (bytes.size() > kLargestHeaderStream) {
        why = "its header decompresses to more than any installer's";
        return false;
    }
    if (status != LZMA_OK && status != LZMA_STREAM_END) {
        why = "its header does not decompress (LZMA)";
        return false;
    }
    return true;
#else
    (void)packed, (void)bytes;
    why = "its header is LZMA-compressed, which this build does not read";
    return false;
#endif
}

}  // namespace

bool ReadHeaderStream(ByteSource& exe, uint64_t size, uint64_t at, std::string& bytes, uint64_t& next, std::string& why) {
    unsigned char head[9];
    if (at > size || size - at < sizeof head || exe.ReadAt(at, head, sizeof head) != sizeof head) {
        why = "its setup data ends before a header does";
        return false;
    }
    if (Crc32(head + 4, 5) != LittleEndian32(head)) {
        why = "a header's size does not match its CRC32";
        return false;
    }
    const uint64_t stored = LittleEndian32(head + 4);
    const bool compressed = head[8] != 0;
    if (stored > kLargestHeaderStream || stored > size - at - sizeof head) {
        why = "a header claims " + std::to_string(stored) + " bytes, more than " +
              (stored > kLargestHeaderStream ? std::string("any installer's") : std::string("the file holds"));
        return false;
    }
    std::string packed;
    uint64_t position = at + sizeof head;
    for (uint64_t left = stored; left > 0;) {
        unsigned char piece[4 + kPiece];
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, sizeof piece));
        if (count <= 4 || exe.ReadAt(position, piece, count) != count) {
            why = "a header ends early";
            return false;
        }
        if (Crc32(piece + 4, count - 4) != LittleEndian32(piece)) {
            why = "a header's piece at byte " + std::to_string(position) + " does not match its CRC32";
            return false;
        }
        packed.append(reinterpret_cast<const char*>(piece + 4), count - 4);
        position += count;
        left -= count;
    }
    next = position;
    if (!compressed) {
        bytes = std::move(packed);
        return true;
    }
    return DecodeLzma1(packed, bytes, why);
}

std::string AppNameOf(const std::string& header, bool unicode) {
    if (header.size() < 4) return {};
    const uint32_t length = LittleEndian32(reinterpret_cast<const unsigned char*>(header.data()));
    if (length > header.size() - 4 || length > 4096) return {};
    const std::string raw = header.substr(4, length);
    if (!unicode) return raw;
    std::wstring wide;
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8);
    return NarrowToUtf8(wide);
}
