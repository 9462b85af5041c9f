// What a rip that cannot be read as it is says: malformed sheets by line, missing files
// by name, discs without data, Mode 2 Form 2 sectors where a file's data should be, and
// damaged Form 1 sectors under the test.
#include <algorithm>
#include <chrono>
#include <fstream>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "TestFiles.h"
#ifdef MG_CHD
#include "ChdWriter.h"
#endif
#include "disc/Edc.h"

namespace {

using namespace test;

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

RecordingObserver::Problem Extract(const fs::path& image, ExtractResult expected, ExtractOptions options = {}) {
    ScratchDir out("out");
    RecordingObserver observer;
    if (options.outputRoot == ".") options.outputRoot = out.utf8();
    options.observer = &observer;
    EXPECT_EQ(ExtractImageFile(Utf8(image), [](std::string) { return true; }, options), expected);
    if (observer.problems.empty()) return {};
    return observer.problems.front();
}

struct BadSheet {
    const char* what;
    const char* file;  // the sheet's name: its extension tells nothing, its text does
    const char* sheet;
    const char* detail;
};

const BadSheet kBadSheets[] = {
    {"track before file", "disc.cue", "TRACK 01 MODE1/2352\n", "line 1: TRACK before any FILE"},
    {"track numbers skip", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n",
     "line 4: track 03 where track 2 should follow"},
    {"track 100", "disc.cue", "FILE a.bin BINARY\nTRACK 100 MODE1/2352\n", "line 2: TRACK needs a number from 1 to 99 and a type"},
    {"no index 01", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 00 00:00:00\n", "line 2: track 1 has no INDEX 01"},
    {"seconds of 60", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:60:00\n", "line 3: bad time 00:60:00"},
    {"frames of 75", "disc.cue", "FILE a.bin BINARY\r\nTRACK 01 MODE1/2352\r\nINDEX 01 00:00:75\r\n", "line 3: bad time 00:00:75"},
    {"index going back", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:10\nTRACK 02 AUDIO\nINDEX 01 00:00:05\n",
     "line 5: INDEX time goes back"},
    {"unknown type", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE3/2352\n", "line 2: unknown track type MODE3/2352"},
    {"data in a wave file", "disc.cue", "FILE a.bin WAVE\nTRACK 01 MODE1/2352\n", "line 2: a data track in an audio file"},
    {"unclosed quote", "disc.cue", "FILE \"a.bin BINARY\n", "line 1: a quote is not closed"},
    {"unknown command", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEKS 01 00:00:00\n", "line 3: unknown command INDEKS"},
    {"file shorter than its times", "disc.cue", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:10:00\n",
     "a.bin is shorter than its INDEX times say"},
    {"toc unknown mode", "disc.toc", "CD_ROM\nTRACK MODE9\n", "line 2: unknown track mode MODE9"},
    {"toc file too short", "disc.toc", "CD_ROM\n// a comment\nTRACK MODE1_RAW\nDATAFILE \"a.bin\" 00:00:30\n",
     "a.bin is shorter than the range it is asked for"},
    {"toc fifo", "disc.toc", "CD_ROM\nTRACK MODE1_RAW\nFIFO \"/tmp/f\" 100\n", "line 3: FIFO data cannot be read from a file"},
    {"toc open block", "disc.toc", "CD_ROM\nCD_TEXT {\n LANGUAGE 0 {\nTRACK MODE1\n", "line 2: a { block } is not closed"},
    {"ccd without toc entries", "disc.ccd", "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=0\n", "no track in its table of contents"},
    {"ccd scrambled", "disc.ccd", "[CloneCD]\nVersion=3\n[Disc]\nDataTracksScrambled=1\n", "line 3: its data tracks are stored scrambled"},
    {"ccd not key and value", "disc.ccd", "[CloneCD]\nVersion 3\n", "line 2: not KEY=VALUE in a section"},
};

void PrintTo(const BadSheet& sheet, std::ostream* out) { *out << sheet.what; }

class BadSheetTest : public testing::TestWithParam<BadSheet> {};

TEST_P(BadSheetTest, IsRefusedNamingTheLine) {
    ScratchDir dir;
    WriteBytes(dir.path() / "a.bin", Bytes(10 * 2352, 0));
    WriteText(dir.path() / GetParam().file, GetParam().sheet);
    const auto problem = Extract(dir.path() / GetParam().file, ExtractBadContainer);
    EXPECT_EQ(problem.where, Utf8(dir.path() / GetParam().file));
    EXPECT_NE(problem.detail.find(GetParam().detail), std::string::npos) << problem.detail;
}

INSTANTIATE_TEST_SUITE_P(Sheets, BadSheetTest, testing::ValuesIn(kBadSheets), [](const testing::TestParamInfo<BadSheet>& info) {
    std::string name = info.param.what;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
});

// Alcohol descriptors that cannot be read, each refused with its reason.
TEST(DiscProblems, BadAlcoholDescriptorsAreRefused) {
    const auto descriptor = [](unsigned char version, uint32_t areaBlock, size_t size) {
        std::string mds = "MEDIA DESCRIPTOR";
        mds.resize(size, '\0');
        mds[16] = static_cast<char>(version);
        mds[0x14] = 1;
        for (int i = 0; i < 4; ++i) mds[0x50 + i] = static_cast<char>(areaBlock >> (8 * i));
        return mds;
    };
    const struct {
        std::string mds;
        const char* detail;
    } cases[] = {
        {descriptor(2, 88, 200), "This is a version 2 MDS/MDX image (Alcohol 2.0 or DAEMON Tools); its descriptor is encrypted."},
        {descriptor(3, 88, 200), "a descriptor of version 3"},
        {descriptor(1, 0xFFFFFFF0u, 200), "its first area block lies past its end"},
        {descriptor(1, 88, 100), "its first area block lies past its end"},
        {descriptor(1, 88, 20 << 20), "an Alcohol descriptor is at most 16 MiB; this one is 20 MiB"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        WriteText(dir.path() / "disc.mds", c.mds);
        const auto problem = Extract(dir.path() / "disc.mds", ExtractBadContainer);
        EXPECT_NE(problem.detail.find(c.detail), std::string::npos) << problem.detail;
    }
}

// Nero images whose chunks cannot be read: each refused at once, with its reason.
TEST(DiscProblems, BadNeroChunksAreRefused) {
    const auto be = [](uint64_t value, int size) {
        std::string out;
        for (int i = size - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
        return out;
    };
    const auto image = [&](const std::string& chunks, uint64_t offset) { return std::string(4096, '\0') + chunks + "NER5" + be(offset, 8); };
    std::string many;
    for (int i = 0; i < 3000; ++i) many += "CDTX" + be(2000, 4) + std::string(2000, 'x');
    const struct {
        std::string nrg;
        const char* detail;
    } cases[] = {
        {image("END!" + be(0, 4), 1 << 30), "breaks off before END!"},
        {image("DAOX" + be(1 << 30, 4), 4096), "breaks off before END!"},
        {image("MTYP" + be(4, 4) + be(1, 4), 4096), "breaks off before END!"},
        {image("MTYP" + be(4, 4) + be(1, 4) + "END!" + be(0, 4), 4096), "no track table"},
        {image("DAOX" + be(22, 4) + std::string(22, '\0') + "END!" + be(0, 4), 4096), "its track table lists no tracks"},
        {image(many + "END!" + be(0, 4), 4096), "the chain of chunks that lists its tracks is at most 4 MiB; this one is"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        WriteText(dir.path() / "disc.nrg", c.nrg);
        const auto problem = Extract(dir.path() / "disc.nrg", ExtractBadContainer);
        EXPECT_NE(problem.detail.find(c.detail), std::string::npos) << problem.detail;
    }
}

#ifdef MG_CHD
const std::string kChdFile(30000, 'a');

// A CHD of a game in Zstandard hunks; the hunk `damaged`, if any, fails its CRC.
Bytes GameChd(size_t damaged = SIZE_MAX) {
    const Bytes sectors = WrapSectors(BuildImage({Dir("DATA", {File("A.BIN;1", kChdFile)})}), RipLayout::Mode1);
    const Bytes frames = WithEmptySubchannel(sectors);
    return WriteChdZstd(frames, "TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:" + std::to_string(sectors.size() / 2352) +
                                    " PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0",
                        damaged);
}

void PutBe(Bytes& bytes, size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * (size - 1 - i)));
}

// CHDs that cannot be read: each refused at once, with its reason, however large they claim to be.
TEST(DiscProblems, BadChdsAreRefused) {
    const struct {
        void (*change)(Bytes& chd);
        const char* detail;
    } cases[] = {
        {[](Bytes& chd) { PutBe(chd, 12, 4, 4); }, "a version 4 CHD: make a version 5 one with chdman copy"},
        {[](Bytes& chd) { chd[110] = 1; }, "it needs its parent CHD"},
        {[](Bytes& chd) { PutBe(chd, 32, uint64_t{1} << 50, 8); }, "larger than any CD"},
        {[](Bytes& chd) { PutBe(chd, 56, 1000, 4); }, "hunks of 1000 bytes"},
        {[](Bytes& chd) { PutBe(chd, 60, 2048, 4); }, "not a CD"},
        {[](Bytes& chd) { PutBe(chd, 16, 0x6C7A6D61, 4); }, "a codec not read: lzma"},
        {[](Bytes& chd) { PutBe(chd, 40, uint64_t{1} << 40, 8); }, "its map lies past its end"},
        {[](Bytes& chd) { PutBe(chd, 48 + 0, 124, 8), PutBe(chd, 124 + 8, 124, 8); }, "its metadata chain breaks off or loops"},
        {[](Bytes& chd) { chd[chd.size() - 1] ^= 0xFF; }, "its map does not match its CRC"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        Bytes chd = GameChd();
        c.change(chd);
        WriteBytes(dir.path() / "game.chd", chd);
        const auto start = std::chrono::steady_clock::now();
        const auto problem = Extract(dir.path() / "game.chd", ExtractBadContainer);
        EXPECT_NE(problem.detail.find(c.detail), std::string::npos) << problem.detail;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

TEST(DiscProblems, ADamagedChdHunkMakesItsFileDamaged) {
    const Bytes cooked = BuildImage({Dir("DATA", {File("A.BIN;1", kChdFile)})});
    const size_t sector = static_cast<size_t>(std::search(cooked.begin(), cooked.end(), kChdFile.begin(), kChdFile.end()) - cooked.begin()) / 2048;
    ScratchDir dir, out("out");
    WriteBytes(dir.path() / "game.chd", GameChd((sector + 14) / 8));  // its last sector's hunk: eight frames a hunk
    ExtractOptions options;
    options.outputRoot = out.utf8();
    const auto problem = Extract(dir.path() / "game.chd", ExtractDamagedSector, options);
    EXPECT_EQ(problem.where, "DATA/A.BIN;1");
    EXPECT_NE(problem.detail.find("does not match its CRC"), std::string::npos) << problem.detail;
    EXPECT_FALSE(fs::exists(out.path() / "DATA" / "A.BIN"));
}
#endif

TEST(DiscProblems, AMissingFileIsNamedAsTheSheetAsksForIt) {
    ScratchDir dir;
    WriteText(dir.path() / "disc.cue", "FILE \"Track 01.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    const auto problem = Extract(dir.path() / "disc.cue", ExtractImageNotOpened);
    EXPECT_EQ(problem.where, Utf8(dir.path() / "Track 01.bin"));
    EXPECT_EQ(problem.systemError, ENOENT);
}

TEST(DiscProblems, AnAudioOnlyDiscIsRefusedWithThatReason) {
    ScratchDir dir;
    WriteBytes(dir.path() / "cd.bin", Bytes(300 * 2352, 0));
    WriteText(dir.path() / "cd.cue", "FILE cd.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n");
    const auto problem = Extract(dir.path() / "cd.bin", ExtractNoPrimaryDescriptor);  // named by its data file
    EXPECT_EQ(problem.detail, "a disc with no data track (2 audio tracks)");
}

TEST(DiscProblems, HugeSheetsEndAtOnce) {
    ScratchDir dir;
    std::string huge(20 << 20, 'x');
    huge.replace(0, 5, "FILE ");
    WriteText(dir.path() / "huge.cue", huge);
    const auto start = std::chrono::steady_clock::now();
    const auto problem = Extract(dir.path() / "huge.cue", ExtractBadContainer);
    EXPECT_EQ(problem.detail, "a cue sheet is at most 1 MiB; this one is 20 MiB");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A game image in Mode 2 Form 1 whose file DATA/B.BIN has one sector changed by `change`.
fs::path ImageWithChangedSector(const fs::path& dir, void (*change)(unsigned char* raw, uint32_t lba)) {
    const std::string b(3 * 2048, 'b');
    const Bytes cooked = BuildImage({Dir("DATA", {File("A.BIN;1", std::string(3000, 'a')), File("B.BIN;1", b)})});
    Bytes raw = WrapSectors(cooked, RipLayout::Form1);
    const auto at = std::search(cooked.begin(), cooked.end(), b.begin(), b.end());
    const uint32_t sector = static_cast<uint32_t>((at - cooked.begin()) / 2048) + 1;  // B.BIN's second
    change(raw.data() + size_t{sector} * 2352, sector);
    WriteBytes(dir / "game.bin", raw);
    return dir / "game.bin";
}

TEST(DiscProblems, AForm2SectorInAFileMakesThatFileDamaged) {
    ScratchDir dir, out("out");
    const fs::path image = ImageWithChangedSector(dir.path(), [](unsigned char* raw, uint32_t lba) {
        const Bytes payload(2324, 'x');
        MakeRawForm2Sector(lba, payload.data(), raw);
    });
    ExtractOptions options;
    options.outputRoot = out.utf8();
    const auto problem = Extract(image, ExtractDamagedSector, options);
    EXPECT_EQ(problem.place, ProblemPlace::InsideImage);
    EXPECT_EQ(problem.where, "DATA/B.BIN;1");
    EXPECT_NE(problem.detail.find("Mode 2 Form 2"), std::string::npos) << problem.detail;
    EXPECT_TRUE(fs::exists(out.path() / "DATA" / "A.BIN"));
    EXPECT_FALSE(fs::exists(out.path() / "DATA" / "B.BIN"));  // never read as 2048 bytes of data
}

TEST(DiscProblems, TheTestFindsADamagedForm1Sector) {
    ScratchDir dir;
    const fs::path image = ImageWithChangedSector(dir.path(), [](unsigned char* raw, uint32_t) { raw[24 + 100] ^= 1; });
    ExtractOptions options;
    options.testOnly = true;
    const auto problem = Extract(image, ExtractDamagedSector, options);
    EXPECT_EQ(problem.where, "DATA/B.BIN;1");
}

TEST(DiscProblems, Form1CodesAreSoundDamagedOrAbsent) {
    std::vector<unsigned char> user(2048, 0x42), raw(kRawSectorSize);
    MakeRawForm1Sector(16, user.data(), raw.data());
    EXPECT_EQ(CheckForm1Sector(raw.data() + 16), SectorCodes::Sound);
    raw[300] ^= 1;
    EXPECT_EQ(CheckForm1Sector(raw.data() + 16), SectorCodes::Damaged);
    std::fill(raw.begin() + 2072, raw.end(), 0);
    EXPECT_EQ(CheckForm1Sector(raw.data() + 16), SectorCodes::Absent);
}

}  // namespace
