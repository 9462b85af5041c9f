// The file system addresses the whole disc: a file's data is read from whichever data
// track holds it, and one that lies where no data can be read is named with the cause.
// A track stored in several files is read across them; a sector cut short counts only
// the user data it holds.
#include <cstring>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "RipWriter.h"
#include "TestFiles.h"

namespace {

using namespace test;

constexpr uint32_t kAudioStart = 30, kMode2Start = 60, kForm2Start = 70, kDiscEnd = 80;

// Track 1, Mode 1 (0-29): the volume, DATA with IN1 there; track 2, audio (30-59); track
// 3, Mode 2 (60-79): Form 1 sectors holding SECOND, then Form 2 sectors. AUDIO, FORM2
// and PAST point into track 2, the Form 2 sectors and past the disc.
Bytes MixedDisc() {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(1), in1 = b.Allocate(1);
    b.Put(in1 * 2048, std::string("one"));
    const std::vector<Bytes> records = {
        Record("IN1;1", in1, 3, false),          Record("AUDIO;1", kAudioStart + 2, 100, false),
        Record("SECOND;1", kMode2Start + 1, 6, false), Record("FORM2;1", kForm2Start + 3, 100, false),
        Record("PAST;1", 500, 100, false),
    };
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, records), true)});
    b.image.resize(size_t{kAudioStart} * 2048);
    Bytes raw(size_t{kDiscEnd} * kRawSectorSize, 0);
    for (uint32_t lba = 0; lba < kAudioStart; ++lba) MakeRawMode1Sector(lba, &b.image[lba * 2048], &raw[lba * kRawSectorSize]);
    Bytes user(2048, 0), payload(2324, 'v');
    std::memcpy(user.data(), "second", 6);
    for (uint32_t lba = kMode2Start; lba < kForm2Start; ++lba) MakeRawForm1Sector(lba, user.data(), &raw[lba * kRawSectorSize]);
    for (uint32_t lba = kForm2Start; lba < kDiscEnd; ++lba) MakeRawForm2Sector(lba, payload.data(), &raw[lba * kRawSectorSize]);
    return raw;
}

const char kMixedCue[] =
    "FILE disc.bin BINARY\n"
    "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    INDEX 01 00:00:30\n"
    "  TRACK 03 MODE2/2352\n    INDEX 01 00:00:60\n";

void WriteText(const fs::path& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

ExtractResult ImportAll(const fs::path& image, const fs::path& out, RecordingObserver& observer) {
    ExtractOptions options;
    options.outputRoot = Utf8(out);
    options.observer = &observer;
    return ExtractImageFile(Utf8(image), [](std::string) { return true; }, options);
}

TEST(DiscTracks, EachFileIsReadFromItsTrackOrNamedWithItsCause) {
    ScratchDir dir, out;
    WriteBytes(dir.path() / "disc.bin", MixedDisc());
    WriteText(dir.path() / "disc.cue", kMixedCue);
    RecordingObserver observer;
    EXPECT_EQ(ImportAll(dir.path() / "disc.cue", out.path(), observer), ExtractOutsideData);  // the first fault met
    EXPECT_EQ(ReadTree(out.path()), (std::map<std::string, std::string>{{"DATA/", ""}, {"DATA/IN1", "one"}, {"DATA/SECOND", "second"}}));
    const struct {
        const char* where;
        ExtractResult cause;
        const char* detail;
    } expected[] = {
        {"DATA/AUDIO;1", ExtractOutsideData, "sector 32: in audio track 2"},
        {"DATA/FORM2;1", ExtractDamagedSector, "sector 73: Mode 2 Form 2 (not 2048 bytes of data)"},
        {"DATA/PAST;1", ExtractImageTruncated, "its data runs past the image's end"},
    };
    ASSERT_EQ(observer.problems.size(), 4u);  // each file, then the image's end summed up
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(observer.problems[i].where, expected[i].where);
        EXPECT_EQ(observer.problems[i].cause, expected[i].cause) << expected[i].where;
        EXPECT_EQ(observer.problems[i].detail, expected[i].detail);
    }
}

