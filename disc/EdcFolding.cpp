// The EDC by folding: the data is taken 16 bytes at a time into a 128-bit remainder,
// which carry-less multiplication by constants moves past the next bytes, four remainders
// at once (64 bytes a step) so that the multiplier's latency is hidden. The last remainder
// is then a 16-byte message with the same EDC as all that came before it; the table
// finishes it, and the bytes left over.
//
// The EDC is reflected: the first byte's lowest bit is the highest power of x, so in a
// register (little-endian) bit i is the coefficient of x^(127 - i). A 64-by-64 carry-less
// product of two such values is the product of their polynomials times x (one bit short of
// 128); multiplying by x^(n - 1) mod P instead of x^n mod P makes up for that.
#include "EdcMethods.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define MG_EDC_X86 1
#elif defined(__aarch64__)
#include <arm_neon.h>
#if defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#define MG_EDC_ARM 1
#endif
#endif

namespace {

constexpr uint64_t kPolynomial = 0x18001801BULL;  // x^32+x^31+x^16+x^15+x^4+x^3+x+1

// x^n mod P as a reflected 64-bit value: the coefficient of x^d at bit 63 - d.
uint64_t PowerOfX(unsigned n) {
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r >> 32) r ^= kPolynomial;
    }
    uint64_t reflected = 0;
    for (unsigned d = 0; d < 32; ++d) {
        if (r >> d & 1) reflected |= uint64_t{1} << (63 - d);
    }
    return reflected;
}

// Moving a remainder `bytes` further: its first 8 bytes (the high powers) by x^(8*bytes+64),
// its last 8 by x^(8*bytes), each less one for the product's shift.
struct Fold {
    uint64_t first, last;
};
Fold FoldBy(unsigned bytes) { return {PowerOfX(8 * bytes + 64 - 1), PowerOfX(8 * bytes - 1)}; }

struct FoldConstants {
    Fold by16 = FoldBy(16), by32 = FoldBy(32), by48 = FoldBy(48), by64 = FoldBy(64);
    Fold by128 = FoldBy(128), by192 = FoldBy(192), by256 = FoldBy(256);
};
const FoldConstants& Constants() {
    static const FoldConstants constants;
    return constants;
}

}  // namespace

#ifdef MG_EDC_X86

namespace {

__attribute__((target("pclmul,sse2"))) inline __m128i Move(__m128i remainder, __m128i fold) {
    return _mm_xor_si128(_mm_clmulepi64_si128(remainder, fold, 0x00), _mm_clmulepi64_si128(remainder, fold, 0x11));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Constant(const Fold& fold) {
    return _mm_set_epi32(static_cast<int>(fold.last >> 32), static_cast<int>(fold.last),
                         static_cast<int>(fold.first >> 32), static_cast<int>(fold.first));
}

// Four consecutive remainders made one: each moved past those after it.
__attribute__((target("pclmul,sse2"))) inline __m128i Combine(__m128i r0, __m128i r1, __m128i r2, __m128i r3) {
    const FoldConstants& k = Constants();
    return _mm_xor_si128(_mm_xor_si128(Move(r0, Constant(k.by48)), Move(r1, Constant(k.by32))),
                         _mm_xor_si128(Move(r2, Constant(k.by16)), r3));
}

// The remainder taken past the whole 16-byte blocks left; the table finishes it, and the rest.
__attribute__((target("pclmul,sse2"))) uint32_t Finish(__m128i r, const unsigned char* data, size_t size) {
    const __m128i by16 = Constant(Constants().by16);
    for (; size >= 16; data += 16, size -= 16) r = _mm_xor_si128(Move(r, by16), Load(data));
    unsigned char remainder[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), r);
    return ContinueEdcByTable(ContinueEdcByTable(0, remainder, 16), data, size);
}

}  // namespace

bool CarrylessX86Runs() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (d & bit_SSE2);
}

__attribute__((target("pclmul,sse2"))) uint32_t EdcByCarrylessX86(const unsigned char* data, size_t size) {
    if (size < 64) return ContinueEdcByTable(0, data, size);
    const FoldConstants& k = Constants();
    __m128i r0 = Load(data), r1 = Load(data + 16), r2 = Load(data + 32), r3 = Load(data + 48);
    data += 64;
    size -= 64;
    const __m128i by64 = Constant(k.by64);
    for (; size >= 64; data += 64, size -= 64) {
        r0 = _mm_xor_si128(Move(r0, by64), Load(data));
        r1 = _mm_xor_si128(Move(r1, by64), Load(data + 16));
        r2 = _mm_xor_si128(Move(r2, by64), Load(data + 32));
        r3 = _mm_xor_si128(Move(r3, by64), Load(data + 48));
    }
    return Finish(Combine(r0, r1, r2, r3), data, size);
}

// The same, four remainders to a 512-bit register (VPCLMULQDQ with AVX-512), four
// registers at once: 256 bytes a step.
#define MG_EDC_WIDE __attribute__((target("avx512f,vpclmulqdq,pclmul,sse2")))

