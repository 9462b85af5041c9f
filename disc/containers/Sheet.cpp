// Sheet text: bounded reads and small parsers shared by the sheet formats.
#include "Sheet.h"

#include <cctype>
#include <cerrno>

#include <algorithm>

#ifdef _WIN32
#include <io.h>

#include "text/Utf8.h"
#else
#include <dirent.h>
#endif

#include "disc/ImageFile.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

bool Exists(const std::string& path) {
    FILE* file = OpenFileUtf8(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

// Hands `visit` the names in `folder` ("" for the current one) until it returns true, and
// says whether it did. A folder of more entries than any rip's is not read to its end.
template <typename Visit>
bool VisitFolder(const std::string& folder, Visit visit) {
    constexpr int kMostEntries = 100000;
    bool stopped = false;
#ifdef _WIN32
    _wfinddata64_t found;
    const intptr_t search = _wfindfirst64(WidePath((folder.empty() ? "." : folder) + "\\*").c_str(), &found);
    if (search == -1) return false;
    for (int seen = 0; !stopped && seen < kMostEntries; ++seen) {
        stopped = visit(NarrowToUtf8(found.name));
        if (_wfindnext64(search, &found) != 0) break;
    }
    _findclose(search);
#else
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    for (int seen = 0; !stopped && seen < kMostEntries; ++seen) {
        const dirent* entry = readdir(dir);
        if (!entry) break;
        stopped = visit(std::string(entry->d_name));
    }
    closedir(dir);
#endif
    return stopped;
}

// The entry of `folder` named `name` without regard to ASCII case; "" when there is none.
// Windows' names ignore case already.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    (void)folder, (void)name;
    return {};
#else
    std::string found;
    VisitFolder(folder, [&](const std::string& entry) {
        if (!SameIgnoringAsciiCase(entry, name)) return false;
        found = folder + entry;
        return true;
    });
    return found;
#endif
}

}  // namespace

bool SheetError(DiscProblem& problem, const std::string& path, int line, const std::string& what) {
    return Refuse(problem, path, line > 0 ? "line " + std::to_string(line) + ": " + what : what);
}

bool ReadWholeFile(const FileHead& file, const char* kind, uint64_t limit, std::string& bytes, DiscProblem& problem) {
    if (file.size > limit) return Refuse(problem, file.path, OverLimit(kind, limit, file.size));
    bytes.assign(static_cast<size_t>(file.size), '\0');
    if (file.source->ReadAt(0, &bytes[0], bytes.size()) != bytes.size())
        return Refuse(problem, file.path, "it ends before its size says (cut short while read)");
    return true;
}

bool ReadSheetLines(const FileHead& sheet, const char* kind, std::vector<SheetLine>& lines, DiscProblem& problem) {
    const std::string& path = sheet.path;
    std::string text;
    if (!ReadWholeFile(sheet, kind, kSheetLimit, text, problem)) return false;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    lines.clear();
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++number;
        if (end - start > kLineLimit) return SheetError(problem, path, number, std::string(kind) + "'s line is at most " + std::to_string(kLineLimit) +
                                                                         " characters; this one is " + std::to_string(end - start));
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos) return SheetError(problem, path, number, "not text (a NUL byte)");
        lines.push_back({number, std::move(line)});
        start = end + 1;
    }
    return true;
}

bool SplitWords(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    for (size_t i = 0; i < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '"' || c == '\'') {
            const size_t close = line.find(static_cast<char>(c), i + 1);
            if (close == std::string::npos) return false;
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool ParseCount(const std::string& text, uint64_t limit, uint64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= limit;
}

bool ParseMsf(const std::string& text, uint32_t& frames) {
    const size_t first = text.find(':'), second = text.find(':', first == std::string::npos ? 0 : first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    uint64_t m, s, f;
    if (!ParseCount(text.substr(0, first), 999, m) || !ParseCount(text.substr(first + 1, second - first - 1), 59, s) ||
        !ParseCount(text.substr(second + 1), 74, f))
        return false;
    frames = static_cast<uint32_t>((m * 60 + s) * 75 + f);
    return true;
}

std::string SheetFilePath(const std::string& sheetPath, const std::string& name) {
    std::string relative = name;
    if (relative.size() > 2 && relative[1] == ':') relative.erase(0, 2);  // a drive letter
    if (!relative.empty() && (relative[0] == '\\' || relative[0] == '/')) {
        relative = relative.substr(relative.find_last_of("/\\") + 1);  // a Windows path: its name
    }
#ifndef _WIN32
    for (char& c : relative) {
        if (c == '\\') c = '/';
    }
#endif
    const std::string folder = FolderOf(sheetPath);
    const std::string path = folder + relative;
    if (Exists(path)) return path;
    const size_t slash = path.find_last_of('/');
    const std::string found = FindIgnoringCase(path.substr(0, slash + 1), path.substr(slash + 1));
    return found.empty() ? path : found;
}

bool HasExtension(const std::string& path, const std::string& extension) {
    return path.size() > extension.size() && SameIgnoringAsciiCase(path.substr(path.size() - extension.size()), extension);
}

std::vector<std::string> FilesBeside(const std::string& path, const std::string& extension, size_t limit) {
    const std::string folder = FolderOf(path);
    std::vector<std::string> paths;
    VisitFolder(folder, [&](const std::string& name) {
        if (HasExtension(name, extension)) paths.push_back(folder + name);
        return paths.size() >= limit;
    });
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool SameFileName(const std::string& a, const std::string& b) {
    return FolderOf(a) == FolderOf(b) && SameIgnoringAsciiCase(a.substr(FolderOf(a).size()), b.substr(FolderOf(b).size()));
}

std::string CompanionPath(const std::string& path, const std::string& extension) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    if (Exists(stem + extension)) return stem + extension;
    const std::string folder = FolderOf(path);
    return FindIgnoringCase(folder, stem.substr(folder.size()) + extension);
}
