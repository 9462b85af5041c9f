// GameFolderFilter: three prefix tests, in the order that makes .\DATA.NOW lose to .\DATA.
#include "GameFolderFilter.h"

namespace {
bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
}  // namespace

bool GameFolderFilter(std::string path) {
    if (StartsWith(path, ".\\FMV")) return true;
    if (!StartsWith(path, ".\\DATA")) return false;
    return !StartsWith(path, ".\\DATA.NOW");
}
