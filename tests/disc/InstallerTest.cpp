// GOG's installers, written in code (InstallerWriter, which innoextract reads: see
// tests/installer/written-installers.sh): GAME.GOG is read out of them as they are
// decompressed, and what is damaged, foreign or hostile is refused with what it is.
// Genuine installers, written by Inno Setup's own compiler, are checked by
// tests/installer/make-installers.sh.
#include <algorithm>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "InstallerWriter.h"
#include "TestFiles.h"
#include "disc/Crc32.h"
#include "disc/containers/inno/Digest.h"
#include "disc/containers/inno/Installer.h"
#include "disc/containers/inno/InstallerSource.h"

namespace {

using namespace test;

const char* const kExe = "setup_marrowgate_1.0.exe";

// A small disc: the game's folders, one file large enough to span chunks' buffers.
Bytes SmallDisc() {
    std::string level(300000, '\0');
    uint32_t seed = 1;
    for (char& c : level) seed = seed * 1103515245 + 12345, c = static_cast<char>(seed >> 24);  // does not compress
    return BuildImage({Dir("DATA", {File("CRED1.PCX;1", "credits"), File("LEVEL1.MAP;1", level)}),
                       Dir("FMV", {File("INTRO.AVI;1", std::string(5000, 'v'))})});
}

InstallerSpec GameInstaller(const Bytes& disc) {
    InstallerSpec spec;
    spec.files = {{"{app}\\goggame-1207663463.info", Bytes(10, 'i'), false}, {"{app}\\GAME.GOG", disc, false}};
    return spec;
}

void WriteAll(const ScratchDir& dir, const WrittenInstaller& written) {
    WriteBytes(dir.path() / kExe, written.exe);
    for (size_t i = 0; i < written.slices.size(); ++i)
        WriteBytes(dir.path() / ("setup_marrowgate_1.0-" + std::to_string(i + 1) + ".bin"), written.slices[i]);
}

struct Outcome {
    ExtractResult result;
    std::string detail;  // the first problem's
    std::map<std::string, std::string> tree;
};

Outcome Import(const ScratchDir& dir, const std::string& name = kExe) {
    ScratchDir out;
    RecordingObserver observer;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.observer = &observer;
    Outcome outcome;
    outcome.result = ExtractImageFile(Utf8(dir.path() / name), [](std::string) { return true; }, options);
    outcome.detail = observer.problems.empty() ? std::string() : observer.problems[0].detail;
    outcome.tree = ReadTree(out.path());
    return outcome;
}

std::map<std::string, std::string> TreeOf(const Bytes& disc) {
    ScratchDir dir, out;
    WriteBytes(dir.path() / "disc.iso", disc);
    ExtractOptions options;
    options.outputRoot = out.utf8();
    EXPECT_EQ(ExtractImageFile(Utf8(dir.path() / "disc.iso"), [](std::string) { return true; }, options), ExtractOk);
    return ReadTree(out.path());
}

// One table of setup data versions, compressions and layouts; each read from its .exe
// and, where it has them, from a slice, byte for byte.
TEST(Installer, GameImageIsReadFromEveryVersionAndCompression) {
    const Bytes disc = SmallDisc();
    const auto expected = TreeOf(disc);
    const struct {
        const char* version;
        bool unicode;
        InstallerCompression compression;
        bool solid;
        uint32_t slice;
    } cases[] = {
        {"5.5.0", true, InstallerCompression::Lzma1, false, 0},
        {"5.5.0", false, InstallerCompression::Zlib, true, 0},
        {"5.5.7", true, InstallerCompression::Bzip2, true, 100000},
        {"5.6.2", true, InstallerCompression::Lzma2, false, 0},
        {"6.0.0", true, InstallerCompression::Stored, false, 50000},
        {"6.1.0", true, InstallerCompression::Lzma2, true, 0},
        {"6.3.0", true, InstallerCompression::Zlib, false, 0},
        {"6.4.0.1", true, InstallerCompression::Lzma2, true, 200000},
    };
    for (const auto& c : cases) {
        InstallerSpec spec = GameInstaller(disc);
        spec.version = c.version, spec.unicode = c.unicode, spec.compression = c.compression, spec.solid = c.solid, spec.sliceSize = c.slice;
        const WrittenInstaller written = WriteInstaller(spec);
        ScratchDir dir;
        WriteAll(dir, written);
        const std::string what = std::string(c.version) + (c.unicode ? "" : " ANSI") + " compression " +
                                 std::to_string(static_cast<int>(c.compression)) + (c.solid ? " solid" : "");
        const Outcome outcome = Import(dir);
        EXPECT_EQ(outcome.result, ExtractOk) << what << ": " << outcome.detail;
        EXPECT_TRUE(outcome.tree == expected) << what;
        if (!written.slices.empty()) {
            EXPECT_GE(written.slices.size(), 2u) << what;
            EXPECT_TRUE(Import(dir, "setup_marrowgate_1.0-2.bin").tree == expected) << what << ", named by a slice";
        }
        InstallerFacts facts;
        std::string why;
        ASSERT_TRUE(DescribeInstaller(Utf8(dir.path() / kExe), facts, why)) << what << ": " << why;
        EXPECT_EQ(facts.appName, "Marrowgate");
        EXPECT_EQ(facts.gogGameId, "1207663463");
        EXPECT_TRUE(facts.holdsGameImage);
    }
}

// The call filter is undone before the digest is compared: a program stored through it
// reads back as it was (here GAME.GOG itself, so that the import shows it).
TEST(Installer, TheCallFilterIsUndone) {
    Bytes disc = SmallDisc();
    // Calls in the image's unused system area; its random file holds more, some by the
    // 64 KiB blocks' ends.
    for (size_t at : {size_t{100}, size_t{0x7FF0}}) {
        disc[at] = 0xE8, disc[at + 1] = 0x10, disc[at + 2] = 0xF0, disc[at + 3] = 0xFF, disc[at + 4] = 0xFF;
    }
    InstallerSpec spec = GameInstaller(disc);
    spec.files[1].callFilter = true;
    ScratchDir dir;
    WriteAll(dir, WriteInstaller(spec));
    const Outcome outcome = Import(dir);
    EXPECT_EQ(outcome.result, ExtractOk) << outcome.detail;
    EXPECT_TRUE(outcome.tree == TreeOf(disc));
}

// GOG's large files come in parts, each deflated, that its install script joins: the
// parts are joined, and the whole file's MD5 is checked as each part's SHA-1 is.
TEST(Installer, AGameImageInGogsPartsIsJoined) {
    const Bytes disc = SmallDisc();
    for (bool sliced : {false, true}) {
        InstallerSpec spec = GameInstaller(disc);
        spec.files.pop_back();
        for (InstallerSpec::File& part : GogParts("{app}\\GAME.GOG", disc, 3)) spec.files.push_back(std::move(part));
        spec.sliceSize = sliced ? 100000 : 0;
        ScratchDir dir;
        WriteAll(dir, WriteInstaller(spec));
        const Outcome outcome = Import(dir);
        EXPECT_EQ(outcome.result, ExtractOk) << outcome.detail;
        EXPECT_TRUE(outcome.tree == TreeOf(disc)) << (sliced ? "sliced" : "in the .exe");
    }
    InstallerSpec spec = GameInstaller(disc);
    spec.files.pop_back();
    std::vector<InstallerSpec::File> parts = GogParts("{app}\\GAME.GOG", disc, 3);
    parts.pop_back();
    for (InstallerSpec::File& part : parts) spec.files.push_back(std::move(part));
    ScratchDir dir;
    WriteAll(dir, WriteInstaller(spec));
    const Outcome outcome = Import(dir);
    EXPECT_EQ(outcome.result, ExtractBadContainer);
    EXPECT_NE(outcome.detail.find("GAME.GOG is stored in parts, and 1 of them are not there"), std::string::npos) << outcome.detail;
}

// Damaged data: the files complete before it stay, and the line says what failed.
TEST(Installer, DamagedDataFailsTheImportAndSaysWhy) {
    const Bytes disc = SmallDisc();
    const auto expected = TreeOf(disc);
    InstallerSpec spec = GameInstaller(disc);
    spec.compression = InstallerCompression::Stored;
    const WrittenInstaller good = WriteInstaller(spec);
    const size_t lastSector = good.exe.size() - 100;  // inside the image's last block: no file's data
    const size_t fileData = good.exe.size() - disc.size() + 18 * 2048;  // the first file's data

    ScratchDir quiet;
    WrittenInstaller spoiled = good;
    spoiled.exe[lastSector] ^= 1;
    WriteAll(quiet, spoiled);
    Outcome outcome = Import(quiet);
    EXPECT_EQ(outcome.result, ExtractDamagedSector);
    EXPECT_NE(outcome.detail.find("GAME.GOG's digest does not match the installer's record of it"), std::string::npos) << outcome.detail;
    EXPECT_TRUE(outcome.tree == expected) << "every file is complete: only the digest tells";

    spec.compression = InstallerCompression::Lzma2;
    WrittenInstaller lzma = WriteInstaller(spec);
    lzma.exe[lzma.exe.size() / 2 + 2000] ^= 0x55;
    ScratchDir broken;
    WriteAll(broken, lzma);
    outcome = Import(broken);
    EXPECT_NE(outcome.result, ExtractOk);
    EXPECT_FALSE(outcome.detail.empty());
    (void)fileData;
}

// Refusals, each with its line; none writes anything.
TEST(Installer, ForeignAndHostileInstallersAreRefusedWithWhatTheyAre) {
    const Bytes disc = SmallDisc();
    const struct {
        const char* what;
        std::function<void(InstallerSpec&)> change;
        std::function<void(WrittenInstaller&)> spoil;
        const char* says;
        ExtractResult result = ExtractBadContainer;
    } cases[] = {
        {"without GAME.GOG", [](InstallerSpec& s) { s.files.pop_back(); }, nullptr, "an Inno Setup installer for Marrowgate without GAME.GOG"},
        {"password", [](InstallerSpec& s) { s.password = true; }, nullptr, "a password-protected installer"},
        {"an older version", [](InstallerSpec& s) { s.version = "5.4.2"; }, nullptr,
         "an Inno Setup installer for Marrowgate whose setup data version is not read (Inno Setup Setup Data (5.4.2) (u); 5.5.0 to 6.4 are)"},
        {"a missing slice", [](InstallerSpec& s) { s.sliceSize = 100000; }, [](WrittenInstaller& w) { w.slices.pop_back(); },
         "a slice of the installer", ExtractImageNotOpened},
        {"a cut slice", [](InstallerSpec& s) { s.sliceSize = 100000; }, [](WrittenInstaller& w) { w.slices[1].resize(50000); },
         "a slice whose recorded size (100000 bytes) does not fit the file (50000)"},
        {"no chunk there", nullptr,
         [](WrittenInstaller& w) {  // GAME.GOG's chunk, the second
             const Bytes signature = {'z', 'l', 'b', 0x1a};
             auto second = std::search(w.exe.begin() + static_cast<std::ptrdiff_t>(w.dataStart) + 1, w.exe.end(), signature.begin(), signature.end());
             *second = 'Z';
         },
         "no chunk where a file's data entry points"},
        {"a disc of 3 GiB", [](InstallerSpec& s) { s.files[1].recordedSize = uint64_t{3} << 30; }, nullptr,
         "its GAME.GOG claims 3072 MiB, more than a CD holds"},
        {"stored past its chunk", [](InstallerSpec& s) { s.compression = InstallerCompression::Stored, s.files[1].recordedSize = s.files[1].data.size() + 1; },
         nullptr, "its GAME.GOG lies past the end of its chunk"},
        {"a header's CRC32", nullptr, [](WrittenInstaller& w) { w.exe[w.headerStream + 20] ^= 1; }, "does not match its CRC32"},
        {"cut in its header", nullptr, [](WrittenInstaller& w) { w.exe.resize(w.headerStream + 30); }, "more than the file holds"},
    };
    for (const auto& c : cases) {
        InstallerSpec spec = GameInstaller(disc);
        spec.compression = InstallerCompression::Zlib;
        if (c.change) c.change(spec);
        WrittenInstaller written = WriteInstaller(spec);
        if (c.spoil) c.spoil(written);
        ScratchDir dir;
        WriteAll(dir, written);
        const Outcome outcome = Import(dir);
        EXPECT_EQ(outcome.result, c.result) << c.what << ": " << outcome.detail;
        EXPECT_NE(outcome.detail.find(c.says), std::string::npos) << c.what << ": " << outcome.detail;
        EXPECT_TRUE(outcome.tree.empty()) << c.what;
    }
}

// A header that claims gigabytes ends at once: the claim is checked against the file.
TEST(Installer, ClaimsOfGigabytesEndAtOnce) {
    InstallerSpec spec = GameInstaller(SmallDisc());
    spec.compression = InstallerCompression::Stored;
    WrittenInstaller written = WriteInstaller(spec);
    // The first header stream's stored size, 4 GiB less 16, under a matching CRC32.
    Bytes& exe = written.exe;
    const size_t at = written.headerStream;
    for (int i = 0; i < 4; ++i) exe[at + 4 + i] = static_cast<unsigned char>(0xFFFFFFF0u >> (8 * i));
    const uint32_t crc = Crc32(&exe[at + 4], 5);
    for (int i = 0; i < 4; ++i) exe[at + i] = static_cast<unsigned char>(crc >> (8 * i));
    ScratchDir dir;
    WriteAll(dir, written);
    const Outcome outcome = Import(dir);
    EXPECT_EQ(outcome.result, ExtractBadContainer);
    EXPECT_NE(outcome.detail.find("a header claims 4294967280 bytes, more than any installer's"), std::string::npos) << outcome.detail;
}

// A ByteSource over bytes in memory.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(Bytes bytes) : m_bytes(std::move(bytes)) {}
    size_t ReadAt(uint64_t position, void* buffer, size_t size) override {
        if (position >= m_bytes.size()) return 0;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(size, m_bytes.size() - position));
        std::memcpy(buffer, m_bytes.data() + position, count);
        return count;
    }
    uint64_t Size() override { return m_bytes.size(); }

