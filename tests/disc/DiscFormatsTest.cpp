// Rips of one disc in every layout and container: each must give back the authored tree
// byte for byte, whichever of its files is named.
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "RipWriter.h"
#include "TestFiles.h"
#ifdef MG_CHD
#include "ChdWriter.h"
#endif
#include "game/GameFolderFilter.h"

namespace {

using namespace test;

Bytes ReadImage(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Layout {
    const char* name;
    RipLayout layout;
    const char* cueType;  // nullptr: no cue sheet type stores it
    const char* tocType;  // cdrdao's track mode
    unsigned char mdsMode;  // Alcohol's mode byte
    unsigned char nrgMode;  // Nero's mode code
};

const Layout kLayouts[] = {
    {"cooked", RipLayout::Cooked, "MODE1/2048", "MODE1", 0xAA, 0x00},
    {"mode1", RipLayout::Mode1, "MODE1/2352", "MODE1_RAW", 0xAA, 0x05},
    {"form1", RipLayout::Form1, "MODE2/2352", "MODE2_RAW", 0xEC, 0x06},
    {"form1_2336", RipLayout::Form1Headless, "MODE2/2336", "MODE2_FORM_MIX", 0xAB, 0x03},
    {"mode1_sub", RipLayout::Mode1Sub, nullptr, "MODE1_RAW RW_RAW", 0xAA, 0x0F},
    {"form1_sub", RipLayout::Form1Sub, nullptr, "MODE2_RAW RW_RAW", 0xEC, 0x11},
};

constexpr uint32_t kAudioSectors = 850;  // then a 150-sector pregap: the data track at 1000
const Bytes kSilence(size_t{kAudioSectors} * 2352, 0);

// Writes a rip of `layout` in `dir` and returns the file to name.
using Rip = fs::path (*)(const fs::path& dir, const Layout& layout);

fs::path Bare(const fs::path& dir, const Layout& l) {
    WriteBytes(dir / "disc.img", WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout));
    return dir / "disc.img";
}

fs::path BareWithPregap(const fs::path& dir, const Layout& l) {
    const Bytes pregap(size_t{150} * RipStride(l.layout), 0);
    WriteBytes(dir / "disc.img", Concat(pregap, WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout)));
    return dir / "disc.img";
}

fs::path CueOneTrack(const fs::path& dir, const Layout& l) {
    WriteBytes(dir / "game.bin", WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout));
    WriteText(dir / "game.cue", std::string("FILE \"game.bin\" BINARY\n  TRACK 01 ") + l.cueType + "\n    INDEX 01 00:00:00\n");
    return dir / "game.cue";
}

// Any case, CRLF, an unquoted name with a space, and the data file named instead of the sheet.
fs::path CueNamedByItsBin(const fs::path& dir, const Layout& l) {
    WriteBytes(dir / "My Game.bin", WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout));
    WriteText(dir / "My Game.cue", std::string("rem made by hand\r\nfile My Game.bin binary\r\n  track 01 ") + l.cueType +
                                       "\r\n    Index 01 00:00:00\r\n");
    return dir / "My Game.bin";
}

// Audio first, one file: the data track's pregap (INDEX 00) inside the file, sizes differing.
fs::path CueAudioFirstOneFile(const fs::path& dir, const Layout& l) {
    const Bytes pregap(size_t{150} * RipStride(l.layout), 0);
    WriteBytes(dir / "disc.bin", Concat(Concat(kSilence, pregap), WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000)));
    WriteText(dir / "disc.cue", std::string("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 ") +
                                    l.cueType + "\n    INDEX 00 00:11:25\n    INDEX 01 00:13:25\n");
    return dir / "disc.cue";
}

// Audio first, one file a track as redump names them; the pregap at the start of track 2's file.
fs::path CueAudioFirstRedump(const fs::path& dir, const Layout& l) {
    const Bytes pregap(size_t{150} * RipStride(l.layout), 0);
    WriteBytes(dir / "Disc (Track 1).bin", kSilence);
    WriteBytes(dir / "Disc (Track 2).bin", Concat(pregap, WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000)));
    WriteText(dir / "Disc.cue", std::string("FILE \"Disc (Track 1).bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                            "FILE \"Disc (Track 2).bin\" BINARY\n  TRACK 02 ") +
                                    l.cueType + "\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n");
    return dir / "Disc (Track 2).bin";
}

