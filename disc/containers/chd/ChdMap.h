// The map of a version 5 CHD: one entry a hunk, saying where its bytes lie and how they
// are coded; compressed maps are Huffman-coded types, then each entry's fields, under one CRC.
#pragma once

#include "ChdFormat.h"
#include "disc/containers/Container.h"

// The map of `head`'s CHD, every entry checked; false with the problem.
bool ReadMap(const FileHead& head, const ChdHeader& header, std::vector<MapEntry>& map, DiscProblem& problem);
