#include "report.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

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
  if (file->fd.reset() != 0) file->failed = true;
  return file->failed ? -1 : 0;
}

// "-" has always meant standard output, as libxml2's file output read it.
int open_output(const char* output_path) {
  if (strcmp(output_path, "-") == 0) return dup(STDOUT_FILENO);
  return open(output_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

void write_sections(const SectionWriter& out) {
  out.check(xmlTextWriterStartDocument(out.raw(), nullptr, "UTF-8", nullptr));
  out.check(xmlTextWriterStartElement(out.raw(), reinterpret_cast<const xmlChar*>("CVLIN")));
  add_cvlist(out.raw());
  add_containers(out.raw());
  add_node(out.raw());
  add_templates(out.raw());
  out.check(xmlTextWriterEndElement(out.raw()));
  out.check(xmlTextWriterEndDocument(out.raw()));
}

}  // namespace

void makeXmlReport(const char* output_path) {
  OutputFile file;
  file.fd = FdOwner(open_output(output_path));
  XmlOutputOwner output(file.fd ? xmlOutputBufferCreateIO(write_output, close_output, &file, nullptr)
                                : nullptr);
  XmlWriterOwner writer(output ? xmlNewTextWriter(output.get()) : nullptr);
  if (!writer) {
    printf("testXmlwriterFilename: Error creating the xml writer\n");
    return;
  }
  // The writer owns the output now and closes it when it is freed.
  output.release();
  SectionWriter out(writer.get(), "makeXmlReport");
  write_sections(out);
  // Writes what is still buffered and closes the file.
  writer.reset();
  if (file.failed) out.check(-1);
}

}  // namespace cvsysinfo
