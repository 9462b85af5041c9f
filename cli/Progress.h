// What marrowgate-import shows while it works: a progress line on a terminal, and one
// line per problem.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "iso/IsoExtract.h"

// Counts what an extraction would write (a listing pass gives the totals).
struct TotalsObserver : ExtractObserver {
    uint64_t files = 0;
    uint64_t bytes = 0;
    void OnFile(const std::string&, uint32_t size) override { ++files; bytes += size; }
};

// Prints problems as they come (the first 20, then how many more), and a progress line on
// a terminal. The image import and the disc copy both report through it; `source` is the
// image or the disc's folder.
class ConsoleObserver : public ExtractObserver {
public:
    ConsoleObserver(std::string source, bool showProgress, bool listPaths, uint64_t totalFiles, uint64_t totalBytes);

    void OnDirectory(const std::string& path) override;
    void OnFile(const std::string& path, uint32_t size) override;
    void OnBytesWritten(uint32_t count) override;
    void OnProblem(const ExtractProblem& problem) override;
    // A problem in the words of its own: "WHERE: WHAT[: reason]".
    void Problem(const std::string& where, const std::string& what, int systemError);

    void Finish();  // ends the progress line
    uint64_t files() const { return m_files; }
    uint64_t bytes() const { return m_bytes; }

private:
    void Draw(bool force);

    std::string m_source;
    bool m_showProgress;
    bool m_listPaths;
    uint64_t m_totalFiles, m_totalBytes;
    uint64_t m_files = 0, m_bytes = 0;
    int m_problems = 0;
    std::string m_current;
    bool m_lineShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};
