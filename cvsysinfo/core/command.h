// Every command the inventory runs is built here, within one limit. A
// command longer than kMaxCommandLength bytes is refused, never cut: a cut
// command would run the tool on some other container, device or cluster.
// The builder prints "Command is longer than 255 bytes, not run: <command>"
// and the caller skips the run, writing what it writes for a tool that
// printed nothing.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace cvsysinfo {

inline constexpr size_t kMaxCommandLength = 255;

// printf-style; the format is the program's own, and any text from outside
// goes in through shell_quote. False (command empty, message printed) when
// the result would exceed the limit.
bool format_command(std::string& command, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The format's single "%s" filled with value quoted for the shell; false
// (command empty, message printed) when the result would exceed the limit.
bool command_with_value(std::string& command, const char* format, const std::string& value);

// Quotes a value from outside the program for the shell; values made only
// of harmless characters come back unchanged.
std::string shell_quote(const std::string& value);

// A command the shell would only split at blanks: words of
// [A-Za-z0-9_./:=,+%@-] separated by spaces, whose first word names a
// program (not a builtin, keyword or assignment of the shell). Such a
// command may be started without the shell, from these words; false for
// anything else, which the shell runs.
bool plain_command_words(const char* command, std::vector<std::string>& words);

}  // namespace cvsysinfo
