// How marrowgate-import tells the user of a problem: one line on stderr, each with the
// program's name first, and every name from outside made safe to print.
#pragma once

#include <cstdint>
#include <string>

// "marrowgate-import: MESSAGE"
void ReportError(const std::string& message);

// "marrowgate-import: WHERE: WHAT", and ": REASON" when `systemError` (an errno value) is set.
void ReportProblem(const std::string& where, const std::string& what, int systemError = 0);

// A count of bytes in megabytes, to one decimal: "615.2".
std::string Megabytes(uint64_t bytes);

// Bytes outside printable ASCII shown as \xNN, so no name from an image can drive the terminal.
std::string Printable(const std::string& text);