namespace {

MG_EDC_WIDE inline __m512i MoveWide(__m512i remainders, __m512i fold) {
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(remainders, fold, 0x00),
                            _mm512_clmulepi64_epi128(remainders, fold, 0x11));
}

MG_EDC_WIDE inline __m512i LoadWide(const unsigned char* p) { return _mm512_loadu_si512(p); }

MG_EDC_WIDE inline __m512i ConstantWide(const Fold& fold) {
    const auto first = static_cast<long long>(fold.first), last = static_cast<long long>(fold.last);
    return _mm512_set_epi64(last, first, last, first, last, first, last, first);
}

// The system saves the registers AVX-512 needs (XCR0: SSE, AVX, and the three AVX-512 states).
bool SystemSavesWideRegisters() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE)) return false;
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 0xE6) == 0xE6;
}

}  // namespace

bool WideCarrylessX86Runs() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return CarrylessX86Runs() && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX512F) &&
           (c & bit_VPCLMULQDQ) && SystemSavesWideRegisters();
}

MG_EDC_WIDE uint32_t EdcByWideCarrylessX86(const unsigned char* data, size_t size) {
    if (size < 256) return EdcByCarrylessX86(data, size);
    const FoldConstants& k = Constants();
    __m512i r0 = LoadWide(data), r1 = LoadWide(data + 64), r2 = LoadWide(data + 128), r3 = LoadWide(data + 192);
    data += 256;
    size -= 256;
    const __m512i by256 = ConstantWide(k.by256);
    for (; size >= 256; data += 256, size -= 256) {
        r0 = _mm512_xor_si512(MoveWide(r0, by256), LoadWide(data));
        r1 = _mm512_xor_si512(MoveWide(r1, by256), LoadWide(data + 64));
        r2 = _mm512_xor_si512(MoveWide(r2, by256), LoadWide(data + 128));
        r3 = _mm512_xor_si512(MoveWide(r3, by256), LoadWide(data + 192));
    }
    const __m512i four = _mm512_xor_si512(
        _mm512_xor_si512(MoveWide(r0, ConstantWide(k.by192)), MoveWide(r1, ConstantWide(k.by128))),
        _mm512_xor_si512(MoveWide(r2, ConstantWide(k.by64)), r3));
    unsigned char lanes[64];
    _mm512_storeu_si512(lanes, four);
    return Finish(Combine(Load(lanes), Load(lanes + 16), Load(lanes + 32), Load(lanes + 48)), data, size);
}

#else

bool CarrylessX86Runs() { return false; }
uint32_t EdcByCarrylessX86(const unsigned char* data, size_t size) { return ContinueEdcByTable(0, data, size); }
bool WideCarrylessX86Runs() { return false; }
uint32_t EdcByWideCarrylessX86(const unsigned char* data, size_t size) { return ContinueEdcByTable(0, data, size); }

#endif

#ifdef MG_EDC_ARM

namespace {

inline uint64x2_t Load(const unsigned char* p) { return vreinterpretq_u64_u8(vld1q_u8(p)); }

__attribute__((target("+crypto"))) inline uint64x2_t Move(uint64x2_t remainder, const Fold& fold) {
    const poly128_t first = vmull_p64(vgetq_lane_u64(remainder, 0), fold.first);
    const poly128_t last = vmull_p64(vgetq_lane_u64(remainder, 1), fold.last);
    return veorq_u64(vreinterpretq_u64_p128(first), vreinterpretq_u64_p128(last));
}

}  // namespace

bool CarrylessArmRuns() { return (getauxval(AT_HWCAP) & HWCAP_PMULL) != 0; }

__attribute__((target("+crypto"))) uint32_t EdcByCarrylessArm(const unsigned char* data, size_t size) {
    if (size < 64) return ContinueEdcByTable(0, data, size);
    const FoldConstants& k = Constants();
    uint64x2_t r0 = Load(data), r1 = Load(data + 16), r2 = Load(data + 32), r3 = Load(data + 48);
    data += 64;
    size -= 64;
    for (; size >= 64; data += 64, size -= 64) {
        r0 = veorq_u64(Move(r0, k.by64), Load(data));
        r1 = veorq_u64(Move(r1, k.by64), Load(data + 16));
        r2 = veorq_u64(Move(r2, k.by64), Load(data + 32));
        r3 = veorq_u64(Move(r3, k.by64), Load(data + 48));
    }
    uint64x2_t r = veorq_u64(veorq_u64(Move(r0, k.by48), Move(r1, k.by32)), veorq_u64(Move(r2, k.by16), r3));
    for (; size >= 16; data += 16, size -= 16) r = veorq_u64(Move(r, k.by16), Load(data));
    unsigned char remainder[16];
    vst1q_u8(remainder, vreinterpretq_u8_u64(r));
    return ContinueEdcByTable(ContinueEdcByTable(0, remainder, 16), data, size);
}

#else

bool CarrylessArmRuns() { return false; }
uint32_t EdcByCarrylessArm(const unsigned char* data, size_t size) { return ContinueEdcByTable(0, data, size); }

#endif
