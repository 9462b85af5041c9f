// UTF-8, the text of every path and name inside the programs, and its conversions to and
// from the wide text of the Windows API (UTF-16 there; UTF-32 where wchar_t is 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const std::string& text);

// UTF-8 to wide text; each ill-formed byte becomes U+FFFD.
std::wstring WidenUtf8(const std::string& text);

// Wide text to UTF-8; a lone surrogate becomes U+FFFD.
std::string NarrowToUtf8(const std::wstring& text);

// `text` with each character in its simple upper-case form (Unicode; the table comes from
// tools/make-case-table.py), for comparisons that ignore case as Windows and Wine make
// them: "ŁÓDŹ" and "Łódź", "É" and "é" fold alike. Ill-formed bytes stay as they are.
std::string FoldCaseUtf8(const std::string& text);

// `text` with the ASCII letters a to z made upper case, and every other byte left as it is
// (ISO 9660 names, sheet keywords).
std::string UpperAscii(std::string text);

// How many of the `size` UTF-16 units at `text` to write in a piece of at most `most`
// units: a piece never ends between the two halves of a surrogate pair.
template <typename Unit>
size_t WholeCharactersPiece(const Unit* text, size_t size, size_t most) {
    if (size <= most) return size;
    const auto last = static_cast<uint32_t>(text[most - 1]);
    return last >= 0xD800 && last <= 0xDBFF ? most - 1 : most;
}
