// Test helpers: an in-memory reader, scratch folders, and whole trees read back from disk.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "IsoBuilder.h"
#include "iso/IsoExtract.h"

namespace test {

namespace fs = std::filesystem;

// A FileReader over a cooked image in memory.
class MemoryReader : public FileReader {
public:
    explicit MemoryReader(Bytes bytes) : m_bytes(std::move(bytes)) {}
    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override;
    uint64_t Size() override { return m_bytes.size(); }

private:
    Bytes m_bytes;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name = "scratch");
    ~ScratchDir();
    const fs::path& path() const { return m_path; }
    std::string utf8() const;  // the path as the engine takes it

private:
    fs::path m_path;
};

std::string Utf8(const fs::path& path);
void WriteBytes(const fs::path& path, const Bytes& bytes);
std::string ReadText(const fs::path& path);

// The folder of the images made by authoring tools (MG_TESTDATA); empty when not given.
fs::path TestData();
// Extracts `image` through `filter` and expects the authored tree's DATA and FMV byte for byte.
void ExpectTheAuthoredTree(const fs::path& image, const ExtractFilter& filter);

// Every file under `root`, by relative path with '/' separators, with its content;
// folders appear with a trailing '/' and no content.
std::map<std::string, std::string> ReadTree(const fs::path& root);

// Remembers what an extraction reported.
struct RecordingObserver : ExtractObserver {
    using Problem = ExtractProblem;
    std::vector<std::string> entries;  // folders with a trailing separator
    std::vector<Problem> problems;
    uint64_t bytes = 0;
    void OnDirectory(const std::string& path) override { entries.push_back(path + kSeparator); }
    void OnFile(const std::string& path, uint32_t) override { entries.push_back(path); }
    void OnBytesWritten(uint32_t count) override { bytes += count; }
    void OnProblem(const ExtractProblem& problem) override {
        problems.push_back(problem);
    }
    static const char kSeparator;
};

// `text` quoted, with bytes outside printable ASCII as \xNN (for test names).
std::string Quoted(const std::string& text);

// Extracts `image` (cooked, in memory) with `filter` into `out`.
ExtractResult ExtractInto(const Bytes& image, const fs::path& out, ExtractFilter filter, ExtractObserver* observer = nullptr);

// A filter that accepts everything and remembers what it was offered.
struct AcceptAll {
    std::vector<std::string>* offered;
    bool operator()(const std::string& path) const {
        if (offered) offered->push_back(path);
        return true;
    }
};

}  // namespace test
