// Build-time tool: writes the header that holds the built-in service
// credential in scrambled form, so the plain text never enters the program.
#include <stdio.h>

#include <string>

#include "run/unique_handles.h"
#include "submit/credential.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s OUTPUT.h CREDENTIAL\n", argv[0]);
    return 2;
  }
  std::string plain = argv[2];
  if (plain.size() != cvreport::kCredentialLength) {
    fprintf(stderr, "the credential must be %zu characters\n", cvreport::kCredentialLength);
    return 2;
  }
  for (unsigned key = 0x5a; key < 0x5a + 256; ++key) {
    unsigned char first = static_cast<unsigned char>(key);
    std::vector<unsigned char> stored = cvreport::scrambleCredential(plain, first);
    if (stored.empty() || cvreport::unscrambleCredential(stored.data(), first) != plain) continue;
    cvreport::UniqueFile file(fopen(argv[1], "w"));
    FILE* out = file.get();
    if (!out) {
      perror(argv[1]);
      return 1;
    }
    fprintf(out, "// Generated at build time; do not edit.\n#pragma once\n\n");
    fprintf(out, "namespace cvreport {\n\ninline constexpr unsigned char kCredentialFirstKey = 0x%02x;\n",
            first);
    fprintf(out, "inline constexpr unsigned char kScrambledCredential[] = {");
    for (size_t i = 0; i < stored.size(); ++i) fprintf(out, "%s0x%02x", i ? ", " : "", stored[i]);
    fprintf(out, "};\n\n}  // namespace cvreport\n");
    return file.close() == 0 ? 0 : 1;
  }
  fprintf(stderr, "no first key byte scrambles the credential without a zero byte\n");
  return 1;
}
