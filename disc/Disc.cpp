// Opening a disc, one way through: the named file is opened once and its head read; the
// table of containers decides from that head; the chosen container opens its companions
// (each once); and the track list it gives becomes the disc's reader. A data file named
// alone is read through the sheet beside it that describes it, where there is one.
#include "Disc.h"

#include "DiscReader.h"
#include "containers/Container.h"
#include "containers/Sheet.h"

namespace {

const ContainerFormat& RecognizedContainer(const FileHead& head) {
    const ContainerFormat* const* format = Containers();
    while (!(*format)->recognizes(head)) ++format;  // the bare image takes any file
    return **format;
}

// Whether `layout` lists `data` as a file of its tracks.
bool Names(const DiscLayout& layout, const std::string& data) {
    for (const DiscTrack& track : layout.tracks) {
        if (SameFileName(track.file, data)) return true;
    }
    return false;
}

// The sheet beside a data file that describes it, read: the one of the same name
// (game.cue for game.bin), else one that names it (Game.cue for "Game (Track 2).bin").
// False when there is none.
bool ReadSheetBeside(const std::string& path, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    constexpr size_t kSheetsLookedAt = 32;
    for (const ContainerFormat* const* format = Containers(); *format; ++format) {
        for (const char* const* data = (*format)->companionOf; data && *data; ++data) {
            if (!HasExtension(path, *data)) continue;
            const std::string sameName = CompanionPath(path, (*format)->extension);
            FileHead head;
            DiscProblem ignored;
            if (!sameName.empty() && files.Open(sameName, head, ignored) && (*format)->recognizes(head)) {
                (*format)->read(head, files, layout, problem);  // its problem, if any, is the disc's
                return true;
            }
            for (const std::string& sheet : FilesBeside(path, (*format)->extension, kSheetsLookedAt)) {
                DiscLayout named;
                if (files.Open(sheet, head, ignored) && (*format)->recognizes(head) &&
                    (*format)->read(head, files, named, ignored) && Names(named, path)) {
                    layout = std::move(named);
                    return true;
                }
            }
        }
    }
    return false;
}

OpenedDisc ReadLayout(const DiscLayout& layout, const std::string& path) {
    OpenedDisc opened;
    std::vector<TrackOnDisc> tracks;
    bool anyData = false;
    for (const DiscTrack& track : layout.tracks) {
        tracks.push_back({track.number, track.data, track.place, track.source});
        anyData = anyData || track.data;
    }
    if (!anyData) {
        opened.problem = {DiscFault::NoDataTrack, path, 0,
                          "a disc with no data track (" + std::to_string(layout.tracks.size()) + " audio tracks)"};
        return opened;
    }
    opened.reader = std::make_unique<DiscReader>(std::move(tracks));
    opened.notAnImage = layout.notAnImage;
    return opened;
}

}  // namespace

OpenedDisc OpenDisc(const std::string& path) {
    DiscFiles files;
    FileHead head;
    DiscLayout layout;
    OpenedDisc failed;
    if (!files.Open(path, head, failed.problem)) return failed;
    const ContainerFormat& format = RecognizedContainer(head);
    if (&format != &kBareImage || !ReadSheetBeside(path, files, layout, failed.problem))
        format.read(head, files, layout, failed.problem);
    if (failed.problem.fault != DiscFault::None) return failed;
    return ReadLayout(layout, head.path);
}
