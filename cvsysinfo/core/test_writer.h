// A report writer on memory for the unit tests: what a function writes
// comes back as text, inside a root element "T".
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

#include "core/owners.h"

namespace cvsysinfo {

class TestWriter {
 public:
  TestWriter() : buffer_(xmlBufferCreate()) {
    // The exact scheme copies the whole buffer at every write, which makes
    // a document of megabytes quadratic.
    xmlBufferSetAllocationScheme(buffer_.get(), XML_BUFFER_ALLOC_DOUBLEIT);
    writer_.reset(xmlNewTextWriterMemory(buffer_.get(), 0));
    xmlTextWriterStartElement(writer_.get(), reinterpret_cast<const xmlChar*>("T"));
  }
  xmlTextWriterPtr get() { return writer_.get(); }
  // Ends the document and returns it, without the root's tags.
  std::string text() {
    xmlTextWriterEndDocument(writer_.get());
    writer_.reset();
    std::string all(reinterpret_cast<const char*>(xmlBufferContent(buffer_.get())),
                    static_cast<size_t>(xmlBufferLength(buffer_.get())));
    if (all.rfind("<T>", 0) == 0 && all.size() >= 7) return all.substr(3, all.size() - 3 - 5);
    if (all == "<T/>" || all.rfind("<T/>", 0) == 0) return "";
    return all;
  }

 private:
  // Declared first: the writer, freed before it, flushes into it.
  XmlBufferOwner buffer_;
  XmlWriterOwner writer_;
};

}  // namespace cvsysinfo
