// What the text sheets (cue, toc, CloneCD's ccd) share: a bounded read, numbered lines,
// words and quoted names, MSF times, and finding the files they name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Container.h"
#include "text/Utf8.h"

// Far beyond any real sheet (a 99-track cue is a few KiB); a longer file is refused unread.
constexpr uint64_t kSheetLimit = 1 << 20;
constexpr size_t kLineLimit = 4096;

// A track type a sheet names ("MODE1/2352", "MODE1_RAW"), and how its sectors are stored.
struct SheetTrackType {
    const char* name;
    SectorFormat format;
    uint32_t bytes;
    bool data;
};

struct SheetLine {
    int number;
    std::string text;
};

// The whole of the opened file, or false with the problem: larger than `limit` for its
// `kind` ("an Alcohol descriptor"), or cut short while read.
bool ReadWholeFile(const FileHead& file, const char* kind, uint64_t limit, std::string& bytes, DiscProblem& problem);

// The lines of the sheet (CR LF or LF; a UTF-8 byte order mark dropped), or false with the
// problem: larger than kSheetLimit for its `kind` ("a cue sheet"), a line over kLineLimit.
bool ReadSheetLines(const FileHead& sheet, const char* kind, std::vector<SheetLine>& lines, DiscProblem& problem);

// A line's words: runs of non-space, or text in double or single quotes (quotes dropped).
// False when a quote is not closed.
bool SplitWords(const std::string& line, std::vector<std::string>& words);

// "mm:ss:ff" as frames (75 a second); false unless ss < 60 and ff < 75.
bool ParseMsf(const std::string& text, uint32_t& frames);
// A decimal count; false for anything else, or past `limit`.
bool ParseCount(const std::string& text, uint64_t limit, uint64_t& value);

// The problem "SHEET: line N: WHAT".
bool SheetError(DiscProblem& problem, const std::string& path, int line, const std::string& what);

// The path of the file `name` that the sheet at `sheetPath` names: relative to the sheet's
// folder, "\" taken as a separator, a Windows path's folders dropped, and where no file has
// that name, one whose name differs only in ASCII case.
std::string SheetFilePath(const std::string& sheetPath, const std::string& name);

// `path` with its extension replaced by `extension` (".img"), or a file beside it whose
// name differs from that only in case; "" when there is none.
std::string CompanionPath(const std::string& path, const std::string& extension);

// True when `path` ends in `extension` (".bin"), in any case.
bool HasExtension(const std::string& path, const std::string& extension);

// The paths of the files in the folder of `path` whose names end in `extension`, in any
// case (at most `limit` of them, sorted).
std::vector<std::string> FilesBeside(const std::string& path, const std::string& extension, size_t limit);

// True when `a` and `b` name the same file: the same folder, names the same but for ASCII case.
bool SameFileName(const std::string& a, const std::string& b);

