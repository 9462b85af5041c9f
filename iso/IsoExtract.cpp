// The ISO 9660 tree walk (ECMA-119).
//
// Format, as far as this reader goes: logical blocks of 2048 bytes; the primary volume
// descriptor in block 16 (type 1, identifier "CD001") holds the root's directory record
// at offset 156. A directory is an extent of `data length` bytes filled with directory
// records; a record never crosses a block boundary and a zero length byte ends the
// records of its block only (the directory continues in the next block until its data
// length is used up). Only little-endian halves of both-endian numbers are read.
//
// The walk is depth first in record order. Each open directory keeps its current block
// on a stack. Nothing read from the image is trusted: records are checked against their
// block, identifiers against their record, extents against the 32-bit address space,
// folders against the blocks already walked (loops and shared subtrees) and the depth
// bound, and names against what is safe to create. A fault is reported and skipped; the
// walk goes on with the rest.
#include "IsoExtract.h"

#include <array>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "FileSystem.h"
#include "disc/Disc.h"
#include "disc/LittleEndian.h"
#include "OutputName.h"
#include "text/Utf8.h"

namespace {

constexpr uint32_t kBlockSize = 2048;
constexpr uint32_t kDescriptorOffset = 16 * kBlockSize;
constexpr uint32_t kRootRecordOffset = 156;  // inside the primary volume descriptor
constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

// Directory record fields (ECMA-119 9.1).
constexpr size_t kRecordLength = 0;
constexpr size_t kRecordExtent = 2;
constexpr size_t kRecordDataLength = 10;
constexpr size_t kRecordDate = 18;  // 7 bytes: years since 1900, month, day, h, min, s, GMT offset
constexpr size_t kRecordFlags = 25;
constexpr size_t kRecordIdLength = 32;
constexpr size_t kRecordId = 33;
constexpr size_t kMinRecordLength = 34;  // the fixed part and at least one identifier byte
constexpr unsigned char kFlagDirectory = 0x02;
constexpr unsigned char kFlagMultiExtent = 0x80;  // not the file's last section
static_assert(kRootRecordOffset + kMinRecordLength <= kBlockSize, "root record inside the descriptor");

constexpr int64_t kNoTime = INT64_MIN;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// A directory record's recording date (ECMA-119 9.1.5) in seconds since 1970, UTC; kNoTime
// when the fields are out of range (all zero means "not recorded").
int64_t RecordedTime(const unsigned char* p) {
    const unsigned month = p[1], day = p[2], hour = p[3], minute = p[4], second = p[5];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return kNoTime;
    const int offsetQuarters = static_cast<signed char>(p[6]);
    if (offsetQuarters < -48 || offsetQuarters > 52) return kNoTime;
    const int64_t days = DaysFromCivil(1900 + int64_t{p[0]}, month, day);
    return days * 86400 + hour * 3600 + minute * 60 + second - int64_t{offsetQuarters} * 15 * 60;
}

// One extent of a file's data.
struct Section {
    uint32_t extent;
    uint32_t length;
};

struct Record {
    std::string identifier;
    uint32_t extent = 0;
    uint32_t dataLength = 0;
    bool isDirectory = false;
    bool multiExtent = false;    // more sections of this file follow, in the next records
    int64_t recorded = kNoTime;  // seconds since 1970, UTC
    // A file's sections, in record order: one, or those of a multi-extent chain.
    std::vector<Section> sections;
    bool brokenChain = false;    // its multi-extent chain broke off
};

// One directory being walked: its extent and the block its next record lies in.
struct Directory {
    uint32_t start = 0;       // user-data offset of the extent
    uint32_t length = 0;      // data length
    uint64_t nextBlock = 0;   // offset, inside the extent, of the block to load next
    std::array<unsigned char, kBlockSize> block{};
    uint32_t blockBytes = 0;  // bytes of `block` that the image delivered
    uint32_t position = 0;    // next record inside `block`
    bool truncated = false;   // the image ended inside this directory
    size_t parentFilterPathLength = 0;  // where to cut the paths when this directory ends
    size_t parentOutputPathLength = 0;
    // Open while it is walked (not when only listing), and while files in it wait.
    std::shared_ptr<const OutputFolder> folder = std::make_shared<OutputFolder>();
    std::set<std::string> names;        // the names taken inside, case folded
};

struct WriteOutcome {
    ExtractResult cause;
    int systemError;
    std::string damage = {};  // which sector a file's data cannot come from, and why
};

// What a read that stopped short of a file's data means for the file.
WriteOutcome UnreadableOutcome(FileReader& reader) {
    const FileReader::Unreadable unreadable = reader.LastUnreadable();
    if (unreadable.sector == FileReader::kNoSector) return {ExtractImageTruncated, 0};
    return {unreadable.outsideData ? ExtractOutsideData : ExtractDamagedSector, 0,
            "sector " + std::to_string(unreadable.sector) + ": " + unreadable.why};
}

// Reads the sections' bytes, in order, and writes them to `output` (none in test mode).
WriteOutcome CopySections(FileReader& reader, const std::vector<Section>& sections, FILE* output,
                          const ExtractOptions& options, std::vector<unsigned char>& scratch) {
    std::vector<DataPiece> pieces;
    for (const Section& section : sections) {
        uint32_t offset = section.extent * kBlockSize;
        for (uint32_t remaining = section.length; remaining > 0;) {
            if (options.stop && options.stop->load() != 0) return {ExtractStopped, 0};
            const uint32_t got = reader.Lend(offset, std::min(remaining, kLargestLend), scratch, pieces);
            if (got == 0) return UnreadableOutcome(reader);
            const int error = output ? WritePieces(output, pieces) : 0;
            // Lent memory the system could not read: a mapped image cut short under us.
            if (error == EFAULT) return {ExtractImageTruncated, 0};
            if (error != 0) return {ExtractOutputFailed, error};
            if (options.observer) options.observer->OnBytesWritten(got);
            offset += got;
            remaining -= got;
        }
    }
    return {ExtractOk, 0};
}

// Copies the sections' bytes, in order, into the file `name` of `folder`, under its
// temporary name until it is complete; a file that cannot be completed leaves nothing.
WriteOutcome WriteSections(FileReader& reader, const std::vector<Section>& sections, const OutputFolder& folder,
                           const std::string& name, int64_t recorded, const ExtractOptions& options,
                           std::vector<unsigned char>& scratch) {
    FILE* output = folder.CreateTemporary(name);
    if (!output) return {ExtractOutputFailed, errno};
    WriteOutcome outcome = CopySections(reader, sections, output, options, scratch);
    if (outcome.cause == ExtractOk && options.keepTimes && recorded != kNoTime) SetFileTime(output, recorded);
    if (std::fclose(output) != 0 && outcome.cause == ExtractOk) outcome = {ExtractOutputFailed, errno};
    if (outcome.cause == ExtractOk) {
        const int error = folder.Commit(name);
        if (error != 0) outcome = {ExtractOutputFailed, error};
    }
    if (outcome.cause != ExtractOk) folder.Discard(name);
    return outcome;
}

class TreeWalk {
public:
    TreeWalk(FileReader& reader, ExtractFilter& filter, const ExtractOptions& options)
        : m_reader(reader), m_filter(filter), m_options(options), m_imageSize(reader.Size()),
          m_budget(OutputBudget(m_imageSize)) {}

