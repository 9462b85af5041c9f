// Fuzz target: the launchers' JSON files (Heroic's installed.json, minigalaxy's config.json).
#include <cstdint>
#include <string>

#include "game/Json.h"

namespace {

// Visits the whole tree, as a reader of it would, and checks its depth.
void Walk(const JsonValue& value, int depth) {
    if (depth > 64) __builtin_trap();  // deeper than the parser allows
    for (const auto& item : value.items) Walk(item, depth + 1);
    for (const auto& member : value.members) Walk(member.second, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto value = ParseJson(std::string(reinterpret_cast<const char*>(data), size));
    if (value) {
        Walk(*value, 0);
        if (const JsonValue* list = value->Find("installed")) {
            for (const auto& game : list->items) (void)game.Find("install_path");
        }
    }
    return 0;
}
