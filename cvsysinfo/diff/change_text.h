// The comparison as text for people (cvsysinfo --diff).
#pragma once

#include <stdio.h>

#include "diff/compare.h"

namespace cvsysinfo {

// "added", "removed", "changed"; a port is "opened" or "closed".
const char* change_word(ItemKind kind, Change change);

// Writes the heading, the summary and every change to out; every value
// from the documents goes through the printable-text filter. Returns 0, or
// -1 when out could not be written.
int write_change_text(const ChangeSet& changes, FILE* out);

}  // namespace cvsysinfo
