// The containers a disc comes in, each one module behind this interface, and one table
// of them (Container.cpp) that says which reads a named file.
#pragma once

#include <cstdint>
#include <string>

#include "Disc.h"

// The first and last bytes of a named file, which tell its container.
struct FileHead {
    std::string path;
    std::string first;  // up to kHeadBytes from the start
    std::string last;   // up to 16 bytes before the end
    uint64_t size = 0;
};
constexpr size_t kHeadBytes = 4096;

struct ContainerFormat {
    bool (*recognizes)(const FileHead& head);        // from the bytes alone
    const char* const* companionOf;                  // data files it describes, by extension: {".bin", nullptr}
    const char* extension;                           // its own extension, for a named companion: ".cue"
    // The track list, or a problem; files it names are checked and given as paths.
    bool (*read)(const FileHead& head, DiscLayout& layout, DiscProblem& problem);
};

// Every container but the bare image, in the order they are tried.
const ContainerFormat* const* Containers();

// Each container's module.
extern const ContainerFormat kCueSheet;
extern const ContainerFormat kTocFile;
extern const ContainerFormat kCloneCd;
extern const ContainerFormat kAlcohol;
extern const ContainerFormat kNero;
extern const ContainerFormat kChd;  // read where built with its libraries (not on Windows), else refused

// The first bytes of every CHD.
constexpr char kChdMagic[] = "MComprHD";
