// Inside the EDC's module: the table, from any starting value, and the folding by
// carry-less multiplication, which ends with it.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t ContinueEdcByTable(uint32_t crc, const unsigned char* data, size_t size);

bool CarrylessX86Runs();
uint32_t EdcByCarrylessX86(const unsigned char* data, size_t size);
bool WideCarrylessX86Runs();
uint32_t EdcByWideCarrylessX86(const unsigned char* data, size_t size);
bool CarrylessArmRuns();
uint32_t EdcByCarrylessArm(const unsigned char* data, size_t size);
