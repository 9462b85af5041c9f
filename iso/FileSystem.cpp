// Platform file-system calls for UTF-8 paths: wide CRT calls on Windows (and the one system
// call the CRT lacks, a rename that replaces), plain POSIX elsewhere.
#include "FileSystem.h"

#include <cerrno>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utime.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

#include <algorithm>

#include "text/Utf8.h"

namespace {
const char kTemporarySuffix[] = ".mg-partial";
}  // namespace

std::string TemporaryName(const std::string& name) { return "." + name + kTemporarySuffix; }

bool IsTemporaryName(const std::string& name) {
    const size_t suffix = sizeof kTemporarySuffix - 1;
    return name.size() > suffix + 1 && name[0] == '.' && name.compare(name.size() - suffix, suffix, kTemporarySuffix) == 0;
}

bool IsOutputFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC || error == EFBIG;
}

std::string OutputFolder::PathOf(const std::string& name) const {
    const bool separated = !m_path.empty() && (m_path.back() == kPathSeparator || m_path.back() == '/');  // "D:\", "/"
    return separated ? m_path + name : m_path + kPathSeparator + name;
}

#ifdef _WIN32

// Windows: paths through the wide CRT. A folder link (a symbolic link or junction) shows
// the reparse-point attribute, which _wfindfirst passes on.
namespace {
constexpr unsigned kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

bool FindAttributes(const std::wstring& path, unsigned& attributes) {
    struct _wfinddata64_t data;
    const intptr_t search = _wfindfirst64(path.c_str(), &data);
    if (search == -1) return false;
    attributes = data.attrib;
    _findclose(search);
    return true;
}
}  // namespace

OutputFolder::~OutputFolder() = default;
OutputFolder::OutputFolder(OutputFolder&& other) noexcept : m_path(std::move(other.m_path)) {}
OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    m_path = std::move(other.m_path);
    return *this;
}

int OutputFolder::Open(const std::string& path) {
    struct _stat64 info;
    if (_wstat64(WidePath(path).c_str(), &info) != 0) return errno;
    if (!(info.st_mode & _S_IFDIR)) return ENOTDIR;
    m_path = path;
    RemoveStaleTemporaries();
    return 0;
}

int OutputFolder::OpenSubfolder(const std::string& name, OutputFolder& subfolder, bool mustBeNew) const {
    const std::wstring wide = WidePath(PathOf(name));
    if (_wmkdir(wide.c_str()) != 0) {
        const int error = errno;
        if (mustBeNew) return error;
        unsigned attributes = 0;
        if (error != EEXIST || !FindAttributes(wide, attributes)) return error;
        if (attributes & kReparsePoint) return ELOOP;
        if (!(attributes & _A_SUBDIR)) return ENOTDIR;
    }
    subfolder.m_path = PathOf(name);
    subfolder.RemoveStaleTemporaries();
    return 0;
}

FILE* OutputFolder::CreateTemporary(const std::string& name) const {
    const std::wstring temporary = WidePath(PathOf(TemporaryName(name)));
    _wremove(temporary.c_str());
    const int fd = _wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* file = _fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        _close(fd);
        errno = error;
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);  // few large writes, not one per sector
    return file;
}

namespace {
int ErrnoOfRename(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    default: return EIO;
    }
}
}  // namespace

