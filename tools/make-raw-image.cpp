// make-raw-image: wraps a cooked ISO 9660 image in raw 2352-byte Mode 1 sectors, as the
// store editions ship the disc (GAME.GOG).
#include <cstdio>
#include <cstring>

#include "RawSector.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-raw-image COOKED.iso RAW.gog\n");
        return 2;
    }
    FILE* in = std::fopen(argv[1], "rb");
    if (!in) { std::perror(argv[1]); return 1; }
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) { std::perror(argv[2]); std::fclose(in); return 1; }
    unsigned char user[kUserDataSize];
    unsigned char raw[kRawSectorSize];
    uint32_t lba = 0;
    size_t got;
    bool ok = true;
    while ((got = std::fread(user, 1, sizeof user, in)) > 0) {
        std::memset(user + got, 0, sizeof user - got);
        MakeRawMode1Sector(lba++, user, raw);
        ok = ok && std::fwrite(raw, 1, sizeof raw, out) == sizeof raw;
    }
    ok = ok && !std::ferror(in);
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make-raw-image: cannot convert %s to %s\n", argv[1], argv[2]);
    return ok ? 0 : 1;
}
