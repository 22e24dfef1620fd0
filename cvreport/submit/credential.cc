#include "submit/credential.h"

namespace cvreport {
namespace {

unsigned char rotateLeft(unsigned char b) {
  return static_cast<unsigned char>((b << 1) | (b >> 7));
}

}  // namespace

std::vector<unsigned char> scrambleCredential(const std::string& plain, unsigned char firstKey) {
  std::vector<unsigned char> stored;
  unsigned char key = firstKey;
  for (char c : plain) {
    unsigned char b = static_cast<unsigned char>(c) ^ key;
    if (b == 0) return {};
    stored.push_back(b);
    key = rotateLeft(b);
  }
  stored.push_back(0);
  return stored;
}

std::string unscrambleCredential(const unsigned char* stored, unsigned char firstKey) {
  char buffer[kCredentialLength + 1] = {};
  unsigned char key = firstKey;
  for (size_t i = 0; i < kCredentialLength && stored[i] != 0; ++i) {
    buffer[i] = static_cast<char>(stored[i] ^ key);
    key = rotateLeft(stored[i]);
  }
  return buffer;
}

}  // namespace cvreport
