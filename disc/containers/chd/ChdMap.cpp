// Reading a CHD's map, and the checks its parts share.
#include "ChdMap.h"

#include <array>

#include "disc/ByteSource.h"
#include "disc/containers/ByteView.h"

// CRC-16/CCITT-FALSE: polynomial 0x1021, from 0xFFFF, not reflected; a byte a step.
uint16_t Crc16(const unsigned char* data, size_t size) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t crc = static_cast<uint16_t>(i << 8);
            for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
            t[i] = crc;
        }
        return t;
    }();
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>(crc << 8 ^ table[(crc >> 8) ^ data[i]]);
    return crc;
}

bool ReadRange(ByteSource& file, uint64_t fileSize, uint64_t offset, uint64_t count, std::string& bytes) {
    if (offset > fileSize || count > fileSize - offset) return false;
    bytes.resize(static_cast<size_t>(count));
    return file.ReadAt(offset, &bytes[0], bytes.size()) == bytes.size();
}

namespace {

// Bits most significant first; past the end they read as zero and the reader knows it overran.
class BitReader {
public:
    explicit BitReader(const std::string& bytes) : m_bytes(bytes) {}
    uint64_t Read(int count) {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i, ++m_bit) {
            const size_t byte = static_cast<size_t>(m_bit / 8);
            const int bit = byte < m_bytes.size() ? (static_cast<unsigned char>(m_bytes[byte]) >> (7 - m_bit % 8)) & 1 : 0;
            value = value << 1 | static_cast<uint64_t>(bit);
        }
        return value;
    }
    bool Overran() const { return m_bit > uint64_t{m_bytes.size()} * 8; }

private:
    const std::string& m_bytes;
    uint64_t m_bit = 0;
};

// The map's Huffman code of 16 symbols, up to 8 bits, its lengths stored run-length coded;
// codes are assigned from the longest length down.
class MapCode {
public:
    bool Import(BitReader& bits) {
        for (int symbol = 0; symbol < 16;) {
            int length = static_cast<int>(bits.Read(4));
            if (length != 1) {
                m_lengths[symbol++] = length;
                continue;
            }
            length = static_cast<int>(bits.Read(4));
            if (length == 1) {
                m_lengths[symbol++] = 1;
                continue;
            }
            const int repeat = static_cast<int>(bits.Read(4)) + 3;
            if (symbol + repeat > 16) return false;
            for (int i = 0; i < repeat; ++i) m_lengths[symbol++] = length;
        }
        int histogram[33] = {};
        for (int length : m_lengths) {
            if (length > 8) return false;
            ++histogram[length];
        }
        uint32_t start = 0, first[33] = {};
        for (int length = 32; length > 0; --length) {
            const uint32_t next = (start + static_cast<uint32_t>(histogram[length])) >> 1;
            if (length != 1 && next * 2 != start + static_cast<uint32_t>(histogram[length])) return false;
            first[length] = start;
            start = next;
        }
        for (int symbol = 0; symbol < 16; ++symbol) {
            if (m_lengths[symbol] > 0) m_codes[symbol] = first[m_lengths[symbol]]++;
        }
        return !bits.Overran();
    }

    // The next symbol; -1 when the bits match no code.
    int Decode(BitReader& bits) const {
        uint32_t code = 0;
        for (int length = 1; length <= 8; ++length) {
            code = code << 1 | static_cast<uint32_t>(bits.Read(1));
            for (int symbol = 0; symbol < 16; ++symbol) {
                if (m_lengths[symbol] == length && m_codes[symbol] == code) return symbol;
            }
        }
        return -1;
    }

private:
    int m_lengths[16] = {};
    uint32_t m_codes[16] = {};
};

}  // namespace

