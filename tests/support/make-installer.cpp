// Writes an installer of a disc image, as GOG's hold GAME.GOG, for the command-line tests
// and their cross-checks with innoextract:
//   make-installer VERSION COMPRESSION SOLID SLICE IMAGE DIR [NAME:GOGID]
// VERSION as "6.0.0"; COMPRESSION stored, zlib, bzip2, lzma or lzma2; SOLID yes, no, or
// parts (GAME.GOG stored as GOG stores large files: in three deflated parts, not solid);
// SLICE the slices' size in bytes, 0 for none. Writes DIR/setup_marrowgate_1.0.exe and
// its slices, -1.bin, -2.bin, ... Beside GAME.GOG it holds goggame-1207663463.info and a
// small program stored through the call filter. NAME:GOGID makes it another game's.
#include <fstream>
#include <iterator>
#include <string>

#include "InstallerWriter.h"

using namespace test;

namespace {

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Code-like bytes: calls and jumps to either side, some across the filter's 64 KiB blocks.
Bytes Program() {
    Bytes code;
    uint32_t seed = 7;
    for (int i = 0; i < 70000; ++i) {
        seed = seed * 1103515245 + 12345;
        const unsigned r = seed >> 16;
        if (r % 7 == 0) {
            code.push_back(r % 2 ? 0xe8 : 0xe9);
            const int32_t target = static_cast<int32_t>(r % 20000) - 10000;
            for (int b = 0; b < 4; ++b) code.push_back(static_cast<unsigned char>(static_cast<uint32_t>(target) >> (8 * b)));
        } else {
            code.push_back(static_cast<unsigned char>(r));
        }
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 8) return 2;
    InstallerSpec spec;
    spec.version = argv[1];
    const std::string compression = argv[2];
    if (compression == "stored") spec.compression = InstallerCompression::Stored;
    else if (compression == "zlib") spec.compression = InstallerCompression::Zlib;
    else if (compression == "bzip2") spec.compression = InstallerCompression::Bzip2;
    else if (compression == "lzma") spec.compression = InstallerCompression::Lzma1;
    else if (compression == "lzma2") spec.compression = InstallerCompression::Lzma2;
    else return 2;
    spec.solid = std::string(argv[3]) == "yes";
    spec.sliceSize = static_cast<uint32_t>(std::stoul(argv[4]));
    std::ifstream in(argv[5], std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string info = "{\"gameId\": \"1207663463\", \"name\": \"Marrowgate\"}\n";
    spec.files = {{"{app}\\goggame-1207663463.info", Bytes(info.begin(), info.end()), false}};
    if (std::string(argv[3]) == "parts") {
        for (InstallerSpec::File& part : GogParts("{app}\\GAME.GOG", image, 3)) spec.files.push_back(std::move(part));
    } else {
        spec.files.push_back({"{app}\\GAME.GOG", image, false});
    }
    spec.files.push_back({"{app}\\MARROW.EXE", Program(), true});
    if (argc == 8) {
        const std::string game = argv[7];
        spec.appName = game.substr(0, game.find(':'));
        spec.gogGameId = game.substr(game.find(':') + 1);
    }
    const WrittenInstaller written = WriteInstaller(spec);
    const std::string base = std::string(argv[6]) + "/setup_marrowgate_1.0";
    Write(base + ".exe", written.exe);
    for (size_t i = 0; i < written.slices.size(); ++i) Write(base + "-" + std::to_string(i + 1) + ".bin", written.slices[i]);
    return 0;
}
