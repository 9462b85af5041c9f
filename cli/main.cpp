// marrowgate-import: imports the game's DATA and FMV folders from a disc image (GAME.GOG,
// or any rip of the disc) with the same filter and results as the Windows program.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <new>

#include <CLI/CLI.hpp>

#include "Completions.h"
#include "Console.h"
#include "Detection.h"
#include "ExitStatus.h"
#include "Folders.h"
#include "InstallerDetection.h"
#ifndef _WIN32
#include "MountTable.h"
#endif
#include "DiscCopy.h"
#include "Progress.h"
#include "Report.h"
#include "Version.h"
#include "iso/FileSystem.h"
#include "iso/IsoExtract.h"
#include "disc/containers/inno/Installer.h"
#include "game/GameFolderFilter.h"

namespace {

const char* const kExitStatusNote =
    "From 6 on, every good file is still imported; a file appears only when it is complete,\n"
    "and nothing imported before is removed.\n";

struct Options {
    std::string image;
    std::string directory = ".";
    std::string from;  // "gog", "steam", "disc" or "installer"
    std::string disc;  // a disc mounted there
    bool detect = false;
    bool all = false;
    bool list = false;
    bool test = false;
    bool quiet = false;
    std::string completion;  // a shell
};

bool AcceptEverything(std::string) { return true; }

void ReportImported(uint64_t files, const std::string& directory) {
    Write(Stream::Err, "Imported " + std::to_string(files) + " files into " + Printable(directory) + "\n");
}

// Set on a request to stop (Console.h), to SIGINT or SIGTERM: the work stops, drops the
// file it was writing, and the program ends with 130 or 143, as shells expect.
std::atomic<int> g_stop{0};

int StoppedStatus() { return ExitStatusOf(g_stop.load() == SIGTERM ? ExitCause::Terminated : ExitCause::Interrupted); }

// Creates the output folder and every missing folder of its path, as mkdir -p does; false
// (with the line said) when it cannot.
bool PrepareOutputFolder(const std::string& directory) {
    std::string failed;
    const int error = MakeFolders(directory, failed);
    if (error != 0) ReportProblem(failed, "cannot write", error);
    return error == 0;
}

// Refuses (with both figures said) when `bytes` will not fit in the output folder.
bool FitsInOutputFolder(const std::string& directory, uint64_t bytes) {
    uint64_t free = 0;
    if (!FreeSpace(directory, free)) return true;  // nothing to go by: the writes will tell
    if (bytes <= free) return true;
    ReportProblem(directory, "not enough free space: " + Megabytes(bytes) + " MB to write, " + Megabytes(free) + " MB free");
    return false;
}

// --test: the walk reads every byte an import would write and checks the sectors' codes.
int TestImage(const Options& options, const ExtractFilter& filter) {
    ConsoleObserver console(options.image, false, false, 0, 0);
    ExtractStats stats;
    ExtractOptions test;
    test.testOnly = true;
    test.observer = &console;
    test.stats = &stats;
    test.stop = &g_stop;
    const ExtractResult result = ExtractImageFile(options.image, filter, test);
    console.Finish();
    if (result == ExtractStopped) return StoppedStatus();
    if (result == ExtractImageNotOpened || result == ExtractNoPrimaryDescriptor || result == ExtractBadIdentifier ||
        result == ExtractBadContainer)
        return ExitStatusOf(result);
    const std::string image = Printable(options.image);
    if (stats.sectorsWithoutCodes > 0)
        Write(Stream::Err, image + ": " + std::to_string(stats.sectorsWithoutCodes) +
                               " sectors carry no EDC or ECC: they were read, not checked\n");
    if (stats.sectorsChecked == 0 && stats.sectorsWithoutCodes == 0)
        Write(Stream::Err, image + ": no sector codes in this image (cooked, or a device): the tree and the reads "
                                   "were checked\n");
    if (result == ExtractOk && !options.quiet) {
        Write(Stream::Out, image + ": sound: " + std::to_string(console.files()) + " files read, " +
                               std::to_string(stats.sectorsChecked) + " sectors checked\n");
    }
    return ExitStatusOf(result);
}

int ImportImage(const Options& options) {
    const ExtractFilter filter = options.all ? ExtractFilter(AcceptEverything) : ExtractFilter(GameFolderFilter);
    // An installer of another of GOG's games may hold a GAME.GOG too: it is not this game's.
    const std::string foreign = ForeignInstaller(options.image);
    if (!foreign.empty()) {
        ReportError(Printable(options.image) + ": " + foreign);
        return ExitStatusOf(ExtractBadContainer);
    }
    if (options.test) return TestImage(options, filter);
    if (!options.list && !PrepareOutputFolder(options.directory)) return ExitStatusOf(ExitCause::OutputFailed);
    const bool showProgress = !options.quiet && !options.list && IsTerminal(Stream::Err);

    // A listing pass first gives the totals: for the free space, and the progress line.
    TotalsObserver totals;
    if (!options.list) {
        ExtractOptions listing;
        listing.listOnly = true;
        listing.observer = &totals;
        listing.stop = &g_stop;
        if (ExtractImageFile(options.image, filter, listing) == ExtractStopped) return StoppedStatus();
        if (!FitsInOutputFolder(options.directory, totals.bytes)) return ExitStatusOf(ExitCause::NoSpace);
    }

    ConsoleObserver console(options.image, showProgress, options.list, totals.files, totals.bytes);
    ExtractOptions extract;
    extract.outputRoot = options.directory;
    extract.listOnly = options.list;
    extract.keepTimes = true;
    extract.observer = &console;
    extract.stop = &g_stop;
    const ExtractResult result = ExtractImageFile(options.image, filter, extract);
    console.Finish();
    if (result == ExtractStopped) return StoppedStatus();
    if (showProgress && result == ExtractOk) ReportImported(console.files(), options.directory);
    return ExitStatusOf(result);
}

// The disc's folders copied from where it is mounted; `upperCase` writes the names as an
// ISO 9660 disc records them.
int CopyDisc(const Options& options, const std::string& mount, bool upperCase) {
    if (!PrepareOutputFolder(options.directory)) return ExitStatusOf(ExitCause::OutputFailed);
    const bool showProgress = !options.quiet && IsTerminal(Stream::Err);
    const DiscTotals totals = CountDiscFolders(mount, &g_stop);
    if (g_stop.load() != 0) return StoppedStatus();
    if (!FitsInOutputFolder(options.directory, totals.bytes)) return ExitStatusOf(ExitCause::NoSpace);
    ConsoleObserver console(mount, showProgress, false, totals.files, totals.bytes);
    DiscCopyOptions copy;
    copy.upperCaseNames = upperCase;
    copy.stop = &g_stop;
    const DiscCopyResult result = CopyDiscFolders(mount, options.directory, copy, console);
    console.Finish();
    if (showProgress && result == DiscCopyResult::Ok) ReportImported(console.files(), options.directory);
    switch (result) {
    case DiscCopyResult::Ok: return 0;
    case DiscCopyResult::Stopped: return StoppedStatus();
    case DiscCopyResult::SourceUnreadable: return ExitStatusOf(ExitCause::DiscUnreadable);
    case DiscCopyResult::UnsafeName: return ExitStatusOf(ExitCause::UnsafeName);
    case DiscCopyResult::TooDeep: return ExitStatusOf(ExitCause::TooDeep);
    case DiscCopyResult::OutputFailed: return ExitStatusOf(ExitCause::OutputFailed);
    }
    return ExitStatusOf(ExitCause::Internal);
}

#ifdef _WIN32
// A disc in a drive ("D:\\", or any folder that holds one): copied from its files, as the
// window copies it.
int ImportDisc(const Options& options, const std::string& drive) { return CopyDisc(options, drive, false); }
#else
// A disc mounted at `mount`: read through its device, as its image would be, when the mount
// table names one that can be opened; else copied from the folder.
int ImportDisc(const Options& options, const std::string& mount) {
    const std::optional<MountEntry> mounted = FindMount(mount);
    if (mounted && IsDiscFileSystem(mounted->type)) {
        std::string refusal;
        if (FILE* device = OpenImageFileUtf8(mounted->source, refusal)) {
            std::fclose(device);
            Options fromDevice = options;
            fromDevice.image = mounted->source;
            return ImportImage(fromDevice);
        }
        if (!options.quiet) {
            ReportProblem(mounted->source, "cannot read the disc's device (" +
                                               (refusal.empty() ? std::string(std::strerror(errno)) : refusal) +
                                               "); copying from " + Printable(mount) + " instead");
        }
    }
    return CopyDisc(options, mount, mounted && mounted->type == "iso9660" && DiscNamesAreLowerCase(mount));
}
#endif

// No image given: look for the game as the Windows program does, say what was found, and
// import from the first source found (GOG, Steam, the disc) or the chosen one.
int DetectAndImport(Options options) {
    const FoundSources found = FindSources();
    const struct {
        const char* option;
        const char* label;
        const char* name;
        std::string path;
    } sources[] = {
        {"gog", "GOG", "GOG", found.gog},
        {"steam", "Steam", "Steam", found.steam},
        {"disc", "Disc", "the disc", found.disc},
        {"installer", "Installer", "GOG's installer", found.installers.empty() ? std::string() : found.installers[0]},
    };
    bool any = false;
    // --detect prints what it found as its output; an import says it on stderr, so that
    // --list prints nothing but the list on stdout.
    const bool say = options.detect || !options.quiet;
    const Stream stream = options.detect ? Stream::Out : Stream::Err;
    for (const auto& source : sources) {
        any = any || !source.path.empty();
        if (!source.path.empty() && say && std::string(source.option) != "installer")
            Write(stream, std::string(source.label) + ": " + Printable(source.path) + "\n");
    }
    for (const std::string& installer : found.installers) {
        if (!say) break;
        Write(stream, "Installer: " + Printable(installer) + "\n");
        InstallerFacts facts;
        std::string why;
        if (options.detect && DescribeInstaller(installer, facts, why))
            Write(stream, "  " + Printable(facts.appName) + (facts.gogGameId.empty() ? "" : ", GOG game ID " + facts.gogGameId) +
                              " (" + facts.version + ")\n");
    }
    if (!any) {
        ReportError("no source of the game found. Looked for:");
        ReportPlacesLooked();
        Write(Stream::Err, "Give the image's path (GAME.GOG), or --disc DIR for a mounted disc.\n");
        return ExitStatusOf(ExitCause::NoSource);
    }
    if (options.detect) return 0;
    const auto* chosen = &sources[0];
    for (const auto& source : sources) {
        chosen = &source;
        if (options.from.empty() ? !source.path.empty() : options.from == source.option) break;
    }
    if (chosen->path.empty()) {
        ReportError(std::string(chosen->name) + " was not found");
        return ExitStatusOf(ExitCause::NoSource);
    }
    const bool useDisc = std::string(chosen->option) == "disc";
    if (!options.quiet) Write(Stream::Err, "Importing from " + std::string(chosen->name) + ".\n");
    if (useDisc) {
        if (options.list || options.all) {
            ReportError("--list and --all read images, not discs");
            return ExitStatusOf(ExitCause::Usage);
        }
        return ImportDisc(options, chosen->path);
    }
    options.image = chosen->path;
    return ImportImage(options);
}

int Run(const Options& options) {
    if (!options.disc.empty()) return ImportDisc(options, options.disc);
    if (!options.image.empty()) return ImportImage(options);
    return DetectAndImport(options);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Imports the DATA and FMV folders of Marrowgate from a disc image (GAME.GOG of the GOG\n"
                 "or Steam edition, any rip of the disc, or GOG's offline installer) into the current folder.",
                 "marrowgate-import"};
    Options options;
    auto* image = app.add_option("IMAGE", options.image, "the disc image: GAME.GOG, any file of a rip (.iso, .bin, .cue, .toc, .ccd, .mds, .nrg, .chd), GOG's installer (setup_marrowgate_*.exe or its .bin slices), or a device; without it, the game is looked for");
    app.add_option("-C,--directory", options.directory, "write under DIR instead of the current folder")
        ->type_name("DIR");
    auto* disc = app.add_option("--disc", options.disc, "import from a game disc mounted at DIR")->type_name("DIR");
    auto* from = app.add_option("--from", options.from, "of the sources found, import from this one")
                     ->check(CLI::IsMember({"gog", "steam", "disc", "installer"}));
    auto* detect = app.add_flag("--detect", options.detect, "only print the sources found, one a line");
    disc->excludes(image)->excludes(from)->excludes(detect);
    image->excludes(from)->excludes(detect);
    auto* all = app.add_flag("--all", options.all, "extract the whole file system, not only DATA and FMV");
    auto* list = app.add_flag("--list", options.list, "print the paths that would be written, one a line; write nothing");
    auto* test = app.add_flag("--test", options.test,
                              "read every byte the import would write and check each sector's EDC; write nothing");
    disc->excludes(list)->excludes(all)->excludes(test);
    test->excludes(list);
    app.add_flag("-q,--quiet", options.quiet, "show nothing but errors");
    app.add_option("--completion", options.completion, "print the script that completes this program's options in SHELL")
        ->type_name("SHELL")
        ->check(CLI::IsMember(CompletionShells()));
    app.set_version_flag("--version", "marrowgate-import " MG_VERSION);
    app.footer(DetectionHelp() + "\n" + ExitStatusHelp() + kExitStatusNote);

    PrepareProcess();
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp&) {
        Write(Stream::Out, app.help());
        return 0;
    } catch (const CLI::CallForVersion&) {
        Write(Stream::Out, "marrowgate-import " MG_VERSION "\n");
        return 0;
    } catch (const CLI::ParseError& e) {
        ReportError(std::string(e.what()) + "\nTry 'marrowgate-import --help'.");
        return ExitStatusOf(ExitCause::Usage);
    }

    if (!options.completion.empty()) {
        Write(Stream::Out, CompletionScript(app, options.completion));
        int error = 0;
        return FinishOutput(error) ? 0 : ExitStatusOf(ExitCause::StandardOutputFailed);
    }
    try {
        CatchStopRequests(g_stop);
        const int status = Run(options);
        // What was printed as output must have arrived, as for ls and tar.
        int error = 0;
        if (!FinishOutput(error)) {
            ReportProblem("standard output", "cannot write", error);
            return status != 0 ? status : ExitStatusOf(ExitCause::StandardOutputFailed);
        }
        return status;
    } catch (const std::bad_alloc&) {
        Write(Stream::Err, "\n");  // past a progress line
        ReportError("out of memory");
    } catch (const std::exception& e) {
        Write(Stream::Err, "\n");
        ReportError(e.what());
    }
    return ExitStatusOf(ExitCause::Internal);
}