// The map: one entry a hunk, each where its bytes lie and how they are coded.
bool ReadMap(const FileHead& head, const ChdHeader& header, std::vector<MapEntry>& map, DiscProblem& problem) {
    ByteSource& file = *head.source;
    map.assign(static_cast<size_t>(header.hunks), MapEntry{});
    std::string bytes;
    if (header.codecs[0] == 0) {  // uncompressed: where each hunk lies, in hunks; 0 for none
        if (!ReadRange(file, head.size, header.mapOffset, header.hunks * 4, bytes)) return Refuse(problem, head.path, "its map lies past its end");
        ByteView view(bytes);
        for (size_t i = 0; i < map.size(); ++i) map[i] = {kStored, header.hunkBytes, view.Be(i * 4, 4) * header.hunkBytes, 0};
        return true;
    }
    std::string top;
    if (!ReadRange(file, head.size, header.mapOffset, 16, top)) return Refuse(problem, head.path, "its map lies past its end");
    ByteView view(top);
    const uint64_t mapBytes = view.Be(0, 4), firstOffset = view.Be(4, 6), crc = view.Be(10, 2);
    const int lengthBits = static_cast<int>(view.Be(12, 1)), selfBits = static_cast<int>(view.Be(13, 1)), parentBits = static_cast<int>(view.Be(14, 1));
    // Each hunk takes a few bits of a type and at most 64 of fields.
    if (mapBytes > header.hunks * 9 + 64 || lengthBits > 24 || selfBits > 32 || parentBits > 48)
        return Refuse(problem, head.path, "its map claims more than its hunks need");
    if (!ReadRange(file, head.size, header.mapOffset + 16, mapBytes, bytes)) return Refuse(problem, head.path, "its map lies past its end");
    BitReader bits(bytes);
    MapCode code;
    if (!code.Import(bits)) return Refuse(problem, head.path, "its map's code is malformed");
    uint8_t last = 0;  // as MAME starts
    for (size_t i = 0, repeat = 0; i < map.size(); ++i) {
        if (repeat > 0) {
            map[i].type = last, --repeat;
            continue;
        }
        const int symbol = code.Decode(bits);
        if (symbol < 0 || bits.Overran()) return Refuse(problem, head.path, "its map ends before its hunks do");
        if (symbol == kRleSmall) {
            map[i].type = last, repeat = 2 + static_cast<size_t>(code.Decode(bits));
        } else if (symbol == kRleLarge) {
            const int high = code.Decode(bits), low = code.Decode(bits);
            map[i].type = last, repeat = 2 + 16 + static_cast<size_t>(high) * 16 + static_cast<size_t>(low);
        } else {
            map[i].type = last = static_cast<uint8_t>(symbol);
        }
    }
    // The fields, and the map as MAME checks it: 12 bytes an entry under one CRC-16.
    std::string entries;
    uint64_t offset = firstOffset, lastSelf = 0, lastParent = 0;
    for (size_t i = 0; i < map.size(); ++i) {
        MapEntry& entry = map[i];
        entry.offset = 0;
        switch (entry.type) {
        case 0: case 1: case 2: case 3:
            entry.length = static_cast<uint32_t>(bits.Read(lengthBits));
            entry.crc = static_cast<uint16_t>(bits.Read(16));
            entry.offset = offset;
            offset += entry.length;
            break;
        case kStored:
            entry.length = header.hunkBytes;
            entry.crc = static_cast<uint16_t>(bits.Read(16));
            entry.offset = offset;
            offset += entry.length;
            break;
        case kSelf: entry.offset = lastSelf = bits.Read(selfBits); break;
        case kParent: entry.offset = lastParent = bits.Read(parentBits); break;
        case kSelf1: ++lastSelf; [[fallthrough]];
        case kSelf0: entry.type = kSelf, entry.offset = lastSelf; break;
        case kParentSelf: entry.type = kParent, entry.offset = lastParent = uint64_t{i} * header.hunkBytes / header.unitBytes; break;
        case kParent1: lastParent += header.hunkBytes / header.unitBytes; [[fallthrough]];
        case kParent0: entry.type = kParent, entry.offset = lastParent; break;
        default: return Refuse(problem, head.path, "its map names a hunk of unknown kind");
        }
        const unsigned char raw[12] = {entry.type, uint8_t(entry.length >> 16), uint8_t(entry.length >> 8), uint8_t(entry.length),
                                       uint8_t(entry.offset >> 40), uint8_t(entry.offset >> 32), uint8_t(entry.offset >> 24),
                                       uint8_t(entry.offset >> 16), uint8_t(entry.offset >> 8), uint8_t(entry.offset),
                                       uint8_t(entry.crc >> 8), uint8_t(entry.crc)};
        entries.append(reinterpret_cast<const char*>(raw), sizeof raw);
        if (entry.type == kParent) return Refuse(problem, head.path, "it takes hunks from another: it needs its parent CHD");
        if (entry.type == kSelf && entry.offset >= i) return Refuse(problem, head.path, "its map copies a hunk that comes later");
    }
    if (bits.Overran() || Crc16(reinterpret_cast<const unsigned char*>(entries.data()), entries.size()) != crc)
        return Refuse(problem, head.path, "its map does not match its CRC");
    return true;
}
