// What an Inno Setup installer says of itself, for the sources found by detection.
#pragma once

#include <string>

struct InstallerFacts {
    std::string appName;    // "Marrowgate"
    std::string gogGameId;  // the GOG game ID it registers, "" when none
    std::string version;    // its setup data ID, "Inno Setup Setup Data (6.0.0) (u)"
    bool holdsGameImage = false;
};

// Reads the installer that `path` (UTF-8) names, its .exe or one of its slices; false
// with `why` when it is none or cannot be read.
bool DescribeInstaller(const std::string& path, InstallerFacts& facts, std::string& why);
