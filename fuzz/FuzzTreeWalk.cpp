// Fuzz target: the whole tree walk, writing into a scratch folder, on an image in memory.
// The input is the image from block 16 (the volume descriptor) on; blocks 0 to 15 read as
// zeros, so the fuzzer spends no bytes on them. After each input the scratch folder is
// emptied, and the run stops if anything appeared beside it.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "iso/IsoExtract.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSkipped = 16 * 2048;

class InputReader : public FileReader {
public:
    InputReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override {
        const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, kSkipped + uint64_t{m_size});
        auto* out = static_cast<uint8_t*>(buffer);
        uint32_t count = 0;
        for (uint64_t at = offset; at < end;) {
            if (at < kSkipped) {
                const uint64_t n = std::min<uint64_t>(kSkipped, end) - at;
                std::memset(out + count, 0, n);
                count += static_cast<uint32_t>(n);
                at += n;
            } else {
                const uint64_t n = end - at;
                std::memcpy(out + count, m_data + (at - kSkipped), n);
                count += static_cast<uint32_t>(n);
                at += n;
            }
        }
        return count;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

struct Scratch {
    fs::path parent, output;
    Scratch() {
        char pattern[] = "/tmp/mgfuzz-XXXXXX";
        parent = mkdtemp(pattern);
        output = parent / "out";
        fs::create_directory(output);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scratch scratch;
    InputReader reader(data, size);
    ExtractOptions options;
    options.outputRoot = scratch.output.string();
    ExtractIsoTree(reader, [](std::string) { return true; }, options);

    for (const auto& entry : fs::directory_iterator(scratch.output)) fs::remove_all(entry.path());
    for (const auto& entry : fs::directory_iterator(scratch.parent)) {
        if (entry.path() != scratch.output) std::abort();  // written outside the output folder
    }
    return 0;
}
