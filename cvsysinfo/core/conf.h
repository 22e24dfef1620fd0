// Shell-style configuration files in the document ("CONF"), with personal
// values masked.
#pragma once

#include <libxml/xmlwriter.h>
#include <stddef.h>

namespace cvsysinfo {

// No real setting comes near this; the rest of a longer line is dropped.
inline constexpr size_t kMaxConfLine = 64u << 10;

// A shell-style configuration file as "CONF", personal values masked;
// nothing at all when the file cannot be opened. A line longer than
// kMaxConfLine bytes is cut there, with a message: the rest never becomes
// a line of its own.
void add_conf(xmlTextWriterPtr writer, const char* path);

// One configuration value, unquoted as a shell would read it.
void unquote_conf_value(char* value);
// Every run of characters other than ";" becomes one ".".
void mask_conf_value(char* value);
// Whether the key's values are personal data (any case).
bool is_masked_conf_key(const char* name);

}  // namespace cvsysinfo
