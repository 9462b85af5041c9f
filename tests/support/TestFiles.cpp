// Test helpers: MemoryReader, ScratchDir and tree reading.
#include "TestFiles.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "iso/FileSystem.h"

namespace test {

const char RecordingObserver::kSeparator = kPathSeparator;

uint32_t MemoryReader::Read(uint32_t offset, uint32_t length, void* buffer) {
    if (offset >= m_bytes.size()) return 0;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(length, m_bytes.size() - offset));
    std::memcpy(buffer, m_bytes.data() + offset, count);
    return count;
}

ScratchDir::ScratchDir(const std::string& name) {
    static std::atomic<int> counter{0};
    const std::string unique = "mgtest-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
    m_path = fs::temp_directory_path() / unique / fs::u8path(name);
    fs::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(m_path.parent_path(), error);
}

std::string ScratchDir::utf8() const { return Utf8(m_path); }

std::string Utf8(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path TestData() {
    const char* dir = std::getenv("MG_TESTDATA");
    return dir ? fs::u8path(dir) : fs::path();
}

void ExpectTheAuthoredTree(const fs::path& image, const ExtractFilter& filter) {
    using Tree = std::map<std::string, std::string>;
    Tree expected;
    for (const char* top : {"DATA", "FMV"}) {
        expected[std::string(top) + "/"] = "";
        for (const auto& [path, content] : ReadTree(TestData() / "tree" / top)) expected[std::string(top) + "/" + path] = content;
    }
    ASSERT_GT(expected.size(), 300u);
    ScratchDir out;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    ASSERT_EQ(ExtractImageFile(Utf8(image), filter, options), ExtractOk);
    const Tree written = ReadTree(out.path());
    EXPECT_EQ(written.size(), expected.size());
    for (const auto& [path, content] : expected) {
        auto found = written.find(path);
        ASSERT_NE(found, written.end()) << path;
        EXPECT_TRUE(found->second == content) << path;
    }
}

std::map<std::string, std::string> ReadTree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    if (!fs::exists(root)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string relative = Utf8(fs::relative(entry.path(), root));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        if (entry.is_directory()) tree[relative + "/"] = "";
        else tree[relative] = ReadText(entry.path());
    }
    return tree;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            quoted += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            quoted += escaped;
        }
    }
    return quoted + "\"";
}

ExtractResult ExtractInto(const Bytes& image, const fs::path& out, ExtractFilter filter, ExtractObserver* observer) {
    MemoryReader reader(image);
    ExtractOptions options;
    options.outputRoot = Utf8(out);
    options.observer = observer;
    return ExtractIsoTree(reader, std::move(filter), options);
}

}  // namespace test
