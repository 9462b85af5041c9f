// GOG's installers are told from their data and refused with what they are: built here as
// the smallest PE files that carry Inno Setup's loader table in the resource it is looked
// for in, with setup data after it. Genuine ones, written by Inno Setup's own compiler, are
// checked by tests/installer/make-installers.sh.
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "disc/Crc32.h"

namespace {

using namespace test;

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4, 0);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put16(Bytes& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2, 0);
    bytes[at] = static_cast<unsigned char>(value), bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

// A header stream, stored: its size and flag under a CRC32, then pieces each under its own.
Bytes StoredStream(const Bytes& content) {
    Bytes stream(9, 0);
    Put32(stream, 4, static_cast<uint32_t>(content.size() + 4));
    stream[8] = 0;
    Put32(stream, 0, Crc32(stream.data() + 4, 5));
    Bytes piece(4, 0);
    Put32(piece, 0, Crc32(content.data(), content.size()));
    piece.insert(piece.end(), content.begin(), content.end());
    stream.insert(stream.end(), piece.begin(), piece.end());
    return stream;
}

// A PE32 file of one section holding the resource directory RT_RCDATA / 11111 / language
// 0, whose data is the loader table; the setup data follows at `setupData`.
struct Installer {
    Bytes bytes;
    size_t table = 0;  // where the loader table lies
};
Installer MakeInstaller(const std::string& id, const Bytes& header) {
    constexpr uint32_t kSection = 0x400, kRva = 0x1000;
    Installer installer;
    Bytes& pe = installer.bytes;
    pe.assign(kSection, 0);
    pe[0] = 'M', pe[1] = 'Z';
    Put32(pe, 0x3C, 0x80);
    Put32(pe, 0x80, 0x4550);           // "PE\0\0"
    Put16(pe, 0x86, 1);                // one section
    Put16(pe, 0x94, 224);              // the optional header's size
    Put16(pe, 0x98, 0x10B);            // PE32
    Put32(pe, 0x98 + 96 + 16, kRva);   // the resource directory's RVA and size
    Put32(pe, 0x98 + 96 + 20, 0x200);
    const size_t section = 0x98 + 224;
    std::memcpy(&pe[section], ".rsrc", 5);
    Put32(pe, section + 8, 0x200), Put32(pe, section + 12, kRva), Put32(pe, section + 16, 0x200), Put32(pe, section + 20, kSection);
    // Three directories of one id entry each, then the data entry, then the table.
    const auto directory = [&](uint32_t at, uint32_t id, uint32_t target) {
        Put16(pe, kSection + at + 14, 1);
        Put32(pe, kSection + at + 16, id);
        Put32(pe, kSection + at + 20, target);
    };
    directory(0, 10, 0x80000000 | 0x18);
    directory(0x18, 11111, 0x80000000 | 0x30);
    directory(0x30, 0, 0x48);
    Put32(pe, kSection + 0x48, kRva + 0x60);
    Put32(pe, kSection + 0x4C, 44);
    installer.table = kSection + 0x60;
    const unsigned char magic[12] = {'r', 'D', 'l', 'P', 't', 'S', 0xCD, 0xE6, 0xD7, '{', 0x0B, '*'};
    pe.resize(installer.table + 44, 0);
    std::memcpy(&pe[installer.table], magic, 12);
    Put32(pe, installer.table + 12, 1);
    const uint32_t setupData = 0x800;
    Put32(pe, installer.table + 12 + 20, setupData);
    Put32(pe, installer.table + 40, Crc32(&pe[installer.table], 40));
    pe.resize(setupData, 0);
    Bytes idBytes(64, 0);
    std::memcpy(idBytes.data(), id.data(), id.size());
    pe.insert(pe.end(), idBytes.begin(), idBytes.end());
    const Bytes stream = StoredStream(header);
    pe.insert(pe.end(), stream.begin(), stream.end());
    return installer;
}

