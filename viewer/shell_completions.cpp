#include "viewer/shell_completions.h"

#include <algorithm>

#include "viewer/help_text.h"

namespace kelm::viewer {

namespace {

// The end-of-options marker. bash is offered it as a word; zsh's _arguments
// -S and fish know it themselves, so their scripts do not list it.
constexpr std::string_view kEndOfOptions = "--";

// Text as one single-quoted word of a POSIX shell (bash, zsh).
std::string ShellQuoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

// Text as one single-quoted word of fish, where only '\' and '\'' are escaped.
std::string FishQuoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  out += '\'';
  return out;
}

// Text inside one field of a zsh _arguments entry: the characters that end a
// field or a description are escaped.
std::string ZshField(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '[' || c == ']' || c == ':') out += '\\';
    out += c;
  }
  return out;
}

std::string Summary(std::string_view action) {
  size_t end = action.size();
  for (std::string_view stop : {",", ";", ":", " ("}) end = std::min(end, action.find(stop));
  std::string_view summary = action.substr(0, end);
  while (!summary.empty() && summary.back() == ' ') summary.remove_suffix(1);
  return std::string(summary);
}

bool IsOptional(std::string_view argument) { return !argument.empty() && argument.front() == '['; }

// An argument's name without the brackets that make it optional.
std::string_view Unbracketed(std::string_view argument) {
  while (!argument.empty() && argument.front() == '[') argument.remove_prefix(1);
  while (!argument.empty() && argument.back() == ']') argument.remove_suffix(1);
  return argument;
}

// The zsh action completing an argument: files with its suffix (and folders,
// to walk into), or any file.
std::string ZshFilesAction(std::string_view argument) {
  const std::string suffix = ArgumentSuffix(argument);
  return suffix.empty() ? std::string("_files") : "_files -g \"*." + suffix + "(-.)\"";
}

}  // namespace

std::vector<CompletionOption> CompletionOptions() {
  std::vector<CompletionOption> options;
  for (const HelpEntry& entry : CommandOptions()) {
    CompletionOption option;
    std::string_view keys = entry.keys;
    while (!keys.empty()) {
      const size_t space = keys.find(' ');
      std::string_view word = keys.substr(0, space);
      keys = space == std::string_view::npos ? std::string_view() : keys.substr(space + 1);
      if (word.empty()) continue;
      if (word.front() == '-') {
        if (word.size() > 1 && word.back() == ',') word.remove_suffix(1);
        option.names.emplace_back(word);
      } else if (word.find('|') != std::string_view::npos) {
        option.value = std::string(word);
      } else {
        option.arguments.emplace_back(word);
      }
    }
    option.summary = Summary(entry.action);
    if (!option.names.empty()) options.push_back(std::move(option));
  }
  return options;
}

std::string ArgumentSuffix(std::string_view argument) {
  argument = Unbracketed(argument);
  const size_t dot = argument.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(argument.substr(dot + 1));
}

