// Platform file-system calls for UTF-8 paths: wide CRT calls on Windows, plain POSIX elsewhere.
#include "FileSystem.h"

#include <cerrno>

#ifdef _WIN32
#include <direct.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

#include <algorithm>

#include "text/Utf8.h"

#ifdef _WIN32

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return _wfopen(WidenUtf8(path).c_str(), WidenUtf8(mode).c_str());
}

FILE* OpenImageFileUtf8(const std::string& path, std::string&) {
    struct _stat64 info;
    if (_wstat64(WidenUtf8(path).c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) {
        errno = EISDIR;
        return nullptr;
    }
    return OpenFileUtf8(path, "rb");
}

uint64_t FileSize64(FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return UINT64_MAX;
    const __int64 size = _ftelli64(file);
    _fseeki64(file, 0, SEEK_SET);
    return size < 0 ? UINT64_MAX : static_cast<uint64_t>(size);
}

FILE* CreateOutputFile(const std::string& path) {
    FILE* file = OpenFileUtf8(path, "wb");
    if (file) std::setvbuf(file, nullptr, _IOFBF, 1 << 20);  // few large writes, not one per sector
    return file;
}

int WritePieces(FILE* file, const std::vector<DataPiece>& pieces) {
    for (const DataPiece& piece : pieces) {
        if (std::fwrite(piece.data, 1, piece.size, file) != piece.size) return errno ? errno : EIO;
    }
    return 0;
}

bool SeekFile64(FILE* file, uint64_t position) {
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

int MakeDirectoryUtf8(const std::string& path) {
    const std::wstring wide = WidenUtf8(path);
    if (_wmkdir(wide.c_str()) == 0) return 0;
    const int error = errno;
    struct _stat64 info;
    if (error == EEXIST && _wstat64(wide.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) return 0;
    return error;
}

#else

FILE* OpenFileUtf8(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

FILE* OpenImageFileUtf8(const std::string& path, std::string& refusal) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
        refusal = "not a regular file or block device";
    }
    FILE* file = nullptr;
    if (error == 0 && refusal.empty() && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
        file = fdopen(fd, "rb");
    }
    if (!file) {
        if (error == 0) error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

uint64_t FileSize64(FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return UINT64_MAX;
    const off_t size = ftello(file);
    fseeko(file, 0, SEEK_SET);
    return size < 0 ? UINT64_MAX : static_cast<uint64_t>(size);
}

FILE* CreateOutputFile(const std::string& path) {
    // O_NOFOLLOW: a symbolic link left where an output file goes is never written through.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
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

bool SeekFile64(FILE* file, uint64_t position) {
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

int MakeDirectoryUtf8(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    struct stat info;
    // lstat: a symbolic link where a folder should be is not taken for that folder.
    if (error == EEXIST && lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return error;
}

#endif
