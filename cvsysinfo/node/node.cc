#include "node/node.h"

#include "core/report.h"

namespace cvsysinfo {

// The node's sections are not part of this build yet; the element keeps its
// place between the containers and the templates.
void add_node(xmlTextWriterPtr writer) {
  putStartElement(writer, "NODE");
  putEndElement(writer);
}

}  // namespace cvsysinfo
