// The ISO 9660 tree extractor: walks the file system of a disc image and writes the
// folders and files that a filter accepts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "disc/FileReader.h"
#include "OutputName.h"

// Result of an extraction. 0 is complete success; every other value is a failure.
// The first three failures stop the extraction before anything is written; from
// ExtractImageTruncated on, the walk goes on past the fault, so every good file still
// arrives, and the first fault met becomes the result. A full disk, and a stop asked for,
// end the walk at once. A file appears under its final name only when it is complete.
// Callers tell 0 from the rest; marrowgate-import turns each into its exit status through
// its own table. The numbers of the first values are the Windows program's own.
enum ExtractResult : int {
    ExtractOk = 0,
    ExtractImageNotOpened = 2,       // the image file cannot be opened
    ExtractNoPrimaryDescriptor = 3,  // sector 16 holds no primary volume descriptor
    ExtractBadIdentifier = 4,        // its standard identifier is not "CD001"
    ExtractImageTruncated,           // the image ends inside a folder or a file's data
    ExtractMalformedRecord,          // a directory record that breaks the format
    ExtractDirectoryLoop,            // a folder whose records were already walked
    ExtractTooDeep,                  // folders nested deeper than kMaxDirectoryDepth
    ExtractUnsafeName,               // a name that is no plain file or folder name
    ExtractOutputFailed,             // a folder or file that could not be fully written
    ExtractStopped,                  // ExtractOptions::stop was set
    ExtractOverBudget,               // more to write than any real disc needs: the rest skipped
    ExtractDamagedSector,            // a sector whose EDC does not match (test mode), or Mode 2 Form 2 in a file
    ExtractNameCollision,            // a second record for a name already taken in its folder
    ExtractBadContainer,             // a sheet or container header that breaks its format, or a kind not read
    ExtractOutsideData,              // a file's data lies in an audio track or between tracks
};

// A short text for the user, e.g. "the image ends inside a folder or file".
const char* ExtractResultMessage(ExtractResult result);

// Nesting far beyond any real disc (ISO 9660 itself allows 8 levels).
constexpr int kMaxDirectoryDepth = 64;

// What a walk may write (or read, in test mode) for files, in proportion to the image:
// twice its user data and 64 MiB. Real discs share a few extents, never more.
uint64_t OutputBudget(uint64_t imageSize);

// Decides about each folder and file by its path: ".\" followed by the recorded
// identifiers joined by "\", a file's with its version suffix (".\DATA\CRED1.PCX;1").
// A refused folder is not entered. Names are checked only for what the filter accepts.
using ExtractFilter = std::function<bool(std::string)>;

// Which kind of path a problem names.
enum class ProblemPlace {
    Image,        // the image as a whole: its path ("" when read through ExtractIsoTree)
    InsideImage,  // a folder or file inside the image, "DATA/CON.TXT;1" ("/" for the root)
    Output,       // a folder or file written, as an output path
};

// One failure, as the observer hears it.
struct ExtractProblem {
    ExtractResult cause;
    ProblemPlace place;
    std::string where;
    int systemError = 0;  // an errno value, or 0
    std::string detail;   // what was found instead, e.g. "an empty file"; or ""
};

// Hears what an extraction does. Paths are relative to the output folder, with the
// platform's separator. Every failure reaches OnProblem before the result is returned.
class ExtractObserver {
public:
    virtual ~ExtractObserver() = default;
    virtual void OnDirectory(const std::string& path) { (void)path; }
    virtual void OnFile(const std::string& path, uint32_t size) { (void)path; (void)size; }
    virtual void OnBytesWritten(uint32_t count) { (void)count; }
    virtual void OnProblem(const ExtractProblem& problem) { (void)problem; }
};

// What a walk counted, for the caller's summary and for tests.
struct ExtractStats {
    uint64_t sectorsChecked = 0;        // test mode: sectors whose EDC was checked
    uint64_t sectorsWithoutCodes = 0;   // test mode: sectors that carry no EDC or ECC
    uint64_t rangeComparisons = 0;      // comparisons made to find folders walked before
};

struct ExtractOptions {
    std::string outputRoot = ".";  // UTF-8; must exist
    bool listOnly = false;         // walk and report, write nothing
    // Test mode: walk, read every byte an import would write and check the sectors' codes
    // where the image carries them; write nothing.
    bool testOnly = false;
    ExtractStats* stats = nullptr;
    // How names that are not UTF-8 are read; Windows-1252 when empty.
    NarrowDecoder decodeName;
    bool keepTimes = false;        // files take the times the disc records
    ExtractObserver* observer = nullptr;
    // When it holds a value other than 0 (set by a signal handler, say), the walk stops
    // before its next record or read: the file being written is dropped, and the result
    // is ExtractStopped.
    const std::atomic<int>* stop = nullptr;
};

// Opens an image, given as a UTF-8 path, and extracts what `filter` accepts into the
// working directory, or into options.outputRoot. The image may be any file of a disc's
// container (a bare image in any sector layout, a cue or toc sheet or its data file,
// CloneCD, Alcohol, Nero) or a block device holding the disc; the format is told from the
// data. The volume is read from the disc's first data track.
ExtractResult ExtractImageFile(const std::string& imagePath, ExtractFilter filter);
ExtractResult ExtractImageFile(const std::string& imagePath, ExtractFilter filter, const ExtractOptions& options);

// Extracts from any user-data stream; the reader stays the caller's.
ExtractResult ExtractIsoTree(FileReader& reader, ExtractFilter filter, const ExtractOptions& options = {});