// The same disc, each of its three tracks a file of its own, and the data track 3 split in
// two more: a cdrdao TOC names both pieces in one TRACK, a cue sheet goes on in the next
// FILE with INDEX 02. SECOND and FORM2 are read (or refused) across the split.
TEST(DiscTracks, ATrackStoredInSeveralFilesIsReadAcrossThem) {
    const Bytes disc = MixedDisc();
    const auto piece = [&](uint32_t from, uint32_t to) {
        return Bytes(disc.begin() + from * kRawSectorSize, disc.begin() + to * kRawSectorSize);
    };
    const uint32_t split = kMode2Start + 1;  // SECOND starts the second piece
    const struct {
        const char* name;
        const char* sheet;
    } sheets[] = {
        {"disc.toc",
         "CD_ROM_XA\n"
         "TRACK MODE1_RAW\nDATAFILE \"t1.bin\"\n"
         "TRACK AUDIO\nFILE \"t2.bin\" 0\n"
         "TRACK MODE2_RAW\nDATAFILE \"t3a.bin\"\nDATAFILE \"t3b.bin\"\n"},
        {"disc.cue",
         "FILE t1.bin BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
         "FILE t2.bin BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"
         "FILE t3a.bin BINARY\n  TRACK 03 MODE2/2352\n    INDEX 01 00:00:00\n"
         "FILE t3b.bin BINARY\n    INDEX 02 00:00:00\n"},
    };
    for (const auto& sheet : sheets) {
        ScratchDir dir, out;
        WriteBytes(dir.path() / "t1.bin", piece(0, kAudioStart));
        WriteBytes(dir.path() / "t2.bin", piece(kAudioStart, kMode2Start));
        WriteBytes(dir.path() / "t3a.bin", piece(kMode2Start, split));
        WriteBytes(dir.path() / "t3b.bin", piece(split, kDiscEnd));
        WriteText(dir.path() / sheet.name, sheet.sheet);
        RecordingObserver observer;
        EXPECT_EQ(ImportAll(dir.path() / sheet.name, out.path(), observer), ExtractOutsideData) << sheet.name;
        EXPECT_EQ(ReadText(out.path() / "DATA" / "SECOND"), "second") << sheet.name;
        ASSERT_EQ(observer.problems.size(), 4u) << sheet.name;
        EXPECT_EQ(observer.problems[1].detail, "sector 73: Mode 2 Form 2 (not 2048 bytes of data)") << sheet.name;
    }
}

// A track-at-once Nero image, as a Video CD is burnt: its table gives each track's address
// without the 150-sector pregap burnt before it, which the file system's addresses count.
TEST(DiscTracks, ATrackAtOnceNeroImageCountsThePregapsItDoesNotStore) {
    constexpr uint32_t kFirst = 30, kSecond = 10, kSecondAt = kFirst + 150, kMode2 = 2336;
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(1);
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, {Record("T2;1", kSecondAt + 1, 3, false)}), true)});
    b.image.resize(size_t{kFirst} * 2048);
    Bytes second(size_t{kSecond} * 2048, 0);
    std::memcpy(&second[2048], "two", 3);
    Bytes sectors = WrapSectors(b.image, RipLayout::Form1Headless);
    const Bytes track2 = WrapSectors(second, RipLayout::Form1Headless, kSecondAt);
    sectors.insert(sectors.end(), track2.begin(), track2.end());
    const uint64_t end1 = uint64_t{kFirst} * kMode2, end2 = end1 + uint64_t{kSecond} * kMode2;
    ScratchDir dir, out;
    WriteBytes(dir.path() / "vcd.nrg", NrgImage(sectors, {{0x03, kMode2, 0, 0, end1, 0, true}, {0x03, kMode2, end1, end1, end2, kFirst, true}},
                                                false, true));
    RecordingObserver observer;
    EXPECT_EQ(ImportAll(dir.path() / "vcd.nrg", out.path(), observer), ExtractOk);
    EXPECT_EQ(ReadText(out.path() / "DATA" / "T2"), "two");
}

// An image cut inside a sector holds that sector's user data only from where it starts:
// byte 16 in Mode 1, byte 24 in Mode 2 Form 1, whatever the image's layout.
TEST(DiscTracks, ASectorCutShortCountsOnlyTheUserDataItHolds) {
    ImageBuilder b;
    b.PutTree({Dir("DATA", {File("BIG;1", std::string(40000, 'b'))})});
    const struct {
        RipLayout layout;
        uint32_t dataStart;
    } cases[] = {{RipLayout::Mode1, 16}, {RipLayout::Form1, 24}, {RipLayout::Form1Headless, 8}, {RipLayout::Cooked, 0}};
    for (const auto& c : cases) {
        Bytes image = WrapSectors(b.image, c.layout);
        const uint32_t stride = RipStride(c.layout), sectors = static_cast<uint32_t>(image.size() / stride);
        image.resize(size_t{sectors - 1} * stride + c.dataStart + 100);  // 100 bytes of the last sector's data
        ScratchDir dir, out;
        WriteBytes(dir.path() / "cut.img", image);
        RecordingObserver observer;
        EXPECT_EQ(ImportAll(dir.path() / "cut.img", out.path(), observer), ExtractImageTruncated);
        ASSERT_FALSE(observer.problems.empty());
        const std::string holds = "it holds " + std::to_string(uint64_t{sectors - 1} * 2048 + 100) + " bytes of data,";
        EXPECT_EQ(observer.problems.back().detail.rfind(holds, 0), 0u) << static_cast<int>(c.layout) << ": " << observer.problems.back().detail;
    }
}

}  // namespace
