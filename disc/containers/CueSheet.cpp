// CUE sheets: FILE, TRACK, INDEX, PREGAP and POSTGAP, as CDRWIN, EAC, redump and chdman
// write them; keywords in any case, names quoted or not (the type is the last word).
//
// INDEX times count from the start of the most recent FILE. A track's sectors in a file
// run from its first INDEX there to the next track's, or to the file's end; PREGAP and
// POSTGAP are made-up sectors in no file. A track goes on in the next FILE when that file
// starts with an INDEX of it (INDEX 02, say) rather than a TRACK. Disc address 0 is track
// 1's INDEX 01.
#include <algorithm>
#include <cstring>

#include "Container.h"
#include "Sheet.h"

namespace {

const SheetTrackType kTrackTypes[] = {
    {"AUDIO", SectorFormat::Audio, 2352, false},      {"CDG", SectorFormat::Audio, 2448, false},
    {"MODE1/2048", SectorFormat::Cooked, 2048, true}, {"MODE1/2352", SectorFormat::RawMode1Or2, 2352, true},
    {"MODE2/2048", SectorFormat::Cooked, 2048, true}, {"MODE2/2336", SectorFormat::Mode2NoHeader, 2336, true},
    {"CDI/2336", SectorFormat::Mode2NoHeader, 2336, true},    {"MODE2/2352", SectorFormat::RawMode1Or2, 2352, true},
    {"CDI/2352", SectorFormat::RawMode1Or2, 2352, true},
};

const char* const kFileTypes[] = {"BINARY", "MOTOROLA", "WAVE", "AIFF", "MP3", "FLAC", "OGG"};
// Commands that say nothing about where sectors lie.
const char* const kIgnored[] = {"REM", "CATALOG", "CDTEXTFILE", "TITLE", "PERFORMER", "SONGWRITER", "COMPOSER",
                                "ARRANGER", "MESSAGE", "ISRC", "FLAGS", "DISC_ID", "GENRE", "TOC_INFO1",
                                "TOC_INFO2", "UPC_EAN", "SIZE_INFO"};

struct CueFile {
    std::string path;
    std::shared_ptr<ByteSource> source;
    uint64_t size = 0;
    bool binary = true;  // BINARY or MOTOROLA: sectors from the first byte
};

struct CueTrack {
    int number = 0, line = 0;
    SheetTrackType type{};
    int index1File = -1;
    uint32_t index1 = 0;       // frames into that file
    uint64_t gapAtIndex1 = 0;  // made-up frames before INDEX 01 in that file
};

// Where a track's sectors begin in a file: its first INDEX there.
struct Segment {
    size_t track;
    uint32_t start;
};

struct CueParse {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    std::vector<std::vector<Segment>> segments;  // per file
    std::vector<uint64_t> gaps;                   // made-up frames per file
};

bool ParseLine(const FileHead& head, DiscFiles& files, const SheetLine& line, CueParse& cue, uint32_t& lastIndex,
               DiscProblem& problem) {
    std::vector<std::string> words;
    if (!SplitWords(line.text, words)) return SheetError(problem, head.path, line.number, "a quote is not closed");
    if (words.empty()) return true;
    const std::string command = UpperAscii(words[0]);
    const auto error = [&](const std::string& what) { return SheetError(problem, head.path, line.number, what); };
    if (std::find_if(std::begin(kIgnored), std::end(kIgnored), [&](const char* k) { return command == k; }) != std::end(kIgnored))
        return true;
    if (command == "FILE") {
        if (words.size() < 3) return error("FILE needs a name and a type");
        // Unquoted names may hold spaces: the type is the last word, the name all before it.
        const std::string type = UpperAscii(words.back());
        std::string name = words[1];
        for (size_t i = 2; i + 1 < words.size(); ++i) name += " " + words[i];
        if (std::find_if(std::begin(kFileTypes), std::end(kFileTypes), [&](const char* k) { return type == k; }) == std::end(kFileTypes))
            return error("unknown file type " + words.back());
        CueFile file;
        file.path = SheetFilePath(head.path, name);
        file.binary = type == "BINARY" || type == "MOTOROLA";
        FileHead opened;
        if (!files.Open(file.path, opened, problem)) return false;
        file.source = opened.source;
        file.size = opened.size;
        if (!file.binary && file.size >= 44) file.size -= 44;  // a WAVE file's header, near enough
        cue.files.push_back(file);
        cue.segments.emplace_back();
        cue.gaps.push_back(0);
        lastIndex = 0;
        return true;
    }
    if (command == "TRACK") {
        if (cue.files.empty()) return error("TRACK before any FILE");
        uint64_t number = 0;
        if (words.size() != 3 || !ParseCount(words[1], 99, number) || number == 0) return error("TRACK needs a number from 1 to 99 and a type");
        const int expected = cue.tracks.empty() ? -1 : cue.tracks.back().number + 1;
        if (expected > 0 && static_cast<int>(number) != expected)
            return error("track " + words[1] + " where track " + std::to_string(expected) + " should follow");
        const std::string type = UpperAscii(words[2]);
        const auto found = std::find_if(std::begin(kTrackTypes), std::end(kTrackTypes), [&](const SheetTrackType& t) { return type == t.name; });
        if (found == std::end(kTrackTypes)) return error("unknown track type " + words[2]);
        if (found->data && !cue.files.back().binary) return error("a data track in an audio file (not BINARY)");
        if (!cue.tracks.empty() && cue.tracks.back().index1File < 0)
            return SheetError(problem, head.path, cue.tracks.back().line, "track " + std::to_string(cue.tracks.back().number) + " has no INDEX 01");
        CueTrack track;
        track.number = static_cast<int>(number);
        track.line = line.number;
        track.type = *found;
        cue.tracks.push_back(track);
        return true;
    }
    if (command == "INDEX" || command == "PREGAP" || command == "POSTGAP") {
        if (cue.tracks.empty()) return error(command + " before any TRACK");
        const bool index = command == "INDEX";
        uint64_t number = 0;
        uint32_t frames = 0;
        if (words.size() != (index ? 3u : 2u) || (index && !ParseCount(words[1], 99, number)))
            return error(index ? "INDEX needs a number and a time" : command + " needs a time");
        if (!ParseMsf(words.back(), frames)) return error("bad time " + words.back() + " (mm:ss:ff, seconds under 60, frames under 75)");
        const size_t file = cue.files.size() - 1;
        CueTrack& track = cue.tracks.back();
        if (!index) {
            cue.gaps[file] += frames;  // PREGAP counts before INDEX 01, POSTGAP before what follows
            return true;
        }
        if (frames < lastIndex) return error("INDEX time goes back (" + words[2] + ")");
        lastIndex = frames;
        auto& segments = cue.segments[file];
        if (segments.empty() || segments.back().track != cue.tracks.size() - 1) segments.push_back({cue.tracks.size() - 1, frames});
        if (number == 1) {
            if (track.index1File >= 0) return error("a second INDEX 01 for track " + std::to_string(track.number));
            track.index1File = static_cast<int>(file);
            track.index1 = frames;
            track.gapAtIndex1 = cue.gaps[file];
        }
        return true;
    }
    return error("unknown command " + words[0]);
}

// Where a track's sectors lie in one file: from its first INDEX there, in bytes.
struct Piece {
    size_t file;
    uint64_t offset, sectors;
};

// The track's sectors from its INDEX 01 on, through every file it goes on in, as one source.
// A track in one file is read from that file.
std::shared_ptr<ByteSource> TrackSource(const CueParse& cue, const std::vector<Piece>& pieces, uint32_t size, uint64_t& sectors) {
    sectors = 0;
    for (const Piece& piece : pieces) sectors += piece.sectors;
    if (pieces.size() == 1) return cue.files[pieces[0].file].source;  // read at its offset
    std::vector<JoinedSource::Range> ranges;
    for (const Piece& piece : pieces) ranges.push_back({cue.files[piece.file].source, piece.offset, piece.sectors * size});
    return std::make_shared<JoinedSource>(std::move(ranges));
}

// Places each track that has sectors, from the files' sizes and the INDEX times.
bool PlaceTracks(const FileHead& head, const CueParse& cue, DiscLayout& layout, DiscProblem& problem) {
    std::vector<std::vector<Piece>> pieces(cue.tracks.size());  // each track's, from its INDEX 01 on
    std::vector<uint32_t> firstLba(cue.tracks.size());
    int64_t fileStart = 0;
    for (size_t f = 0; f < cue.files.size(); ++f) {
        const auto& segments = cue.segments[f];
        if (segments.empty()) continue;  // a file of no track's INDEX holds none of its sectors
        // Sectors before the first INDEX (a pregap in the file that no INDEX 00 marks) come first.
        uint64_t bytes = uint64_t{segments[0].start} * cue.tracks[segments[0].track].type.bytes, frames = 0;
        for (size_t s = 0; s < segments.size(); ++s) {
            const size_t t = segments[s].track;
            const CueTrack& track = cue.tracks[t];
            const uint32_t size = track.type.bytes;
            const uint64_t left = cue.files[f].size > bytes ? cue.files[f].size - bytes : 0;
            const uint64_t length = s + 1 < segments.size() ? segments[s + 1].start - segments[s].start : left / size;
            if (length * size > left)
                return SheetError(problem, head.path, track.line, cue.files[f].path + " is shorter than its INDEX times say");
            if (track.index1File == static_cast<int>(f)) {
                const uint32_t into = track.index1 - segments[s].start;
                if (into > length) return SheetError(problem, head.path, track.line, "INDEX 01 lies past the track's end");
                pieces[t].push_back({f, bytes + uint64_t{into} * size, length - into});
                // Addresses come before the shift that puts track 1's INDEX 01 at 0: kept aside.
                firstLba[t] = static_cast<uint32_t>(fileStart + track.index1 + static_cast<int64_t>(track.gapAtIndex1));
            } else if (!pieces[t].empty()) {
                pieces[t].push_back({f, bytes, length});  // the track goes on in this file
            }
            bytes += length * size;
            frames = segments[s].start + length;
        }
        fileStart += static_cast<int64_t>(frames + cue.gaps[f]);
        if (fileStart > int64_t{kLongestDisc}) return SheetError(problem, head.path, 0, "longer than any disc");
    }
    for (size_t t = 0; t < cue.tracks.size(); ++t) {
        const CueTrack& track = cue.tracks[t];
        TrackPlace place{track.type.format, track.type.bytes, 0, firstLba[t] - firstLba[0], 0};  // later tracks lie later
        std::shared_ptr<ByteSource> source = TrackSource(cue, pieces[t], track.type.bytes, place.sectors);
        if (pieces[t].size() == 1) place.offset = pieces[t][0].offset;
        layout.tracks.push_back({track.number, track.type.data, cue.files[track.index1File].path, place, source});
    }
    return true;
}

bool ReadCue(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    std::vector<SheetLine> lines;
    if (!ReadSheetLines(head, "a cue sheet", lines, problem)) return false;
    CueParse cue;
    uint32_t lastIndex = 0;
    for (const SheetLine& line : lines) {
        if (!ParseLine(head, files, line, cue, lastIndex, problem)) return false;
    }
    if (cue.tracks.empty()) return SheetError(problem, head.path, 0, "no TRACK");
    if (cue.tracks.back().index1File < 0)
        return SheetError(problem, head.path, cue.tracks.back().line, "track " + std::to_string(cue.tracks.back().number) + " has no INDEX 01");
    return PlaceTracks(head, cue, layout, problem);
}

// A text whose first command is one a cue sheet starts with.
bool LooksLikeCue(const FileHead& head) {
    size_t start = head.first.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (head.first.find('\0') != std::string::npos) return false;
    while (start < head.first.size()) {
        const size_t end = std::min(head.first.find('\n', start), head.first.size());
        std::vector<std::string> words;
        SplitWords(head.first.substr(start, end - start), words);
        if (!words.empty()) {
            const std::string first = UpperAscii(words[0]);
            if (first == "FILE" || first == "CATALOG" || first == "CDTEXTFILE" || first == "TITLE" || first == "PERFORMER" ||
                first == "SONGWRITER")
                return true;
            // A toc file's TRACK names a mode; a cue sheet's, a number.
            if (first == "TRACK" && words.size() > 1 && words[1].find_first_not_of("0123456789") == std::string::npos) return true;
            if (first != "REM") return false;
        }
        start = end + 1;
    }
    return false;
}

const char* const kCueCompanions[] = {".bin", ".img", ".raw", nullptr};

}  // namespace

const ContainerFormat kCueSheet = {"a cue sheet", LooksLikeCue, kCueCompanions, ".cue", ReadCue};
