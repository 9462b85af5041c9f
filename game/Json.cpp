// A recursive-descent JSON reader, bounded in depth.
#include "Json.h"

#include <cstdlib>

#include "text/Utf8.h"

namespace {

constexpr int kMaxDepth = 64;

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : m_text(text) {}

    bool ParseDocument(JsonValue& value) {
        if (!Parse(value, 0)) return false;
        SkipSpace();
        return m_pos == m_text.size();
    }

private:
    void SkipSpace() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' ||
                                         m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(const char* word) {
        const std::string w = word;
        if (m_text.compare(m_pos, w.size(), w) != 0) return false;
        m_pos += w.size();
        return true;
    }

    bool Parse(JsonValue& value, int depth) {
        if (depth > kMaxDepth) return false;
        SkipSpace();
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos];
        if (c == '{') return ParseObject(value, depth);
        if (c == '[') return ParseArray(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return ParseString(value.text);
        }
        if (Literal("null")) { value.kind = JsonValue::Kind::Null; return true; }
        if (Literal("true")) { value.kind = JsonValue::Kind::Bool; value.text = "true"; return true; }
        if (Literal("false")) { value.kind = JsonValue::Kind::Bool; value.text = "false"; return true; }
        return ParseNumber(value);
    }

    bool ParseNumber(JsonValue& value) {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && std::string("+-0123456789.eE").find(m_text[m_pos]) != std::string::npos) ++m_pos;
        if (m_pos == start) return false;
        value.kind = JsonValue::Kind::Number;
        value.text = m_text.substr(start, m_pos - start);
        return true;
    }

    bool Hex4(unsigned& unit) {
        if (m_pos + 4 > m_text.size()) return false;
        char digits[5] = {};
        m_text.copy(digits, 4, m_pos);
        char* end = nullptr;
        unit = static_cast<unsigned>(std::strtoul(digits, &end, 16));
        if (end != digits + 4) return false;
        m_pos += 4;
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos;  // the opening quote
        std::wstring units;  // \u escapes, joined into UTF-8 with the rest at each plain run
        const auto flush = [&] {
            out += NarrowToUtf8(units);
            units.clear();
        };
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') {
                flush();
                return true;
            }
            if (c != '\\') {
                flush();
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            if (e == 'u') {
                unsigned unit = 0;
                if (!Hex4(unit)) return false;
                units += static_cast<wchar_t>(unit);
                continue;
            }
            flush();
            switch (e) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            default: out += e;  // '"', '\\', '/'
            }
        }
        return false;
    }

    bool ParseArray(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Array;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, true;
        for (;;) {
            value.items.emplace_back();
            if (!Parse(value.items.back(), depth + 1)) return false;
            SkipSpace();
            if (m_pos >= m_text.size()) return false;
            if (m_text[m_pos] == ']') return ++m_pos, true;
            if (m_text[m_pos++] != ',') return false;
        }
    }

    bool ParseObject(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Object;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, true;
        for (;;) {
            SkipSpace();
            std::string key;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !ParseString(key)) return false;
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos++] != ':') return false;
            value.members.emplace_back(std::move(key), JsonValue{});
            if (!Parse(value.members.back().second, depth + 1)) return false;
            SkipSpace();
            if (m_pos >= m_text.size()) return false;
            if (m_text[m_pos] == '}') return ++m_pos, true;
            if (m_text[m_pos++] != ',') return false;
        }
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (const auto& [name, value] : members) {
        if (name == key) return &value;
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(const std::string& text) {
    JsonValue value;
    if (!JsonParser(text).ParseDocument(value)) return std::nullopt;
    return value;
}
