// How every section writes the document. A writer call cannot fail
// quietly: a negative result ends the process at once with
// "libxml err <rc> at <section>:<line>", so no section returns a writer
// status and none has to check one.
#pragma once

#include <libxml/xmlwriter.h>
#include <stdint.h>

#include <set>
#include <string>

namespace cvsysinfo {

// Ends the process on a negative rc after printing the message above; the
// exit status is the rc's low byte, or 1 where that would read as success.
// Safe on any thread: the pool threads write containers' sections on
// memory (section_buffer.h), where a failure (no memory) ends the process
// as a failure on the document does; the message goes straight to stderr,
// ahead of any messages still kept for containers not yet written, and
// _exit ends every thread at once, so no half-written section reaches the
// document.
void check_xml_rc(const char* function, unsigned line, int rc);
// Called by check_xml_rc right before it ends the process, so that the
// document's owner can remove what must not outlive a failed run; it must
// be safe to call at any point of the run and on any thread.
void on_writer_failure(void (*hook)());

// One section's view of the document: names and texts are made safe for
// XML (xml_safe.h) and a failure is reported under the section's name and
// the caller's line.
class SectionWriter {
 public:
  SectionWriter(xmlTextWriterPtr writer, const char* section) : writer_(writer), section_(section) {}
  xmlTextWriterPtr raw() const { return writer_; }
  const char* section() const { return section_; }

  // A null text gives the element without content.
  void element(const char* name, const char* text, unsigned line = __builtin_LINE()) const;
  void element(const char* name, const std::string& text, unsigned line = __builtin_LINE()) const;
  void start(const char* name, unsigned line = __builtin_LINE()) const;
  void end(unsigned line = __builtin_LINE()) const;
  // A null value gives an empty attribute. A name (as made safe) already
  // given to the element this writer started last is dropped, the first
  // value kept: names that differ in a tool's output can become one, and a
  // second attribute of a name would break the document. A namespace
  // declaration cannot be written this way: "xmlns" becomes "_xmlns".
  void attribute(const char* name, const char* value, unsigned line = __builtin_LINE()) const;
  void text(const char* text, unsigned line = __builtin_LINE()) const;
  // Reports a writer result the section got by calling libxml2 itself.
  void check(int rc, unsigned line = __builtin_LINE()) const { check_xml_rc(section_, line, rc); }

 private:
  xmlTextWriterPtr writer_;
  const char* section_;
  void long_element(const char* name, const std::string& text, unsigned line) const;

  // The attribute names of the element started last.
  mutable std::set<std::string> attributes_;
};

// The same calls for code that has no section of its own; failures are
// reported under these functions' names.
void putElement(xmlTextWriterPtr writer, const char* name, const char* text);
void putElement(xmlTextWriterPtr writer, const char* name, uint64_t value);
void putStartElement(xmlTextWriterPtr writer, const char* name);
void putEndElement(xmlTextWriterPtr writer);

}  // namespace cvsysinfo