    ExtractResult Run(const unsigned char* rootRecord);

private:
    void Report(ExtractResult cause, ProblemPlace place, const std::string& where, int systemError = 0,
                const std::string& detail = {});
    void NoteTruncation(bool file);
    // Names a file whose data cannot all be read, with the cause: the image's end, a
    // damaged sector, or a sector outside the data tracks.
    void ReportUnread(const std::string& imagePath, const WriteOutcome& outcome);
    bool StopAsked() const { return m_options.stop && m_options.stop->load() != 0; }
    void ReportTruncation();
    bool LoadNextBlock(Directory& directory);
    bool NextRecord(Directory& directory, Record& record);
    void VisitRecord(const Record& record);
    void EnterDirectory(const Record& record, const std::string& name);
    void ExtractFile(const Record& record, const std::string& name);
    // A file's data read now, into `folder` (or only read, in test mode).
    void WriteFile(const Record& record, const std::string& name, const std::shared_ptr<const OutputFolder>& folder,
                   const std::string& relative, const std::string& imagePath);
    void WriteWaitingFiles();
    void GatherSections(Record& record);
    bool ClaimBlocks(uint32_t extent, uint32_t length);
    bool FitsBudget(uint64_t size, const std::string& imagePath);
    void TestFile(const Record& record, const std::string& imagePath);
    std::string ImagePath(const std::string& identifier) const;
    void PushDirectory(uint32_t extent, uint32_t length, size_t parentFilterPathLength, size_t parentOutputPathLength);
    void PopDirectory();

