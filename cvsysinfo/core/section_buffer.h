// A section written away from the document by a pool thread and handed to
// the document's own thread in its turn. Until its turn a section holds at
// most `limit` bytes (its text as written, and the output a reader gathers
// for it, see wait_to_hold); then its thread waits. From its turn on, the
// document's thread takes the bytes as they come, so a section of any size
// goes through `limit` bytes of memory. The bytes are those that writing
// the section straight into the document gives (the document's writer does
// not indent, and this one escapes as the document's does).
#pragma once

#include <libxml/xmlwriter.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "core/owners.h"

namespace cvsysinfo {

class SectionBuffer {
 public:
  // `wake` is called on the writing thread when bytes wait for the
  // document's thread during the turn (it must make that thread call
  // write_to). A writer failure here, as everywhere, ends the process
  // (check_xml_rc).
  SectionBuffer(size_t limit, std::function<void()> wake);
  ~SectionBuffer();
  SectionBuffer(const SectionBuffer&) = delete;
  SectionBuffer& operator=(const SectionBuffer&) = delete;

  // On the writing thread: makes the writer and has this thread's readers
  // count against the limit, until finish.
  void start();
  xmlTextWriterPtr writer() const { return writer_.get(); }
  // On the writing thread: the writer is done; what it still held waits
  // for write_to.
  void finish();
  // On the document's thread, once every section before this one is in
  // the document: the turn has come; writes what is held into it.
  void write_to(xmlTextWriterPtr document);

 private:
  static int take_output(void* context, const char* bytes, int length);

  XmlWriterOwner writer_;
  const size_t limit_;
  const std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable room_;
  // Written, not yet in the document; and, on the document's thread, what
  // write_to took last (kept for its memory).
  std::string held_;
  std::string taken_;
  bool turn_ = false;
  bool starting_ = false;
  SectionBuffer* outer_ = nullptr;

  friend void wait_to_hold(size_t bytes);
};

// A reader on a thread writing a section (start to finish) calls this
// before it keeps `bytes` of output in all for one element: it returns
// once they fit within the section's limit beside what the section holds,
// or once the section's turn has come. Elsewhere it returns at once.
void wait_to_hold(size_t bytes);

// Copies bytes already written as XML into the document where its writer
// stands.
void write_section(xmlTextWriterPtr writer, const std::string& section);

}  // namespace cvsysinfo
