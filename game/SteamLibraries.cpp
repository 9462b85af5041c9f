// A reader for Valve's KeyValues text, as far as libraryfolders.vdf needs: quoted and bare
// tokens, backslash escapes, braces, // comments and [$PLATFORM] conditions (skipped).
#include "SteamLibraries.h"

#include <cctype>

namespace {

enum class TokenKind { Text, Open, Close, End };

struct Token {
    TokenKind kind;
    std::string text;
};

class Lexer {
public:
    explicit Lexer(const std::string& text) : m_text(text) {}

    Token Next() {
        for (;;) {
            SkipSpaceAndComments();
            if (m_pos >= m_text.size()) return {TokenKind::End, {}};
            const char c = m_text[m_pos];
            if (c == '[') {  // a condition such as [$WIN32]: applies to us or not, we read both
                const size_t close = m_text.find(']', m_pos);
                m_pos = close == std::string::npos ? m_text.size() : close + 1;
                continue;
            }
            if (c == '{') { ++m_pos; return {TokenKind::Open, {}}; }
            if (c == '}') { ++m_pos; return {TokenKind::Close, {}}; }
            return {TokenKind::Text, c == '"' ? Quoted() : Bare()};
        }
    }

private:
    void SkipSpaceAndComments() {
        while (m_pos < m_text.size()) {
            if (std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
                ++m_pos;
            } else if (m_text.compare(m_pos, 2, "//") == 0) {
                const size_t end = m_text.find('\n', m_pos);
                m_pos = end == std::string::npos ? m_text.size() : end;
            } else {
                break;
            }
        }
    }

    std::string Quoted() {
        std::string out;
        for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '"'; ++m_pos) {
            char c = m_text[m_pos];
            if (c == '\\' && m_pos + 1 < m_text.size()) {
                c = m_text[++m_pos];
                if (c == 'n') c = '\n';
                else if (c == 't') c = '\t';
            }
            out += c;
        }
        ++m_pos;  // the closing quote
        return out;
    }

    std::string Bare() {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && !std::isspace(static_cast<unsigned char>(m_text[m_pos])) &&
               m_text[m_pos] != '{' && m_text[m_pos] != '}' && m_text[m_pos] != '"')
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

bool IsNumber(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool IsPathKey(const std::string& key) {
    return key.size() == 4 && std::tolower(static_cast<unsigned char>(key[0])) == 'p' &&
           std::tolower(static_cast<unsigned char>(key[1])) == 'a' &&
           std::tolower(static_cast<unsigned char>(key[2])) == 't' &&
           std::tolower(static_cast<unsigned char>(key[3])) == 'h';
}

// Reads one library block after its "{": returns its "path", skipping nested blocks.
std::string ReadLibraryBlock(Lexer& lexer) {
    std::string path;
    int depth = 1;
    for (;;) {
        Token key = lexer.Next();
        if (key.kind == TokenKind::End) return path;
        if (key.kind == TokenKind::Open) { ++depth; continue; }
        if (key.kind == TokenKind::Close) {
            if (--depth == 0) return path;
            continue;
        }
        Token value = lexer.Next();
        if (value.kind == TokenKind::Open) { ++depth; continue; }
        if (value.kind == TokenKind::Text && depth == 1 && IsPathKey(key.text) && path.empty()) path = value.text;
        if (value.kind == TokenKind::Close && --depth == 0) return path;
        if (value.kind == TokenKind::End) return path;
    }
}

}  // namespace

std::vector<std::string> ParseSteamLibraryFolders(const std::string& vdf) {
    std::vector<std::string> folders;
    Lexer lexer(vdf);
    // "libraryfolders" (or "LibraryFolders") { ... }
    if (lexer.Next().kind != TokenKind::Text || lexer.Next().kind != TokenKind::Open) return folders;
    for (;;) {
        Token key = lexer.Next();
        if (key.kind != TokenKind::Text) return folders;
        Token value = lexer.Next();
        if (value.kind == TokenKind::Text) {
            if (IsNumber(key.text) && !value.text.empty()) folders.push_back(value.text);  // old format
        } else if (value.kind == TokenKind::Open) {
            std::string path = ReadLibraryBlock(lexer);  // current format
            if (IsNumber(key.text) && !path.empty()) folders.push_back(path);
        } else {
            return folders;
        }
    }
}
