// marrowgate-import's exit statuses: one table, cause -> status -> text, which --help (and
// so the manual page) prints and README's table must match. A new cause takes the next
// free status; no status ever changes its meaning.
#pragma once

#include <string>

#include "iso/IsoExtract.h"

enum class ExitCause {
    Ok,
    Internal,
    Usage,
    ImageNotOpened,
    NoPrimaryDescriptor,
    BadIdentifier,
    ImageTruncated,
    MalformedRecord,
    DirectoryLoop,
    TooDeep,
    UnsafeName,
    OutputFailed,
    DiscUnreadable,
    NoSource,
    NoSpace,
    StandardOutputFailed,
    OverBudget,
    DamagedSector,
    NameCollision,
    BadContainer,
    OutsideData,
    Interrupted,
    Terminated,
};

int ExitStatusOf(ExitCause cause);
int ExitStatusOf(ExtractResult result);

// The table as --help ends with it: "Exit status:", then one "  N   text" line a status.
std::string ExitStatusHelp();
