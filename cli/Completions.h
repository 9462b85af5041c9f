// Completion scripts for bash, zsh and fish, written from the program's own options.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

// The shells a script can be written for.
const std::vector<std::string>& CompletionShells();

// The script that completes `app`'s options and their values (folders, files, the allowed
// words) in `shell`; "" for a shell not in CompletionShells().
std::string CompletionScript(const CLI::App& app, const std::string& shell);
