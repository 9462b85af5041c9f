// Opening a disc as its container holds it: a bare image or device, a cue or toc sheet
// with its data files, CloneCD, Alcohol, Nero or CHD images, or GOG's installer of the disc
// image. Each container is one module (containers/) that turns its files into a track
// list; the disc is read through that list, its volume from the first data track.
#pragma once

#include <memory>
#include <string>

#include "FileReader.h"

// Why a disc could not be opened.
enum class DiscFault {
    None,
    NotOpened,     // a file of it cannot be opened (`path` names which; errno in systemError)
    NoDataTrack,   // the disc has tracks, but none of data
    BadContainer,  // a sheet or header that breaks its format, or a kind not supported
};

struct DiscProblem {
    DiscFault fault = DiscFault::None;
    std::string path;     // the file concerned
    int systemError = 0;  // an errno value, or 0
    std::string detail;   // "line 4: INDEX 01 missing for track 2", "a FIFO", ...
};

struct OpenedDisc {
    std::unique_ptr<FileReader> reader;  // the disc's user data; null on failure
    DiscProblem problem;
    std::string notAnImage;  // for a bare file: what it is when it holds no volume ("an empty file")
};

// Opens the disc that `path` (UTF-8) names: any file of its container, or a device.
OpenedDisc OpenDisc(const std::string& path);