    FileReader& m_reader;
    ExtractFilter& m_filter;
    const ExtractOptions& m_options;
    ExtractResult m_result = ExtractOk;
    std::vector<Directory> m_stack;
    // The folders' block ranges walked so far, start to end, ordered: an overlap test
    // costs O(log n), whatever the ranges claimed.
    struct CountingLess {
        uint64_t* comparisons;
        bool operator()(uint64_t a, uint64_t b) const {
            ++*comparisons;
            return a < b;
        }
    };
    uint64_t m_rangeComparisons = 0;
    std::map<uint64_t, uint64_t, CountingLess> m_walked{CountingLess{&m_rangeComparisons}};
    uint64_t m_imageSize;
    uint64_t m_budget;
    uint64_t m_spent = 0;  // bytes written (or read, in test mode) for files
    SectorCheck m_sectors;
    std::optional<Record> m_pending;  // a record read past a broken multi-extent chain
    std::vector<unsigned char> m_copyBuffer;
    // A reader that only reads forward cheaply (an installer's image, decompressed as it is
    // read) gets the files' data in the order the disc holds it: the walk gathers the
    // files, and they are read once it is done, or once this many wait.
    struct WaitingFile {
        Record record;
        std::string name, relative, imagePath;
        std::shared_ptr<const OutputFolder> folder;
    };
    std::vector<WaitingFile> m_waiting;
    size_t m_waitingFolders = 0;  // distinct folders held open by waiting files
    std::string m_filterPath = ".";  // the filter's view of the current directory
    std::string m_outputPath;        // the same, relative to the output root
    bool m_ended = false;            // the output is full, or a stop was asked for
    // An image that ends early is reported once, at the end, with what it lacks.
    bool m_truncated = false;
    uint32_t m_filesCut = 0;
    uint64_t m_needed = 0;  // the end of the furthest extent that the walk wanted
};

void TreeWalk::Report(ExtractResult cause, ProblemPlace place, const std::string& where, int systemError,
                      const std::string& detail) {
    if (m_result == ExtractOk) m_result = cause;
    if (m_options.observer) m_options.observer->OnProblem({cause, place, where, systemError, detail});
}

void TreeWalk::NoteTruncation(bool file) {
    if (m_result == ExtractOk) m_result = ExtractImageTruncated;
    m_truncated = true;
    if (file) ++m_filesCut;
}

void TreeWalk::ReportTruncation() {
    const uint64_t holds = m_reader.Size();
    std::string detail = holds == FileReader::kUnknownSize ? std::string() : "it holds " + std::to_string(holds) + " bytes of data, ";
    detail += "its folders and files need " + std::to_string(m_needed) + "; " + std::to_string(m_filesCut) +
              (m_filesCut == 1 ? " file was" : " files were") + " not imported";
    Report(ExtractImageTruncated, ProblemPlace::Image, "", 0, detail);
}

std::string TreeWalk::ImagePath(const std::string& identifier) const {
    std::string path = m_filterPath.size() > 2 ? m_filterPath.substr(2) + "/" : std::string();
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path + identifier;
}

// Marks a folder's blocks as walked; false when any of them was walked already. The
// walked ranges never overlap, so only the range starting last before `end` can.
bool TreeWalk::ClaimBlocks(uint32_t extent, uint32_t length) {
    const uint64_t first = extent;
    const uint64_t end = first + (uint64_t{length} + kBlockSize - 1) / kBlockSize;
    auto next = m_walked.lower_bound(end);
    if (next != m_walked.begin() && std::prev(next)->second > first) return false;
    m_walked.emplace_hint(next, first, end);
    return true;
}

bool TreeWalk::FitsBudget(uint64_t size, const std::string& imagePath) {
    if (m_spent + size <= m_budget) {
        m_spent += size;
        return true;
    }
    Report(ExtractOverBudget, ProblemPlace::InsideImage, imagePath, 0,
           std::to_string(m_spent) + " bytes of files so far, from an image of " + std::to_string(m_imageSize) +
               " bytes: what is left is skipped");
    m_ended = true;
    return false;
}

void TreeWalk::PushDirectory(uint32_t extent, uint32_t length, size_t parentFilterPathLength,
                             size_t parentOutputPathLength) {
    m_stack.emplace_back();
    Directory& directory = m_stack.back();
    directory.start = extent * kBlockSize;
    directory.length = length;
    directory.parentFilterPathLength = parentFilterPathLength;
    directory.parentOutputPathLength = parentOutputPathLength;
}

void TreeWalk::PopDirectory() {
    // The parent's paths are the child's, cut where the child's name began.
    m_filterPath.resize(m_stack.back().parentFilterPathLength);
    m_outputPath.resize(m_stack.back().parentOutputPathLength);
    m_stack.pop_back();
}

ExtractResult TreeWalk::Run(const unsigned char* rootRecord) {
    const uint32_t extent = LittleEndian32(rootRecord + kRecordExtent);
    const uint32_t length = LittleEndian32(rootRecord + kRecordDataLength);
    // Every directory holds at least its "." and ".." records.
    if (length == 0 || uint64_t{extent} * kBlockSize + length > kAddressSpace) {
        Report(ExtractMalformedRecord, ProblemPlace::InsideImage, "/");
        return m_result;
    }
    OutputFolder root;
    if (!m_options.listOnly && !m_options.testOnly) {
        const int error = root.Open(m_options.outputRoot);
        if (error != 0) {
            Report(ExtractOutputFailed, ProblemPlace::Output, m_options.outputRoot, error);
            return m_result;
        }
    }
    ClaimBlocks(extent, length);
    m_needed = uint64_t{extent} * kBlockSize + length;
    if (m_options.testOnly) m_reader.CheckSectors(&m_sectors);
    PushDirectory(extent, length, m_filterPath.size(), m_outputPath.size());
    m_stack.back().folder = std::make_shared<const OutputFolder>(std::move(root));
    while (!m_stack.empty() && !m_ended) {
        if (StopAsked()) {
            m_ended = true;
            Report(ExtractStopped, ProblemPlace::Image, "");
            break;
        }
        Record record;
        if (m_pending) {
            record = std::move(*m_pending);
            m_pending.reset();
        } else if (!NextRecord(m_stack.back(), record)) {
            PopDirectory();
            continue;
        }
        GatherSections(record);
        VisitRecord(record);
    }
    if (!m_waiting.empty()) WriteWaitingFiles();
    if (m_truncated) ReportTruncation();
    if (m_options.testOnly) m_reader.CheckSectors(nullptr);
    if (m_options.stats) {
        m_options.stats->sectorsChecked = m_sectors.checked;
        m_options.stats->sectorsWithoutCodes = m_sectors.withoutCodes;
        m_options.stats->rangeComparisons = m_rangeComparisons;
    }
    return m_result;
}

bool TreeWalk::LoadNextBlock(Directory& directory) {
    if (directory.truncated || directory.nextBlock >= directory.length) return false;
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kBlockSize, directory.length - directory.nextBlock));
    const uint32_t offset = static_cast<uint32_t>(directory.start + directory.nextBlock);
    directory.blockBytes = m_reader.Read(offset, want, directory.block.data());
    directory.position = 0;
    directory.nextBlock += kBlockSize;
    if (directory.blockBytes < want) {
        directory.truncated = true;
        NoteTruncation(false);
    }
    return directory.blockBytes > 0;
}

