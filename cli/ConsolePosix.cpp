// The terminal on POSIX systems: stdio, the terminal's size, signals.
#include "Console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<int>* g_stop = nullptr;

extern "C" void OnStopSignal(int signal) { g_stop->store(signal); }

FILE* FileOf(Stream stream) { return stream == Stream::Out ? stdout : stderr; }

}  // namespace

void PrepareProcess() {}

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

void Write(Stream stream, const std::string& text) {
    FILE* file = FileOf(stream);
    std::fwrite(text.data(), 1, text.size(), file);
    if (stream == Stream::Err) std::fflush(file);
}

bool IsTerminal(Stream stream) { return isatty(fileno(FileOf(stream))) == 1; }

size_t TerminalWidth() {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col : 80;
}

std::string EraseLine() { return "\r\033[K"; }

bool FinishOutput(int& error) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    error = errno ? errno : EIO;
    return false;
}

void CatchStopRequests(std::atomic<int>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
