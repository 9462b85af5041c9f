// Reading fields of a container's header at offsets that come from outside: every read
// is checked against the bytes there are, and one out of range spoils the view (ok()).
#pragma once

#include <cstdint>
#include <string>

class ByteView {
public:
    explicit ByteView(const std::string& bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    bool Has(uint64_t at, uint64_t count) const { return at <= m_bytes.size() && count <= m_bytes.size() - at; }

    uint64_t Le(uint64_t at, int size) { return Read(at, size, false); }
    uint64_t Be(uint64_t at, int size) { return Read(at, size, true); }
    std::string Text(uint64_t at, uint64_t count) {
        if (!Check(at, count)) return {};
        return m_bytes.substr(static_cast<size_t>(at), static_cast<size_t>(count));
    }

private:
    bool Check(uint64_t at, uint64_t count) {
        if (!Has(at, count)) m_ok = false;
        return m_ok;
    }
    uint64_t Read(uint64_t at, int size, bool bigEndian) {
        if (!Check(at, static_cast<uint64_t>(size))) return 0;
        uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            const uint64_t byte = static_cast<unsigned char>(m_bytes[static_cast<size_t>(at) + (bigEndian ? i : size - 1 - i)]);
            value = value << 8 | byte;
        }
        return value;
    }

    const std::string& m_bytes;
    bool m_ok = true;
};