// Takes the next well-formed record of `directory`; false when it has no more.
bool TreeWalk::NextRecord(Directory& directory, Record& record) {
    for (;;) {
        if (directory.position >= directory.blockBytes && !LoadNextBlock(directory)) return false;
        const unsigned char* p = directory.block.data() + directory.position;
        const uint32_t room = directory.blockBytes - directory.position;
        const uint32_t length = p[kRecordLength];
        if (length == 0) {  // the rest of this block is padding
            directory.position = directory.blockBytes;
            continue;
        }
        if (length < kMinRecordLength || length > room) {
            // The record does not fit its block: nothing after it in the block can be trusted.
            if (!directory.truncated) Report(ExtractMalformedRecord, ProblemPlace::InsideImage, ImagePath(""));
            directory.position = directory.blockBytes;
            continue;
        }
        directory.position += length;
        const uint32_t idLength = p[kRecordIdLength];
        if (idLength == 0 || kRecordId + idLength > length) {
            Report(ExtractMalformedRecord, ProblemPlace::InsideImage, ImagePath(""));
            continue;
        }
        // A first byte below 0x20 marks "." (0x00) and ".." (0x01); a record starting with
        // another control byte is passed over too.
        if (p[kRecordId] < 0x20) continue;
        record.identifier.assign(reinterpret_cast<const char*>(p + kRecordId), idLength);
        record.extent = LittleEndian32(p + kRecordExtent);
        record.dataLength = LittleEndian32(p + kRecordDataLength);
        record.isDirectory = (p[kRecordFlags] & kFlagDirectory) != 0;
        record.multiExtent = (p[kRecordFlags] & kFlagMultiExtent) != 0;
        record.recorded = RecordedTime(p + kRecordDate);
        return true;
    }
}

