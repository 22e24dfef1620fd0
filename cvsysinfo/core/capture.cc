#include "core/capture.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <new>

#include "core/diagnostics.h"
#include "core/owners.h"
#include "core/section_buffer.h"
#include "core/spawn.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

constexpr size_t kLineBuffer = 4096;

bool is_line_end(char c) { return c == '\r' || c == '\n'; }

void report_run_failure(const char* command) {
  // strerror's buffer is shared by the threads that capture containers.
  char reason[128];
  diagnostic("Failed to run '%s':  %s\n", command, strerror_r(errno, reason, sizeof reason));
}

// The reader that gives up stops the command too (its owner does), so a
// tool that ignores the closed pipe cannot keep the run waiting.
void report_output_cap(const char* command) {
  diagnostic("Output of '%s' is longer than %zu bytes, not read to its end\n", command, kMaxCommandOutput);
}

// A command that ran out of time was stopped; what it printed before stays.
bool reported_time_limit(const CommandOwner& out, const char* command) {
  if (!out.timed_out()) return false;
  diagnostic("'%s' did not end within %lld seconds and was stopped; its output is kept as far as it got\n",
             command, static_cast<long long>(kCommandTimeout.count()));
  return true;
}

}  // namespace

size_t split_lines(char* buffer, size_t held, LineParser* parser) {
  size_t line_start = 0;
  size_t i = 0;
  while (i < held) {
    if (!is_line_end(buffer[i])) {
      ++i;
      continue;
    }
    // A run of line ends (CR LF, blank lines) ends one line.
    while (i < held && is_line_end(buffer[i])) buffer[i++] = '\0';
    if (parser->on_line) parser->on_line(parser, buffer + line_start);
    line_start = i;
  }
  size_t rest = held - line_start;
  memmove(buffer, buffer + line_start, rest);
  return rest;
}

int run_command_parser(const char* command, LineParser* parser) {
  CommandOwner out(command);
  if (!out) {
    report_run_failure(command);
    return 1;
  }
  // One byte more than a line may fill, for the end of the last line.
  char buffer[kLineBuffer + 1];
  size_t held = 0;
  size_t total = 0;
  size_t got;
  while ((got = out.read(buffer + held, kLineBuffer - held)) > 0) {
    total += got;
    if (total > kMaxCommandOutput) {
      report_output_cap(command);
      return 1;
    }
    held = split_lines(buffer, held + got, parser);
    if (held == kLineBuffer) {
      diagnostic("String is longer than limit, fail to parse!\n");
      return 1;
    }
  }
  // A last line without a line end is a line all the same.
  if (held > 0) {
    buffer[held] = '\0';
    if (parser->on_line) parser->on_line(parser, buffer);
  }
  int status = out.finish();
  return reported_time_limit(out, command) ? 1 : status;
}

bool read_command_output(const char* command, std::string& output) {
  output.clear();
  CommandOwner out(command);
  if (!out) {
    report_run_failure(command);
    return false;
  }
  try {
    output.reserve(kLineBuffer);
    char piece[kLineBuffer];
    size_t got;
    while ((got = out.read(piece, sizeof piece)) > 0) {
      if (output.size() + got > kMaxCommandOutput) {
        report_output_cap(command);
        output.clear();
        output.shrink_to_fit();
        return false;
      }
      // A section captured beside others waits for its turn before it
      // holds more than its share.
      wait_to_hold(output.size() + got);
      output.append(piece, got);
    }
  } catch (const std::bad_alloc&) {
    diagnostic("Failed to allocate memory for '%s'\n", command);
    output.clear();
    output.shrink_to_fit();
    return false;
  }
  out.finish();
  reported_time_limit(out, command);
  return true;
}

void add_command_out(xmlTextWriterPtr writer, const char* command, const char* element) {
  std::string output;
  if (!read_command_output(command, output)) return;
  SectionWriter(writer, "add_command_out").element(element, output);
}

void add_proc_file(xmlTextWriterPtr writer, const char* path, const char* element) {
  std::string text;
  FdOwner fd(open(path, O_RDONLY | O_CLOEXEC));
  if (!fd) {
    text = std::string("Unable to open file ") + path;
  } else {
    char chunk[kLineBuffer];
    ssize_t got = 0;
    try {
      while ((got = read(fd.get(), chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
    } catch (const std::bad_alloc&) {
      char message[512];
      snprintf(message, sizeof message, "No memory to read %ld bytes from %s",
               static_cast<long>(text.size()) + got + 1, path);
      text = message;
      got = 0;
    }
    if (text.empty() && got < 0) text = std::string("\nUnable to read from file ") + path;
  }
  SectionWriter out(writer, "add_proc_file");
  if (text.empty()) {
    // An empty file gives the element without content.
    out.check(xmlTextWriterWriteElement(writer, reinterpret_cast<const xmlChar*>(element), nullptr));
    return;
  }
  out.element(element, text);
}

void add_sys_file(xmlTextWriterPtr writer, int dirfd, const char* name) {
  std::string text;
  FdOwner fd(openat(dirfd, name, O_RDONLY | O_CLOEXEC));
  if (!fd) {
    text = std::string("Unable to open file ") + name;
  } else {
    char buffer[kLineBuffer];
    ssize_t got;
    do {
      got = read(fd.get(), buffer, sizeof buffer);
    } while (got < 0 && (errno == EAGAIN || errno == EINTR));
    if (got < 0) {
      text = std::string("Unable to read from file ") + name;
    } else {
      text.assign(buffer, static_cast<size_t>(got));
      size_t last_lf = text.rfind('\n');
      if (last_lf != std::string::npos) text.resize(last_lf);
    }
  }
  SectionWriter(writer, "add_sys_file").element(name, text);
}

void make_xml_name(char* text) {
  for (char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) *p = '_';
  }
}

}  // namespace cvsysinfo
