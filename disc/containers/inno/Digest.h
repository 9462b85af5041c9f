// The digests an installer records of its files: SHA-1 (setup data 5.3.9 to 6.3),
// SHA-256 (6.4), and MD5 (GOG's record of a file it stores in parts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class DigestKind { Md5, Sha1, Sha256 };

class Digest {
public:
    explicit Digest(DigestKind kind);
    void Add(const void* data, size_t size);
    // The digest of everything added, as raw bytes (16, 20 or 32 of them).
    std::string Finish();

private:
    void Block(const unsigned char* block);

    DigestKind m_kind;
    uint32_t m_state[8] = {};
    unsigned char m_pending[64] = {};
    size_t m_pendingBytes = 0;
    uint64_t m_total = 0;
};
