// Output names of ISO 9660 identifiers and the rules for names safe to create.
#include "OutputName.h"

#include <cctype>

#include "text/Utf8.h"

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const std::string tail(suffix);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Windows opens a device, not a file, for these base names whatever the extension.
bool IsWindowsDeviceName(const std::string& name) {
    std::string base = UpperAscii(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();  // "CON .TXT" is CON too
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (base == device) return true;
    }
    // COM0 to COM9 and LPT0 to LPT9, and the superscript digits ¹ ² ³ (UTF-8 C2 B9, B2, B3).
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const std::string number = base.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

std::string NameAsUtf8(const std::string& identifier, const NarrowDecoder& decode) {
    if (IsValidUtf8(identifier)) return identifier;
    return decode ? decode(identifier) : Windows1252ToUtf8(identifier);
}

std::string Windows1252ToUtf8(const std::string& text) {
    // 0x80 to 0x9F as Windows-1252 has them (five are unassigned: kept as C1 controls).
    static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                       0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::wstring wide;
    for (unsigned char c : text) wide += static_cast<wchar_t>(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    return NarrowToUtf8(wide);
}

std::string OutputFileName(const std::string& identifier) {
    std::string name = identifier;
    if (EndsWith(name, ";1")) name.resize(name.size() - 2);
    if (EndsWith(name, ".")) name.resize(name.size() - 1);
    return name;
}

bool IsSafeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return false;
        default:
            break;
        }
    }
    // Windows drops trailing spaces and dots, so such a name would alias another one.
    const char last = name.back();
    if (last == ' ' || last == '.') return false;
    return !IsWindowsDeviceName(name) && IsValidUtf8(name);
}