private:
    Bytes m_bytes;
};

// Reads out of order are served as reads in order are: from the kept head, the last
// block, or by decompressing again from the start, which is counted and bounded.
TEST(Installer, ReadsOutOfOrderDecompressAgainABoundedNumberOfTimes) {
    Bytes file(9 << 20);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<unsigned char>(i * 13 + i / 65521);
    InstallerSpec spec;
    spec.compression = InstallerCompression::Lzma2;
    spec.files = {{"{app}\\GAME.GOG", file, false}};
    const WrittenInstaller written = WriteInstaller(spec);
    auto data = std::make_shared<InstallerData>();
    data->slices.push_back({std::make_shared<MemorySource>(written.exe), written.exe.size(), kExe});
    data->start = written.dataStart;
    SetupDataEntry entry;
    entry.chunkSize = written.exe.size() - written.dataStart - 4;
    entry.fileSize = file.size();
    entry.compressed = true;
    Digest digest(DigestKind::Sha1);
    digest.Add(file.data(), file.size());
    entry.checksum = digest.Finish();
    StoredFile stored;
    stored.parts.push_back({entry, entry.fileSize});
    InstallerSource source(data, stored, ChunkCompression::Lzma2, "GAME.GOG");

    const auto expectAt = [&](uint64_t position, size_t size) {
        Bytes got(size);
        ASSERT_EQ(source.ReadAt(position, got.data(), size), size) << position << ": " << source.Fault();
        EXPECT_TRUE(std::equal(got.begin(), got.end(), file.begin() + static_cast<std::ptrdiff_t>(position))) << position;
    };
    expectAt(16 * 2048, 2048);   // the head
    expectAt(7 << 20, 100000);   // forward
    expectAt(100, 4000);         // back into the head: kept
    expectAt((7 << 20) + 5, 10); // back into the last block: kept
    EXPECT_EQ(source.Restarts(), 0);
    expectAt(5 << 20, 3000);     // back past both: decompressed again
    EXPECT_EQ(source.Restarts(), 1);
    EXPECT_EQ(source.CheckWhole(), "");
    for (int i = 0; i < 20; ++i) source.ReadAt(5 << 20, file.data(), 1), source.ReadAt(8 << 20, file.data(), 1);
    Bytes one(1);
    EXPECT_EQ(source.ReadAt(5 << 20, one.data(), 1), 0u);
    EXPECT_NE(source.Fault().find("read out of order more often than GAME.GOG can be decompressed again"), std::string::npos)
        << source.Fault();
}

TEST(Installer, ASliceIsToldByItsSignature) {
    Bytes slice = {'i', 'd', 's', 'k', 'a', '3', '2', 0x1A};
    slice.resize(100000, 0);
    ScratchDir dir;
    WriteBytes(dir.path() / "setup_marrowgate_1.0-1.bin", slice);
    const Outcome outcome = Import(dir, "setup_marrowgate_1.0-1.bin");
    EXPECT_EQ(outcome.result, ExtractBadContainer);
    EXPECT_NE(outcome.detail.find("a slice of an Inno Setup installer whose .exe is not beside it (looked for "), std::string::npos)
        << outcome.detail;
}

}  // namespace
