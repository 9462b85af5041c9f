// CopyDiscFolders: opendir, then mkdir (failing when DATA or FMV exists), then the tree,
// depth first in name order; files completed before a failure stay.
#include "DiscCopy.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Folders.h"
#include "Progress.h"
#include "disc/DataPiece.h"
#include "iso/FileSystem.h"
#include "iso/OutputName.h"

namespace {

// One read of a disc file at a time: large enough for few system calls.
constexpr size_t kCopyBufferSize = 512 * 1024;
// Far deeper than any disc; a mount cannot loop without links, which are not followed.
constexpr int kMaxDepth = 64;
const char* const kGameFolders[] = {"DATA", "FMV"};

// The folder's entries, sorted, without "." and ".."; false when it cannot be listed.
bool ListFolder(const std::string& folder, std::vector<std::string>& names, int& error) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    error = errno;
    closedir(dir);
    std::sort(names.begin(), names.end());
    return error == 0;
}

// Visits every folder and file under `folder` (links not followed), `depth` levels down.
void Walk(const std::string& folder, int depth, const std::function<void(const std::string&, const struct stat&)>& visit) {
    std::vector<std::string> names;
    int error = 0;
    if (depth > kMaxDepth || !ListFolder(folder, names, error)) return;
    for (const std::string& name : names) {
        struct stat info;
        const std::string path = folder + "/" + name;
        if (lstat(path.c_str(), &info) != 0) continue;
        visit(name, info);
        if (S_ISDIR(info.st_mode)) Walk(path, depth + 1, visit);
    }
}

std::string SourceFolder(const std::string& mount, const char* name) {
    const std::string found = FindEntryIgnoringCase(mount, name);
    return found.empty() ? mount + "/" + name : found;
}

std::string Upper(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

class CopyRun {
public:
    CopyRun(const DiscCopyOptions& options, ConsoleObserver& console) : m_options(options), m_console(console) {}

    DiscCopyResult result = DiscCopyResult::Ok;
    bool ended = false;  // the output is full, or a stop was asked for

    void Fail(DiscCopyResult cause, const std::string& path, const std::string& what, int error) {
        if (result == DiscCopyResult::Ok) result = cause;
        m_console.Problem(path, what, error);
        ended = ended || (cause == DiscCopyResult::OutputFailed && IsOutputFull(error));
    }

    // Copies one file under its temporary name, renamed into place when complete; on
    // failure reports the side that failed and leaves nothing behind.
    void CopyFile(const std::string& source, const OutputFolder& folder, const std::string& name,
                  const std::string& shown) {
        const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (in < 0) return Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
        FILE* out = folder.CreateTemporary(name);
        if (!out) {
            const int error = errno;
            close(in);
            return Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", error);
        }
        m_console.OnFile(shown, 0);
        const bool copied = Pump(in, out, source, folder.PathOf(name));
        close(in);
        const bool closed = std::fclose(out) == 0;
        if (copied && !closed) Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", errno);
        const int error = copied && closed ? folder.Commit(name) : 0;
        if (error != 0) Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", error);
        if (!copied || !closed || error != 0) folder.Discard(name);
    }

    // Copies the tree at `source` into `parent`'s new folder `name`; false on any failure.
    bool CopyFolder(const std::string& source, const OutputFolder& parent, const std::string& name,
                    const std::string& shown, int depth) {
        std::vector<std::string> names;
        int error = 0;
        // The source is listed first: a disc taken out leaves no empty folder behind.
        if (!ListFolder(source, names, error) && names.empty()) {
            Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", error);
            return false;
        }
        OutputFolder folder;
        const int made = parent.OpenSubfolder(name, folder, true);
        if (made != 0) {
            Fail(DiscCopyResult::OutputFailed, parent.PathOf(name), "cannot write", made);
            return false;
        }
        if (error != 0) Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", error);
        const DiscCopyResult before = result;
        for (const std::string& entry : names) {
            if (ended) break;
            const std::string from = source + "/" + entry;
            struct stat info;
            if (lstat(from.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
                continue;  // links and devices on the disc are not followed
            const std::string outName = m_options.upperCaseNames ? Upper(entry) : entry;
            if (!IsSafeName(outName) || IsTemporaryName(outName)) {
                Fail(DiscCopyResult::UnsafeName, from, "name not safe to create", 0);
                continue;
            }
            if (S_ISREG(info.st_mode)) CopyFile(from, folder, outName, shown + "/" + outName);
            else if (depth < kMaxDepth) CopyFolder(from, folder, outName, shown + "/" + outName, depth + 1);
        }
        return result == before;
    }

private:
    // Reads `in` to its end into `out`; false (said) on a failure or a stop.
    bool Pump(int in, FILE* out, const std::string& source, const std::string& destination) {
        std::vector<unsigned char> buffer(kCopyBufferSize);
        for (;;) {
            if (m_options.stop && m_options.stop->load() != 0) {
                if (result == DiscCopyResult::Ok) result = DiscCopyResult::Stopped;
                m_console.Problem(source, "interrupted", 0);
                ended = true;
                return false;
            }
            const ssize_t got = read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
                return false;
            }
            if (got == 0) return true;
            const int error = WritePieces(out, {DataPiece{buffer.data(), static_cast<uint32_t>(got)}});
            if (error != 0) {
                Fail(DiscCopyResult::OutputFailed, destination, "cannot write", error);
                return false;
            }
            m_console.OnBytesWritten(static_cast<uint32_t>(got));
        }
    }

    const DiscCopyOptions& m_options;
    ConsoleObserver& m_console;
};

}  // namespace

DiscTotals CountDiscFolders(const std::string& mount) {
    DiscTotals totals;
    for (const char* folder : kGameFolders) {
        Walk(SourceFolder(mount, folder), 0, [&](const std::string&, const struct stat& info) {
            if (!S_ISREG(info.st_mode)) return;
            ++totals.files;
            totals.bytes += static_cast<uint64_t>(info.st_size);
        });
    }
    return totals;
}

bool DiscNamesAreLowerCase(const std::string& mount) {
    bool lower = true;
    for (const char* folder : kGameFolders) {
        Walk(SourceFolder(mount, folder), 0, [&](const std::string& name, const struct stat&) {
            lower = lower && std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        });
    }
    return lower;
}

DiscCopyResult CopyDiscFolders(const std::string& mount, const std::string& outputRoot, const DiscCopyOptions& options,
                               ConsoleObserver& console) {
    CopyRun run(options, console);
    OutputFolder root;
    const int error = root.Open(outputRoot);
    if (error != 0) {
        run.Fail(DiscCopyResult::OutputFailed, outputRoot, "cannot write", error);
        return run.result;
    }
    for (const char* folder : kGameFolders) {
        if (!run.CopyFolder(SourceFolder(mount, folder), root, folder, folder, 0) || run.ended) break;
    }
    return run.result;
}
