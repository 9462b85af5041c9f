// The program's name is written here only.
#include "Report.h"

#include <cstdio>
#include <cstring>

#include "Console.h"
#include "text/Utf8.h"

std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

void ReportError(const std::string& message) { Write(Stream::Err, "marrowgate-import: " + message + "\n"); }

void ReportProblem(const std::string& where, const std::string& what, int systemError) {
    std::string message = Printable(where) + ": " + what;
    if (systemError != 0) message += std::string(": ") + std::strerror(systemError);
    ReportError(message);
}

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
