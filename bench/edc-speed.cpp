// edc-speed: the EDC's throughput by each method this processor runs, beside memcpy of
// the same bytes; with IMAGE, also two ways of getting an image's bytes into the program:
// read into a buffer (what the importer does) and mapped into memory, every cache line
// touched.
//   edc-speed [IMAGE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "disc/Edc.h"

namespace {

constexpr size_t kSector = 2352, kEdcCovers = 2064;
constexpr size_t kSectors = 64 * 1024 * 1024 / kSector;  // 64 MiB: past the caches
constexpr int kPasses = 5;

// The best of kPasses runs of `work`, as GB/s of `bytes`.
template <typename Work>
double Speed(size_t bytes, Work work) {
    double best = 1e9;
    for (int pass = 0; pass < kPasses; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return static_cast<double>(bytes) / best / 1e9;
}

void ImageSpeeds(const char* path) {
    const int fd = open(path, O_RDONLY);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        std::perror(path);
        return;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    volatile unsigned char sink = 0;
    std::vector<unsigned char> buffer(256 * kSector);  // the importer's read: 256 sectors
    const double read = Speed(size, [&] {
        for (off_t at = 0; at < info.st_size;) {
            const ssize_t got = pread(fd, buffer.data(), buffer.size(), at);
            if (got <= 0) break;
            for (ssize_t i = 0; i < got; i += 64) sink = sink + buffer[static_cast<size_t>(i)];
            at += got;
        }
    });
    constexpr size_t kWindow = 2 << 20;
    const double mapped = Speed(size, [&] {
        for (size_t at = 0; at < size; at += kWindow) {
            const size_t length = std::min(kWindow, size - at);
            void* window = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(at));
            if (window == MAP_FAILED) return;
            madvise(window, length, MADV_SEQUENTIAL);
            const auto* bytes = static_cast<const unsigned char*>(window);
            for (size_t i = 0; i < length; i += 64) sink = sink + bytes[i];
            munmap(window, length);
        }
    });
    close(fd);
    std::printf("%-28s %8.2f GB/s\n", "image read into a buffer", read);
    std::printf("%-28s %8.2f GB/s\n", "image mapped, 2 MiB windows", mapped);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<unsigned char> sectors(kSectors * kSector), copy(sectors.size());
    std::mt19937 random(2064);
    for (auto& byte : sectors) byte = static_cast<unsigned char>(random());
    std::fill(copy.begin(), copy.end(), 1);  // its pages in place before timing
    const size_t covered = kSectors * kEdcCovers;

    std::printf("%-28s %8.2f GB/s\n", "memcpy", Speed(covered, [&] {
        for (size_t s = 0; s < kSectors; ++s) std::memcpy(&copy[s * kSector], &sectors[s * kSector], kEdcCovers);
    }));
    volatile uint32_t sink = 0;
    for (EdcMethod method : kEdcMethods) {
        if (!EdcMethodRuns(method)) continue;
        const double speed = Speed(covered, [&] {
            for (size_t s = 0; s < kSectors; ++s) sink = sink ^ ComputeEdcWith(method, &sectors[s * kSector], kEdcCovers);
        });
        std::printf("EDC, %-23s %8.2f GB/s%s\n", EdcMethodName(method), speed,
                    method == FastestEdcMethod() ? "  (used)" : "");
    }
    if (argc > 1) ImageSpeeds(argv[1]);
    return 0;
}
