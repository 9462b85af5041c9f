// ConsoleObserver: progress on stderr, listings on stdout, problems as single lines.
#include "Progress.h"

#include "Console.h"
#include "Report.h"

namespace {

constexpr int kMaxProblemLines = 20;

}  // namespace

ConsoleObserver::ConsoleObserver(std::string source, bool showProgress, bool listPaths, uint64_t totalFiles,
                                 uint64_t totalBytes)
    : m_source(std::move(source)), m_showProgress(showProgress), m_listPaths(listPaths),
      m_totalFiles(totalFiles), m_totalBytes(totalBytes) {}

void ConsoleObserver::OnDirectory(const std::string& path) {
    if (m_listPaths) Write(Stream::Out, Printable(path) + "/\n");
}

void ConsoleObserver::OnFile(const std::string& path, uint32_t) {
    ++m_files;
    m_current = path;
    if (m_listPaths) Write(Stream::Out, Printable(path) + "\n");
    Draw(false);
}

void ConsoleObserver::OnBytesWritten(uint32_t count) {
    m_bytes += count;
    Draw(false);
}

void ConsoleObserver::OnProblem(const ExtractProblem& problem) {
    std::string what = ExtractResultMessage(problem.cause);
    if (!problem.detail.empty()) what += ": " + problem.detail;
    switch (problem.place) {
    case ProblemPlace::Image: return Problem(problem.where.empty() ? m_source : problem.where, what, problem.systemError);
    case ProblemPlace::InsideImage: return Problem(m_source + ": " + problem.where, what, problem.systemError);
    case ProblemPlace::Output: return Problem(problem.where, what, problem.systemError);
    }
}

void ConsoleObserver::Problem(const std::string& where, const std::string& what, int systemError) {
    if (++m_problems > kMaxProblemLines) return;
    if (m_lineShown) Write(Stream::Err, EraseLine());
    m_lineShown = false;
    ReportProblem(where, what, systemError);
}

void ConsoleObserver::Draw(bool force) {
    if (!m_showProgress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;
    const int percent = m_totalBytes ? static_cast<int>(m_bytes * 100 / m_totalBytes) : 100;
    std::string line = "[" + std::to_string(percent) + "%] " + Megabytes(m_bytes) + "/" + Megabytes(m_totalBytes) +
                       " MB, " + std::to_string(m_files) + "/" + std::to_string(m_totalFiles) + " files  " +
                       Printable(m_current);
    const size_t width = TerminalWidth() - 1;
    if (line.size() > width) line.resize(width);
    Write(Stream::Err, EraseLine() + line);
    m_lineShown = true;
}

void ConsoleObserver::Finish() {
    if (m_problems > kMaxProblemLines)
        ReportProblem(m_source, std::to_string(m_problems - kMaxProblemLines) + " more problems not shown");
    if (!m_showProgress || (!m_lineShown && m_files == 0)) return;  // nothing was read: nothing to sum up
    Draw(true);
    Write(Stream::Err, "\n");
}
