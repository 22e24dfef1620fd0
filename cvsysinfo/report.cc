#include "report.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "containers/containers.h"
#include "core/output_file.h"
#include "core/owners.h"
#include "core/xml_writer.h"
#include "node/node.h"
#include "templates/templates.h"

namespace cvsysinfo {
namespace {

// Who wrote the document and when: comparing two inventories starts from
// these. The time is the run's start, before any section is gathered.
struct Identity {
  char host[256] = "";
  char time[32] = "";
};

Identity take_identity() {
  Identity id;
  // A name of exactly the buffer's size comes back unterminated.
  if (gethostname(id.host, sizeof id.host - 1) != 0) id.host[0] = '\0';
  time_t now = ::time(nullptr);
  struct tm utc;
  if (gmtime_r(&now, &utc) == nullptr || strftime(id.time, sizeof id.time, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0)
    id.time[0] = '\0';
  return id;
}

void write_sections(const SectionWriter& out, const Identity& id, int jobs) {
  out.check(xmlTextWriterStartDocument(out.raw(), nullptr, "UTF-8", nullptr));
  out.start("CVLIN");
  if (id.host[0] != '\0') out.attribute("host", id.host);
  if (id.time[0] != '\0') out.attribute("time", id.time);
  out.attribute("version", CV_KIT_VERSION);
  add_cvlist(out.raw());
  ContainerCounts counts = add_containers(out.raw(), jobs);
  add_node(out.raw(), counts.total, counts.running);
  add_templates(out.raw());
  out.check(xmlTextWriterEndElement(out.raw()));
  out.check(xmlTextWriterEndDocument(out.raw()));
}

}  // namespace

bool makeXmlReport(const char* output_path, int jobs) {
  const Identity id = take_identity();
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
  write_sections(out, id, jobs);
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
