// The comparison as a change document (cvsysinfo --diff --format xml), as
// schema/cvsysinfo-changes.rng describes it.
#pragma once

#include <stdio.h>

#include "diff/compare.h"

namespace cvsysinfo {

// Writes the change document to out. Returns 0, or -1 when it could not
// be written.
int write_change_xml(const ChangeSet& changes, FILE* out);

}  // namespace cvsysinfo
