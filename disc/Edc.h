// The EDC of a CD-ROM sector (ECMA-130 14.3): a CRC-32, polynomial
// x^32+x^31+x^16+x^15+x^4+x^3+x+1, taken reflected, starting from 0, stored little-endian
// after what it covers: in Mode 1 the sync, header and user data (bytes 0 to 2063, EDC at
// 2064); in Mode 2 Form 1 the subheader and user data (bytes 16 to 2071, EDC at 2072).
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t ComputeEdc(const unsigned char* data, size_t size);

// The ways the EDC is computed: a sliced table, which runs anywhere, and folding by
// carry-less multiplication (PCLMULQDQ on x86, and VPCLMULQDQ four at a time where the
// processor has AVX-512; PMULL on 64-bit ARM), where the processor has it. ComputeEdc
// takes the fastest that runs, chosen once; all give the same codes.
enum class EdcMethod { Table, CarrylessX86, WideCarrylessX86, CarrylessArm };
constexpr EdcMethod kEdcMethods[] = {EdcMethod::Table, EdcMethod::CarrylessX86, EdcMethod::WideCarrylessX86,
                                     EdcMethod::CarrylessArm};
const char* EdcMethodName(EdcMethod method);
bool EdcMethodRuns(EdcMethod method);  // built in, and this processor has the instruction
EdcMethod FastestEdcMethod();
// `method` must run.
uint32_t ComputeEdcWith(EdcMethod method, const unsigned char* data, size_t size);

// Fills the ECC of a raw Mode 1 or Mode 2 Form 1 sector (2352 bytes; its mode byte says
// which): ECMA-130's P and Q Reed-Solomon parity over the header (zero for Mode 2), data,
// EDC and what follows up to the parity.
void ComputeEcc(unsigned char* raw);

// What a raw sector's codes say.
enum class SectorCodes {
    Sound,    // its EDC matches
    Damaged,  // its EDC does not
    Absent,   // its EDC and ECC bytes are all zero: it carries none
};
SectorCodes CheckMode1Sector(const unsigned char* raw);  // raw: 2352 bytes
// `form1`: a Mode 2 Form 1 sector from its subheader on (byte 16 of a raw sector, byte 0 of
// a 2336-byte one): 8 bytes of subheader, 2048 of data, the EDC, 276 of ECC.
SectorCodes CheckForm1Sector(const unsigned char* form1);
