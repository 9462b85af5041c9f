// The console on Windows: the wide command line, WriteConsoleW to a console and UTF-8 to
// anything else, Ctrl-C and Ctrl-Break.
#include "Console.h"

#include <cerrno>
#include <csignal>

#include <windows.h>
#include <shellapi.h>

#include "text/Utf8.h"

namespace {

std::atomic<int>* g_stop = nullptr;
int g_outputError = 0;  // the first failure to write standard output

HANDLE HandleOf(Stream stream) { return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE); }

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

int ErrnoOfWriteFailure(DWORD error) {
    switch (error) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

bool WriteToConsole(HANDLE console, const std::string& text) {
    const std::wstring wide = WidenUtf8(text);
    constexpr size_t kPiece = 8192;  // older consoles refuse very long writes
    for (size_t at = 0; at < wide.size();) {
        DWORD written = 0;
        const DWORD count = static_cast<DWORD>(WholeCharactersPiece(wide.data() + at, wide.size() - at, kPiece));
        if (!WriteConsoleW(console, wide.data() + at, count, &written, nullptr) || written == 0) return false;
        at += written;
    }
    return true;
}

bool WriteToFile(HANDLE file, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        DWORD written = 0;
        const DWORD count = static_cast<DWORD>(std::min<size_t>(1 << 20, text.size() - at));
        if (!WriteFile(file, text.data() + at, count, &written, nullptr) || written == 0) return false;
        at += written;
    }
    return true;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_stop->store(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The process ends when this returns: the work gets the few seconds Windows allows
        // to drop its file and end by itself.
        g_stop->store(SIGTERM);
        Sleep(4000);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void PrepareProcess() { SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i) {
        arguments.push_back(NarrowToUtf8(wide[i]));
        if (i > 0 && arguments.back() == "/?") arguments.back() = "--help";
    }
    LocalFree(wide);
    if (arguments.empty()) arguments.push_back("marrowgate-import");
    return arguments;
}

void Write(Stream stream, const std::string& text) {
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;  // no such stream: nothing to show
    const bool written = IsConsole(handle) ? WriteToConsole(handle, text) : WriteToFile(handle, text);
    if (!written && stream == Stream::Out && g_outputError == 0) g_outputError = ErrnoOfWriteFailure(GetLastError());
}

bool IsTerminal(Stream stream) { return IsConsole(HandleOf(stream)); }

size_t TerminalWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(HandleOf(Stream::Err), &info)) return 80;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 20 ? static_cast<size_t>(width) : 80;
}

std::string EraseLine() {
    // Consoles before Windows 10 know no escape sequences: blanks clear the line there.
    static const bool escapes = [] {
        const HANDLE console = HandleOf(Stream::Err);
        DWORD mode = 0;
        return GetConsoleMode(console, &mode) &&
               SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }();
    return escapes ? "\r\033[K" : "\r" + std::string(TerminalWidth() - 1, ' ') + "\r";
}

bool FinishOutput(int& error) {
    error = g_outputError;
    return error == 0;
}

void CatchStopRequests(std::atomic<int>& stop) {
    g_stop = &stop;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
