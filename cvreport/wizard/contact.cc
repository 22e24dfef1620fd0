#include "wizard/contact.h"

#include "run/text.h"

namespace cvreport {

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

}  // namespace cvreport
