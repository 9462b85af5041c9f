// Opening and reading image files: UTF-8 paths, 64-bit positions, block devices.
#include "ImageFile.h"

#include <cerrno>

#ifdef _WIN32
#include <cstdlib>

#include <sys/stat.h>
#include <sys/types.h>

#include "text/Utf8.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

#ifdef _WIN32

std::wstring WidePath(const std::string& path) {
    constexpr size_t kShortestLimit = 248;  // CreateDirectory's: room for an 8.3 name inside
    std::wstring wide = WidenUtf8(path);
    if (wide.size() < kShortestLimit || wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0)
        return wide;
    wchar_t* full = _wfullpath(nullptr, wide.c_str(), 0);
    if (!full) return wide;
    std::wstring absolute = full;
    std::free(full);
    // The prefix turns off every rewriting of the path: no '/' may be left in it.
    for (wchar_t& c : absolute) {
        if (c == L'/') c = L'\\';
    }
    if (absolute.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);  // \\server\share
    return L"\\\\?\\" + absolute;
}

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return _wfopen(WidePath(path).c_str(), WidenUtf8(mode).c_str());
}

FILE* OpenImageFileUtf8(const std::string& path, std::string&) {
    struct _stat64 info;
    if (_wstat64(WidePath(path).c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) {
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

bool SeekFile64(FILE* file, uint64_t position) {
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
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

bool SeekFile64(FILE* file, uint64_t position) {
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

#endif
