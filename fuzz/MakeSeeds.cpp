// Writes the fuzzers' binary seeds: small images of the shapes the walk meets, each from
// block 16 on (the fuzz target reads blocks 0 to 15 as zeros); with a second folder, the
// container seeds of the sheet target too, and with a third, the installer target's.
//   fuzz_seeds TREE_WALK_CORPUS [SHEET_CORPUS [INSTALLER_CORPUS]]
#include <fstream>
#include <string>

#include "ChdWriter.h"
#include "InstallerWriter.h"
#include "IsoBuilder.h"
#include "RawSector.h"

using namespace test;

namespace {

void Write(const std::string& folder, const std::string& name, const Bytes& image) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()) + 16 * 2048, static_cast<std::streamsize>(image.size() - 16 * 2048));
}

}  // namespace

// The sheet target's binary seeds: a small CHD in Zstandard hunks; the first byte picks
// the name it is read under (7: disc.chd).
void WriteSheetSeeds(const std::string& folder) {
    const Bytes sectors = WrapSectors(BuildImage({Dir("DATA", {File("A.BIN;1", "a")})}), RipLayout::Mode1);
    const Bytes frames = WithEmptySubchannel(sectors);
    Bytes chd(1, 7);
    const Bytes image = WriteChdZstd(frames, "TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:" + std::to_string(sectors.size() / 2352) +
                                                 " PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0");
    chd.insert(chd.end(), image.begin(), image.end());
    std::ofstream(folder + "/game.chd", std::ios::binary).write(reinterpret_cast<const char*>(chd.data()), static_cast<std::streamsize>(chd.size()));
}

// The installer target's seeds: a small disc in installers of each compression, solid
// and not, of the oldest and newest setup data read.
void WriteInstallerSeeds(const std::string& folder) {
    const Bytes disc = BuildImage({Dir("DATA", {File("CRED1.PCX;1", "pcx"), File("L1.MAP;1", std::string(3000, 'm'))})});
    const InstallerCompression kinds[] = {InstallerCompression::Stored, InstallerCompression::Zlib, InstallerCompression::Bzip2,
                                          InstallerCompression::Lzma1, InstallerCompression::Lzma2};
    int n = 0;
    for (const char* version : {"5.5.0", "6.4.0.1"}) {
        for (InstallerCompression compression : kinds) {
            InstallerSpec spec;
            spec.version = version;
            spec.compression = compression;
            spec.solid = n % 2 == 1;
            spec.files = {{"{app}\\goggame-1207663463.info", Bytes(5, 'i'), false}, {"{app}\\GAME.GOG", disc, n % 3 == 0}};
            const Bytes exe = WriteInstaller(spec).exe;
            std::ofstream(folder + "/installer-" + std::to_string(n++), std::ios::binary)
                .write(reinterpret_cast<const char*>(exe.data()), static_cast<std::streamsize>(exe.size()));
        }
    }
}

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) return 2;
    if (argc >= 3) WriteSheetSeeds(argv[2]);
    if (argc == 4) WriteInstallerSeeds(argv[3]);
    const std::string folder = argv[1];
    Write(folder, "empty", BuildImage({}));
    Write(folder, "game", BuildImage({
        Dir("DATA", {File("CRED1.PCX;1", "pcx"), File("README.;1", "r"), Dir("MAPS", {File("L1.MAP;1", "map")})}),
        Dir("DATA.NOW", {File("SAVE.DAT;1", "s")}),
        Dir("FMV", {File("INTRO.AVI;1", std::string(5000, 'v'))}),
        File("SETUP.EXE;1", "exe"),
    }));
    std::vector<Entry> many;
    for (int i = 0; i < 80; ++i) many.push_back(File("F" + std::to_string(i) + ".BIN;1", "x"));
    Write(folder, "multiblock", BuildImage({Dir("DATA", many)}));

    ImageBuilder loop;
    const uint32_t root = loop.Allocate(1), data = loop.Allocate(1);
    loop.PutDescriptor(root, 2048);
    loop.PutDirectory(root, root, {Record("DATA", data, 2048, true)});
    loop.PutDirectory(data, root, {Record("UP", root, 2048, true), Record("A;1", data, 10, false)});
    Write(folder, "loop", loop.image);
    return 0;
}
