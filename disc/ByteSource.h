// Where a track's bytes come from: a file, part of one, several joined, or a container
// that decodes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Bytes at 64-bit positions: a file, or a container that decodes them.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes at `position`; returns how many (fewer: the source ended or failed).
    virtual size_t ReadAt(uint64_t position, void* buffer, size_t size) = 0;
    // Why the last ReadAt delivered fewer bytes than there are, when it was not the end:
    // "" for the end (or a file that failed, which ends it).
    virtual std::string Fault() { return {}; }
    // The source's size in bytes; UINT64_MAX when it cannot be told.
    virtual uint64_t Size() = 0;
    // Whether only forward reads are cheap (a decompressed stream): going back means
    // decompressing again from the start.
    virtual bool ReadsInOrder() { return false; }
    // Where the source can be checked only whole (a digest of all its bytes), reads what
    // is left of it and says why it fails the check; "" when it passes or has none.
    virtual std::string CheckWhole() { return {}; }
    // The `size` bytes at `position` where they lie in memory already (a mapped file),
    // valid until the next call; null when they must be read with ReadAt. Reading them may
    // fault if the file is cut short meanwhile: read them inside ReadMapped (MappedRead.h).
    virtual const unsigned char* View(uint64_t position, size_t size) {
        (void)position;
        (void)size;
        return nullptr;
    }
};

// Whether a file is viewed through a mapping (POSIX): where it pays, as measured once on
// this machine; always; or never.
enum class Mapping { WherePays, Always, Never };

// A file opened to read, owned: closed when destroyed. A regular file may also be viewed
// through a window of it mapped into memory (POSIX), so that its sectors are written out
// and checked where the page cache holds them, with no copy of our own. Where touching
// mapped pages costs more than reading them (on some virtual machines, three times as
// much), and for devices and files that cannot be mapped, it is only read.
class FileSource : public ByteSource {
public:
    explicit FileSource(FILE* file, Mapping mapping = Mapping::WherePays);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    size_t ReadAt(uint64_t position, void* buffer, size_t size) override;
    uint64_t Size() override;
    const unsigned char* View(uint64_t position, size_t size) override;

private:
    void Unmap();

    FILE* m_file;
    uint64_t m_mappableSize = 0;  // the file's size when opened, where it is mapped; else 0
    unsigned char* m_window = nullptr;
    uint64_t m_windowStart = 0;
    size_t m_windowSize = 0;
};

// Ranges of other sources, one after another, as one: a track that a rip stores in
// several files (a cdrdao TOC's data statements, a cue sheet's track that goes on in the
// next FILE). A range without a source is made-up sectors of zeros (ZERO, SILENCE).
class JoinedSource : public ByteSource {
public:
    struct Range {
        std::shared_ptr<ByteSource> source;  // null: zeros
        uint64_t offset = 0;
        uint64_t size = 0;
    };
    explicit JoinedSource(std::vector<Range> ranges);
    size_t ReadAt(uint64_t position, void* buffer, size_t size) override;
    std::string Fault() override { return m_fault; }
    uint64_t Size() override { return m_size; }
    const unsigned char* View(uint64_t position, size_t size) override;

private:
    // The range that holds `position`, and where in it; false past the end.
    bool Find(uint64_t position, size_t& range, uint64_t& into) const;

    std::vector<Range> m_ranges;
    std::vector<uint64_t> m_starts;  // each range's first byte
    uint64_t m_size = 0;
    std::string m_fault;
};
