// The platform's disk-image block devices and their sysfs attributes
// ("Hdimgs").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// Null-terminated lists of the names written at one level of the walk.
extern const char* const kHdimgTopAttrs[];
extern const char* const kHdimgDeviceAttrs[];
extern const char* const kHdimgPartitionAttrs[];
extern const char* const kHdimgDeltaAttrs[];

// The disk-image devices' attributes as a tree of elements; nothing when
// the block-device directory cannot be opened, and nothing is printed.
void add_hdimg_stat(xmlTextWriterPtr writer);
// The same on another block-device directory, for the tests.
void add_hdimg_stat(xmlTextWriterPtr writer, const char* block_directory);

}  // namespace cvsysinfo
