// MD5 (RFC 1321), SHA-1 and SHA-256 (FIPS 180-4): 64-byte blocks, the length appended
// after a 1 bit and zeros; MD5 counts little-endian, the SHAs big-endian.
#include "Digest.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define MG_SHA_X86 1
#endif

namespace {

uint32_t Rotl(uint32_t x, int n) { return x << n | x >> (32 - n); }
uint32_t Rotr(uint32_t x, int n) { return x >> n | x << (32 - n); }
uint32_t Be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t Le32(const unsigned char* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

const uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// |sin(i + 1)| * 2^32, as RFC 1321 lists them.
const uint32_t kMd5Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

const int kMd5Shifts[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

void Md5Block(uint32_t* h, const unsigned char* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = Le32(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d), g = i; break;
        case 1: f = (d & b) | (~d & c), g = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d, g = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d), g = (7 * i) % 16; break;
        }
        const uint32_t next = b + Rotl(a + f + kMd5Sines[i] + m[g], kMd5Shifts[(i / 16) * 4 + i % 4]);
        a = d, d = c, c = b, b = next;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d;
}

// The 80 rounds in four runs of 20, each with its own function, and the message schedule
// kept in 16 words: no branch inside a round.
#define MG_SHA1_ROUND(f, k)                                              \
    do {                                                                 \
        if (i >= 16) w[i & 15] = Rotl(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15], 1); \
        const uint32_t next = Rotl(a, 5) + (f) + e + (k) + w[i & 15];    \
        e = d, d = c, c = Rotl(b, 30), b = a, a = next;                  \
    } while (0)

void Sha1Block(uint32_t* h, const unsigned char* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = Be32(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    int i = 0;
    for (; i < 20; ++i) MG_SHA1_ROUND((b & c) | (~b & d), 0x5a827999u);
    for (; i < 40; ++i) MG_SHA1_ROUND(b ^ c ^ d, 0x6ed9eba1u);
    for (; i < 60; ++i) MG_SHA1_ROUND((b & c) | (b & d) | (c & d), 0x8f1bbcdcu);
    for (; i < 80; ++i) MG_SHA1_ROUND(b ^ c ^ d, 0xca62c1d6u);
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
}

#undef MG_SHA1_ROUND

#ifdef MG_SHA_X86
// Processors with the SHA extensions do four rounds an instruction: the 80 rounds in 20
// groups, the message schedule in four registers that each group advances.
bool HasShaExtensions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}

__attribute__((target("sha,sse4.1,ssse3"))) void Sha1BlockWithExtensions(uint32_t* h, const unsigned char* block) {
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
    __m128i e[2] = {_mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0), _mm_setzero_si128()};
    const __m128i abcdBefore = abcd, eBefore = e[0];
    __m128i m[4];
#pragma GCC unroll 20
    for (int g = 0; g < 20; ++g) {
        const int j = g % 4;
        __m128i& current = e[g % 2];
        if (g < 4) m[j] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * g)), byteOrder);
        current = g == 0 ? _mm_add_epi32(current, m[0]) : _mm_sha1nexte_epu32(current, m[j]);
        e[1 - g % 2] = abcd;
        if (g >= 3 && g <= 18) m[(j + 1) % 4] = _mm_sha1msg2_epu32(m[(j + 1) % 4], m[j]);
        switch (g / 5) {  // the round function and constant of rounds 4g to 4g + 3
        case 0: abcd = _mm_sha1rnds4_epu32(abcd, current, 0); break;
        case 1: abcd = _mm_sha1rnds4_epu32(abcd, current, 1); break;
        case 2: abcd = _mm_sha1rnds4_epu32(abcd, current, 2); break;
        default: abcd = _mm_sha1rnds4_epu32(abcd, current, 3); break;
        }
        if (g >= 1 && g <= 16) m[(j + 3) % 4] = _mm_sha1msg1_epu32(m[(j + 3) % 4], m[j]);
        if (g >= 2 && g <= 17) m[(j + 2) % 4] = _mm_xor_si128(m[(j + 2) % 4], m[j]);
    }
    e[0] = _mm_sha1nexte_epu32(e[0], eBefore);
    abcd = _mm_add_epi32(abcd, abcdBefore);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = static_cast<uint32_t>(_mm_extract_epi32(e[0], 3));
}
#endif

void Sha1(uint32_t* h, const unsigned char* block) {
#ifdef MG_SHA_X86
    static const bool extensions = HasShaExtensions();
    if (extensions) return Sha1BlockWithExtensions(h, block);
#endif
    Sha1Block(h, block);
}

void Sha256Block(uint32_t* h, const unsigned char* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = Be32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    std::memcpy(v, h, sizeof v);
    for (int i = 0; i < 64; ++i) {
        const uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
        const uint32_t choose = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const uint32_t t1 = v[7] + s1 + choose + kSha256Rounds[i] + w[i];
        const uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
        const uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        std::memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (int i = 0; i < 8; ++i) h[i] += v[i];
}

}  // namespace

Digest::Digest(DigestKind kind) : m_kind(kind) {
    static const uint32_t kMd5[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    static const uint32_t kSha1[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    static const uint32_t kSha256[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    switch (kind) {
    case DigestKind::Md5: std::memcpy(m_state, kMd5, sizeof kMd5); break;
    case DigestKind::Sha1: std::memcpy(m_state, kSha1, sizeof kSha1); break;
    case DigestKind::Sha256: std::memcpy(m_state, kSha256, sizeof kSha256); break;
    }
}

void Digest::Block(const unsigned char* block) {
    switch (m_kind) {
    case DigestKind::Md5: Md5Block(m_state, block); break;
    case DigestKind::Sha1: Sha1(m_state, block); break;
    case DigestKind::Sha256: Sha256Block(m_state, block); break;
    }
}

void Digest::Add(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_total += size;
    if (m_pendingBytes > 0) {
        const size_t take = std::min(size, sizeof m_pending - m_pendingBytes);
        std::memcpy(m_pending + m_pendingBytes, bytes, take);
        m_pendingBytes += take, bytes += take, size -= take;
        if (m_pendingBytes < sizeof m_pending) return;
        Block(m_pending);
        m_pendingBytes = 0;
    }
    for (; size >= 64; bytes += 64, size -= 64) Block(bytes);
    std::memcpy(m_pending, bytes, size);
    m_pendingBytes = size;
}

std::string Digest::Finish() {
    const uint64_t bits = m_total * 8;
    unsigned char tail[72] = {0x80};
    const size_t padding = (m_pendingBytes < 56 ? 56 : 120) - m_pendingBytes;
    for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<unsigned char>(m_kind == DigestKind::Md5 ? bits >> (8 * i) : bits >> (56 - 8 * i));
    Add(tail, padding + 8);
    const int words = m_kind == DigestKind::Md5 ? 4 : m_kind == DigestKind::Sha1 ? 5 : 8;
    std::string digest;
    for (int i = 0; i < words; ++i)
        for (int b = 0; b < 4; ++b)
            digest += static_cast<char>(m_kind == DigestKind::Md5 ? m_state[i] >> (8 * b) : m_state[i] >> (24 - 8 * b));
    return digest;
}
