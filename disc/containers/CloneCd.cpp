// CloneCD: the .ccd sheet (an INI file: [CloneCD], [Disc], [Session n], [Entry n] for each
// table-of-contents point, [TRACK n]) beside the .img of every sector, 2352 bytes each from
// disc address 0, and the optional .sub of their subchannel.
//
// Points 1 to 99 are tracks: PLBA is where INDEX 01 lies, Control bit 4 marks data; point
// A2 is the lead-out, where the last track ends.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>

#include "Container.h"
#include "Sheet.h"

namespace {

using Section = std::map<std::string, std::string>;  // keys upper-cased

bool ParseNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const bool negative = !hex && text[0] == '-';
    value = 0;
    for (size_t i = hex ? 2 : negative ? 1 : 0; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        const int digit = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = value * (hex ? 16 : 10) + digit;
    }
    if (negative) value = -value;
    return true;
}

struct Point {
    int64_t number = -1, control = 0, lba = -1, session = 1;
};

bool ReadCcd(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    std::vector<SheetLine> lines;
    if (!ReadSheetLines(head, "a CloneCD sheet", lines, problem)) return false;
    std::map<std::string, Section> sections;
    std::map<std::string, int> sectionLines;
    std::string current;
    for (const SheetLine& line : lines) {
        const size_t start = line.text.find_first_not_of(" \t");
        if (start == std::string::npos || line.text[start] == ';') continue;
        const std::string text = line.text.substr(start);
        if (text[0] == '[') {
            const size_t close = text.find(']');
            if (close == std::string::npos) return SheetError(problem, head.path, line.number, "a section name without ']'");
            current = UpperAscii(text.substr(1, close - 1));
            sectionLines[current] = line.number;
            if (sections.size() > 1000) return SheetError(problem, head.path, line.number, "more sections than any disc has");
            sections[current];
            continue;
        }
        const size_t equals = text.find('=');
        if (equals == std::string::npos || current.empty()) return SheetError(problem, head.path, line.number, "not KEY=VALUE in a section");
        std::string key = UpperAscii(text.substr(0, equals)), value = text.substr(equals + 1);
        key.erase(key.find_last_not_of(" \t") + 1);
        value.erase(0, std::min(value.find_first_not_of(" \t"), value.size()));
        value.erase(value.find_last_not_of(" \t") + 1);
        sections[current][key] = value;
    }
    if (!sections.count("CLONECD")) return SheetError(problem, head.path, 0, "no [CloneCD] section");
    if (sections["DISC"]["DATATRACKSSCRAMBLED"] == "1")
        return SheetError(problem, head.path, sectionLines["DISC"], "its data tracks are stored scrambled (DataTracksScrambled=1)");

    std::vector<Point> tracks;
    int64_t leadOut = -1;
    for (const auto& section : sections) {
        const std::string& name = section.first;
        const Section& keys = section.second;
        if (name.compare(0, 6, "ENTRY ") != 0) continue;
        Point point;
        const auto number = [&](const char* key, int64_t& value) {
            const auto found = keys.find(key);
            return found != keys.end() && ParseNumber(found->second, value);
        };
        int64_t minute, second, frame;
        if (!number("POINT", point.number) || !number("CONTROL", point.control) ||
            !(number("PLBA", point.lba) ||
              (number("PMIN", minute) && number("PSEC", second) && number("PFRAME", frame) &&
               ((point.lba = (minute * 60 + second) * 75 + frame - 150), true))))
            return SheetError(problem, head.path, sectionLines[name], "[" + name + "] lacks Point, Control or PLBA");
        number("SESSION", point.session);
        if (point.number == 0xA2 && point.session == 1) leadOut = point.lba;
        if (point.number >= 1 && point.number <= 99) tracks.push_back(point);
    }
    if (tracks.empty()) return SheetError(problem, head.path, 0, "no track in its table of contents");
    std::sort(tracks.begin(), tracks.end(), [](const Point& a, const Point& b) { return a.number < b.number; });

    const std::string imagePath = CompanionPath(head.path, ".img");
    if (imagePath.empty()) {
        const size_t dot = head.path.find_last_of('.');
        problem = {DiscFault::NotOpened, head.path.substr(0, dot) + ".img", ENOENT, ""};
        return false;
    }
    FileHead image;
    if (!files.Open(imagePath, image, problem)) return false;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Point& track = tracks[i];
        if (track.lba < 0 || track.lba > kLongestDisc) return SheetError(problem, head.path, 0, "track " + std::to_string(track.number) + " lies off the disc");
        const int64_t end = i + 1 < tracks.size() ? tracks[i + 1].lba : leadOut;
        TrackPlace place{SectorFormat::RawMode1Or2, kRawSectorBytes, static_cast<uint64_t>(track.lba) * kRawSectorBytes, static_cast<uint32_t>(track.lba),
                         end > track.lba ? static_cast<uint64_t>(end - track.lba) : TrackPlace::kToTheEnd};
        const bool data = (track.control & 0x04) != 0;
        if (data && track.session != 1) return SheetError(problem, head.path, 0, "its first data track is in a later session");
        layout.tracks.push_back({static_cast<int>(track.number), data, image.path, place, image.source});
    }
    return true;
}

bool LooksLikeCcd(const FileHead& head) {
    const size_t start = head.first.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return start != std::string::npos && UpperAscii(head.first.substr(start, 9)) == "[CLONECD]";
}

const char* const kCcdCompanions[] = {".img", ".sub", nullptr};

}  // namespace

const ContainerFormat kCloneCd = {"a CloneCD sheet", LooksLikeCcd, kCcdCompanions, ".ccd", ReadCcd};
