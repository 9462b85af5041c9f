// Fuzz target: the whole tree walk, writing into a scratch folder, on an image in memory.
// The input is the image from block 16 (the volume descriptor) on; blocks 0 to 15 read as
// zeros, so the fuzzer spends no bytes on them. After each input the scratch folder is
// emptied, and the run stops if anything appeared beside it, if more was written than the
// engine's budget for an image of that size allows, or if one input took over 5 seconds.
// The scratch folder (under $TMPDIR) is removed when the process ends.
#include <chrono>
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

    uint64_t Size() override { return kSkipped + uint64_t{m_size}; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// Stops the run on work out of proportion to the input.
struct BudgetWatch : ExtractObserver {
    uint64_t budget = 0, written = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    void OnBytesWritten(uint32_t count) override {
        written += count;
        if (written > budget) std::abort();  // more output than the budget allows
        Check();
    }
    void OnFile(const std::string&, uint32_t) override { Check(); }
    void OnDirectory(const std::string&) override { Check(); }
    void Check() const {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) std::abort();  // work past all bounds
    }
};

struct Scratch {
    fs::path parent, output;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mgfuzz-XXXXXX";
        parent = mkdtemp(&pattern[0]);
        output = parent / "out";
        fs::create_directory(output);
        std::atexit([] { Remove(); });
    }
    static Scratch*& Instance() {
        static Scratch* instance = nullptr;
        return instance;
    }
    static void Remove() {
        std::error_code ignored;
        if (Instance()) fs::remove_all(Instance()->parent, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scratch scratch;
    Scratch::Instance() = &scratch;
    InputReader reader(data, size);
    BudgetWatch watch;
    watch.budget = OutputBudget(reader.Size());
    ExtractOptions options;
    options.outputRoot = scratch.output.string();
    options.observer = &watch;
    ExtractIsoTree(reader, [](std::string) { return true; }, options);

    for (const auto& entry : fs::directory_iterator(scratch.output)) fs::remove_all(entry.path());
    for (const auto& entry : fs::directory_iterator(scratch.parent)) {
        if (entry.path() != scratch.output) std::abort();  // written outside the output folder
    }
    return 0;
}
