// The one table of exit statuses.
#include "ExitStatus.h"

#include <cstdio>

namespace {

struct ExitStatusRow {
    ExitCause cause;
    int status;
    const char* text;
};

const ExitStatusRow kExitStatuses[] = {
    {ExitCause::Ok, 0, "every folder and file was imported"},
    {ExitCause::Internal, 1, "internal error (out of memory)"},
    {ExitCause::Usage, 2, "usage error"},
    {ExitCause::ImageNotOpened, 3, "the image cannot be opened"},
    {ExitCause::NoPrimaryDescriptor, 4, "not a CD image with an ISO 9660 file system"},
    {ExitCause::BadIdentifier, 5, "the volume descriptor is not ISO 9660 (no CD001)"},
    {ExitCause::ImageTruncated, 6, "the image ends inside a folder or file"},
    {ExitCause::MalformedRecord, 7, "malformed directory record"},
    {ExitCause::DirectoryLoop, 8, "folder already walked (loop or shared folder)"},
    {ExitCause::TooDeep, 9, "folders nested too deeply"},
    {ExitCause::UnsafeName, 10, "name not safe to create"},
    {ExitCause::OutputFailed, 11, "cannot write a folder or file (or the output folder; DATA or FMV exists for a disc)"},
    {ExitCause::DiscUnreadable, 12, "cannot read a folder or file of the disc"},
    {ExitCause::NoSource, 13, "no source of the game found"},
    {ExitCause::NoSpace, 14, "not enough free space for what would be written"},
    {ExitCause::StandardOutputFailed, 15, "cannot write to standard output (--list, --detect)"},
    {ExitCause::OverBudget, 16, "more to write than the image can hold (records sharing data); the rest skipped"},
    {ExitCause::DamagedSector, 17, "a damaged sector: its EDC does not match (--test), or Mode 2 Form 2 where a file's data should be"},
    {ExitCause::NameCollision, 18, "two records for one name in a folder (differing only in case or version)"},
    {ExitCause::BadContainer, 19, "the disc's sheet or container cannot be read (a line or header that breaks its format, or a kind not supported)"},
    {ExitCause::OutsideData, 20, "a file's data lies outside the disc's data tracks (in an audio track, or between tracks)"},
    {ExitCause::Interrupted, 130, "interrupted (Ctrl-C, SIGINT; Ctrl-Break on Windows)"},
    {ExitCause::Terminated, 143, "terminated (SIGTERM; on Windows, its console closed)"},
};

ExitCause CauseOf(ExtractResult result) {
    switch (result) {
    case ExtractOk: return ExitCause::Ok;
    case ExtractImageNotOpened: return ExitCause::ImageNotOpened;
    case ExtractNoPrimaryDescriptor: return ExitCause::NoPrimaryDescriptor;
    case ExtractBadIdentifier: return ExitCause::BadIdentifier;
    case ExtractImageTruncated: return ExitCause::ImageTruncated;
    case ExtractMalformedRecord: return ExitCause::MalformedRecord;
    case ExtractDirectoryLoop: return ExitCause::DirectoryLoop;
    case ExtractTooDeep: return ExitCause::TooDeep;
    case ExtractUnsafeName: return ExitCause::UnsafeName;
    case ExtractOutputFailed: return ExitCause::OutputFailed;
    case ExtractStopped: return ExitCause::Interrupted;
    case ExtractOverBudget: return ExitCause::OverBudget;
    case ExtractDamagedSector: return ExitCause::DamagedSector;
    case ExtractNameCollision: return ExitCause::NameCollision;
    case ExtractBadContainer: return ExitCause::BadContainer;
    case ExtractOutsideData: return ExitCause::OutsideData;
    }
    return ExitCause::Internal;
}

}  // namespace

int ExitStatusOf(ExitCause cause) {
    for (const ExitStatusRow& row : kExitStatuses) {
        if (row.cause == cause) return row.status;
    }
    return 1;  // every cause has its row; this only keeps the compiler content
}

int ExitStatusOf(ExtractResult result) { return ExitStatusOf(CauseOf(result)); }

std::string ExitStatusHelp() {
    std::string help = "Exit status:\n";
    for (const ExitStatusRow& row : kExitStatuses) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-3d %s\n", row.status, row.text);
        help += line;
    }
    return help;
}
