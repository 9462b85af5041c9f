// cdrdao's TOC files: a header (CD_DA, CD_ROM, CD_ROM_XA, CD_I; CATALOG; CD_TEXT), then
// TRACK blocks, each the concatenation of its data statements: DATAFILE and FILE (or
// AUDIOFILE) ranges of files, ZERO and SILENCE made-up sectors. START ends the pregap
// inside the track's data; PREGAP makes one up. Track 1's INDEX 01 is disc address 0.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "Container.h"
#include "Sheet.h"

namespace {

const SheetTrackType kModes[] = {
    {"AUDIO", SectorFormat::Audio, 2352, false},        {"MODE1", SectorFormat::Cooked, 2048, true},
    {"MODE1_RAW", SectorFormat::RawMode1Or2, 2352, true},        {"MODE2", SectorFormat::Mode2NoHeader, 2336, true},
    {"MODE2_FORM1", SectorFormat::Cooked, 2048, true},   {"MODE2_FORM_MIX", SectorFormat::Mode2NoHeader, 2336, true},
    {"MODE2_RAW", SectorFormat::RawMode1Or2, 2352, true},
    {"MODE2_FORM2", SectorFormat::Audio, 2324, false},  // no 2048-byte sectors: nothing to read as data
};

const char* const kFlags[] = {"COPY", "NO", "PRE_EMPHASIS", "TWO_CHANNEL_AUDIO", "FOUR_CHANNEL_AUDIO"};
const char* const kDiscTypes[] = {"CD_DA", "CD_ROM", "CD_ROM_XA", "CD_I"};

struct Word {
    std::string text;
    int line;
    bool quoted;
};

// A range of the track's sectors: from a file, or made up (no file).
struct Piece {
    std::string file;  // "" for made-up sectors
    std::shared_ptr<ByteSource> source;
    uint64_t offset = 0;
    uint64_t sectors = 0;
};

struct TocTrack {
    int line = 0;
    SheetTrackType mode{};
    uint32_t stride = 0;
    std::vector<Piece> pieces;
    uint64_t start = 0;  // sectors of pregap before INDEX 01
};

uint64_t Sectors(const TocTrack& track) {
    uint64_t sectors = 0;
    for (const Piece& piece : track.pieces) sectors += piece.sectors;
    return sectors;
}

// The words of the sheet, comments dropped, quoted names kept whole.
bool Words(const FileHead& head, std::vector<Word>& words, DiscProblem& problem) {
    std::vector<SheetLine> lines;
    if (!ReadSheetLines(head, "a cdrdao TOC file", lines, problem)) return false;
    for (const SheetLine& line : lines) {
        std::string text = line.text;
        for (size_t i = 0, quoted = 0; i < text.size(); ++i) {  // "//" outside quotes starts a comment
            if (text[i] == '"' && (i == 0 || text[i - 1] != '\\')) quoted ^= 1;
            if (!quoted && text.compare(i, 2, "//") == 0) {
                text.erase(i);
                break;
            }
        }
        for (size_t i = 0; i < text.size();) {
            if (std::isspace(static_cast<unsigned char>(text[i]))) {
                ++i;
            } else if (text[i] == '"') {
                std::string value;
                size_t j = i + 1;
                for (; j < text.size() && text[j] != '"'; ++j) value += text[j] == '\\' && j + 1 < text.size() ? text[++j] : text[j];
                if (j >= text.size()) return SheetError(problem, head.path, line.number, "a quote is not closed");
                words.push_back({value, line.number, true});
                i = j + 1;
            } else if (text[i] == '{' || text[i] == '}' || text[i] == ',') {
                words.push_back({std::string(1, text[i]), line.number, false});
                ++i;
            } else {
                size_t j = i;
                while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) && !std::strchr("{}\",", text[j])) ++j;
                words.push_back({text.substr(i, j - i), line.number, false});
                i = j;
            }
        }
    }
    return true;
}

class TocParser {
public:
    TocParser(const FileHead& head, DiscFiles& files, std::vector<Word> words, DiscProblem& problem)
        : m_head(head), m_files(files), m_words(std::move(words)), m_problem(problem) {}

    bool Parse(std::vector<TocTrack>& tracks) {
        while (m_at < m_words.size()) {
            const Word& word = m_words[m_at++];
            const std::string keyword = word.quoted ? std::string() : UpperAscii(word.text);
            if (keyword == "TRACK") {
                if (!Track(tracks)) return false;
            } else if (keyword == "CD_TEXT") {
                if (!SkipBlock()) return false;
            } else if (keyword == "CATALOG" || keyword == "ISRC") {
                if (!Quoted()) return false;
            } else if (std::find(std::begin(kDiscTypes), std::end(kDiscTypes), keyword) != std::end(kDiscTypes) ||
                       std::find(std::begin(kFlags), std::end(kFlags), keyword) != std::end(kFlags)) {
                continue;
            } else if (tracks.empty()) {
                return Error(word, "unknown word " + word.text + " before the first TRACK");
            } else if (!Statement(word, keyword, tracks.back())) {
                return false;
            }
        }
        if (tracks.empty()) return SheetError(m_problem, m_head.path, 0, "no TRACK");
        return true;
    }

private:
    bool Error(const Word& word, const std::string& what) { return SheetError(m_problem, m_head.path, word.line, what); }

