// How command output and files enter the document: line by line through a
// callback, whole as the text of one element, and kernel files (a tool's
// own XML: embed_xml.h; configuration files: conf.h). Each command runs (through the shell unless it is plain words,
// see plain_command_words) to its end or to the point where the reader
// gives up on it; a thread runs one at a time, and the messages go through
// diagnostic() so that a container's stay with it.
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

// A command's output line by line: on_line gets each line, without its
// line end, with the parser's writer and context.
struct LineParser {
  xmlTextWriterPtr writer;
  void (*on_line)(LineParser* parser, char* line);
  void* context;
};

// A tool whose output never ends would otherwise take all of the host's
// memory or disk; no real output of the tools run comes near this.
inline constexpr size_t kMaxCommandOutput = 64u << 20;

// The command's wait status, or 1 when it could not be run, printed a line
// the 4096-byte buffer cannot hold or more than kMaxCommandOutput bytes in
// all, or did not end within kCommandTimeout (spawn.h); those failures are
// printed here, the lines before them delivered, and a command given up on
// is killed and reaped. A last line without a line end is delivered too.
int run_command_parser(const char* command, LineParser* parser);
// Hands every line ended by CR or LF in buffer[0..held) to the parser and
// moves the unfinished rest to the front; returns how many bytes that is.
size_t split_lines(char* buffer, size_t held, LineParser* parser);

// The command's whole standard output; false (output empty, the reason
// printed here, the command killed and reaped) when it could not be run or
// printed more than kMaxCommandOutput bytes. A command that did not end
// within kCommandTimeout is stopped, said so, and gives what it printed.
bool read_command_output(const char* command, std::string& output);

// The command's output as the text of one element; nothing is written
// when read_command_output fails (it prints why).
void add_command_out(xmlTextWriterPtr writer, const char* command, const char* element);
// The file as the text of one element; a file that cannot be opened or
// read gives an element saying so, and nothing is printed.
void add_proc_file(xmlTextWriterPtr writer, const char* path, const char* element);
// One sysfs attribute (its first 4096 bytes, without the last line end) as
// an element named after it; failures are written as its text.
void add_sys_file(xmlTextWriterPtr writer, int dirfd, const char* name);
// Every character other than an ASCII letter or digit becomes "_".
void make_xml_name(char* text);

}  // namespace cvsysinfo
