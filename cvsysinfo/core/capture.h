// How command output and files enter the document: line by line through a
// callback, whole as the text of one element, a tool's own XML embedded,
// kernel files, and shell-style configuration files with personal data
// masked. Commands run through the shell, one at a time, to their end.
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

struct LineParser {
  xmlTextWriterPtr writer;
  void (*on_line)(LineParser* parser, char* line);
  void* context;
};

// The command's wait status, or 1 when it could not be run or printed a
// line the 4096-byte buffer cannot hold.
int run_command_parser(const char* command, LineParser* parser);
// Hands every line ended by CR or LF in buffer[0..held) to the parser and
// moves the unfinished rest to the front; returns how many bytes that is.
size_t split_lines(char* buffer, size_t held, LineParser* parser);

// A tool whose output never ends would otherwise take all of the host's
// memory; no real output of the tools run comes near this.
inline constexpr size_t kMaxCommandOutput = 64u << 20;

// The command's whole standard output; false when it could not be run or
// printed more than kMaxCommandOutput bytes.
bool read_command_output(const char* command, std::string& output);

void add_command_out(xmlTextWriterPtr writer, const char* command, const char* element);
void add_command_xml(xmlTextWriterPtr writer, const char* command);
// Embeds an XML text as add_command_xml does with a tool's output.
void embed_xml(xmlTextWriterPtr writer, const std::string& xml);
void add_proc_file(xmlTextWriterPtr writer, const char* path, const char* element);
void add_sys_file(xmlTextWriterPtr writer, int dirfd, const char* name);
void add_conf(xmlTextWriterPtr writer, const char* path);

void make_xml_name(char* text);
// One configuration value, unquoted as a shell would read it.
void unquote_conf_value(char* value);
// Every run of characters other than ";" becomes one ".".
void mask_conf_value(char* value);
bool is_masked_conf_key(const char* name);

// Quotes a value from outside the program for the shell; values made only of
// harmless characters come back unchanged.
std::string shell_quote(const std::string& value);

}  // namespace cvsysinfo
