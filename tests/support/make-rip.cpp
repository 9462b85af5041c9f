// Writes an Alcohol or Nero rip of a cooked image, for the command-line tests and their
// cross-checks with mdf2iso and nrg2iso:
//   make-rip mds COOKED.iso OUT      OUT.mds and OUT.mdf, raw 2352-byte Mode 1 sectors
//   make-rip nrg COOKED.iso OUT      OUT.nrg, version 2, disc at once, 2048-byte sectors
//                                    after a stored 150-sector pregap
#include <fstream>
#include <iterator>
#include <string>

#include "RawSector.h"
#include "RipWriter.h"

using namespace test;

namespace {

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string kind = argv[1], out = argv[3];
    std::ifstream in(argv[2], std::ios::binary);
    const Bytes cooked((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (kind == "mds") {
        const Bytes raw = WrapSectors(cooked, RipLayout::Mode1);
        Write(out + ".mdf", raw);
        Write(out + ".mds", MdsDescriptor({{0xAA, 2352, 0, 0, static_cast<uint32_t>(raw.size() / 2352)}}));
        return 0;
    }
    if (kind == "nrg") {
        Bytes data(150 * 2048, 0);
        data.insert(data.end(), cooked.begin(), cooked.end());
        Write(out + ".nrg", NrgImage(data, {{0x00, 2048, 0, 150 * 2048, data.size(), 0, true}}, true, false));
        return 0;
    }
    return 2;
}
