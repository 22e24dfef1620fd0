// Removing a directory tree that others may have put links into.
#pragma once

namespace cvreport {

// Removes path and everything under it without following a symbolic link
// (a link is removed, never what it points to); -1 when some entry or the
// directory itself could not be removed. Silent.
int removeDirectoryTree(const char* path);

}  // namespace cvreport
