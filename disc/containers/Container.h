// The containers a disc comes in, each one module behind this interface, and one table of
// them (Container.cpp) that says which reads a named file, from its first and last bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "disc/ByteSource.h"
#include "disc/Disc.h"
#include "disc/Track.h"

// A file of the disc, opened once, with the bytes that tell its container.
struct FileHead {
    std::string path;
    std::shared_ptr<ByteSource> source;  // null when it could not be opened
    uint64_t size = 0;
    std::string first;  // up to kHeadBytes from the start
    std::string last;   // up to 16 bytes before the end
};
constexpr size_t kHeadBytes = 4096;

// The files of one disc, each opened once: the one the user named, then the companions its
// container names.
class DiscFiles {
public:
    // Opens `path` (UTF-8) and reads its head; false with a NotOpened problem.
    bool Open(const std::string& path, FileHead& head, DiscProblem& problem);

private:
    std::map<std::string, FileHead> m_opened;
};

// One track of a disc, as its container lists it.
struct DiscTrack {
    int number = 0;
    bool data = false;
    std::string file;  // the file that holds its sectors (its first, when several do)
    TrackPlace place;
    std::shared_ptr<ByteSource> source;  // where its bytes come from
};

struct DiscLayout {
    std::vector<DiscTrack> tracks;
    std::string notAnImage;  // a bare file without a volume: what it is ("an empty file")
};

struct ContainerFormat {
    const char* name;                                // for messages: "a cue sheet"
    bool (*recognizes)(const FileHead& head);        // from the bytes alone
    const char* const* companionOf;                  // data files it describes, by extension: {".bin", nullptr}
    const char* extension;                           // its own extension, for a named companion: ".cue"
    // The track list, or a problem. It opens the files it names through `files`.
    bool (*read)(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem);
};

// Every container, in the order they are tried; the bare image, which takes any file,
// comes last.
const ContainerFormat* const* Containers();

// Each container's module.
extern const ContainerFormat kCueSheet;
extern const ContainerFormat kTocFile;
extern const ContainerFormat kCloneCd;
extern const ContainerFormat kAlcohol;
extern const ContainerFormat kNero;
extern const ContainerFormat kChd;  // read where built with its libraries (not on Windows), else refused
extern const ContainerFormat kInnoSetup;
extern const ContainerFormat kBareImage;

// The problem that `path` breaks its container's format, saying `why` (the refusal every
// container gives); false, so that a reader can return it.
bool Refuse(DiscProblem& problem, const std::string& path, const std::string& why);

// "a cue sheet is at most 1 MiB; this one is 20 MiB": a size over a container's limit.
std::string OverLimit(const char* kind, uint64_t limit, uint64_t size);

// The first bytes of every CHD.
constexpr char kChdMagic[] = "MComprHD";