int OutputFolder::Commit(const std::string& name) const {
    const std::wstring final = WidePath(PathOf(name)), temporary = WidePath(PathOf(TemporaryName(name)));
    // One call replaces the earlier file, which stays until the new one stands; a link to
    // a file there is replaced as a link, never written through.
    if (MoveFileExW(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    const int error = ErrnoOfRename(GetLastError());
    unsigned attributes = 0;
    if (!FindAttributes(final, attributes) || !(attributes & _A_SUBDIR)) return error;
    // A folder there stays; a link to one (a junction) is only a name, which goes.
    if (!(attributes & kReparsePoint) || !RemoveDirectoryW(final.c_str())) return EISDIR;
    return MoveFileExW(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : ErrnoOfRename(GetLastError());
}

void OutputFolder::Discard(const std::string& name) const { _wremove(WidePath(PathOf(TemporaryName(name))).c_str()); }

void OutputFolder::RemoveStaleTemporaries() const {
    struct _wfinddata64_t data;
    const std::wstring pattern = WidePath(PathOf(".*" + std::string(kTemporarySuffix)));
    const intptr_t search = _wfindfirst64(pattern.c_str(), &data);
    if (search == -1) return;
    do {
        if (!(data.attrib & _A_SUBDIR)) _wremove(WidePath(PathOf(NarrowToUtf8(data.name))).c_str());
    } while (_wfindnext64(search, &data) == 0);
    _findclose(search);
}

bool SetFileTime(FILE* file, int64_t seconds) {
    std::fflush(file);  // a later write of buffered data would take the time of writing again
    struct __utimbuf64 times = {seconds, seconds};
    return _futime64(_fileno(file), &times) == 0;
}

int WritePieces(FILE* file, const std::vector<DataPiece>& pieces) {
    for (const DataPiece& piece : pieces) {
        if (std::fwrite(piece.data, 1, piece.size, file) != piece.size) return errno ? errno : EIO;
    }
    return 0;
}

int MakeDirectoryUtf8(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (_wmkdir(wide.c_str()) == 0) return 0;
    const int error = errno;
    struct _stat64 info;
    if (error == EEXIST && _wstat64(wide.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) return 0;
    return error;
}

#else

OutputFolder::~OutputFolder() {
    if (m_fd >= 0) close(m_fd);
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept : m_path(std::move(other.m_path)), m_fd(other.m_fd) {
    other.m_fd = -1;
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int OutputFolder::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    *this = OutputFolder();
    m_path = path;
    m_fd = fd;
    RemoveStaleTemporaries();
    return 0;
}

int OutputFolder::OpenSubfolder(const std::string& name, OutputFolder& subfolder, bool mustBeNew) const {
    if (mkdirat(m_fd, name.c_str(), 0777) != 0 && (errno != EEXIST || mustBeNew)) return errno;
    // O_NOFOLLOW: a link where the folder goes is refused, whatever it points at.
    const int fd = openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;  // ENOTDIR or ELOOP for a link, as the kernel has it
        struct stat info;
        return fstatat(m_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode) ? ELOOP : error;
    }
    subfolder = OutputFolder();
    subfolder.m_path = PathOf(name);
    subfolder.m_fd = fd;
    subfolder.RemoveStaleTemporaries();
    return 0;
}

FILE* OutputFolder::CreateTemporary(const std::string& name) const {
    const std::string temporary = TemporaryName(name);
    unlinkat(m_fd, temporary.c_str(), 0);
    const int fd = openat(m_fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

int OutputFolder::Commit(const std::string& name) const {
    return renameat(m_fd, TemporaryName(name).c_str(), m_fd, name.c_str()) == 0 ? 0 : errno;
}

void OutputFolder::Discard(const std::string& name) const { unlinkat(m_fd, TemporaryName(name).c_str(), 0); }

void OutputFolder::RemoveStaleTemporaries() const {
    const int fd = dup(m_fd);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) close(fd);
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (IsTemporaryName(entry->d_name)) unlinkat(m_fd, entry->d_name, 0);
    }
    closedir(dir);
}

bool SetFileTime(FILE* file, int64_t seconds) {
    std::fflush(file);
    const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    return futimens(fileno(file), times) == 0;
}

int WritePieces(FILE* file, const std::vector<DataPiece>& pieces) {
    // Straight from the pieces to the file, never through stdio's buffer (nothing else
    // writes to this stream).
    constexpr size_t kMaxIovecs = 1024;
    std::vector<iovec> vectors;
    vectors.reserve(std::min(pieces.size(), kMaxIovecs));
    for (size_t next = 0; next < pieces.size();) {
        vectors.clear();
        for (; next < pieces.size() && vectors.size() < kMaxIovecs; ++next)
            vectors.push_back({const_cast<unsigned char*>(pieces[next].data), pieces[next].size});
        iovec* pending = vectors.data();
        size_t count = vectors.size();
        while (count > 0) {
            const ssize_t written = writev(fileno(file), pending, static_cast<int>(count));
            if (written < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            size_t left = static_cast<size_t>(written);
            while (count > 0 && left >= pending->iov_len) {
                left -= pending->iov_len;
                ++pending;
                --count;
            }
            if (count > 0) {  // a short write: go on inside this piece
                pending->iov_base = static_cast<unsigned char*>(pending->iov_base) + left;
                pending->iov_len -= left;
            }
        }
    }
    return 0;
}

int MakeDirectoryUtf8(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    struct stat info;
    if (error == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return error;
}

#endif
