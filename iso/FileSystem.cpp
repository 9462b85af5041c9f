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

namespace {

// Decodes one UTF-8 sequence at `i`; returns the code point or -1, and advances `i`.
long DecodeUtf8(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra;
    long cp;
    if (lead < 0x80) { ++i; return lead; }
    if (lead >= 0xC2 && lead <= 0xDF) { extra = 1; cp = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; cp = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; cp = lead & 0x07; }
    else return -1;
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static const long kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += extra + 1;
    return cp;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        if (DecodeUtf8(text, i) < 0) return false;
    }
    return true;
}

std::wstring WidenUtf8(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        long cp = DecodeUtf8(text, i);
        if (cp < 0) { cp = 0xFFFD; ++i; }
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            cp -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (cp >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(cp);
        }
    }
    return wide;
}

#ifdef _WIN32

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return _wfopen(WidenUtf8(path).c_str(), WidenUtf8(mode).c_str());
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
