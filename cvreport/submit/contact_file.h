// The contact file "description" that the collector packs into the archive.
#pragma once

#include <string>

#include "run/session.h"

namespace cvreport {

// The label in front of each value; the two front ends have always written
// the file with their own spacing.
struct ContactFileLabels {
  const char* fullName;
  const char* company;
  const char* email;
  const char* subject;
  const char* description;
};

inline constexpr ContactFileLabels kConsoleContactLabels{"Full name: ", "Company:   ",
                                                         "E-mail:    ", "Subject:   ", "Issue: "};
inline constexpr ContactFileLabels kWizardContactLabels{"Full name: ", "Company: ", "E-mail: ",
                                                        "Subject: ", "Issue: "};

// What both front ends say when the file could not be written.
// Its name, in filesDir and in the archive.
inline constexpr char kContactFileName[] = "description";
inline constexpr char kContactWriteFailedText[] = "Can't write the contact data!";

// Writes "description" into filesDir, one labelled line per field; -1 when
// it could not be written whole (any write or the close failed). Silent:
// the front end reports it.
int writeContactFile(const std::string& filesDir, const ContactInfo& contact,
                     const ContactFileLabels& labels);

// The fields of a contact file's text as writeContactFile wrote it, with
// either front end's labels; the description runs to the end, less the
// final newline. -1 (contact cleared) when the text is not one.
int parseContactFile(const std::string& text, ContactInfo& contact);

// Trims the four required fields and returns a line for each that is then
// empty, in the contact page's order; empty when none is missing.
std::string trimAndListMissing(ContactInfo& contact);
// The sentence that asks for the required fields still empty after
// trimming them; empty when none is.
std::string missingFieldsText(ContactInfo& contact);

}  // namespace cvreport
