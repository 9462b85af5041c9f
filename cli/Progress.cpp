// ConsoleObserver: progress on stderr, listings on stdout, problems as single lines.
#include "Progress.h"

#include <cstdio>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

#include "text/Utf8.h"

namespace {

constexpr int kMaxProblemLines = 20;

std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

size_t TerminalWidth() {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col : 80;
}

}  // namespace

std::string Printable(const std::string& text) {
    // Well-formed UTF-8 passes, but for C1 controls (U+0080 to U+009F: "\xC2\x80" to "\xC2\x9F").
    const bool utf8 = IsValidUtf8(text);
    std::string out;
    const auto escape = [&out](unsigned char c) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (utf8 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            escape(c);
            escape(static_cast<unsigned char>(text[++i]));
        } else if ((c >= 0x20 && c < 0x7F) || (c >= 0x80 && utf8)) {
            out += static_cast<char>(c);
        } else {
            escape(c);
        }
    }
    return out;
}

ConsoleObserver::ConsoleObserver(std::string imagePath, bool showProgress, bool listPaths, uint64_t totalFiles,
                                 uint64_t totalBytes)
    : m_imagePath(std::move(imagePath)), m_showProgress(showProgress), m_listPaths(listPaths),
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

void ConsoleObserver::OnProblem(ExtractResult cause, ProblemPlace place, const std::string& where, int systemError) {
    if (++m_problems > kMaxProblemLines) return;
    if (m_lineShown) std::fputs("\r\033[K", stderr);
    m_lineShown = false;
    std::string line = "marrowgate-import: ";
    switch (place) {
    case ProblemPlace::Image: line += Printable(where.empty() ? m_imagePath : where); break;
    case ProblemPlace::InsideImage: line += Printable(m_imagePath) + ": " + Printable(where); break;
    case ProblemPlace::Output: line += Printable(where); break;
    }
    line += std::string(": ") + ExtractResultMessage(cause);
    if (systemError != 0) line += std::string(": ") + std::strerror(systemError);
    std::fprintf(stderr, "%s\n", line.c_str());
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
        std::fprintf(stderr, "marrowgate-import: %s: %d more problems not shown\n", Printable(m_imagePath).c_str(),
                     m_problems - kMaxProblemLines);
    if (!m_showProgress) return;
    Draw(true);
    std::fputs("\n", stderr);
}