void TreeWalk::VisitRecord(const Record& record) {
    // The filter sees every path as recorded; only what it accepts is checked further.
    if (!m_filter(m_filterPath + '\\' + record.identifier)) return;
    const std::string utf8 = NameAsUtf8(record.identifier, m_options.decodeName);
    const std::string name = record.isDirectory ? utf8 : OutputFileName(utf8);
    if (!IsSafeName(name) || IsTemporaryName(name)) {
        Report(ExtractUnsafeName, ProblemPlace::InsideImage, ImagePath(record.identifier));
        return;
    }
    // Two records that come to one name, as Windows compares names: the first one stays.
    if (!m_stack.back().names.insert(FoldCaseUtf8(name)).second) {
        Report(ExtractNameCollision, ProblemPlace::InsideImage, ImagePath(record.identifier));
        return;
    }
    if (record.brokenChain) {  // its sections read so far are not written as the file
        Report(ExtractMalformedRecord, ProblemPlace::InsideImage, ImagePath(record.identifier));
        return;
    }
    for (const Section& section : record.sections) {
        // An empty file reads nothing: whatever extent it names does not matter.
        if (section.length == 0 && !record.isDirectory) continue;
        if (uint64_t{section.extent} * kBlockSize + section.length > kAddressSpace) {
            Report(ExtractMalformedRecord, ProblemPlace::InsideImage, ImagePath(record.identifier));
            return;
        }
        m_needed = std::max(m_needed, uint64_t{section.extent} * kBlockSize + section.length);
    }
    if (record.isDirectory) {
        EnterDirectory(record, name);
    } else {
        ExtractFile(record, name);
    }
}

