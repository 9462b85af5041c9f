// Inside the EDC's module: the ways of computing it. The table (from any starting value)
// runs anywhere; the folding by carry-less multiplication runs where the processor has
// it, and ends with the table. Edc.cpp chooses among them.
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
