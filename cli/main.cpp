// marrowgate-import: imports the game's DATA and FMV folders from a raw-sector disc
// image (GAME.GOG) with the same filter and results as the Windows program.
#include "Progress.h"

#include "iso/FileSystem.h"
#include "iso/IsoExtract.h"
#include "jobs/GameFolderFilter.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitInternal = 1;
constexpr int kExitUsage = 2;

// Every extraction result has its own exit status: the result plus one (3 to 11).
int ExitStatusOf(ExtractResult result) { return result == ExtractOk ? 0 : static_cast<int>(result) + 1; }

const char* const kExitStatusHelp =
    "Exit status:\n"
    "  0   every folder and file was imported\n"
    "  1   internal error (out of memory)\n"
    "  2   usage error\n"
    "  3   the image cannot be opened\n"
    "  4   not a CD image with an ISO 9660 file system\n"
    "  5   the volume descriptor is not ISO 9660 (no CD001)\n"
    "  6   the image ends inside a folder or file\n"
    "  7   malformed directory record\n"
    "  8   folder already walked (loop or shared folder)\n"
    "  9   folders nested too deeply\n"
    "  10  name not safe to create\n"
    "  11  cannot write a folder or file (or the output folder)\n"
    "From 6 on, every good file is still imported; nothing already written is removed.\n";

struct Options {
    std::string image;
    std::string directory = ".";
    bool all = false;
    bool list = false;
    bool quiet = false;
};

bool AcceptEverything(std::string) { return true; }

int Run(const Options& options) {
    const ExtractFilter filter = options.all ? ExtractFilter(AcceptEverything) : ExtractFilter(GameFolderFilter);
    struct stat folder;
    const bool folderThere = stat(options.directory.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
    if (!options.list && !folderThere) {  // the user's own folder may well be a symbolic link
        const int error = MakeDirectoryUtf8(options.directory);
        if (error != 0) {
            std::fprintf(stderr, "marrowgate-import: %s: cannot write: %s\n", Printable(options.directory).c_str(),
                         std::strerror(error));
            return ExitStatusOf(ExtractOutputFailed);
        }
    }
    const bool showProgress = !options.quiet && !options.list && isatty(STDERR_FILENO);

    // On a terminal, a listing pass first gives the totals for the progress line.
    TotalsObserver totals;
    if (showProgress) {
        ExtractOptions listing;
        listing.listOnly = true;
        listing.observer = &totals;
        ExtractImageFile(options.image, filter, listing);
    }

    ConsoleObserver console(options.image, showProgress, options.list, totals.files, totals.bytes);
    ExtractOptions extract;
    extract.outputRoot = options.directory;
    extract.listOnly = options.list;
    extract.observer = &console;
    const ExtractResult result = ExtractImageFile(options.image, filter, extract);
    console.Finish();
    if (result == ExtractNoPrimaryDescriptor || result == ExtractBadIdentifier)
        std::fprintf(stderr, "marrowgate-import: %s: %s\n", Printable(options.image).c_str(), ExtractResultMessage(result));
    if (showProgress && result == ExtractOk)
        std::fprintf(stderr, "Imported %llu files into %s\n", static_cast<unsigned long long>(console.files()),
                     Printable(options.directory).c_str());
    return ExitStatusOf(result);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Imports the DATA and FMV folders of Marrowgate from a raw-sector disc image (GAME.GOG)\n"
                 "of the GOG or Steam edition into the current folder.",
                 "marrowgate-import"};
    Options options;
    app.add_option("IMAGE", options.image, "the raw-sector image, e.g. GAME.GOG")->required();
    app.add_option("-C,--directory", options.directory, "write under DIR instead of the current folder")
        ->type_name("DIR");
    app.add_flag("--all", options.all, "extract the whole file system, not only DATA and FMV");
    app.add_flag("--list", options.list, "print the paths that would be written, one a line; write nothing");
    app.add_flag("-q,--quiet", options.quiet, "show nothing but errors");
    app.set_version_flag("--version", "marrowgate-import " MG_VERSION);
    app.footer(kExitStatusHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::puts("marrowgate-import " MG_VERSION);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "marrowgate-import: %s\nTry 'marrowgate-import --help'.\n", e.what());
        return kExitUsage;
    }

    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "\nmarrowgate-import: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "\nmarrowgate-import: %s\n", e.what());
    }
    return kExitInternal;
}
