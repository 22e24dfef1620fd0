#include "submit/contact_file.h"

#include <stdio.h>

#include "run/unique_handles.h"

namespace cvreport {
namespace {

bool writeField(FILE* out, const char* label, const std::string& value) {
  return fputs(label, out) >= 0 && fputs(value.c_str(), out) >= 0 &&
         fputc('\n', out) != EOF;
}

}  // namespace

int writeContactFile(const std::string& filesDir, const ContactInfo& contact,
                     const ContactFileLabels& labels) {
  UniqueFile out(fopen((filesDir + "/description").c_str(), "we"));
  if (!out) return -1;
  // A contact file cut short by a full disk would send a report nobody can
  // answer, so every write and the close count.
  bool written = writeField(out.get(), labels.fullName, contact.fullName) &&
                 writeField(out.get(), labels.company, contact.company) &&
                 writeField(out.get(), labels.email, contact.email) &&
                 writeField(out.get(), labels.subject, contact.subject) &&
                 writeField(out.get(), labels.description, contact.description);
  bool closed = out.close() == 0;
  return written && closed ? 0 : -1;
}

}  // namespace cvreport
