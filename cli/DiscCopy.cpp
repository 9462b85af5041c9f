// CopyDiscFolders: opendir, then mkdir (failing when the folder exists), then copies of
// the regular files; nothing is removed after a failure.
#include "DiscCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Folders.h"
#include "Progress.h"
#include "iso/DataPiece.h"
#include "iso/FileSystem.h"
#include "iso/OutputName.h"

namespace {

// One read of a disc file at a time: large enough for few system calls.
constexpr size_t kCopyBufferSize = 512 * 1024;

class CopyRun {
public:
    explicit CopyRun(ConsoleObserver& console) : m_console(console) {}

    DiscCopyResult result = DiscCopyResult::Ok;

    void Fail(DiscCopyResult cause, const std::string& path, const char* what, int error) {
        if (result == DiscCopyResult::Ok) result = cause;
        m_console.Problem(path, what, error);
    }

    // Copies one file, through the engine's own output calls (no symbolic link is written
    // through); on failure reports the side that failed.
    void CopyFile(const std::string& source, const std::string& destination) {
        const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
        FILE* out = CreateOutputFile(destination);
        if (!out) {
            const int error = errno;
            close(in);
            return Fail(DiscCopyResult::OutputFailed, destination, "cannot write", error);
        }
        std::vector<unsigned char> buffer(kCopyBufferSize);
        for (;;) {
            const ssize_t got = read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
                break;
            }
            if (got == 0) break;
            const int error = WritePieces(out, {DataPiece{buffer.data(), static_cast<uint32_t>(got)}});
            if (error != 0) {
                Fail(DiscCopyResult::OutputFailed, destination, "cannot write", error);
                break;
            }
        }
        close(in);
        if (std::fclose(out) != 0) Fail(DiscCopyResult::OutputFailed, destination, "cannot write", errno);
    }

    bool CopyFolder(const std::string& mount, const char* name, const std::string& outputRoot) {
        const std::string found = FindEntryIgnoringCase(mount, name);
        const std::string source = found.empty() ? mount + "/" + name : found;
        DIR* dir = opendir(source.c_str());
        if (!dir) {
            Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
            return false;
        }
        const std::string destination = outputRoot + "/" + name;
        if (mkdir(destination.c_str(), 0777) != 0) {
            Fail(DiscCopyResult::OutputFailed, destination, "cannot write", errno);
            closedir(dir);
            return false;
        }
        std::vector<std::string> names;
        errno = 0;
        while (dirent* entry = readdir(dir)) names.push_back(entry->d_name);
        if (errno != 0) Fail(DiscCopyResult::SourceUnreadable, source, "cannot read", errno);
        closedir(dir);
        std::sort(names.begin(), names.end());
        const DiscCopyResult before = result;
        for (const std::string& file : names) {
            struct stat info;
            if (file == "." || file == ".." || stat((source + "/" + file).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;  // only the files lying directly in the folder
            if (!IsSafeName(file)) {
                Fail(DiscCopyResult::UnsafeName, source + "/" + file, "name not safe to create", 0);
                continue;
            }
            CopyFile(source + "/" + file, destination + "/" + file);
        }
        return result == before;
    }

private:
    ConsoleObserver& m_console;
};

}  // namespace

DiscCopyResult CopyDiscFolders(const std::string& mount, const std::string& outputRoot, ConsoleObserver& console) {
    CopyRun run(console);
    if (run.CopyFolder(mount, "DATA", outputRoot)) run.CopyFolder(mount, "FMV", outputRoot);
    return run.result;
}