void TreeWalk::EnterDirectory(const Record& record, const std::string& name) {
    const std::string imagePath = ImagePath(record.identifier);
    // Before anything else: a folder that lies past the end of the image is no folder.
    if (record.dataLength == 0 || (m_imageSize != FileReader::kUnknownSize &&
                                   uint64_t{record.extent} * kBlockSize >= m_imageSize)) {
        Report(ExtractMalformedRecord, ProblemPlace::InsideImage, imagePath);
        return;
    }
    if (static_cast<int>(m_stack.size()) >= kMaxDirectoryDepth) {
        Report(ExtractTooDeep, ProblemPlace::InsideImage, imagePath);
        return;
    }
    if (!ClaimBlocks(record.extent, record.dataLength)) {
        Report(ExtractDirectoryLoop, ProblemPlace::InsideImage, imagePath);
        return;
    }
    OutputFolder folder;
    if (!m_options.listOnly && !m_options.testOnly) {
        const OutputFolder& parent = *m_stack.back().folder;
        const int error = parent.OpenSubfolder(name, folder);
        if (error != 0) {
            // A link where a folder goes is refused, whatever it points at.
            Report(ExtractOutputFailed, ProblemPlace::Output, parent.PathOf(name), error == ELOOP ? 0 : error,
                   error == ELOOP ? "is a symbolic link" : "");
            m_ended = IsOutputFull(error);
            return;
        }
    }
    const size_t filterLength = m_filterPath.size();
    const size_t outputLength = m_outputPath.size();
    m_filterPath += '\\' + record.identifier;
    m_outputPath += (m_outputPath.empty() ? "" : std::string(1, kPathSeparator)) + name;
    if (m_options.observer) m_options.observer->OnDirectory(m_outputPath);
    PushDirectory(record.extent, record.dataLength, filterLength, outputLength);
    m_stack.back().folder = std::make_shared<const OutputFolder>(std::move(folder));
}

uint64_t FileSize(const Record& record) {
    uint64_t size = 0;
    for (const Section& section : record.sections) size += section.length;
    return size;
}

void TreeWalk::ExtractFile(const Record& record, const std::string& name) {
    const std::string relative = m_outputPath.empty() ? name : m_outputPath + kPathSeparator + name;
    const std::string imagePath = ImagePath(record.identifier);
    if (m_options.listOnly) {
        const uint64_t size = FileSize(record);
        if (m_options.observer) m_options.observer->OnFile(relative, static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX)));
        for (const Section& section : record.sections) {
            // Each file's last byte is read to tell whether it is there; a stream that only
            // reads forward cheaply (an installer's) is told by its size, not decoded twice.
            const uint64_t end = uint64_t{section.extent} * kBlockSize + section.length;
            if (m_reader.ReadsInOrder()) {
                if (end > m_imageSize) {
                    ReportUnread(imagePath, {ExtractImageTruncated, 0, {}});
                    break;
                }
                continue;
            }
            unsigned char last;
            if (section.length > 0 && m_reader.Read(section.extent * kBlockSize + section.length - 1, 1, &last) != 1) {
                ReportUnread(imagePath, UnreadableOutcome(m_reader));
                break;
            }
        }
        return;
    }
    const std::shared_ptr<const OutputFolder>& folder = m_stack.back().folder;
    if (!m_reader.ReadsInOrder()) return WriteFile(record, name, folder, relative, imagePath);
    constexpr size_t kMostWaiting = 4096, kMostWaitingFolders = 64;
    if (m_waiting.empty() || m_waiting.back().folder != folder) ++m_waitingFolders;
    m_waiting.push_back({record, name, relative, imagePath, folder});
    if (m_waiting.size() >= kMostWaiting || m_waitingFolders >= kMostWaitingFolders) WriteWaitingFiles();
}

// The files gathered, read in the order of their data on the disc.
void TreeWalk::WriteWaitingFiles() {
    std::stable_sort(m_waiting.begin(), m_waiting.end(), [](const WaitingFile& a, const WaitingFile& b) {
        return a.record.sections.front().extent < b.record.sections.front().extent;
    });
    for (const WaitingFile& file : m_waiting) {
        if (m_ended) break;
        if (StopAsked()) {
            m_ended = true;
            Report(ExtractStopped, ProblemPlace::Image, "");
            break;
        }
        WriteFile(file.record, file.name, file.folder, file.relative, file.imagePath);
    }
    m_waiting.clear();
    m_waitingFolders = 0;
}

