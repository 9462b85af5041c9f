// The completion scripts, written from the options the program parses: an option added
// there completes in every shell with no more work.
#include "Completions.h"

#include <algorithm>
#include <vector>

namespace {

enum class ValueKind { None, Folder, File, Choice };

struct OptionWords {
    std::vector<std::string> shortNames;  // "C"
    std::vector<std::string> longNames;   // "directory"
    std::string help;
    ValueKind value = ValueKind::None;
    std::vector<std::string> choices;
};

// What an option's value is, from its type name: "DIR" a folder, "TEXT:{a,b}" (a set of
// allowed values) a choice, anything else a file.
void ReadValue(const CLI::Option& option, OptionWords& words) {
    if (option.get_expected_max() == 0) return;  // a flag
    const std::string type = option.get_type_name();
    const size_t open = type.find(":{"), close = type.rfind('}');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        words.value = ValueKind::Choice;
        const std::string list = type.substr(open + 2, close - open - 2);
        for (size_t start = 0; start <= list.size();) {
            const size_t comma = std::min(list.find(',', start), list.size());
            words.choices.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
    } else {
        words.value = type.compare(0, 3, "DIR") == 0 ? ValueKind::Folder : ValueKind::File;
    }
}

std::vector<OptionWords> NamedOptions(const CLI::App& app) {
    std::vector<OptionWords> found;
    for (const CLI::Option* option : app.get_options()) {
        if (!option->nonpositional()) continue;
        OptionWords words;
        words.shortNames = option->get_snames();
        words.longNames = option->get_lnames();
        words.help = option->get_description();
        ReadValue(*option, words);
        found.push_back(words);
    }
    return found;
}

std::string Joined(const std::vector<std::string>& words, const std::string& prefix, const std::string& separator) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : separator) + prefix + word;
    return text;
}

// `text` inside single quotes, for any of the three shells.
std::string Quoted(const std::string& text, const std::string& quoteInside) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? quoteInside : std::string(1, c);
    return out + "'";
}

std::string BashScript(const std::string& program, const std::vector<OptionWords>& options) {
    std::string folders, cases, all;
    for (const OptionWords& option : options) {
        const std::string names = Joined(option.shortNames, "-", "|") + (option.shortNames.empty() ? "" : "|") +
                                  Joined(option.longNames, "--", "|");
        all += (all.empty() ? "" : " ") + Joined(option.shortNames, "-", " ") + (option.shortNames.empty() ? "" : " ") +
               Joined(option.longNames, "--", " ");
        if (option.value == ValueKind::Folder) folders += (folders.empty() ? "" : "|") + names;
        if (option.value == ValueKind::File) cases += "        " + names + ") words=\"$(compgen -f -- \"$cur\")\" ;;\n";
        if (option.value == ValueKind::Choice)
            cases += "        " + names + ") words=\"$(compgen -W '" + Joined(option.choices, "", " ") + "' -- \"$cur\")\" ;;\n";
    }
    if (!folders.empty()) cases += "        " + folders + ") words=\"$(compgen -d -- \"$cur\")\" ;;\n";
    std::string function = "_" + program;
    std::replace(function.begin(), function.end(), '-', '_');
    return "# bash completion for " + program + "\n" + function + "() {\n"
           "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\" words\n"
           "    case \"$prev\" in\n" + cases +
           "        *)\n"
           "            if [[ \"$cur\" == -* ]]; then words=\"$(compgen -W '" + all + "' -- \"$cur\")\"\n"
           "            else words=\"$(compgen -f -- \"$cur\")\"; fi ;;\n"
           "    esac\n"
           "    local IFS=$'\\n'\n"
           "    COMPREPLY=($words)\n"
           "}\n"
           "complete -o filenames -F " + function + " " + program + "\n";
}

// _arguments takes "[help]" after the names: brackets and colons in it are escaped.
std::string ZshHelp(const std::string& help) {
    std::string out;
    for (char c : help) out += (c == '[' || c == ']' || c == ':' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return out;
}

std::string ZshScript(const std::string& program, const std::vector<OptionWords>& options) {
    std::string specs;
    for (const OptionWords& option : options) {
        std::vector<std::string> names;
        for (const std::string& name : option.shortNames) names.push_back("-" + name);
        for (const std::string& name : option.longNames) names.push_back("--" + name);
        std::string action;
        switch (option.value) {
        case ValueKind::None: break;
        case ValueKind::Folder: action = ":DIR:_directories"; break;
        case ValueKind::File: action = ":FILE:_files"; break;
        case ValueKind::Choice: action = ":VALUE:(" + Joined(option.choices, "", " ") + ")"; break;
        }
        const std::string tail = "[" + ZshHelp(option.help) + "]" + action;
        if (names.size() == 1) {
            specs += "    " + Quoted(names[0] + tail, "'\\''") + " \\\n";
        } else {  // each name excludes the others
            const std::string exclusion = "(" + Joined(names, "", " ") + ")";
            for (const std::string& name : names) specs += "    " + Quoted(exclusion + name + tail, "'\\''") + " \\\n";
        }
    }
    return "#compdef " + program + "\n# zsh completion for " + program + "\n_arguments -s \\\n" + specs +
           "    '1:IMAGE:_files'\n";
}

std::string FishScript(const std::string& program, const std::vector<OptionWords>& options) {
    std::string lines = "# fish completion for " + program + "\n";
    for (const OptionWords& option : options) {
        std::string line = "complete -c " + program;
        for (const std::string& name : option.shortNames) line += " -s " + name;
        for (const std::string& name : option.longNames) line += " -l " + name;
        switch (option.value) {
        case ValueKind::None: break;
        case ValueKind::Folder: line += " -x -a '(__fish_complete_directories)'"; break;
        case ValueKind::File: line += " -r -F"; break;
        case ValueKind::Choice: line += " -x -a " + Quoted(Joined(option.choices, "", " "), "\\'"); break;
        }
        std::string help;
        for (char c : option.help) help += c == '\\' ? std::string("\\\\") : std::string(1, c);
        lines += line + " -d " + Quoted(help, "\\'") + "\n";
    }
    return lines;
}

}  // namespace

const std::vector<std::string>& CompletionShells() {
    static const std::vector<std::string> shells = {"bash", "zsh", "fish"};
    return shells;
}

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
    const std::string program = app.get_name();
    const std::vector<OptionWords> options = NamedOptions(app);
    if (shell == "bash") return BashScript(program, options);
    if (shell == "zsh") return ZshScript(program, options);
    if (shell == "fish") return FishScript(program, options);
    return {};
}