// Audio first; the data track's pregap in no file (PREGAP).
fs::path CueAudioFirstPregap(const fs::path& dir, const Layout& l) {
    WriteBytes(dir / "audio.bin", kSilence);
    WriteBytes(dir / "data.bin", WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000));
    WriteText(dir / "disc.cue", std::string("FILE audio.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nFILE data.bin BINARY\n  TRACK 02 ") +
                                    l.cueType + "\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n");
    return dir / "disc.cue";
}

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

// CloneCD's table of contents: point A2 (the lead-out) and one entry a track.
std::string CloneCdSheet(const std::vector<std::pair<int, bool>>& tracks, size_t leadOut) {
    std::string sheet = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=" + std::to_string(tracks.size() + 1) +
                        "\r\nSessions=1\r\nDataTracksScrambled=0\r\nCDTextLength=0\r\n[Session 1]\r\nPreGapMode=1\r\nPreGapSubC=0\r\n"
                        "[Entry 0]\r\nSession=1\r\nPoint=0xa2\r\nADR=0x01\r\nControl=0x04\r\nPLBA=" + std::to_string(leadOut) + "\r\n";
    for (size_t i = 0; i < tracks.size(); ++i) {
        sheet += "[Entry " + std::to_string(i + 1) + "]\r\nSession=1\r\nPoint=0x0" + std::to_string(i + 1) +
                 "\r\nADR=0x01\r\nControl=" + (tracks[i].second ? "0x04" : "0x00") + "\r\nPLBA=" + std::to_string(tracks[i].first) + "\r\n";
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
        sheet += "[TRACK " + std::to_string(i + 1) + "]\r\nMODE=" + (tracks[i].second ? "1" : "0") + "\r\nINDEX 1=" +
                 std::to_string(tracks[i].first) + "\r\n";
    }
    return sheet;
}

fs::path CloneCd(const fs::path& dir, const Layout& l) {
    const Bytes image = WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout);
    WriteBytes(dir / "game.img", image);
    WriteText(dir / "game.ccd", CloneCdSheet({{0, true}}, image.size() / 2352));
    return dir / "game.ccd";
}

// Audio first, named by its .img: the data track at 1000, after its pregap.
fs::path CloneCdAudioFirst(const fs::path& dir, const Layout& l) {
    const Bytes data = WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000);
    WriteBytes(dir / "game.img", Concat(Concat(kSilence, Bytes(150 * 2352, 0)), data));
    WriteText(dir / "GAME.CCD", CloneCdSheet({{0, false}, {1000, true}}, 1000 + data.size() / 2352));
    return dir / "game.img";
}

fs::path Toc(const fs::path& dir, const Layout& l) {
    WriteBytes(dir / "game.bin", WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout));
    WriteText(dir / "game.toc", std::string("// written by hand\nCD_ROM\n\nTRACK ") + l.tocType + "\nNO COPY\nDATAFILE \"game.bin\"\n");
    return dir / "game.toc";
}

// Audio first, one file as cdrdao read-cd writes it: ranges by #offset, the data track's
// pregap in the file up to START; named by its data file.
fs::path TocAudioFirst(const fs::path& dir, const Layout& l) {
    const Bytes pregap(size_t{150} * RipStride(l.layout), 0);
    WriteBytes(dir / "disc.bin", Concat(Concat(kSilence, pregap), WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000)));
    WriteText(dir / "disc.toc", std::string("CATALOG \"0000000000000\"\nCD_ROM\nCD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE \"x\" } }\n"
                                            "TRACK AUDIO\nCOPY\nFILE \"disc.bin\" 0 00:11:25\n"
                                            "TRACK ") + l.tocType + "\nDATAFILE \"disc.bin\" #" + std::to_string(kSilence.size()) +
                                    "\nSTART 00:02:00\n");
    return dir / "disc.bin";
}