void TreeWalk::WriteFile(const Record& record, const std::string& name, const std::shared_ptr<const OutputFolder>& folder,
                         const std::string& relative, const std::string& imagePath) {
    const uint64_t size = FileSize(record);
    if (m_options.observer) m_options.observer->OnFile(relative, static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX)));
    if (!FitsBudget(size, imagePath)) return;
    if (m_options.testOnly) return TestFile(record, imagePath);
    const WriteOutcome outcome =
        WriteSections(m_reader, record.sections, *folder, name, record.recorded, m_options, m_copyBuffer);
    switch (outcome.cause) {
    case ExtractOk: break;
    case ExtractImageTruncated:
    case ExtractDamagedSector:
    case ExtractOutsideData: ReportUnread(imagePath, outcome); break;
    case ExtractStopped:
        m_ended = true;
        Report(ExtractStopped, ProblemPlace::Image, "");
        break;
    default:
        Report(outcome.cause, ProblemPlace::Output, folder->PathOf(name), outcome.systemError);
        m_ended = IsOutputFull(outcome.systemError);
    }
}

// Reads the whole file, as an import would, and names the sectors whose codes fail.
void TreeWalk::TestFile(const Record& record, const std::string& imagePath) {
    const WriteOutcome outcome = CopySections(m_reader, record.sections, nullptr, m_options, m_copyBuffer);
    if (outcome.cause == ExtractStopped) {
        m_ended = true;
        Report(ExtractStopped, ProblemPlace::Image, "");
        return;
    }
    if (outcome.cause != ExtractOk) ReportUnread(imagePath, outcome);
    if (m_sectors.damaged.empty()) return;
    std::string sectors;
    for (uint32_t sector : m_sectors.damaged) sectors += (sectors.empty() ? "its EDC does not match: sector " : ", ") + std::to_string(sector);
    ReportUnread(imagePath, {ExtractDamagedSector, 0, sectors});
    m_sectors.damaged.clear();
}

void TreeWalk::ReportUnread(const std::string& imagePath, const WriteOutcome& outcome) {
    if (outcome.cause == ExtractImageTruncated) {
        NoteTruncation(true);  // summed up once more at the end, with what the image holds
        Report(ExtractImageTruncated, ProblemPlace::InsideImage, imagePath, 0, "its data runs past the image's end");
        return;
    }
    Report(outcome.cause, ProblemPlace::InsideImage, imagePath, 0, outcome.damage);
}

// A file's record starts a chain when it is flagged multi-extent: the next records of the
// same name are its further sections, up to one that is not flagged. A chain that breaks
// (another name, a folder, the folder's end) marks the file; the record that broke it is
// walked next as itself.
void TreeWalk::GatherSections(Record& record) {
    record.sections = {{record.extent, record.dataLength}};
    if (record.isDirectory) return;
    for (bool more = record.multiExtent; more;) {
        Record next;
        if (!NextRecord(m_stack.back(), next)) {
            record.brokenChain = true;
            return;
        }
        if (next.isDirectory || next.identifier != record.identifier) {
            record.brokenChain = true;
            m_pending = std::move(next);
            return;
        }
        record.sections.push_back({next.extent, next.dataLength});
        more = next.multiExtent;
    }
}

}  // namespace

uint64_t OutputBudget(uint64_t imageSize) {
    constexpr uint64_t kSlack = uint64_t{64} << 20;
    return imageSize == FileReader::kUnknownSize || imageSize > (UINT64_MAX - kSlack) / 2 ? UINT64_MAX
                                                                                         : 2 * imageSize + kSlack;
}

