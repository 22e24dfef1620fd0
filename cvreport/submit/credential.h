// The built-in service credential is kept only scrambled in the program:
// each byte is XORed with a key byte; the first key byte is a constant and
// every later one is the previous stored byte rotated left by one bit.
#pragma once

#include <string>
#include <vector>

namespace cvreport {

inline constexpr size_t kCredentialLength = 20;

// Empty when some stored byte would be zero (a zero ends the stored text);
// the caller then tries another first key byte.
std::vector<unsigned char> scrambleCredential(const std::string& plain, unsigned char firstKey);
// Reads up to kCredentialLength bytes, stopping at a stored zero.
std::string unscrambleCredential(const unsigned char* stored, unsigned char firstKey);

}  // namespace cvreport
