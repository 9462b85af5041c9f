// ConsoleObserver: progress on stderr, listings on stdout, problems as single lines.
#include "Progress.h"

#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

#include "Report.h"

namespace {

constexpr int kMaxProblemLines = 20;

size_t TerminalWidth() {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col : 80;
}

}  // namespace

ConsoleObserver::ConsoleObserver(std::string source, bool showProgress, bool listPaths, uint64_t totalFiles,
                                 uint64_t totalBytes)
    : m_source(std::move(source)), m_showProgress(showProgress), m_listPaths(listPaths),
      m_totalFiles(totalFiles), m_totalBytes(totalBytes) {}

void ConsoleObserver::OnDirectory(const std::string& path) {
    if (m_listPaths) std::printf("%s/\n", Printable(path).c_str());
}

void ConsoleObserver::OnFile(const std::string& path, uint32_t) {
    ++m_files;
    m_current = path;
    if (m_listPaths) std::printf("%s\n", Printable(path).c_str());
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
    if (m_lineShown) std::fputs("\r\033[K", stderr);
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
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    m_lineShown = true;
}

void ConsoleObserver::Finish() {
    if (m_problems > kMaxProblemLines)
        ReportProblem(m_source, std::to_string(m_problems - kMaxProblemLines) + " more problems not shown");
    if (!m_showProgress) return;
    Draw(true);
    std::fputs("\n", stderr);
}