const char* ExtractResultMessage(ExtractResult result) {
    switch (result) {
    case ExtractOk: return "success";
    case ExtractImageNotOpened: return "cannot open the image";
    case ExtractNoPrimaryDescriptor: return "not a CD image with an ISO 9660 file system";
    case ExtractBadIdentifier: return "the volume descriptor is not ISO 9660 (no CD001)";
    case ExtractImageTruncated: return "the image ends inside a folder or file";
    case ExtractMalformedRecord: return "malformed directory record";
    case ExtractDirectoryLoop: return "folder already walked (loop or shared folder)";
    case ExtractTooDeep: return "folders nested too deeply";
    case ExtractUnsafeName: return "name not safe to create";
    case ExtractOutputFailed: return "cannot write";
    case ExtractStopped: return "interrupted";
    case ExtractOverBudget: return "more to write than the image can hold (records sharing data)";
    case ExtractDamagedSector: return "damaged sector";
    case ExtractNameCollision: return "name already taken in its folder (names differing only in case or version)";
    case ExtractBadContainer: return "cannot read the disc's sheet or container";
    case ExtractOutsideData: return "a file's data lies outside the disc's data tracks";
    }
    return "unknown failure";
}

namespace {

ExtractResult ReportImageProblem(const ExtractOptions& options, ExtractResult cause, const std::string& imagePath,
                                 int systemError = 0, const std::string& detail = {}) {
    if (options.observer) options.observer->OnProblem({cause, ProblemPlace::Image, imagePath, systemError, detail});
    return cause;
}

// `notAnImage` says what the file is when it holds no volume descriptor.
ExtractResult ExtractTree(FileReader& reader, ExtractFilter& filter, const ExtractOptions& options,
                          const std::string& imagePath, const std::string& notAnImage = {}) {
    std::array<unsigned char, kBlockSize> descriptor{};
    const uint64_t at = uint64_t{reader.VolumeStart()} * kBlockSize + kDescriptorOffset;
    if (at <= UINT32_MAX - kBlockSize) reader.Read(static_cast<uint32_t>(at), kBlockSize, descriptor.data());  // bytes not delivered stay 0
    if (descriptor[0] != 1) return ReportImageProblem(options, ExtractNoPrimaryDescriptor, imagePath, 0, notAnImage);
    if (std::memcmp(descriptor.data() + 1, "CD001", 5) != 0)
        return ReportImageProblem(options, ExtractBadIdentifier, imagePath);
    const ExtractResult result = TreeWalk(reader, filter, options).Run(descriptor.data() + kRootRecordOffset);
    if (options.listOnly || result == ExtractStopped) return result;
    // An image checked only whole (an installer's digest of it) is checked once its files
    // are out: a mismatch leaves them, as a damaged sector does, and says so.
    const std::string damage = reader.CheckWhole();
    if (damage.empty()) return result;
    ReportImageProblem(options, ExtractDamagedSector, imagePath, 0, damage);
    return result == ExtractOk ? ExtractDamagedSector : result;
}

}  // namespace

ExtractResult ExtractIsoTree(FileReader& reader, ExtractFilter filter, const ExtractOptions& options) {
    return ExtractTree(reader, filter, options, "");
}

ExtractResult ExtractImageFile(const std::string& imagePath, ExtractFilter filter) {
    return ExtractImageFile(imagePath, std::move(filter), ExtractOptions{});
}

ExtractResult ExtractImageFile(const std::string& imagePath, ExtractFilter filter, const ExtractOptions& options) {
    const OpenedDisc disc = OpenDisc(imagePath);
    const DiscProblem& problem = disc.problem;
    const std::string& where = problem.path.empty() ? imagePath : problem.path;
    switch (problem.fault) {
    case DiscFault::None: break;
    case DiscFault::NotOpened: return ReportImageProblem(options, ExtractImageNotOpened, where, problem.systemError, problem.detail);
    case DiscFault::NoDataTrack: return ReportImageProblem(options, ExtractNoPrimaryDescriptor, where, 0, problem.detail);
    case DiscFault::BadContainer: return ReportImageProblem(options, ExtractBadContainer, where, 0, problem.detail);
    }
    return ExtractTree(*disc.reader, filter, options, imagePath, disc.notAnImage);
}
