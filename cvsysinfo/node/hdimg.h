// The platform's disk-image block devices and their sysfs attributes
// ("Hdimgs").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// Null-terminated lists of the names written at one level of the walk.
extern const char* const hdimg_top_attrs[];
extern const char* const hdimg_device_attrs[];
extern const char* const hdimg_partition_attrs[];
extern const char* const hdimg_delta_attrs[];

void add_hdimg_stat(xmlTextWriterPtr writer);
// The same on another block-device directory, for the tests.
void add_hdimg_stat(xmlTextWriterPtr writer, const char* block_directory);
// Writes one directory level and closes dirfd; a null list lets every
// entry through.
void add_sys_hdimg_directory(xmlTextWriterPtr writer, int dirfd, const char* const* list);

}  // namespace cvsysinfo
