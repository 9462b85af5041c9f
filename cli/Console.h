// Where marrowgate-import meets its terminal or console: its arguments, its two output
// streams, and the requests to stop. One file for POSIX systems, one for Windows.
#pragma once

#include <atomic>
#include <string>
#include <vector>

// Settles the process before it looks at anything: on Windows, a drive without a disc
// gives an error, never a system prompt.
void PrepareProcess();

// The arguments, program name first, as UTF-8 (on Windows, from the wide command line, so
// no code page can lose a name).
std::vector<std::string> ProgramArguments(int argc, char** argv);

enum class Stream { Out, Err };

// Writes UTF-8 text. A Windows console gets it as UTF-16, so every name shows right on
// any code page; a file or pipe gets the UTF-8 bytes.
void Write(Stream stream, const std::string& text);

// True when the stream shows on a terminal or console (the progress line goes only there).
bool IsTerminal(Stream stream);

// The width of the terminal that standard error shows on; 80 when unknown.
size_t TerminalWidth();

// What takes the cursor back to the start of the line and clears it.
std::string EraseLine();

// Makes sure everything written to standard output arrived; false, with `error` (an errno
// value), when any of it was lost.
bool FinishOutput(int& error);

// From now on a request to stop (SIGINT or SIGTERM; Ctrl-C, Ctrl-Break or the console
// closed on Windows) sets `stop` to SIGINT or SIGTERM instead of ending the process: the
// work stops, drops the file it was writing, and the program ends with 130 or 143.
void CatchStopRequests(std::atomic<int>& stop);
