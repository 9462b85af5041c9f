// The EDC's method, chosen once from those this processor runs, and the sector checks
// built on it. The methods themselves (EdcTable.cpp, EdcFolding.cpp) know nothing of the choice.
#include "Edc.h"

#include "EdcMethods.h"
#include "LittleEndian.h"

namespace {
constexpr size_t kEdcOffset = 2064;
constexpr size_t kRawSize = 2352;
}  // namespace

const char* EdcMethodName(EdcMethod method) {
    switch (method) {
    case EdcMethod::Table: return "sliced table";
    case EdcMethod::CarrylessX86: return "PCLMULQDQ";
    case EdcMethod::WideCarrylessX86: return "VPCLMULQDQ (AVX-512)";
    case EdcMethod::CarrylessArm: return "PMULL";
    }
    return "?";
}

bool EdcMethodRuns(EdcMethod method) {
    switch (method) {
    case EdcMethod::Table: return true;
    case EdcMethod::CarrylessX86: return CarrylessX86Runs();
    case EdcMethod::WideCarrylessX86: return WideCarrylessX86Runs();
    case EdcMethod::CarrylessArm: return CarrylessArmRuns();
    }
    return false;
}

EdcMethod FastestEdcMethod() {
    static const EdcMethod fastest = EdcMethodRuns(EdcMethod::WideCarrylessX86) ? EdcMethod::WideCarrylessX86
                                     : EdcMethodRuns(EdcMethod::CarrylessX86)   ? EdcMethod::CarrylessX86
                                     : EdcMethodRuns(EdcMethod::CarrylessArm)   ? EdcMethod::CarrylessArm
                                                                                : EdcMethod::Table;
    return fastest;
}

uint32_t ComputeEdcWith(EdcMethod method, const unsigned char* data, size_t size) {
    switch (method) {
    case EdcMethod::CarrylessX86: return EdcByCarrylessX86(data, size);
    case EdcMethod::WideCarrylessX86: return EdcByWideCarrylessX86(data, size);
    case EdcMethod::CarrylessArm: return EdcByCarrylessArm(data, size);
    case EdcMethod::Table: break;
    }
    return ContinueEdcByTable(0, data, size);
}

uint32_t ComputeEdc(const unsigned char* data, size_t size) { return ComputeEdcWith(FastestEdcMethod(), data, size); }

namespace {

// A sector whose codes (EDC and ECC, bytes `from` to `to`) are all zero carries none.
SectorCodes Verdict(uint32_t computed, const unsigned char* sector, size_t from, size_t to) {
    if (computed == LittleEndian32(sector + from)) return SectorCodes::Sound;
    for (size_t i = from; i < to; ++i) {
        if (sector[i] != 0) return SectorCodes::Damaged;
    }
    return SectorCodes::Absent;
}

}  // namespace

SectorCodes CheckMode1Sector(const unsigned char* raw) {
    return Verdict(ComputeEdc(raw, kEdcOffset), raw, kEdcOffset, kRawSize);
}

SectorCodes CheckForm1Sector(const unsigned char* form1) {
    constexpr size_t kForm1EdcOffset = 8 + 2048, kForm1Size = 2336;
    return Verdict(ComputeEdc(form1, kForm1EdcOffset), form1, kForm1EdcOffset, kForm1Size);
}
