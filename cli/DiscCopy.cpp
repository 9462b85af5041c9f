// CopyDiscFolders: the source listed, then its copy made (failing when DATA or FMV
// exists), then the tree, depth first in name order; files completed before a failure stay.
#include "DiscCopy.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <vector>

#include "Folders.h"
#include "Progress.h"
#include "disc/DataPiece.h"
#include "iso/FileSystem.h"
#include "iso/IsoExtract.h"
#include "iso/OutputName.h"
#include "text/Utf8.h"

namespace {

// One read of a disc file at a time: large enough for few system calls.
constexpr size_t kCopyBufferSize = 512 * 1024;
// Far deeper than any disc: as deep as the image walk goes, which counts the disc's root as
// a level (DATA, at depth 0, is the second). A mount cannot loop without links, which are
// not followed.
constexpr int kMaxDepth = kMaxDirectoryDepth - 1;
const char* const kGameFolders[] = {"DATA", "FMV"};

bool Stopped(const std::atomic<int>* stop) { return stop && stop->load() != 0; }

// Visits every folder and file under `folder` (links not followed), `depth` levels down,
// as deep as the copy goes; until a stop is asked for.
void Walk(const std::string& folder, int depth, const std::atomic<int>* stop,
          const std::function<void(const FolderEntry&)>& visit) {
    std::vector<FolderEntry> entries;
    int error = 0;
    if (depth >= kMaxDepth) return;
    ListFolder(folder, entries, error);
    for (const FolderEntry& entry : entries) {
        if (Stopped(stop)) return;
        visit(entry);
        if (entry.isFolder) Walk(JoinPath(folder, entry.name), depth + 1, stop, visit);
    }
}

std::string SourceFolder(const std::string& mount, const char* name) {
    const std::string found = FindEntryIgnoringCase(mount, name);
    return found.empty() ? JoinPath(mount, name) : found;
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

    // Copies one file under its temporary name, with the disc's time, renamed into place
    // when complete; on failure reports the side that failed and leaves nothing behind.
    void CopyFile(const std::string& source, int64_t modified, const OutputFolder& folder, const std::string& name,
                  const std::string& shown) {
        FILE* in = OpenToRead(source);
        if (!in) return Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
        FILE* out = folder.CreateTemporary(name);
        if (!out) {
            const int error = errno;
            std::fclose(in);
            return Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", error);
        }
        m_console.OnFile(shown, 0);
        const bool copied = Pump(in, out, source, folder.PathOf(name));
        std::fclose(in);
        if (copied) SetFileTime(out, modified);  // as the disc has it
        const bool closed = std::fclose(out) == 0;
        if (copied && !closed) Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", errno);
        const int error = copied && closed ? folder.Commit(name) : 0;
        if (error != 0) Fail(DiscCopyResult::OutputFailed, folder.PathOf(name), "cannot write", error);
        if (!copied || !closed || error != 0) folder.Discard(name);
    }

    // Copies the tree at `source` into `parent`'s new folder `name`; false on any failure.
    bool CopyFolder(const std::string& source, const OutputFolder& parent, const std::string& name,
                    const std::string& shown, int depth) {
        std::vector<FolderEntry> entries;
        int error = 0;
        // The source is listed first: a disc taken out leaves no empty folder behind.
        if (!ListFolder(source, entries, error) && entries.empty()) {
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
        for (const FolderEntry& entry : entries) {
            if (!ended && Stopped(m_options.stop)) Interrupted(JoinPath(source, entry.name));
            if (ended) break;
            const std::string from = JoinPath(source, entry.name);
            if (!entry.isFile && !entry.isFolder) continue;  // links and devices on the disc are not followed
            const std::string outName = m_options.upperCaseNames ? UpperAscii(entry.name) : entry.name;
            if (!IsSafeName(outName) || IsTemporaryName(outName)) {
                Fail(DiscCopyResult::UnsafeName, from, "name not safe to create", 0);
                continue;
            }
            if (entry.isFile) CopyFile(from, entry.modified, folder, outName, shown + "/" + outName);
            else if (depth + 1 < kMaxDepth) CopyFolder(from, folder, outName, shown + "/" + outName, depth + 1);
            else Fail(DiscCopyResult::TooDeep, from, "folders nested too deeply", 0);
        }
        return result == before;
    }

private:
    void Interrupted(const std::string& where) {
        if (result == DiscCopyResult::Ok) result = DiscCopyResult::Stopped;
        m_console.Problem(where, "interrupted", 0);
        ended = true;
    }

    // Reads `in` to its end into `out`; false (said) on a failure or a stop.
    bool Pump(FILE* in, FILE* out, const std::string& source, const std::string& destination) {
        std::vector<unsigned char> buffer(kCopyBufferSize);
        for (;;) {
            if (Stopped(m_options.stop)) {
                Interrupted(source);
                return false;
            }
            const size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
            if (got == 0 && std::ferror(in)) {
                Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno ? errno : EIO);
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

DiscTotals CountDiscFolders(const std::string& mount, const std::atomic<int>* stop) {
    DiscTotals totals;
    for (const char* folder : kGameFolders) {
        Walk(SourceFolder(mount, folder), 0, stop, [&](const FolderEntry& entry) {
            if (!entry.isFile) return;
            ++totals.files;
            totals.bytes += entry.size;
        });
    }
    return totals;
}

bool DiscNamesAreLowerCase(const std::string& mount) {
    bool lower = true;
    for (const char* folder : kGameFolders) {
        Walk(SourceFolder(mount, folder), 0, nullptr, [&](const FolderEntry& entry) {
            lower = lower && std::none_of(entry.name.begin(), entry.name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
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
