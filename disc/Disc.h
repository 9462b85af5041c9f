// Opening a disc as its container holds it: a bare image or device, a cue or toc sheet
// with its data files, CloneCD, Alcohol or Nero images. Each container is one module that
// turns its files into a track list; the first data track is then read as the volume.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileReader.h"
#include "Track.h"

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

class ByteSource;

// One track of a disc, as its container lists it.
struct DiscTrack {
    int number = 0;
    bool data = false;
    std::string file;  // the file that holds its sectors, as a path
    TrackPlace place;
    std::shared_ptr<ByteSource> source;  // where its bytes come from when not straight from `file` (CHD)
};

struct DiscLayout {
    std::vector<DiscTrack> tracks;
};

struct OpenedDisc {
    std::unique_ptr<FileReader> reader;  // the first data track's user data; null on failure
    DiscProblem problem;
    std::string notAnImage;  // for a bare file: what it is when it holds no volume ("an empty file")
};

// Opens the disc that `path` (UTF-8) names: any file of its container, or a device.
OpenedDisc OpenDisc(const std::string& path);