    const Word* Next() { return m_at < m_words.size() ? &m_words[m_at] : nullptr; }

    bool Quoted() {
        const Word* word = Next();
        if (!word || !word->quoted) return Error(m_words[m_at - 1], m_words[m_at - 1].text + " needs a quoted text");
        ++m_at;
        return true;
    }

    bool SkipBlock() {
        const Word* open = Next();
        if (!open || open->text != "{") return Error(m_words[m_at - 1], "CD_TEXT needs a { block }");
        int depth = 0;
        for (; m_at < m_words.size(); ++m_at) {
            if (m_words[m_at].quoted) continue;
            if (m_words[m_at].text == "{") ++depth;
            if (m_words[m_at].text == "}" && --depth == 0) {
                ++m_at;
                return true;
            }
        }
        return Error(*open, "a { block } is not closed");
    }

    // A length or position: mm:ss:ff (sectors), or a plain count of `unit` bytes.
    bool Amount(uint32_t unit, uint32_t sectorBytes, uint64_t& sectors, uint64_t& bytes) {
        const Word* word = Next();
        if (!word || word->quoted) return false;
        const std::string& text = word->text;
        uint32_t frames = 0;
        uint64_t count = 0;
        if (ParseMsf(text, frames)) {
            sectors = frames;
            bytes = uint64_t{frames} * sectorBytes;
        } else if (ParseCount(text, uint64_t{1} << 40, count)) {
            bytes = count * unit;
            sectors = bytes / sectorBytes;
        } else {
            return false;
        }
        ++m_at;
        return true;
    }

    bool Track(std::vector<TocTrack>& tracks) {
        const Word& track = m_words[m_at - 1];
        const Word* mode = Next();
        if (!mode) return Error(track, "TRACK needs a mode");
        const std::string name = UpperAscii(mode->text);
        const auto found = std::find_if(std::begin(kModes), std::end(kModes), [&](const SheetTrackType& m) { return name == m.name; });
        if (found == std::end(kModes)) return Error(*mode, "unknown track mode " + mode->text);
        ++m_at;
        TocTrack toc;
        toc.line = track.line;
        toc.mode = *found;
        toc.stride = found->bytes;
        if (const Word* sub = Next(); sub && !sub->quoted && (UpperAscii(sub->text) == "RW" || UpperAscii(sub->text) == "RW_RAW")) {
            toc.stride += kSubchannelBytes;
            ++m_at;
        }
        if (tracks.size() >= 99) return Error(track, "more than 99 tracks");
        tracks.push_back(toc);
        return true;
    }

    bool Statement(const Word& word, const std::string& keyword, TocTrack& track) {
        if (keyword == "DATAFILE" || keyword == "FILE" || keyword == "AUDIOFILE") return FileStatement(word, keyword, track);
        uint64_t sectors = 0, bytes = 0;
        if (keyword == "ZERO" || keyword == "SILENCE") {
            if (const Word* mode = Next(); mode && keyword == "ZERO" &&
                std::any_of(std::begin(kModes), std::end(kModes), [&](const SheetTrackType& m) { return UpperAscii(mode->text) == m.name; }))
                ++m_at;  // ZERO may name the mode of its sectors
            if (!Amount(keyword == "SILENCE" ? 4 : 1, track.stride, sectors, bytes)) return Error(word, keyword + " needs a length");
            track.pieces.push_back({"", nullptr, 0, sectors});
            return true;
        }
        if (keyword == "START" || keyword == "PREGAP") {
            if (!Amount(track.mode.data ? 1 : 4, track.stride, sectors, bytes)) {
                if (keyword == "PREGAP") return Error(word, "PREGAP needs a length");
                sectors = Sectors(track);  // START alone: the pregap is everything so far
            }
            if (keyword == "PREGAP") track.pieces.insert(track.pieces.begin(), Piece{"", nullptr, 0, sectors});
            track.start = sectors;
            return true;
        }
        if (keyword == "INDEX") {
            if (!Amount(1, track.stride, sectors, bytes)) return Error(word, "INDEX needs a time");
            return true;
        }
        if (keyword == "FIFO") return Error(word, "FIFO data cannot be read from a file");
        return Error(word, "unknown word " + word.text);
    }

