#include "diff/inventory_reader.h"

#include <errno.h>
#include <fcntl.h>
#include <libxml/xmlreader.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/owners.h"
#include "core/text.h"
#include "diff/inventory_schema.h"
#include "diff/inventory_walk.h"

namespace cvsysinfo {

namespace {

struct RelaxNgParserFreer {
  void operator()(xmlRelaxNGParserCtxtPtr parser) const { xmlRelaxNGFreeParserCtxt(parser); }
};
using RelaxNgParserOwner = std::unique_ptr<xmlRelaxNGParserCtxt, RelaxNgParserFreer>;

// The first problem the parser or the validator reported, by origin.
struct ReaderErrors {
  std::string parse, validity;
  int parse_line = 0, validity_line = 0;
};

void keep_error(void* data, xmlErrorPtr error) {
  auto* errors = static_cast<ReaderErrors*>(data);
  bool validity = error->domain == XML_FROM_RELAXNGV || error->domain == XML_FROM_RELAXNGP;
  std::string& text = validity ? errors->validity : errors->parse;
  if (!text.empty() || error->message == nullptr) return;
  text = printable_line(trim(error->message));
  (validity ? errors->validity_line : errors->parse_line) = error->line;
}

// A regular file only: a FIFO or a device is refused before anything
// could wait on it. "-" is standard input, which the caller chose to wait
// on.
int open_document(const char* path, FdOwner& fd, std::string& reason) {
  if (strcmp(path, "-") == 0) {
    fd = FdOwner(fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    if (!fd) reason = strerror(errno);
    return fd ? 0 : -1;
  }
  fd = FdOwner(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat status;
  if (!fd || fstat(fd.get(), &status) != 0) {
    reason = strerror(errno);
    return -1;
  }
  if (S_ISDIR(status.st_mode)) reason = strerror(EISDIR);
  else if (!S_ISREG(status.st_mode)) reason = "not a regular file";
  else return 0;
  return -1;
}

int walk_document(xmlTextReaderPtr reader, const std::string& name, InventoryIndex& index,
                  ReaderErrors& errors, std::string& message) {
  InventoryWalk walk(index);
  int rc;
  while ((rc = xmlTextReaderRead(reader)) == 1) {
    int type = xmlTextReaderNodeType(reader);
    if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
      message = name + " is not an inventory (it declares a document type)";
      return -1;
    }
    if (type == XML_READER_TYPE_ELEMENT && xmlTextReaderDepth(reader) == 0 &&
        !xmlStrEqual(xmlTextReaderConstLocalName(reader), BAD_CAST "CVLIN")) {
      std::string root = reinterpret_cast<const char*>(xmlTextReaderConstName(reader));
      message = name + " is not an inventory (its root element is " + printable_line(root) + ", not CVLIN)";
      return -1;
    }
    walk.step(reader);
  }
  if (!errors.parse.empty() || rc != 0) {
    message = name + " is not well-formed XML: line " + std::to_string(errors.parse_line) + ": " +
              (errors.parse.empty() ? "cannot be parsed" : errors.parse);
    return -1;
  }
  if (!errors.validity.empty() || xmlTextReaderIsValid(reader) != 1) {
    message = name + " does not match the inventory schema: line " + std::to_string(errors.validity_line) +
              ": " + (errors.validity.empty() ? "invalid" : errors.validity);
    return -1;
  }
  walk.finish();
  return 0;
}

}  // namespace

RelaxNgOwner compile_inventory_schema(std::string& message) {
  RelaxNgParserOwner parser(xmlRelaxNGNewMemParserCtxt(kInventorySchema, static_cast<int>(kInventorySchemaSize)));
  RelaxNgOwner schema(parser ? xmlRelaxNGParse(parser.get()) : nullptr);
  if (!schema) message = "the built-in inventory schema cannot be compiled";
  return schema;
}

int read_inventory(const char* path, xmlRelaxNGPtr schema, InventoryIndex& index, std::string& message) {
  const std::string name = printable_line(path);
  FdOwner fd;
  std::string reason;
  if (open_document(path, fd, reason) != 0) {
    message = "cannot read " + name + ": " + reason;
    return -1;
  }
  // Never XML_PARSE_NOENT or DTDLOAD: a hostile document's entities stay
  // unexpanded and nothing outside it is read. XML_PARSE_HUGE: a command's
  // output may fill one element with up to 64 MiB, past libxml2's 10 MB
  // limit for a text, and the reader holds one node at a time.
  XmlReaderOwner reader(xmlReaderForFd(fd.get(), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  ReaderErrors errors;
  if (!reader || xmlTextReaderRelaxNGSetSchema(reader.get(), schema) != 0) {
    message = "cannot read " + name + ": out of memory";
    return -1;
  }
  xmlTextReaderSetStructuredErrorHandler(reader.get(), keep_error, &errors);
  index.header.file = path;
  return walk_document(reader.get(), name, index, errors, message);
}

}  // namespace cvsysinfo
