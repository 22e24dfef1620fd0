#include "report.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "containers/containers.h"
#include "core/output_file.h"
#include "core/owners.h"
#include "core/xml_writer.h"
#include "node/node.h"
#include "templates/templates.h"

namespace cvsysinfo {
namespace {

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
  XmlOutputOwner output(file.open(output_path) ? file.make_output() : nullptr);
  XmlWriterOwner writer(output ? xmlNewTextWriter(output.get()) : nullptr);
  if (!writer) {
    printf("testXmlwriterFilename: Error creating the xml writer\n");
    return false;
  }
  // The writer owns the output now and closes it when it is freed.
  output.release();
  SectionWriter out(writer.get(), "makeXmlReport");
  write_sections(out, jobs);
  // Writes what is still buffered and closes the file.
  writer.reset();
  if (file.failed()) out.check(-1);
  if (!file.put_in_place()) {
    fprintf(stderr, "Failed to write %s: %s\n", output_path, strerror(errno));
    return false;
  }
  return true;
}

}  // namespace cvsysinfo
