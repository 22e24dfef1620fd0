#include "wizard/contact.h"

#include <ctype.h>

#include <vector>

#include "run/text.h"

namespace cvreport {
namespace {

bool isAlnum(char c) { return isalnum(static_cast<unsigned char>(c)) != 0; }

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

bool isValidEmail(const std::string& address) {
  std::vector<std::string> parts = splitAt(address, '@');
  if (parts.size() != 2) return false;
  bool domainValid = allPiecesValid(parts[1], isAlnum);
  bool localValid = allPiecesValid(parts[0], [](char c) { return isAlnum(c) || c == '_'; });
  return domainValid && localValid;
}

}  // namespace cvreport
