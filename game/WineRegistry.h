// Reading a Wine prefix's registry file (system.reg), as far as finding one string needs.
#pragma once

#include <string>

// Registry files of real prefixes run to a few megabytes.
constexpr size_t kWineRegistryLimit = 64 << 20;

// The string value `name` of the key `keyPath` ("Software\Wow6432Node\GOG.com\...",
// relative to the file's root, matched without regard to ASCII case) in the text of a Wine
// registry file, as UTF-8; "" when the key or value is absent or not a string. Wine's
// escapes are undone: "\\" for '\', "\x141" for U+0141 (up to four hex digits), octal,
// and the C escapes.
std::string ReadWineRegistryString(const std::string& registry, const std::string& keyPath, const std::string& name);
