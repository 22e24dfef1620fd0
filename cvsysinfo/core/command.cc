#include "core/command.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "core/diagnostics.h"

namespace cvsysinfo {
namespace {

bool within_limit(std::string& command) {
  if (command.size() <= kMaxCommandLength) return true;
  diagnostic("Command is longer than %zu bytes, not run: %s\n", kMaxCommandLength, command.c_str());
  command.clear();
  return false;
}

bool is_plain_character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || strchr("_./:=,+%@-", c);
}

// What the shell runs itself rather than a program of that name; some of
// them (echo, printf, test) are programs too, but read their arguments
// differently.
const char* const kShellWords[] = {
    ".", ":", "[", "alias", "bg", "break", "case", "cd", "chdir", "command", "continue", "do", "done",
    "echo", "elif", "else", "esac", "eval", "exec", "exit", "export", "false", "fc", "fg", "fi", "for",
    "function", "getopts", "hash", "if", "in", "jobs", "kill", "local", "printf", "pwd", "read",
    "readonly", "return", "select", "set", "shift", "test", "then", "times", "trap", "true", "type",
    "ulimit", "umask", "unalias", "unset", "until", "wait", "while",
};

}  // namespace

bool plain_command_words(const char* command, std::vector<std::string>& words) {
  words.clear();
  std::string word;
  for (const char* p = command;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (*p == '\0') break;
    } else if (is_plain_character(*p)) {
      word += *p;
    } else {
      words.clear();
      return false;
    }
  }
  bool plain = !words.empty() && words[0].find('=') == std::string::npos;
  for (const char* shell_word : kShellWords) {
    if (plain && words[0] == shell_word) plain = false;
  }
  if (!plain) words.clear();
  return plain;
}

bool format_command(std::string& command, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  command.assign(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) vsnprintf(&command[0], command.size() + 1, format, again);
  va_end(again);
  return within_limit(command);
}

bool command_with_value(std::string& command, const char* format, const std::string& value) {
  command.assign(format);
  size_t slot = command.find("%s");
  if (slot != std::string::npos) command.replace(slot, 2, shell_quote(value));
  return within_limit(command);
}

std::string shell_quote(const std::string& value) {
  static const char kHarmless[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:@%+=,-";
  // An empty value stays empty, so the command's arguments do not change.
  if (value.find_first_not_of(kHarmless) == std::string::npos) return value;
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  return quoted;
}

}  // namespace cvsysinfo