fs::path Alcohol(const fs::path& dir, const Layout& l) {
    const Bytes data = WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout);
    WriteBytes(dir / "game.mdf", data);
    WriteBytes(dir / "game.mds", MdsDescriptor({{l.mdsMode, RipStride(l.layout), 0, 0, static_cast<uint32_t>(data.size() / RipStride(l.layout))}}));
    return dir / "game.mds";
}

// Audio first, named by its .mdf; Alcohol stores no pregap.
fs::path AlcoholAudioFirst(const fs::path& dir, const Layout& l) {
    const Bytes data = WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000);
    WriteBytes(dir / "game.mdf", Concat(kSilence, data));
    WriteBytes(dir / "game.mds", MdsDescriptor({{0xA9, 2352, 0, 0, kAudioSectors},
                                                {l.mdsMode, RipStride(l.layout), 1000, kSilence.size(), static_cast<uint32_t>(data.size() / RipStride(l.layout))}}));
    return dir / "game.mdf";
}

// Disc at once: the data track's 150-sector pregap stored before it.
fs::path NeroDao(const fs::path& dir, const Layout& l, bool version2) {
    const uint32_t size = RipStride(l.layout);
    const Bytes data = Concat(Bytes(size_t{150} * size, 0), WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout));
    WriteBytes(dir / "game.nrg", NrgImage(data, {{l.nrgMode, size, 0, 150 * size, data.size(), 0, true}}, version2, false));
    return dir / "game.nrg";
}
fs::path NeroDaoV2(const fs::path& dir, const Layout& l) { return NeroDao(dir, l, true); }
fs::path NeroDaoV1(const fs::path& dir, const Layout& l) { return NeroDao(dir, l, false); }

// Track at once: no pregap stored.
fs::path NeroTao(const fs::path& dir, const Layout& l) {
    const uint32_t size = RipStride(l.layout);
    const Bytes data = WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout);
    WriteBytes(dir / "game.nrg", NrgImage(data, {{l.nrgMode, size, 0, 0, data.size(), 0, true}}, false, true));
    return dir / "game.nrg";
}

// Audio first, disc at once: each track's pregap stored before it.
fs::path NeroAudioFirst(const fs::path& dir, const Layout& l, bool version2) {
    const uint32_t size = RipStride(l.layout);
    const Bytes audio = Concat(Bytes(150 * 2352, 0), kSilence);
    const Bytes data = Concat(Bytes(size_t{150} * size, 0), WrapSectors(ReadImage(TestData() / "genisoimage-at1000.iso"), l.layout, 1000));
    const uint64_t dataStart = audio.size();
    WriteBytes(dir / "disc.nrg", NrgImage(Concat(audio, data),
                                          {{0x07, 2352, 0, 150 * 2352, audio.size(), 0, false},
                                           {l.nrgMode, size, dataStart, dataStart + 150 * size, dataStart + data.size(), 1000, true}},
                                          version2, false));
    return dir / "disc.nrg";
}
fs::path NeroAudioFirstV2(const fs::path& dir, const Layout& l) { return NeroAudioFirst(dir, l, true); }
fs::path NeroAudioFirstV1(const fs::path& dir, const Layout& l) { return NeroAudioFirst(dir, l, false); }

#ifdef MG_CHD
// CHD images as chdman makes them from a cue sheet, with its codecs of choice or the one given.
fs::path Chdman(const fs::path& dir, const fs::path& cue, const std::string& codec) {
    const fs::path chd = dir / "game.chd";
    const std::string command = "chdman createcd " + (codec.empty() ? "" : "-c " + codec + " ") + "-i '" + cue.string() + "' -o '" +
                                chd.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return chd;
}
fs::path ChdDefault(const fs::path& dir, const Layout& l) { return Chdman(dir, CueOneTrack(dir, l), ""); }
fs::path ChdNone(const fs::path& dir, const Layout& l) { return Chdman(dir, CueOneTrack(dir, l), "none"); }
fs::path ChdFlac(const fs::path& dir, const Layout& l) { return Chdman(dir, CueOneTrack(dir, l), "cdfl"); }
fs::path ChdDeflate(const fs::path& dir, const Layout& l) { return Chdman(dir, CueOneTrack(dir, l), "cdzl"); }
fs::path ChdLzma(const fs::path& dir, const Layout& l) { return Chdman(dir, CueOneTrack(dir, l), "cdlz"); }
fs::path ChdAudioFirst(const fs::path& dir, const Layout& l) { return Chdman(dir, CueAudioFirstRedump(dir, l).parent_path() / "Disc.cue", ""); }

