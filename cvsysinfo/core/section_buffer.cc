#include "core/section_buffer.h"

#include <limits.h>

#include <algorithm>

#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

thread_local SectionBuffer* writing = nullptr;

}  // namespace

SectionBuffer::SectionBuffer(size_t limit, std::function<void()> wake) : limit_(limit), wake_(std::move(wake)) {}

SectionBuffer::~SectionBuffer() {
  if (writing == this) writing = outer_;
}

void SectionBuffer::start() {
  outer_ = writing;
  writing = this;
  xmlOutputBufferPtr output = xmlOutputBufferCreateIO(take_output, nullptr, this, nullptr);
  if (output) writer_.reset(xmlNewTextWriter(output));
  if (!writer_) {
    if (output) xmlOutputBufferClose(output);
    check_xml_rc("SectionBuffer", __LINE__, -1);
  }
  // Without the document's encoding the writer would write characters
  // beyond ASCII in attributes as references, and the bytes would differ.
  // The declaration it writes for that is not the section's.
  // It is dropped as it is written, never held: the section's turn may
  // come at any moment, and the document's thread takes what is held.
  starting_ = true;
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterStartDocument(writer_.get(), nullptr, "UTF-8", nullptr));
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterFlush(writer_.get()));
  starting_ = false;
}

void SectionBuffer::finish() {
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterFlush(writer_.get()));
  writer_.reset();
  if (writing == this) writing = outer_;
}

int SectionBuffer::take_output(void* context, const char* bytes, int length) {
  auto* self = static_cast<SectionBuffer*>(context);
  // starting_ is this thread's own: the writer calls back on the thread
  // that writes the section.
  if (self->starting_) return length;
  size_t size = static_cast<size_t>(length);
  std::unique_lock<std::mutex> lock(self->mutex_);
  self->room_.wait(lock, [self, size] { return self->held_.empty() || self->held_.size() + size <= self->limit_; });
  self->held_.append(bytes, size);
  // Half the limit at a time keeps this thread writing while the
  // document's thread copies the other half.
  bool wake = self->turn_ && self->held_.size() >= self->limit_ / 2;
  lock.unlock();
  if (wake && self->wake_) self->wake_();
  return length;
}

void SectionBuffer::write_to(xmlTextWriterPtr document) {
  taken_.clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    turn_ = true;
    taken_.swap(held_);
  }
  room_.notify_all();
  if (!taken_.empty()) write_section(document, taken_);
}

void wait_to_hold(size_t bytes) {
  SectionBuffer* section = writing;
  if (!section) return;
  std::unique_lock<std::mutex> lock(section->mutex_);
  section->room_.wait(lock, [section, bytes] {
    return section->turn_ || section->held_.size() + bytes <= section->limit_;
  });
}

void write_section(xmlTextWriterPtr writer, const std::string& section) {
  // xmlTextWriterWriteRawLen takes an int length.
  size_t done = 0;
  do {
    size_t piece = std::min(section.size() - done, static_cast<size_t>(INT_MAX / 2));
    check_xml_rc("write_section", __LINE__,
                 xmlTextWriterWriteRawLen(writer, reinterpret_cast<const xmlChar*>(section.data() + done),
                                          static_cast<int>(piece)));
    done += piece;
  } while (done < section.size());
}

}  // namespace cvsysinfo