// The setup header's first string, the application's name, in UTF-16LE with its byte count.
Bytes HeaderNaming(const std::u16string& name) {
    Bytes header(4, 0);
    Put32(header, 0, static_cast<uint32_t>(name.size() * 2));
    for (char16_t c : name) header.push_back(static_cast<unsigned char>(c)), header.push_back(static_cast<unsigned char>(c >> 8));
    header.resize(header.size() + 64, 0);
    return header;
}

std::string RefusalOf(const Bytes& bytes, const char* name = "setup_marrowgate_1.0.exe") {
    ScratchDir dir;
    WriteBytes(dir.path() / name, bytes);
    RecordingObserver observer;
    ExtractOptions options;
    options.observer = &observer;
    EXPECT_EQ(ExtractImageFile(Utf8(dir.path() / name), [](std::string) { return true; }, options), ExtractBadContainer);
    return observer.problems.empty() ? std::string() : observer.problems[0].detail;
}

TEST(Installer, IsToldFromItsDataAndNamed) {
    const Installer installer = MakeInstaller("Inno Setup Setup Data (6.0.0) (u)", HeaderNaming(u"Marrowgate \u0141\u00f3d\u017a"));
    const std::string said = RefusalOf(installer.bytes, "any-name.dat");
    EXPECT_EQ(said.rfind("an Inno Setup installer for Marrowgate \xC5\x81\xC3\xB3" "d\xC5\xBA (Inno Setup Setup Data (6.0.0) (u)): ", 0), 0u)
        << said;
    EXPECT_NE(said.find("innoextract -I app/GAME.GOG"), std::string::npos) << said;
}

TEST(Installer, ASliceIsToldByItsSignature) {
    Bytes slice = {'i', 'd', 's', 'k', 'a', '3', '2', 0x1A};
    slice.resize(100000, 0);
    EXPECT_EQ(RefusalOf(slice, "setup_marrowgate_1.0-1.bin").rfind("a slice of an Inno Setup installer", 0), 0u);
}

// What cannot be trusted in an installer is checked before use: a header that fails its
// CRC32 or claims more than the file or any installer holds leaves the name unsaid; a loader
// table that fails its CRC32 is no installer's.
TEST(Installer, HostileHeadersAreCheckedBeforeUse) {
    const Installer good = MakeInstaller("Inno Setup Setup Data (5.5.7) (u)", HeaderNaming(u"Marrowgate"));
    const size_t stream = 0x800 + 64;
    const struct {
        const char* what;
        std::function<void(Bytes&)> spoil;
        const char* starts;
    } cases[] = {
        {"a piece's CRC32", [&](Bytes& b) { b[stream + 9 + 4] ^= 1; }, "an Inno Setup installer (Inno Setup Setup Data (5.5.7) (u))"},
        {"a claim of 4 GiB", [&](Bytes& b) { Put32(b, stream + 4, 0xFFFFFFF0u); Put32(b, stream, Crc32(&b[stream + 4], 5)); },
         "an Inno Setup installer (Inno Setup Setup Data (5.5.7) (u))"},
        {"cut inside its header", [&](Bytes& b) { b.resize(stream + 20); }, "an Inno Setup installer (Inno Setup Setup Data (5.5.7) (u))"},
        {"no setup data", [&](Bytes& b) { b[0x800] = 'X'; }, "an Inno Setup installer whose setup data cannot be found"},
    };
    for (const auto& c : cases) {
        Bytes bytes = good.bytes;
        c.spoil(bytes);
        EXPECT_EQ(RefusalOf(bytes).rfind(c.starts, 0), 0u) << c.what << ": " << RefusalOf(bytes);
    }
    Bytes badTable = good.bytes;
    badTable[good.table + 20] ^= 1;  // the table no longer matches its CRC32: no installer, a bare file
    ScratchDir dir;
    WriteBytes(dir.path() / "setup.exe", badTable);
    EXPECT_EQ(ExtractImageFile(Utf8(dir.path() / "setup.exe"), [](std::string) { return true; }), ExtractNoPrimaryDescriptor);
}

}  // namespace
