// Copying the game's folders from a disc's files: from where it is mounted on a POSIX
// system, when its device cannot be read, or from its drive on Windows. All of DATA and
// FMV, subfolders too, into new folders DATA and FMV.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class ConsoleObserver;

enum class DiscCopyResult {
    Ok,
    SourceUnreadable,  // a folder or file of the disc could not be read
    UnsafeName,        // a name that is no plain file name
    OutputFailed,      // a destination folder exists, or a file could not be written
    TooDeep,           // folders nested deeper than the engine's bound: the deeper ones not copied
    Stopped,           // DiscCopyOptions::stop was set
};

struct DiscCopyOptions {
    bool upperCaseNames = false;             // write the names as an ISO 9660 disc records them
    const std::atomic<int>* stop = nullptr;  // set: the copy stops before its next entry, dropping the file it was writing
};

// What a copy would write, for the progress line.
struct DiscTotals {
    uint64_t files = 0;
    uint64_t bytes = 0;
};
// Stops early (with what it has counted) when `stop` is set.
DiscTotals CountDiscFolders(const std::string& mount, const std::atomic<int>* stop = nullptr);

// True when every name under the disc's DATA and FMV is free of upper-case letters, as
// Linux shows a plain ISO 9660 disc (map=normal lower-cases the recorded names).
bool DiscNamesAreLowerCase(const std::string& mount);

// Copies DATA, then (only if that succeeded) FMV, from the disc mounted at `mount` into
// `outputRoot`, never following a link on the disc. Each file is written under a
// temporary name, takes the disc's time, and is renamed into place when complete; the output is walked by folder, as
// the engine walks it. Each file and problem goes to `console`; the first problem's cause
// is the result; a full disk ends the copy at once.
DiscCopyResult CopyDiscFolders(const std::string& mount, const std::string& outputRoot, const DiscCopyOptions& options,
                               ConsoleObserver& console);
