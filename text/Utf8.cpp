// UTF-8 decoding and encoding by hand: the same on every platform, no locale involved.
#include "Utf8.h"

#include <algorithm>
#include <iterator>

namespace {

// Decodes one UTF-8 sequence at `i`; returns the code point or -1, and advances `i`.
long DecodeUtf8(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra;
    long cp;
    if (lead < 0x80) { ++i; return lead; }
    if (lead >= 0xC2 && lead <= 0xDF) { extra = 1; cp = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; cp = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; cp = lead & 0x07; }
    else return -1;
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static const long kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += extra + 1;
    return cp;
}


void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct CasePair {
    unsigned long from, upper;
};

const CasePair kUpperCase[] = {
#include "CaseTable.inc"
};

// A code point's simple upper-case form (Unicode), as Windows compares names by it.
unsigned long FoldCase(unsigned long cp) {
    const auto found = std::lower_bound(std::begin(kUpperCase), std::end(kUpperCase), cp,
                                        [](const CasePair& pair, unsigned long value) { return pair.from < value; });
    return found != std::end(kUpperCase) && found->from == cp ? found->upper : cp;
}

bool IsHighSurrogate(unsigned long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        if (DecodeUtf8(text, i) < 0) return false;
    }
    return true;
}

std::wstring WidenUtf8(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        long cp = DecodeUtf8(text, i);
        if (cp < 0) { cp = 0xFFFD; ++i; }
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            cp -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (cp >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(cp);
        }
    }
    return wide;
}

std::string NarrowToUtf8(const std::wstring& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long cp = static_cast<unsigned long>(text[i]);
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(static_cast<unsigned long>(text[i + 1]))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(text[++i]) - 0xDC00);
        } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp) || cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(utf8, cp);
    }
    return utf8;
}

std::string FoldCaseUtf8(const std::string& text) {
    std::string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const long cp = DecodeUtf8(text, i);
        if (cp < 0) {
            folded += text[i++];
        } else if (cp < 0x80) {
            folded += static_cast<char>(FoldCase(static_cast<unsigned long>(cp)));
        } else {
            const unsigned long lower = FoldCase(static_cast<unsigned long>(cp));
            if (lower == static_cast<unsigned long>(cp)) folded.append(text, start, i - start);
            else AppendUtf8(folded, lower);
        }
    }
    return folded;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}