std::string BashCompletionScript() {
  const std::vector<CompletionOption> options = CompletionOptions();
  std::string words;
  size_t mostArguments = 0;
  for (const CompletionOption& option : options) {
    for (const std::string& name : option.names) {
      if (!words.empty()) words += ' ';
      words += name;
    }
    mostArguments = std::max(mostArguments, option.arguments.size());
  }

  std::string out;
  out += "# bash completion for kelmhex, made from its option table (kelmhex --help).\n";
  out += "\n";
  out += "# Completes files ending in .$1 and folders, or any file when $1 is empty.\n";
  out += "_kelmhex_files() {\n";
  out += "  local IFS=$'\\n'\n";
  out += "  compopt -o filenames 2>/dev/null\n";
  out += "  if [[ -n $1 ]]; then\n";
  out += "    COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X \"!*.$1\" -- \"$cur\"))\n";
  out += "  else\n";
  out += "    COMPREPLY=($(compgen -f -- \"$cur\"))\n";
  out += "  fi\n";
  out += "}\n";
  out += "\n";
  out += "_kelmhex() {\n";
  out += "  local cur=${COMP_WORDS[COMP_CWORD]} i\n";
  out += "  # After \"--\" every word is the file to view.\n";
  out += "  for ((i = 1; i < COMP_CWORD; i++)); do\n";
  out += "    if [[ ${COMP_WORDS[i]} == -- ]]; then _kelmhex_files ''; return; fi\n";
  out += "  done\n";
  // The n-th argument of an option follows it n words later.
  for (size_t n = 1; n <= mostArguments; ++n) {
    const std::string back = std::to_string(n);
    out += "  if ((COMP_CWORD > " + back + ")); then\n";
    out += "    case ${COMP_WORDS[COMP_CWORD-" + back + "]} in\n";
    for (const CompletionOption& option : options) {
      if (option.arguments.size() < n) continue;
      std::string patterns;
      for (const std::string& name : option.names) patterns += (patterns.empty() ? "" : "|") + name;
      out += "      " + patterns + ") _kelmhex_files " + ShellQuoted(ArgumentSuffix(option.arguments[n - 1])) +
             "; return ;;\n";
    }
    out += "    esac\n";
    out += "  fi\n";
  }
  out += "  if [[ $cur == -* ]]; then\n";
  out += "    COMPREPLY=($(compgen -W " + ShellQuoted(words) + " -- \"$cur\"))\n";
  out += "    return\n";
  out += "  fi\n";
  out += "  _kelmhex_files ''\n";
  out += "}\n";
  out += "\n";
  out += "complete -F _kelmhex kelmhex\n";
  return out;
}

std::string ZshCompletionScript() {
  std::string out;
  out += "#compdef kelmhex\n";
  out += "# zsh completion for kelmhex, made from its option table (kelmhex --help).\n";
  out += "\n";
  // Every option is a mode of its own: after one, neither another option nor
  // a file follows (the "(- *)" exclusion).
  out += "_arguments -S \\\n";
  for (const CompletionOption& option : CompletionOptions()) {
    for (const std::string& name : option.names) {
      if (name == kEndOfOptions) continue;
      std::string entry = "(- *)" + name + "[" + ZshField(option.summary) + "]";
      for (const std::string& argument : option.arguments) {
        entry += IsOptional(argument) ? "::" : ":";
        entry += ZshField(Unbracketed(argument)) + ":" + ZshFilesAction(argument);
      }
      out += "  " + ShellQuoted(entry) + " \\\n";
    }
  }
  out += "  '1:file:_files'\n";
  return out;
}

std::string FishCompletionScript() {
  std::string out;
  out += "# fish completion for kelmhex, made from its option table (kelmhex --help).\n";
  out += "\n";
  for (const CompletionOption& option : CompletionOptions()) {
    std::string line = "complete -c kelmhex";
    bool named = false;
    for (const std::string& name : option.names) {
      if (name == kEndOfOptions) continue;
      named = true;
      if (name.size() > 2 && name.compare(0, 2, "--") == 0) {
        line += " -l " + name.substr(2);
      } else if (name.size() == 2) {
        line += " -s " + name.substr(1);
      } else {
        line += " -o " + name.substr(1);
      }
    }
    if (!named) continue;
    out += line + " -d " + FishQuoted(option.summary) + "\n";
    // fish completes the first argument of an option; the later ones are
    // ordinary words, completed as files. On a line of its own, so that the
    // files offered do not each carry the option's description. fish lists
    // the files with the suffix first, then the others.
    if (!option.arguments.empty()) {
      const std::string suffix = ArgumentSuffix(option.arguments.front());
      line += " -r";
      if (!suffix.empty()) line += " -k -a " + FishQuoted("(__fish_complete_suffix ." + suffix + ")");
      out += line + "\n";
    }
  }
  return out;
}

}  // namespace kelm::viewer
