// Output names of ISO 9660 identifiers and the rules for names safe to create.
#include "OutputName.h"

#include <cctype>

#include "text/Utf8.h"

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const std::string tail(suffix);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Windows opens a device, not a file, for these base names whatever the extension.
bool IsWindowsDeviceName(const std::string& name) {
    std::string base = Upper(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();  // "CON .TXT" is CON too
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (base == device) return true;
    }
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    return numbered && base[3] >= '1' && base[3] <= '9';
}

}  // namespace

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
