// Reads an inventory document as a stream, checking it against the
// inventory grammar built into the program, into the index of what a
// comparison looks at; no document tree is ever built.
#pragma once

#include <libxml/relaxng.h>

#include <memory>
#include <string>

#include "diff/item_table.h"

namespace cvsysinfo {

struct RelaxNgFreer {
  void operator()(xmlRelaxNGPtr schema) const { xmlRelaxNGFree(schema); }
};
using RelaxNgOwner = std::unique_ptr<xmlRelaxNG, RelaxNgFreer>;

// The compiled inventory grammar; null when it cannot be compiled (a
// broken build), with the reason in message.
RelaxNgOwner compile_inventory_schema(std::string& message);

// Reads path ("-": standard input) into index (header.file is path).
// Returns 0, or -1 with a
// one-line message naming the file: it cannot be read (not a regular file,
// which is never waited on), is not well-formed, is not an inventory (its
// root is not CVLIN, or it declares a document type), or does not match
// the grammar. The message holds outside text only through the
// printable-text filter; the caller prints it.
int read_inventory(const char* path, xmlRelaxNGPtr schema, InventoryIndex& index, std::string& message);

}  // namespace cvsysinfo
