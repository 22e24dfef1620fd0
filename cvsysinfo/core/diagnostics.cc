#include "core/diagnostics.h"

#include <stdarg.h>
#include <stdio.h>

#include <new>

namespace cvsysinfo {
namespace {

thread_local std::string* kept_diagnostics = nullptr;

}  // namespace

void diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (!kept_diagnostics) {
    vfprintf(stderr, format, args);
    va_end(args);
    return;
  }
  va_list again;
  va_copy(again, args);
  char small[512];
  int length = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length >= 0) {
    try {
      if (static_cast<size_t>(length) < sizeof small) {
        kept_diagnostics->append(small, static_cast<size_t>(length));
      } else {
        size_t at = kept_diagnostics->size();
        kept_diagnostics->resize(at + static_cast<size_t>(length) + 1);
        vsnprintf(&(*kept_diagnostics)[at], static_cast<size_t>(length) + 1, format, again);
        kept_diagnostics->resize(at + static_cast<size_t>(length));
      }
    } catch (const std::bad_alloc&) {
      // A message that cannot be kept is still better said out of order.
      fputs(small, stderr);
    }
  }
  va_end(again);
}

DiagnosticsCapture::DiagnosticsCapture(std::string* kept) : previous_(kept_diagnostics) { kept_diagnostics = kept; }

DiagnosticsCapture::~DiagnosticsCapture() { kept_diagnostics = previous_; }

}  // namespace cvsysinfo
