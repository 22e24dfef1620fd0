#include "core/report.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string.h>

#include <cinttypes>

#include "core/containers.h"
#include "core/templates.h"
#include "core/xml_safe.h"
#include "node/node.h"

namespace cvsysinfo {

uint32_t total_ct_count = 0;
uint32_t running_ct_count = 0;

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The document's file, written by the writer through these callbacks.
// libxml2's own file output reports a failure to write its last buffer only
// to xmlFreeTextWriter, which drops it: a disk that filled up there left a
// cut document and status 0.
struct OutputFile {
  int fd = -1;
  bool failed = false;
};

int writeOutput(void* context, const char* buffer, int length) {
  auto* file = static_cast<OutputFile*>(context);
  int done = 0;
  while (done < length) {
    ssize_t n = write(file->fd, buffer + done, static_cast<size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      file->failed = true;
      return -1;
    }
    done += static_cast<int>(n);
  }
  return length;
}

int closeOutput(void* context) {
  auto* file = static_cast<OutputFile*>(context);
  if (file->fd >= 0 && close(file->fd) != 0) file->failed = true;
  file->fd = -1;
  return file->failed ? -1 : 0;
}

}  // namespace

int check_xml_rc(const char* function, unsigned line, int rc) {
  if (rc >= 0) return rc;
  fprintf(stderr, "libxml err %d at %s:%u\n", rc, function, line);
  fflush(stderr);
  // The status is the writer's result; one that the system would show as 0
  // would report the broken document as a success.
  int status = rc & 0xff;
  _exit(status != 0 ? status : 1);
}

int writeElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                 const char* text) {
  std::string safeName = xmlSafeName(name);
  int rc;
  if (!text) {
    rc = xmlTextWriterStartElement(writer, X(safeName.c_str()));
    if (rc >= 0) rc = xmlTextWriterEndElement(writer);
  } else {
    std::string mended;
    const char* safe = mendXmlText(text, strlen(text), mended) ? mended.c_str() : text;
    rc = xmlTextWriterWriteElement(writer, X(safeName.c_str()), X(safe));
  }
  return check_xml_rc(function, line, rc);
}

int writeElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                 const std::string& text) {
  std::string mended;
  const char* safe = mendXmlText(text.data(), text.size(), mended) ? mended.c_str() : text.c_str();
  std::string safeName = xmlSafeName(name);
  return check_xml_rc(function, line, xmlTextWriterWriteElement(writer, X(safeName.c_str()), X(safe)));
}

int startElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name) {
  std::string safeName = xmlSafeName(name);
  return check_xml_rc(function, line, xmlTextWriterStartElement(writer, X(safeName.c_str())));
}

int endElement(xmlTextWriterPtr writer, const char* function, unsigned line) {
  return check_xml_rc(function, line, xmlTextWriterEndElement(writer));
}

int writeAttribute(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                   const char* value) {
  std::string safeName = xmlSafeName(name);
  std::string mended;
  const char* text = value ? value : "";
  const char* safe = mendXmlText(text, strlen(text), mended) ? mended.c_str() : text;
  return check_xml_rc(function, line,
                      xmlTextWriterWriteAttribute(writer, X(safeName.c_str()), X(safe)));
}

int writeText(xmlTextWriterPtr writer, const char* function, unsigned line, const char* text) {
  std::string mended;
  const char* safe = mendXmlText(text, strlen(text), mended) ? mended.c_str() : text;
  return check_xml_rc(function, line, xmlTextWriterWriteString(writer, X(safe)));
}

int putElement(xmlTextWriterPtr writer, const char* name, const char* text) {
  return writeElement(writer, "putElement", __LINE__, name, text);
}

int putElement(xmlTextWriterPtr writer, const char* name, uint64_t value) {
  char text[32];
  snprintf(text, sizeof text, "%" PRIu64, value);
  return writeElement(writer, "putElement", __LINE__, name, text);
}

int putStartElement(xmlTextWriterPtr writer, const char* name) {
  return startElement(writer, "putStartElement", __LINE__, name);
}

int putEndElement(xmlTextWriterPtr writer) {
  return endElement(writer, "putEndElement", __LINE__);
}

void makeXmlReport(const char* outputPath) {
  OutputFile file;
  // "-" has always meant standard output, as libxml2's file output read it.
  file.fd = strcmp(outputPath, "-") == 0 ? dup(STDOUT_FILENO)
                                         : open(outputPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  xmlOutputBufferPtr output =
      file.fd < 0 ? nullptr : xmlOutputBufferCreateIO(writeOutput, closeOutput, &file, nullptr);
  xmlTextWriterPtr writer = output ? xmlNewTextWriter(output) : nullptr;
  if (!writer) {
    if (output) {
      xmlOutputBufferClose(output);
    } else if (file.fd >= 0) {
      close(file.fd);
    }
    printf("testXmlwriterFilename: Error creating the xml writer\n");
    return;
  }
  check_xml_rc("makeXmlReport", __LINE__, xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr));
  check_xml_rc("makeXmlReport", __LINE__, xmlTextWriterStartElement(writer, X("CVLIN")));
  add_cvlist(writer);
  add_containers(writer);
  add_node(writer);
  add_templates(writer);
  check_xml_rc("makeXmlReport", __LINE__, xmlTextWriterEndElement(writer));
  check_xml_rc("makeXmlReport", __LINE__, xmlTextWriterEndDocument(writer));
  // Writes what is still buffered and closes the file.
  xmlFreeTextWriter(writer);
  if (file.failed) check_xml_rc("makeXmlReport", __LINE__, -1);
}

}  // namespace cvsysinfo