// Zstandard hunks, which Debian's chdman cannot write: made in code.
fs::path ChdZstd(const fs::path& dir, const Layout& l) {
    const Bytes sectors = WrapSectors(ReadImage(TestData() / "genisoimage.iso"), l.layout);
    const Bytes frames = WithEmptySubchannel(sectors);
    const std::string type = l.layout == RipLayout::Mode1 ? "MODE1_RAW" : "MODE2_RAW";
    WriteBytes(dir / "game.chd", WriteChdZstd(frames, "TRACK:1 TYPE:" + type + " SUBTYPE:NONE FRAMES:" + std::to_string(sectors.size() / 2352) +
                                                          " PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0"));
    return dir / "game.chd";
}
#endif

bool AnyLayout(const Layout&) { return true; }
bool CueLayout(const Layout& l) { return l.cueType != nullptr; }
bool RawLayout(const Layout& l) { return RipStride(l.layout) == 2352; }

struct Container {
    const char* name;
    Rip make;
    bool (*holds)(const Layout&);
};

const Container kContainers[] = {
    {"bare", Bare, AnyLayout},
    {"bare_pregap", BareWithPregap, AnyLayout},
    {"cue", CueOneTrack, CueLayout},
    {"cue_by_bin", CueNamedByItsBin, CueLayout},
    {"cue_audio_first", CueAudioFirstOneFile, CueLayout},
    {"cue_audio_first_redump", CueAudioFirstRedump, CueLayout},
    {"cue_audio_first_pregap", CueAudioFirstPregap, CueLayout},
    {"toc", Toc, AnyLayout},
    {"toc_audio_first", TocAudioFirst, AnyLayout},
    {"mds", Alcohol, AnyLayout},
    {"mds_audio_first", AlcoholAudioFirst, AnyLayout},
    {"nrg_dao", NeroDaoV2, AnyLayout},
    {"nrg_dao_v1", NeroDaoV1, AnyLayout},
    {"nrg_tao_v1", NeroTao, AnyLayout},
    {"nrg_audio_first", NeroAudioFirstV2, AnyLayout},
    {"nrg_audio_first_v1", NeroAudioFirstV1, AnyLayout},
    {"ccd", CloneCd, RawLayout},
#ifdef MG_CHD
    {"chd", ChdDefault, CueLayout},
    {"chd_uncompressed", ChdNone, CueLayout},
    {"chd_cdfl", ChdFlac, CueLayout},
    {"chd_cdzl", ChdDeflate, CueLayout},
    {"chd_cdlz", ChdLzma, CueLayout},
    {"chd_audio_first", ChdAudioFirst, CueLayout},
    {"chd_cdzs", ChdZstd, RawLayout},
#endif
    {"ccd_audio_first", CloneCdAudioFirst, RawLayout},
};

void PrintTo(const Container& container, std::ostream* out) { *out << container.name; }

// Every container with every layout it can hold.
std::vector<std::tuple<Container, Layout>> Rips() {
    std::vector<std::tuple<Container, Layout>> rips;
    for (const Container& container : kContainers) {
        for (const Layout& layout : kLayouts) {
            if (container.holds(layout)) rips.emplace_back(container, layout);
        }
    }
    return rips;
}

class DiscFormatsTest : public testing::TestWithParam<std::tuple<Container, Layout>> {};

TEST_P(DiscFormatsTest, GivesTheAuthoredTree) {
    const auto& [container, layout] = GetParam();
    if (TestData().empty()) GTEST_SKIP() << "no authored images (MG_TESTDATA)";
    ScratchDir dir;
    ExpectTheAuthoredTree(container.make(dir.path(), layout), GameFolderFilter);
}

INSTANTIATE_TEST_SUITE_P(Rips, DiscFormatsTest, testing::ValuesIn(Rips()),
                         [](const testing::TestParamInfo<std::tuple<Container, Layout>>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

}  // namespace
