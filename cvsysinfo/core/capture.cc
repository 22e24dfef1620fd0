#include "core/capture.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <new>

#include "core/report.h"

namespace cvsysinfo {
namespace {

constexpr size_t kLineBuffer = 4096;

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

void reportRunFailure(const char* command) {
  fprintf(stderr, "Failed to run '%s':  %s\n", command, strerror(errno));
}

}  // namespace

size_t split_lines(char* buffer, size_t held, LineParser* parser) {
  size_t lineStart = 0;
  size_t i = 0;
  while (i < held) {
    if (!isLineEnd(buffer[i])) {
      ++i;
      continue;
    }
    // A run of line ends (CR LF, blank lines) ends one line.
    while (i < held && isLineEnd(buffer[i])) buffer[i++] = '\0';
    if (parser->on_line) parser->on_line(parser, buffer + lineStart);
    lineStart = i;
  }
  size_t rest = held - lineStart;
  memmove(buffer, buffer + lineStart, rest);
  return rest;
}

int run_command_parser(const char* command, LineParser* parser) {
  FILE* out = popen(command, "r");
  if (!out) {
    reportRunFailure(command);
    return 1;
  }
  char buffer[kLineBuffer];
  size_t held = 0;
  while (!feof(out) && !ferror(out)) {
    size_t got = fread(buffer + held, 1, sizeof buffer - held, out);
    if (got == 0) break;
    held = split_lines(buffer, held + got, parser);
    if (held == sizeof buffer) {
      fprintf(stderr, "String is longer than limit, fail to parse!\n");
      // Closing our end stops a command that goes on writing; then reap it.
      pclose(out);
      return 1;
    }
  }
  return pclose(out);
}

bool read_command_output(const char* command, std::string& output) {
  output.clear();
  FILE* out = popen(command, "r");
  if (!out) {
    reportRunFailure(command);
    return false;
  }
  try {
    output.reserve(kLineBuffer);
    char piece[kLineBuffer];
    size_t got;
    while ((got = fread(piece, 1, sizeof piece, out)) > 0) {
      if (output.size() + got > kMaxCommandOutput) {
        fprintf(stderr, "Output of '%s' is longer than %zu bytes, not read to its end\n", command,
                kMaxCommandOutput);
        output.clear();
        output.shrink_to_fit();
        // Closing our end stops a tool that goes on writing; then reap it.
        pclose(out);
        return false;
      }
      output.append(piece, got);
    }
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "Failed to allocate memory for '%s'\n", command);
    output.clear();
    output.shrink_to_fit();
    pclose(out);
    return false;
  }
  pclose(out);
  return true;
}

void add_command_out(xmlTextWriterPtr writer, const char* command, const char* element) {
  std::string output;
  if (!read_command_output(command, output)) return;
  writeElement(writer, "add_command_out", __LINE__, element, output);
}

void add_proc_file(xmlTextWriterPtr writer, const char* path, const char* element) {
  std::string text;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    text = std::string("Unable to open file ") + path;
  } else {
    char chunk[kLineBuffer];
    ssize_t got = 0;
    try {
      while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
    } catch (const std::bad_alloc&) {
      char message[512];
      snprintf(message, sizeof message, "No memory to read %ld bytes from %s",
               static_cast<long>(text.size()) + got + 1, path);
      text = message;
      got = 0;
    }
    close(fd);
    if (text.empty() && got < 0) text = std::string("\nUnable to read from file ") + path;
  }
  if (text.empty()) {
    // An empty file gives the element without content.
    check_xml_rc("add_proc_file", __LINE__,
                 xmlTextWriterWriteElement(writer, reinterpret_cast<const xmlChar*>(element), nullptr));
    return;
  }
  writeElement(writer, "add_proc_file", __LINE__, element, text);
}

void add_sys_file(xmlTextWriterPtr writer, int dirfd, const char* name) {
  std::string text;
  int fd = openat(dirfd, name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    text = std::string("Unable to open file ") + name;
  } else {
    char buffer[kLineBuffer];
    ssize_t got;
    do {
      got = read(fd, buffer, sizeof buffer);
    } while (got < 0 && (errno == EAGAIN || errno == EINTR));
    close(fd);
    if (got < 0) {
      text = std::string("Unable to read from file ") + name;
    } else {
      text.assign(buffer, static_cast<size_t>(got));
      size_t lastLf = text.rfind('\n');
      if (lastLf != std::string::npos) text.resize(lastLf);
    }
  }
  writeElement(writer, "add_sys_file", __LINE__, name, text);
}

void make_xml_name(char* text) {
  for (char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) *p = '_';
  }
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
