#include "submit/contact_file.h"

#include <stdio.h>
#include <string.h>

#include "run/text.h"
#include "run/unique_handles.h"

namespace cvreport {
namespace {

bool writeField(FILE* out, const char* label, const std::string& value) {
  return fputs(label, out) >= 0 && fputs(value.c_str(), out) >= 0 &&
         fputc('\n', out) != EOF;
}

bool parseWithLabels(const std::string& text, const ContactFileLabels& labels,
                     ContactInfo& contact) {
  const char* const order[] = {labels.fullName, labels.company, labels.email, labels.subject,
                               labels.description};
  std::string* const fields[] = {&contact.fullName, &contact.company, &contact.email,
                                 &contact.subject, &contact.description};
  if (text.compare(0, strlen(order[0]), order[0]) != 0) return false;
  size_t pos = strlen(order[0]);
  // A value runs to the next line that starts with the next label.
  for (size_t i = 0; i + 1 < sizeof order / sizeof order[0]; ++i) {
    std::string next = std::string("\n") + order[i + 1];
    size_t end = text.find(next, pos);
    if (end == std::string::npos) return false;
    fields[i]->assign(text, pos, end - pos);
    pos = end + next.size();
  }
  contact.description.assign(text, pos, std::string::npos);
  if (!contact.description.empty() && contact.description.back() == '\n') {
    contact.description.pop_back();
  }
  return true;
}

}  // namespace

int parseContactFile(const std::string& text, ContactInfo& contact) {
  // The console's labels first: each of the wizard's is the start of the
  // console's, so the other order would read the console's padding as
  // part of a value.
  if (parseWithLabels(text, kConsoleContactLabels, contact)) return 0;
  if (parseWithLabels(text, kWizardContactLabels, contact)) return 0;
  contact = ContactInfo();
  return -1;
}

std::string trimAndListMissing(ContactInfo& contact) {
  struct Field {
    std::string* value;
    const char* line;
  };
  const Field fields[] = {
      {&contact.fullName, "\n Full Name:"},
      {&contact.company, "\n Company:"},
      {&contact.email, "\n E-mail:"},
      {&contact.subject, "\n Subject:"},
  };
  std::string missing;
  for (const Field& field : fields) {
    if (trimBlank(*field.value) == 0) missing += field.line;
  }
  return missing;
}

std::string missingFieldsText(ContactInfo& contact) {
  std::string missing = trimAndListMissing(contact);
  return missing.empty() ? missing : "Please fill in the following fields:" + missing;
}

int writeContactFile(const std::string& filesDir, const ContactInfo& contact,
                     const ContactFileLabels& labels) {
  UniqueFile out(fopen((filesDir + "/" + kContactFileName).c_str(), "we"));
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