    bool FileStatement(const Word& word, const std::string& keyword, TocTrack& track) {
        if (!Quoted()) return false;
        const std::string path = SheetFilePath(m_head.path, m_words[m_at - 1].text);
        uint64_t offset = 0, sectors = 0, bytes = 0, count = 0;
        FileHead file;
        if (!m_files.Open(path, file, m_problem)) return false;
        const uint64_t size = file.size;
        if (const Word* at = Next(); at && !at->quoted && at->text.size() > 1 && at->text[0] == '#') {
            if (!ParseCount(at->text.substr(1), uint64_t{1} << 40, count)) return Error(*at, "bad offset " + at->text);
            offset = count;
            ++m_at;
        }
        const uint32_t unit = track.mode.data ? 1 : 4;  // audio counts samples of 4 bytes
        if (keyword != "DATAFILE") {  // FILE names where in the file the range starts
            if (!Amount(unit, track.stride, sectors, bytes)) return Error(word, keyword + " needs a start");
            offset += bytes;
        }
        if (offset > size) return Error(word, path + " is shorter than the range it is asked for");
        if (!Amount(unit, track.stride, sectors, bytes)) sectors = (size - offset) / track.stride;  // to the file's end
        else if (offset + sectors * track.stride > size) return Error(word, path + " is shorter than the range it is asked for");
        track.pieces.push_back({path, file.source, offset, sectors});
        return true;
    }

    const FileHead& m_head;
    DiscFiles& m_files;
    std::vector<Word> m_words;
    DiscProblem& m_problem;
    size_t m_at = 0;
};

// The track's sectors from its INDEX 01 on (`start` sectors in), through all its pieces, as
// one source; a track of one file's range is read from that file.
bool PlaceTrack(const TocTrack& track, DiscTrack& disc) {
    std::vector<JoinedSource::Range> ranges;
    uint64_t into = track.start;
    for (const Piece& piece : track.pieces) {
        if (into >= piece.sectors) {
            into -= piece.sectors;
            continue;
        }
        if (ranges.empty() && !piece.source && track.mode.data) return false;  // data that starts in made-up sectors
        if (ranges.empty()) disc.file = piece.file;
        ranges.push_back({piece.source, piece.offset + into * track.stride, (piece.sectors - into) * track.stride});
        into = 0;
    }
    if (ranges.empty()) return true;
    uint64_t sectors = 0;
    for (const JoinedSource::Range& range : ranges) sectors += range.size / track.stride;
    disc.place.sectors = sectors;
    if (ranges.size() == 1 && ranges[0].source) {
        disc.place.offset = ranges[0].offset;
        disc.source = ranges[0].source;
    } else {
        disc.source = std::make_shared<JoinedSource>(std::move(ranges));
    }
    return true;
}

// Each track starts where the one before ends; its INDEX 01 lies `start` sectors in.
bool PlaceTocTracks(const FileHead& head, const std::vector<TocTrack>& tracks, DiscLayout& layout, DiscProblem& problem) {
    uint64_t address = 0;
    const uint64_t base = tracks.front().start;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const TocTrack& track = tracks[t];
        const uint64_t length = Sectors(track);
        if (track.start > length) return SheetError(problem, head.path, track.line, "its START lies past its end");
        DiscTrack disc{static_cast<int>(t + 1), track.mode.data, "", {}, nullptr};
        disc.place = {track.mode.format, track.stride, 0, static_cast<uint32_t>(address + track.start - base), 0};
        if (!PlaceTrack(track, disc)) return SheetError(problem, head.path, track.line, "its data starts in made-up (ZERO) sectors");
        if (!disc.source && track.mode.data) return SheetError(problem, head.path, track.line, "a data track with no data");
        if (disc.source) layout.tracks.push_back(disc);
        address += length;
        if (address > kLongestDisc) return SheetError(problem, head.path, track.line, "longer than any disc");
    }
    return true;
}

bool ReadToc(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    std::vector<Word> words;
    if (!Words(head, words, problem)) return false;
    std::vector<TocTrack> tracks;
    TocParser parser(head, files, std::move(words), problem);
    return parser.Parse(tracks) && PlaceTocTracks(head, tracks, layout, problem);
}

// A text whose first word (after comments) is a disc type, CATALOG, or TRACK and a mode.
bool LooksLikeToc(const FileHead& head) {
    if (head.first.find('\0') != std::string::npos) return false;
    for (size_t start = 0; start < head.first.size();) {
        const size_t end = std::min(head.first.find('\n', start), head.first.size());
        std::vector<std::string> words;
        SplitWords(head.first.substr(start, end - start), words);
        start = end + 1;
        if (words.empty() || words[0].compare(0, 2, "//") == 0) continue;
        const std::string first = UpperAscii(words[0]);
        if (first == "CATALOG" && words.size() > 1) continue;  // a cue sheet's CATALOG too: what follows decides
        if (std::find(std::begin(kDiscTypes), std::end(kDiscTypes), first) != std::end(kDiscTypes)) return true;
        if (first == "TRACK" && words.size() > 1)
            return std::any_of(std::begin(kModes), std::end(kModes), [&](const SheetTrackType& m) { return UpperAscii(words[1]) == m.name; });
        return false;
    }
    return false;
}

const char* const kTocCompanions[] = {".bin", ".img", ".raw", nullptr};

}  // namespace

const ContainerFormat kTocFile = {"a cdrdao TOC file", LooksLikeToc, kTocCompanions, ".toc", ReadToc};
