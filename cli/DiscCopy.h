// The disc job's rules, for a disc mounted on a POSIX system: the files lying directly in
// the disc's DATA and FMV folders, copied into new folders DATA and FMV.
#pragma once

#include <string>

class ConsoleObserver;

enum class DiscCopyResult {
    Ok,
    SourceUnreadable,  // a folder or file of the disc could not be read
    UnsafeName,        // a name that is no plain file name
    OutputFailed,      // a destination folder exists, or a file could not be written
};

// Copies DATA, then (only if that succeeded) FMV, from the disc mounted at `mount` into
// `outputRoot`. Each problem goes to `console`; the first one's cause is the result.
DiscCopyResult CopyDiscFolders(const std::string& mount, const std::string& outputRoot, ConsoleObserver& console);
