// cvsysinfo's own messages about what it could not capture. Containers are
// captured several at once, yet their messages must come out in the order
// of the document: a capture keeps its messages (DiagnosticsCapture) and
// whoever writes its section prints them then. Elsewhere they go straight
// to standard error. The tools' own standard error is never kept.
#pragma once

#include <string>

namespace cvsysinfo {

// printf-style; the format is the program's own, outside text goes in as
// an argument.
void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While it lives, this thread's diagnostics are appended to *kept instead
// of being printed; captures nest, the innermost keeps.
class DiagnosticsCapture {
 public:
  explicit DiagnosticsCapture(std::string* kept);
  ~DiagnosticsCapture();
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

 private:
  std::string* previous_;
};

}  // namespace cvsysinfo
