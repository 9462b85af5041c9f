// The program's one extraction filter: the game's FMV and DATA trees.
#pragma once

#include <string>

// Accepts ".\FMV..." and ".\DATA..." paths, except ".\DATA.NOW..."; exact, case-sensitive
// prefix tests on the path as the extractor offers it.
bool GameFolderFilter(std::string path);
