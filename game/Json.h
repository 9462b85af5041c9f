// A small JSON reader for the launchers' files (Heroic's installed.json, minigalaxy's
// config.json): the whole text into a tree, or nothing when it is not JSON.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::string text;                                     // a string (UTF-8), or a number or bool as written
    std::vector<JsonValue> items;                         // an array's
    std::vector<std::pair<std::string, JsonValue>> members;  // an object's, in order

    // The object's member named `key`, or null.
    const JsonValue* Find(const std::string& key) const;
    // The string, or "" for anything else.
    std::string String() const { return kind == Kind::String ? text : std::string(); }
};

// The value that `text` holds, or nothing when it is not JSON (or nests deeper than 64).
std::optional<JsonValue> ParseJson(const std::string& text);
