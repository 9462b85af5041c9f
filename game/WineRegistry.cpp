// Wine's registry text: "[key\\path] time" lines open a key, "name"="data" lines follow
// until a blank line; everything outside ASCII is escaped.
#include "WineRegistry.h"

#include <cctype>

#include "text/Utf8.h"

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Undoes the escapes of a quoted string or key starting after its opening `quote` at `i`;
// stops after `close` (or at the line's end) and leaves `i` there.
std::wstring Unescape(const std::wstring& line, size_t& i, wchar_t close) {
    std::wstring out;
    while (i < line.size() && line[i] != close) {
        wchar_t c = line[i++];
        if (c != L'\\' || i >= line.size()) {
            out += c;
            continue;
        }
        c = line[i++];
        switch (c) {
        case L'a': out += L'\a'; break;
        case L'b': out += L'\b'; break;
        case L'e': out += wchar_t{27}; break;
        case L'f': out += L'\f'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        case L'v': out += L'\v'; break;
        case L'x': {
            unsigned value = 0;
            int digits = 0;
            for (; digits < 4 && i < line.size() && HexValue(line[i]) >= 0; ++digits) value = value * 16 + HexValue(line[i++]);
            out += digits ? static_cast<wchar_t>(value) : L'x';
            break;
        }
        default:
            if (c >= L'0' && c <= L'7') {
                unsigned value = c - L'0';
                for (int digits = 1; digits < 3 && i < line.size() && line[i] >= L'0' && line[i] <= L'7'; ++digits)
                    value = value * 8 + (line[i++] - L'0');
                out += static_cast<wchar_t>(value);
            } else {
                out += c;  // "\\", "\"" and anything else stand for themselves
            }
        }
    }
    if (i < line.size()) ++i;  // the closing character
    return out;
}

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](wchar_t c) { return c < 128 ? static_cast<wchar_t>(std::tolower(c)) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string ReadWineRegistryString(const std::string& registry, const std::string& keyPath, const std::string& name) {
    const std::wstring text = WidenUtf8(registry), wantedKey = WidenUtf8(keyPath), wantedName = WidenUtf8(name);
    bool inKey = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty()) {
            inKey = false;
        } else if (line[0] == L'[') {
            size_t i = 1;
            inKey = SameIgnoringAsciiCase(Unescape(line, i, L']'), wantedKey);
        } else if (inKey && line[0] == L'"') {
            size_t i = 1;
            if (!SameIgnoringAsciiCase(Unescape(line, i, L'"'), wantedName)) continue;
            // "name"="data" is a string; "name"=str(2):"data" one to be expanded, taken as it is.
            for (const wchar_t* form : {L"=\"", L"=str(2):\""}) {
                const std::wstring prefix = form;
                if (line.compare(i, prefix.size(), prefix) == 0) {
                    i += prefix.size();
                    return NarrowToUtf8(Unescape(line, i, L'"'));
                }
            }
            return {};
        }
    }
    return {};
}
