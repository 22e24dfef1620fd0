#include "report.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "containers/containers.h"
#include "core/owners.h"
#include "core/xml_writer.h"
#include "node/node.h"
#include "templates/templates.h"

namespace cvsysinfo {
namespace {

// The document's file, written by the writer through these callbacks.
// libxml2's own file output reports a failure to write its last buffer only
// to xmlFreeTextWriter, which drops it: a disk that filled up there left a
// cut document and status 0.
struct OutputFile {
  FdOwner fd;
  // A file that replaces the output reaches the disk before it does.
  bool sync = false;
  bool failed = false;
};

int write_output(void* context, const char* buffer, int length) {
  auto* file = static_cast<OutputFile*>(context);
  int done = 0;
  while (done < length) {
    ssize_t n = write(file->fd.get(), buffer + done, static_cast<size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      file->failed = true;
      return -1;
    }
    done += static_cast<int>(n);
  }
  return length;
}

int close_output(void* context) {
  auto* file = static_cast<OutputFile*>(context);
  if (file->sync && fsync(file->fd.get()) != 0) file->failed = true;
  if (file->fd.reset() != 0) file->failed = true;
  return file->failed ? -1 : 0;
}

// The temporary document while it is written, so that a writer failure,
// which ends the process at once, can remove it (check_xml_rc calls this).
char temporary_path[4096];

void remove_temporary() {
  if (temporary_path[0]) unlink(temporary_path);
  temporary_path[0] = '\0';
}

// What the path leads to when the document is written into it rather than
// replacing it, and whether a link leads there.
struct InPlace {
  struct stat target;
  bool through_link = false;
};

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The descriptor a /dev/fd/N or /proc/self/fd/N path names, else -1.
int named_descriptor(const char* output_path) {
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    size_t length = strlen(prefix);
    if (strncmp(output_path, prefix, length) != 0) continue;
    char* end;
    long fd = strtol(output_path + length, &end, 10);
    if (end != output_path + length && *end == '\0' && fd >= 0 && fd <= INT_MAX) return static_cast<int>(fd);
  }
  return -1;
}

// The standard descriptors and the one the path names: files the caller
// opened for the document.
bool is_given_file(const char* output_path, const struct stat& target) {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, named_descriptor(output_path)}) {
    struct stat given;
    if (fd >= 0 && fstat(fd, &given) == 0 && same_file(given, target)) return true;
  }
  return false;
}

// Pipes and devices (the collector's /dev/fd/3, /dev/stdout, /dev/null) are
// written into. A link is followed only when the administrator made it,
// not someone who can write the directory, and to a regular file only when
// that is a file the caller opened for the document (cvsysinfo /dev/stdout
// >file).
bool writes_in_place(const char* output_path, InPlace& place) {
  struct stat link;
  if (lstat(output_path, &link) != 0) return false;
  if (!S_ISLNK(link.st_mode)) {
    place.target = link;
    return !S_ISREG(link.st_mode);
  }
  place.through_link = true;
  if (link.st_uid != 0 && link.st_uid != geteuid()) return false;
  if (stat(output_path, &place.target) != 0) return false;
  if (S_ISFIFO(place.target.st_mode) || S_ISCHR(place.target.st_mode)) return true;
  return S_ISREG(place.target.st_mode) && is_given_file(output_path, place.target);
}

int open_in_place(const char* output_path, const InPlace& place) {
  FdOwner fd(open(output_path, O_WRONLY | O_TRUNC | O_CLOEXEC | (place.through_link ? 0 : O_NOFOLLOW)));
  struct stat opened;
  if (!fd || fstat(fd.get(), &opened) != 0) return -1;
  // Whatever took the path's place since it was looked at is not written.
  if (!same_file(opened, place.target)) {
    errno = EAGAIN;
    return -1;
  }
  return fd.release();
}

// A new file beside the output, made by this process alone and never
// through a link, with the mode a new output file has always had.
int open_temporary(const char* output_path) {
  std::string path = output_path;
  size_t slash = path.rfind('/');
  path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  path += "/.cvsysinfo.XXXXXX";
  if (path.size() >= sizeof temporary_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  snprintf(temporary_path, sizeof temporary_path, "%s", path.c_str());
  FdOwner fd(mkostemp(temporary_path, O_CLOEXEC));
  if (!fd) {
    temporary_path[0] = '\0';
    return -1;
  }
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd.get(), 0666 & ~mask) != 0) {
    remove_temporary();
    return -1;
  }
  return fd.release();
}

// "-" has always meant standard output, as libxml2's file output read it.
int open_output(const char* output_path, bool& replace) {
  replace = false;
  if (strcmp(output_path, "-") == 0) return dup(STDOUT_FILENO);
  InPlace place;
  if (writes_in_place(output_path, place)) return open_in_place(output_path, place);
  replace = true;
  return open_temporary(output_path);
}

void write_sections(const SectionWriter& out, int jobs) {
  out.check(xmlTextWriterStartDocument(out.raw(), nullptr, "UTF-8", nullptr));
  out.check(xmlTextWriterStartElement(out.raw(), reinterpret_cast<const xmlChar*>("CVLIN")));
  add_cvlist(out.raw());
  ContainerCounts counts = add_containers(out.raw(), jobs);
  add_node(out.raw(), counts.total, counts.running);
  add_templates(out.raw());
  out.check(xmlTextWriterEndElement(out.raw()));
  out.check(xmlTextWriterEndDocument(out.raw()));
}

}  // namespace

bool makeXmlReport(const char* output_path, int jobs) {
  OutputFile file;
  bool replace;
  file.fd = FdOwner(open_output(output_path, replace));
  XmlOutputOwner output(file.fd ? xmlOutputBufferCreateIO(write_output, close_output, &file, nullptr)
                                : nullptr);
  XmlWriterOwner writer(output ? xmlNewTextWriter(output.get()) : nullptr);
  if (!writer) {
    printf("testXmlwriterFilename: Error creating the xml writer\n");
    output.reset();
    remove_temporary();
    return false;
  }
  // The writer owns the output now and closes it when it is freed.
  output.release();
  on_writer_failure(remove_temporary);
  file.sync = replace;
  SectionWriter out(writer.get(), "makeXmlReport");
  write_sections(out, jobs);
  // Writes what is still buffered and closes the file.
  writer.reset();
  if (file.failed) out.check(-1);
  if (replace && rename(temporary_path, output_path) != 0) {
    fprintf(stderr, "Failed to write %s: %s\n", output_path, strerror(errno));
    remove_temporary();
    return false;
  }
  temporary_path[0] = '\0';
  return true;
}

}  // namespace cvsysinfo
