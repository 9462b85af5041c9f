// Opening a disc: which container a file is, its first data track, and that track's reader.
#include "Disc.h"

#include <cerrno>

#include "Container.h"
#include "ImageFile.h"
#include "ImageFormat.h"
#include "Sheet.h"
#include "TrackReader.h"

namespace {

FileHead ReadHead(const std::string& path, FILE* file) {
    FileHead head;
    head.path = path;
    head.size = FileSize64(file);
    char buffer[kHeadBytes];
    if (SeekFile64(file, 0)) head.first.assign(buffer, std::fread(buffer, 1, sizeof buffer, file));
    if (head.size != UINT64_MAX && head.size >= 16 && SeekFile64(file, head.size - 16)) {
        head.last.assign(buffer, std::fread(buffer, 1, 16, file));
    }
    SeekFile64(file, 0);
    return head;
}

// The reader of the track at `place` in `source`, at the address its sectors record.
std::unique_ptr<FileReader> ReadTrack(std::shared_ptr<ByteSource> source, TrackPlace place) {
    place.firstLba = RecordedTrackStart(*source, place);
    return std::make_unique<TrackReader>(std::move(source), place);
}

// The first data track of `layout`, opened.
OpenedDisc OpenDataTrack(const DiscLayout& layout) {
    OpenedDisc opened;
    for (const DiscTrack& track : layout.tracks) {
        if (!track.data) continue;
        if (track.source) {
            opened.reader = ReadTrack(track.source, track.place);
            return opened;
        }
        std::string refusal;
        FILE* file = OpenImageFileUtf8(track.file, refusal);
        if (!file) {
            opened.problem = {DiscFault::NotOpened, track.file, refusal.empty() ? errno : 0, refusal};
            return opened;
        }
        opened.reader = ReadTrack(std::make_shared<FileSource>(file), track.place);
        return opened;
    }
    opened.problem = {DiscFault::NoDataTrack, "", 0,
                      "a disc with no data track (" + std::to_string(layout.tracks.size()) + " audio tracks)"};
    return opened;
}

OpenedDisc ReadContainer(const ContainerFormat& format, const FileHead& head) {
    DiscLayout layout;
    DiscProblem problem;
    if (!format.read(head, layout, problem)) {
        OpenedDisc failed;
        failed.problem = problem;
        return failed;
    }
    OpenedDisc opened = OpenDataTrack(layout);
    if (opened.problem.fault == DiscFault::NoDataTrack) opened.problem.path = head.path;
    return opened;
}

const ContainerFormat* RecognizedContainer(const FileHead& head) {
    for (const ContainerFormat* const* format = Containers(); *format; ++format) {
        if (!head.path.empty() && (*format)->recognizes(head)) return *format;
    }
    return nullptr;
}

FileHead HeadOf(const std::string& path) {
    std::string ignored;
    FILE* file = OpenImageFileUtf8(path, ignored);
    if (!file) return {};
    const FileHead head = ReadHead(path, file);
    std::fclose(file);
    return head;
}

// Whether the container at `sheet` lists `data` as a file of its tracks.
bool Names(const ContainerFormat& format, const FileHead& sheet, const std::string& data) {
    DiscLayout layout;
    DiscProblem ignored;
    if (!format.recognizes(sheet) || !format.read(sheet, layout, ignored)) return false;
    for (const DiscTrack& track : layout.tracks) {
        if (SameFileName(track.file, data)) return true;
    }
    return false;
}

// The sheet beside a data file that describes it: the one of the same name (game.cue for
// game.bin), else one that names it (Game.cue for "Game (Track 2).bin"); none: no path.
FileHead FindSheetOf(const std::string& path) {
    constexpr size_t kSheetsLookedAt = 32;
    for (const ContainerFormat* const* format = Containers(); *format; ++format) {
        for (const char* const* data = (*format)->companionOf; data && *data; ++data) {
            if (!HasExtension(path, *data)) continue;
            const std::string sameName = CompanionPath(path, (*format)->extension);
            const FileHead sameNameHead = sameName.empty() ? FileHead{} : HeadOf(sameName);
            if (!sameName.empty() && (*format)->recognizes(sameNameHead)) return sameNameHead;
            for (const std::string& sheet : FilesBeside(path, (*format)->extension, kSheetsLookedAt)) {
                const FileHead head = HeadOf(sheet);
                if (Names(**format, head, path)) return head;
            }
        }
    }
    return {};
}

// A bare image or device: its layout told from where the volume descriptor lies.
OpenedDisc OpenBare(FILE* file) {
    OpenedDisc opened;
    const BareLayout layout = DetectBareLayout(file);
    if (!layout.found) opened.notAnImage = DescribeNonImage(file, FileSize64(file));
    opened.reader = ReadTrack(std::make_shared<FileSource>(file), layout.place);
    return opened;
}

}  // namespace

OpenedDisc OpenDisc(const std::string& path) {
    std::string refusal;
    FILE* file = OpenImageFileUtf8(path, refusal);
    if (!file) {
        OpenedDisc failed;
        failed.problem = {DiscFault::NotOpened, path, refusal.empty() ? errno : 0, refusal};
        return failed;
    }
    const FileHead head = ReadHead(path, file);
    if (const ContainerFormat* format = RecognizedContainer(head)) {
        std::fclose(file);
        return ReadContainer(*format, head);
    }
    const FileHead sheet = FindSheetOf(path);
    if (const ContainerFormat* format = RecognizedContainer(sheet)) {
        std::fclose(file);
        return ReadContainer(*format, sheet);
    }
    return OpenBare(file);
}
