#include "core/command.h"

#include <stdarg.h>
#include <stdio.h>

namespace cvsysinfo {
namespace {

bool within_limit(std::string& command) {
  if (command.size() <= kMaxCommandLength) return true;
  fprintf(stderr, "Command is longer than %zu bytes, not run: %s\n", kMaxCommandLength, command.c_str());
  command.clear();
  return false;
}

}  // namespace

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
