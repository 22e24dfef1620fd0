// A report writer on memory for the unit tests: what a function writes
// comes back as text, inside a root element "T".
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

class TestWriter {
 public:
  TestWriter() : buffer_(xmlBufferCreate()), writer_(xmlNewTextWriterMemory(buffer_, 0)) {
    xmlTextWriterStartElement(writer_, reinterpret_cast<const xmlChar*>("T"));
  }
  ~TestWriter() {
    if (writer_) xmlFreeTextWriter(writer_);
    xmlBufferFree(buffer_);
  }
  xmlTextWriterPtr get() { return writer_; }
  // Ends the document and returns it, without the root's tags.
  std::string text() {
    xmlTextWriterEndDocument(writer_);
    xmlFreeTextWriter(writer_);
    writer_ = nullptr;
    std::string all(reinterpret_cast<const char*>(xmlBufferContent(buffer_)),
                    static_cast<size_t>(xmlBufferLength(buffer_)));
    if (all.rfind("<T>", 0) == 0 && all.size() >= 7) return all.substr(3, all.size() - 3 - 5);
    if (all == "<T/>" || all.rfind("<T/>", 0) == 0) return "";
    return all;
  }

 private:
  xmlBufferPtr buffer_;
  xmlTextWriterPtr writer_;
};

}  // namespace cvsysinfo
