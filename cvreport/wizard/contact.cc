#include "wizard/contact.h"

#include <ctype.h>
#include <stdio.h>

#include <vector>

namespace cvreport {
namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

bool isAlnum(char c) { return isalnum(static_cast<unsigned char>(c)) != 0; }

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    pieces.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return pieces;
    start = at + 1;
  }
}

// A piece begins and ends with an edge byte and holds only edge bytes and
// "-" between.
template <typename EdgeTest>
bool validPiece(const std::string& piece, EdgeTest isEdge) {
  if (piece.empty() || !isEdge(piece.front()) || !isEdge(piece.back())) return false;
  for (char c : piece) {
    if (!isEdge(c) && c != '-') return false;
  }
  return true;
}

template <typename EdgeTest>
bool allPiecesValid(const std::string& part, EdgeTest isEdge) {
  for (const std::string& piece : splitAt(part, '.')) {
    if (!validPiece(piece, isEdge)) return false;
  }
  return true;
}

}  // namespace

size_t trimBlank(std::string& value) {
  size_t start = 0;
  while (start < value.size() && isBlank(value[start])) ++start;
  size_t end = value.size();
  while (end > start && isBlank(value[end - 1])) --end;
  value = value.substr(start, end - start);
  return value.size();
}

bool isValidEmail(const std::string& address) {
  std::vector<std::string> parts = splitAt(address, '@');
  if (parts.size() != 2) return false;
  bool domainValid = allPiecesValid(parts[1], isAlnum);
  bool localValid = allPiecesValid(parts[0], [](char c) { return isAlnum(c) || c == '_'; });
  return domainValid && localValid;
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

int writeContactFile(const std::string& filesDir, const ContactInfo& contact) {
  FILE* out = fopen((filesDir + "/description").c_str(), "we");
  if (!out) return -1;
  // A contact file cut short by a full disk would send a report nobody can
  // answer, so every write and the close count.
  bool written = fprintf(out, "Full name: %s\n", contact.fullName.c_str()) >= 0 &&
                 fprintf(out, "Company: %s\n", contact.company.c_str()) >= 0 &&
                 fprintf(out, "E-mail: %s\n", contact.email.c_str()) >= 0 &&
                 fprintf(out, "Subject: %s\n", contact.subject.c_str()) >= 0 &&
                 fprintf(out, "Issue: %s\n", contact.description.c_str()) >= 0;
  bool closed = fclose(out) == 0;
  return written && closed ? 0 : -1;
}

}  // namespace cvreport
