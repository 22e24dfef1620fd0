// The inventory grammar (schema/cvsysinfo.rng) as the build found it, so
// that the program checks documents against the grammar it writes to.
#pragma once

#include <stddef.h>

namespace cvsysinfo {

extern const char kInventorySchema[];
extern const size_t kInventorySchemaSize;

}  // namespace cvsysinfo
