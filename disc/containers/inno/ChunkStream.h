// One file's bytes out of an installer, read forward: its chunk's stored bytes, across
// slices where they run on, decompressed, the file's part of the chunk taken, the x86
// call filter undone where the entry says so, and its digest checked after its last byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Digest.h"
#include "SetupInfo.h"

class ByteSource;

// Where an installer keeps its files' data: in the .exe after `start`, or in slices,
// each a file of its own ("idska32\x1a", its size, then data).
struct InstallerData {
    struct Slice {
        std::shared_ptr<ByteSource> source;
        uint64_t end = 0;  // its data's end, as it records it
        std::string path;  // for messages
    };
    std::vector<Slice> slices;  // one, the .exe, when the data lies in it
    uint64_t start = 0;         // in the .exe: where the data begins; in slices, 0
};

// Undoes the call filter of Inno Setup 5.3.9 and later: the address of each E8 or E9
// (CALL, JMP) that lies whole in its 64 KiB block was made relative to the instruction's
// end, its high byte flipped where bit 23 is set.
class CallFilter {
public:
    // Restores `data` in place, the file's bytes from `m_position` on; returns how many
    // are final: the last few are kept back when an address may run on past them, unless
    // they are the file's `last`.
    size_t Apply(unsigned char* data, size_t size, bool last);

private:
    uint64_t m_position = 0;
};

// Bytes pulled from somewhere: up to `size` into `out`; fewer only at the end, or on a
// fault (`why`).
using ByteInput = std::function<size_t(unsigned char* out, size_t size, std::string& why)>;

// A compressed stream's bytes, decompressed as its input gives them.
class Decoder {
public:
    explicit Decoder(ByteInput input);
    virtual ~Decoder() = default;
    // Up to `size` next bytes; 0 at the stream's end (`why` empty) or on a fault (`why`).
    virtual size_t Decode(unsigned char* out, size_t size, std::string& why) = 0;

protected:
    // More input in m_in when all is taken; false at the input's end or a fault.
    bool Fill(std::string& why);

    ByteInput m_input;
    std::vector<unsigned char> m_in;
    size_t m_inAt = 0, m_inEnd = 0;
};

// A zlib stream's bytes inflated; null where this build has no zlib.
std::unique_ptr<Decoder> Inflate(ByteInput input);

class ChunkStream {
public:
    ChunkStream(const InstallerData& data, const SetupDataEntry& entry, ChunkCompression compression);
    ~ChunkStream();
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    // Up to `size` of the file's next bytes; fewer only at its end, or on a fault (`why`).
    size_t Read(unsigned char* out, size_t size, std::string& why);
    // Once its last byte is read: whether its digest matches the one recorded.
    bool Checked() const { return m_checked; }
    bool Damaged() const { return m_damaged; }

private:
    bool Start(std::string& why);
    // The chunk's next decompressed bytes, in m_buffer from m_bufferAt to m_bufferEnd.
    bool Refill(std::string& why);

    const InstallerData& m_data;
    const SetupDataEntry m_entry;
    const ChunkCompression m_compression;
    std::unique_ptr<Decoder> m_decoder;
    bool m_started = false;
    uint64_t m_skip = 0;       // decompressed bytes of the chunk still to pass over
    uint64_t m_decodedOfFile = 0;
    uint64_t m_delivered = 0;
    // Decoded bytes: [m_bufferAt, m_bufferEnd) final, up to m_heldEnd kept back by the filter.
    std::vector<unsigned char> m_buffer;
    size_t m_bufferAt = 0, m_bufferEnd = 0, m_heldEnd = 0;
    CallFilter m_filter;
    Digest m_digest;
    bool m_checked = false;
    bool m_damaged = false;
};

// Whether this build decompresses chunks of `compression`.
bool CanDecompress(ChunkCompression compression);
